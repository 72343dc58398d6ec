#!/usr/bin/env bash
# Installs what is missing, builds everything (Release) and runs the whole test suite headless,
# then builds the concurrency tests with ThreadSanitizer in their own folder and runs them too.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc)

# pluginval is a tool beside the project; the validation tests skip themselves without it.
if [ -z "${PLUGINVAL:-}" ] && [ -x ../shared/tools/pluginval/pluginval ]; then
    PLUGINVAL="$(cd ../shared/tools/pluginval && pwd)/pluginval"
    export PLUGINVAL
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRO_TSAN=ON -DKRO_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target KroTrellaConcurrencyTests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-tsan --output-on-failure

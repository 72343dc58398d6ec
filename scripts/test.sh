#!/usr/bin/env bash
# Installs what is missing, builds everything (Release) and runs the whole test suite headless,
# then builds the concurrency and services tests with ThreadSanitizer in their own folder and runs
# them too, and finally builds the unit tests and the fuzzers with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer in one more folder and runs them (each fuzzer for a short time).
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
cmake --build build-tsan -j "$jobs" --target KroTrellaConcurrencyTests KroTrellaServicesTests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-tsan --output-on-failure

asan_flags="-O1 -gline-tables-only -DNDEBUG"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$asan_flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$asan_flags" \
    -DKRO_ASAN=ON -DKRO_FUZZ=ON -DKRO_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs" --target KroTrellaEngineTests KroTrellaTests KroTrellaConcurrencyTests \
    KroFuzzStateBlob KroFuzzSettingsFile KroFuzzHtmlView
ASAN_OPTIONS="abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1" \
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-asan --output-on-failure -j "$jobs"

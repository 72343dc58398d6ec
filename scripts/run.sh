#!/usr/bin/env bash
# Installs what is missing, builds the plug-in (Release) and starts the standalone application.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target KroTrella_Standalone KroTrella_LV2 KroTrella_VST3

exec build/Source/KroTrella_artefacts/Release/Standalone/KroTrella "$@"

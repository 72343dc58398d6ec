#!/usr/bin/env bash
# Builds the generators in tools/ and rewrites the generated files in Resources/: the eight preamp
# impulse responses, the four images and the four help pages (from tools/help/pages). The output
# is deterministic: running the script again gives byte-identical files.
#
#   scripts/generate-resources.sh                    # rewrite Resources/
#   scripts/generate-resources.sh --preview <dir>    # also write the images composited on their
#                                                    # backgrounds, enlarged, for a visual check
set -euo pipefail
cd "$(dirname "$0")/.."

preview=()
if [ $# -eq 2 ] && [ "$1" = "--preview" ]; then
    preview=(--preview "$2")
elif [ $# -ne 0 ]; then
    echo "usage: $0 [--preview <folder>]" >&2
    exit 2
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRO_BUILD_TOOLS=ON > /dev/null
cmake --build build -j "$(nproc)" --target KroIrGen KroImageGen KroHelpGen

bin=build/tools
"$bin/KroIrGen_artefacts/Release/KroIrGen" Resources
"$bin/KroImageGen_artefacts/Release/KroImageGen" Resources "${preview[@]}"
"$bin/KroHelpGen_artefacts/Release/KroHelpGen" tools/help/pages Resources

# Configure again so that a checkout that had no resources before picks them up.
cmake -S . -B build > /dev/null

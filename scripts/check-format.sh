#!/usr/bin/env bash
# Fails when a C++ source under Source/, tests/, bench/ or tools/ differs from what clang-format
# makes of it with the repository's .clang-format. Fix with: clang-format -i <file>
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files 'Source/*.cpp' 'Source/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'tools/*.cpp' 'tools/*.h')
clang-format --dry-run --Werror $files
echo "all $(echo "$files" | wc -l) sources are formatted"

#!/usr/bin/env bash
# The engine is the bottom layer: nothing under Source/engine may include the interface layers.
set -euo pipefail
source_dir="$1"
if grep -rnE '#include +"(\.\./)*(ui|pages|services)/|#include +"(PluginEditor|PluginProcessor)\.h"' "$source_dir/engine"; then
    echo "engine code includes interface code (see above)"
    exit 1
fi
echo "engine includes only engine code"

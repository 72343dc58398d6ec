#!/usr/bin/env bash
# Runs pluginval at strictness 10, editor tests included, on one built plug-in:
#
#   run-pluginval.sh vst3 <path of KroTrella.vst3>
#   run-pluginval.sh lv2 <path of KroTrella.lv2> <plug-in URI>
#
# The validator is not part of the project: its path comes from the environment variable PLUGINVAL.
# Without it the test is skipped (exit status 77). The run uses a throw-away HOME, so that the LV2
# can be found by URI through $HOME/.lv2 and nothing is written to the user's own folders. Passing
# needs a clean exit and a log that shows audio tests on two input and two output channels.
set -euo pipefail

skipped=77
format=${1:?format (vst3 or lv2)}
bundle=${2:?bundle path}

if [ -z "${PLUGINVAL:-}" ]; then
    echo "SKIPPED: set PLUGINVAL to the pluginval binary to validate the $format plug-in" \
         "(scripts/test.sh does so when ../shared/tools/pluginval/pluginval exists)"
    exit $skipped
fi
if [ ! -x "$PLUGINVAL" ]; then
    echo "SKIPPED: PLUGINVAL=$PLUGINVAL is not an executable file"
    exit $skipped
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config"

case "$format" in
    vst3)
        target="$bundle"
        ;;
    lv2)
        target=${3:?plug-in URI}
        mkdir -p "$home/.lv2"
        ln -s "$bundle" "$home/.lv2/$(basename "$bundle")"
        ;;
    *)
        echo "unknown format: $format" >&2
        exit 2
        ;;
esac

command=("$PLUGINVAL" --strictness-level 10 --timeout-ms 300000 --validate "$target")
if [ -z "${DISPLAY:-}" ]; then
    command=(xvfb-run -a -s "-screen 0 1280x1024x24" "${command[@]}")
fi

log="$home/pluginval.log"
status=0
"${command[@]}" > "$log" 2>&1 || status=$?
cat "$log"

if [ $status -ne 0 ]; then
    echo "FAILED: pluginval exited with status $status"
    exit 1
fi

for direction in input output; do
    if ! grep -q "Main bus num $direction channels: 2" "$log" \
        || grep -Eq "Main bus num $direction channels: [^2]" "$log"; then
        echo "FAILED: pluginval did not process two $direction channels"
        exit 1
    fi
done

echo "PASSED: pluginval strictness 10 on the $format plug-in, 2 input and 2 output channels"

#!/usr/bin/env bash
# The standalone application started where no display can be opened says that it needs one and how
# to run it headless, and exits with a failure status (not a crash, not a hang).
#
#   starts-without-display.sh <path of the standalone binary>
set -uo pipefail

app=${1:?standalone binary}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

for display in unset ":4711"; do
    if [ "$display" = unset ]; then
        # Without DISPLAY the framework tries ":0"; only meaningful where no server answers there.
        [ -e /tmp/.X11-unix/X0 ] && continue
        environment=(env -u DISPLAY)
    else
        environment=(env DISPLAY="$display")
    fi

    output=$("${environment[@]}" HOME="$home" XDG_CONFIG_HOME="$home/.config" timeout 60 "$app" 2>&1)
    status=$?
    echo "DISPLAY $display: exit status $status"
    echo "$output"

    if [ $status -eq 0 ] || [ $status -ge 124 ]; then
        echo "FAILED: expected a failure status, got $status (124: still running, above 128: a signal)"
        exit 1
    fi
    if ! grep -q "needs a graphical display" <<< "$output" || ! grep -q "xvfb-run" <<< "$output"; then
        echo "FAILED: the message does not say that a display is needed and that xvfb-run runs it headless"
        exit 1
    fi
done
echo "PASSED"

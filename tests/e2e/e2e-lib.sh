# Shared by the end-to-end scripts: a data folder of their own, the application started and
# stopped, screenshots, pixels, and clicks given in the main screen's own 800 x 580 coordinates.
# Source it with the script's arguments; it expects $app and $shots.

# A display of the script's own: the script starts again under xvfb-run. -noreset keeps the atoms
# made below when their client disconnects.
if [ -z "${KRO_E2E_DISPLAY_READY:-}" ]; then
    exec env KRO_E2E_DISPLAY_READY=1 xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$shots"
app_pid=
cleanup()
{
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Without a window manager nobody has made the window-manager atoms JUCE looks up; make them.
xprop -root -f _KRO_E2E_ATOMS 32a \
    -set _KRO_E2E_ATOMS "WM_PROTOCOLS,WM_TAKE_FOCUS,WM_DELETE_WINDOW,_NET_WM_PING,WM_CHANGE_STATE,WM_STATE"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

settings_file="$XDG_CONFIG_HOME/Palvenmark/KroTrella/Settings.xml"
window=
border=0
title_height=0

start_app()
{
    "$app" > "$work/app-$1.log" 2>&1 &
    app_pid=$!
    window=
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^KroTrella$' 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window of run '$1' never appeared"; cat "$work/app-$1.log"; exit 1; }
    sleep 1.5 # the first paint, and the settings and help pages are built
}

stop_app()
{
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}

window_size() { xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }'; }

shoot() { import -window root "$shots/e2e-$1.png"; }

# Retakes the screenshot until the check (a command) holds, for up to eight seconds: on a busy
# machine the window may take a while to show what a click asked for.
shoot_until() # name check...
{
    local name=$1
    shift
    for _ in $(seq 40); do
        shoot "$name"
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# Clicks and waits for the check as shoot_until does; a click that a window still busy with its
# start has not taken is given up to twice more.
click_until() # scale x y name check...
{
    local scale=$1 x=$2 y=$3 name=$4
    shift 4
    for _ in 1 2 3; do
        click_at "$scale" "$x" "$y"
        shoot_until "$name" "$@" && return 0
    done
    return 1
}

# The colour of a screen pixel as RRGGBB, from the last screenshot of that name.
pixel() { convert "$shots/e2e-$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | awk 'NR == 2 { print substr($3, 2, 6) }'; }

# Brightness 0..765 of an RRGGBB colour.
brightness() { echo $(( 16#${1:0:2} + 16#${1:2:2} + 16#${1:4:2} )); }

# Screen position of a point given in the main screen's own 800 x 580 coordinates.
window_origin() { xdotool getwindowgeometry "$window" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }'; }
on_screen()
{
    local scale=$1 x=$2 y=$3 ox oy
    read -r ox oy < <(window_origin)
    echo $(( ox + border + x * scale / 100 )) $(( oy + title_height + y * scale / 100 ))
}

click_at() # scale(percent) x y, in main-screen coordinates
{
    local sx sy
    read -r sx sy < <(on_screen "$1" "$2" "$3")
    xdotool mousemove "$sx" "$sy" sleep 0.2 click 1
}

expect_size()
{
    local expected="$(( $2 + 2 * border ))x$(( $3 + title_height + border ))" actual
    for _ in $(seq 80); do
        actual=$(window_size)
        [ "$actual" = "$expected" ] && break
        sleep 0.1
    done
    if [ "$actual" = "$expected" ]; then pass "$1: window $2 x $3"; else fail "$1: window $actual, expected $expected (with frame)"; fi
}


# With the window at 800 x 580: the frame around it, which gives the offsets for clicks.
measure_frame()
{
    local w h
    read -r w h < <(window_size | tr 'x' ' ')
    border=$(( (w - 800) / 2 ))
    title_height=$(( h - 580 - border ))
    if [ "$border" -lt 0 ] || [ "$title_height" -lt 0 ] || [ "$title_height" -gt 60 ]; then
        fail "a window of ${w}x${h} is no 800 x 580 window with a frame"
    fi
}

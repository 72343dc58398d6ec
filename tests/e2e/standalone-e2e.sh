#!/usr/bin/env bash
# End-to-end run of the real standalone application: a display of its own (xvfb-run -a), a data
# folder of its own (mktemp -d), the window driven with xdotool and photographed with import.
#
#   standalone-e2e.sh <path to the KroTrella standalone> <folder for the screenshots>
#
# Checks: SETTINGS opens the settings page and a changed option (the window size) takes effect at
# once; HELP opens the help viewer; the logo opens the about screen; a saved window size of
# "Smaller" and of "Extra Large" opens the window at 640 x 464 and 1200 x 870.
set -euo pipefail

app=$1
shots=$2

if [ -z "${KRO_E2E_DISPLAY_READY:-}" ]; then
    # -noreset keeps the atoms made below when their client disconnects.
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

#---------------------------------------------------------------------------------------------------
# Run 1: no settings file. The frame around the 800 x 580 window gives the offsets for clicks.
start_app normal
read -r w h < <(window_size | tr 'x' ' ')
border=$(( (w - 800) / 2 ))
title_height=$(( h - 580 - border ))
if [ "$border" -lt 0 ] || [ "$title_height" -lt 0 ] || [ "$title_height" -gt 60 ]; then
    fail "a window of ${w}x${h} is no 800 x 580 window with a frame"
fi
shoot normal
read -r vx vy < <(on_screen 100 30 100)                 # curve area, left of the option panel
before=$(pixel normal "$vx" "$vy")

veiled() { [ "$(brightness "$(pixel settings "$vx" "$vy")")" -lt $(( $(brightness "$before") / 2 )) ]; }
if click_until 100 765 315 settings veiled; then         # SETTINGS
    after=$(pixel settings "$vx" "$vy")
    pass "SETTINGS darkens the window with the page's veil ($before -> $after)"
else
    fail "SETTINGS: the curve area stayed $before -> $(pixel settings "$vx" "$vy")"
fi

# "Window size" is the ninth row (30 pixels each) of the 600-pixel panel centred at the top.
click_at 100 600 255
sleep 0.6
shoot settings-window-size-list
xdotool key Down sleep 0.2 key Return                    # from "Normal" to "Large"
expect_size "Large chosen on the settings page" 880 638
sleep 0.5
shoot settings-large
if grep -q 'ID="win_size"[^>]*Value="3"' "$settings_file"; then
    pass "the choice is saved"
else
    fail "Settings.xml does not hold win_size 3"
fi
stop_app

#---------------------------------------------------------------------------------------------------
# Run 2: HELP, then the about screen. Back to "Normal" first.
sed -i 's/\(ID="win_size"[^>]*Value="\)3"/\12"/' "$settings_file"
start_app help
expect_size "Normal" 800 580
read -r px py < <(on_screen 100 400 450)                # over the panel's knobs
shoot help-before
before=$(pixel help-before "$px" "$py")
covered() { [ "$(pixel help "$px" "$py")" != "$before" ]; }
if click_until 100 700 315 help covered; then           # HELP
    sleep 0.5 # the fade-in ends
    shoot help
    pass "HELP covers the window ($before -> $(pixel help "$px" "$py"))"
else
    fail "HELP: nothing changed at the panel"
fi

# Follow a link of the first page, close the viewer, press HELP again: the first page once more.
read -r ax ay < <(on_screen 100 0 0)
page_area="780x520+$(( ax + 10 ))+$(( ay + 10 ))"
differing() # number of pixels of the page area that differ between two screenshots
{
    convert "$shots/e2e-$1.png" -crop "$page_area" +repage "$work/a.png"
    convert "$shots/e2e-$2.png" -crop "$page_area" +repage "$work/b.png"
    compare -metric AE -fuzz 5% "$work/a.png" "$work/b.png" null: 2>&1 | awk '{ printf "%d", $1 }' || true
}
on_linked_page() { [ "$(differing help help-link)" -gt 2000 ]; }
click_until 100 60 392 help-link on_linked_page || true  # the "Main Screen" link
closed() { [ "$(pixel help-closed "$px" "$py")" = "$before" ]; }
click_until 100 720 560 help-closed closed || true       # CLOSE
on_first_page() { [ "$(differing help help-again)" -lt 100 ]; }
click_until 100 700 315 help-again on_first_page || true # HELP
moved=$(differing help help-link)
back=$(differing help help-again)
if [ "${moved:-0}" -gt 2000 ] && [ "${back:-999999}" -lt 100 ]; then
    pass "HELP opens on the first page again after browsing ($moved pixels differ on the linked page, $back after HELP)"
else
    fail "HELP after browsing: $moved pixels differ on the linked page, $back after HELP again"
fi
stop_app

start_app about
read -r cx cy < <(on_screen 100 400 200)                # inside the about screen's text box
read -r kx ky < <(on_screen 100 20 20)                  # its black background, far from the wave
about_shown() { [ "$(pixel about "$kx" "$ky")" = "000000" ] && [ "$(brightness "$(pixel about "$cx" "$cy")")" -gt 150 ]; }
click_until 100 700 380 about about_shown || true        # the product logo in the panel
box=$(pixel about "$cx" "$cy")
corner=$(pixel about "$kx" "$ky")
if [ "$corner" = "000000" ] && [ "$(brightness "$box")" -gt 150 ]; then
    pass "the logo opens the about screen (corner $corner, box $box)"
else
    fail "about screen not seen (corner $corner, box $box)"
fi
stop_app

#---------------------------------------------------------------------------------------------------
# Runs 3 and 4: saved sizes.
sed -i 's/\(ID="win_size"[^>]*Value="\)[0-9]*"/\10"/' "$settings_file"
start_app smaller
expect_size "saved Smaller" 640 464
shoot smaller
stop_app

sed -i 's/\(ID="win_size"[^>]*Value="\)[0-9]*"/\15"/' "$settings_file"
start_app extra-large
expect_size "saved Extra Large" 1200 870
shoot extra-large
stop_app

echo "screenshots in $shots"
[ "$failures" -eq 0 ]

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

# shellcheck source=e2e-lib.sh
source "$(dirname "$0")/e2e-lib.sh"

#---------------------------------------------------------------------------------------------------
# Run 1: no settings file. The frame around the 800 x 580 window gives the offsets for clicks.
start_app normal
measure_frame
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

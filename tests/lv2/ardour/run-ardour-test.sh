#!/usr/bin/env bash
# Ardour (Debian's ardour 7, headless: ardour7-lua with the Dummy backend) with the built LV2 on a
# track fed by Ardour's own 1 kHz sine generator; session.lua does what a user does:
#
#   run-ardour-test.sh <folder holding KroTrella.lv2> <plug-in URI>
#
# - a fresh insert reports the defaults in units, and passes the sine at its level;
# - a setting made through Ardour's controls sounds as set (+12 dB at 1 kHz, -3 dB output), and
#   after save and reopen Ardour reports the same values and it sounds the same;
# - Ardour's reset to defaults brings back the defaults and the dry level;
# - an automation lane on band 2's gain plays as written (0 dB, then +12 dB after two seconds).
#
# Levels are the track's peak meter, after the plug-in, relative to the plug-in switched off.
# Skipped (exit status 77) without ardour7-lua. Every run has its own HOME, so no cache or setting
# leaks between runs.
set -euo pipefail

skipped=77
bundles=${1:?folder holding KroTrella.lv2}
uri=${2:?plug-in URI}

if ! command -v ardour7-lua > /dev/null; then
    echo "SKIPPED: ardour7-lua is not installed (Debian package ardour)"
    exit $skipped
fi

bundles=$(cd "$bundles" && pwd) # hosts take LV2_PATH entries as absolute paths
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LV2_PATH="$bundles"
mkdir -p "$XDG_CONFIG_HOME"

script="$(dirname "$0")/session.lua"
log="$work/ardour.log"
for phase in create reopen; do
    if ! timeout 300 stdbuf -o0 -e0 ardour7-lua "$script" "$work/session" "$phase" "$uri" >> "$log" 2>&1 \
        || ! grep -q "^DONE $phase" "$log"; then
        cat "$log"
        echo "FAILED: Ardour did not get through the $phase phase"
        exit 1
    fi
done
grep -E "^(VALUES|LEVEL|AUTOMATION)" "$log"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

defaults="0=0 1=0 2=120 3=1000 4=4200 5=8500 6=0 7=0 8=0 9=0 10=1 11=1 12=1 13=1 14=1 15=2 16=0 17=0 18=0 19=0 20=20000 21=20 22=0"
set="0=1 1=-3 2=120 3=1000 4=4200 5=8500 6=0 7=12 8=0 9=0 10=1 11=2 12=1 13=1 14=1 15=0 16=0 17=1 18=0 19=0 20=20000 21=30 22=0"
check_values() {
    local case=$1 expected=$2 reported
    reported=$(grep "^VALUES $case " "$log" | head -1 | cut -d' ' -f3-)
    [ "$reported" = "$expected" ] || fail "Ardour reports after '$case': $reported, expected: $expected"
}
check_values fresh "$defaults"
check_values set "$set"
check_values reopened "$set"
check_values reset "$defaults"

# A level relative to the dry one, against what is expected, within a tolerance (all in dB).
dry=$(awk '/^LEVEL dry / { print $3 }' "$log")
check_level() {
    local what=$1 measured=$2 expected=$3 tolerance=$4
    awk -v m="$measured" -v d="$dry" -v e="$expected" -v t="$tolerance" \
        'BEGIN { r = m - d; printf "%s: %+.3f dB (expected %+g)\n", "'"$what"'", r, e; exit !(r - e <= t && e - r <= t) }' \
        || fail "$what is not at $expected dB relative to the dry sound (within $tolerance dB)"
}
for case in defaults set reopened reset; do
    expected=0
    [ "$case" = set ] || [ "$case" = reopened ] && expected=9
    check_level "$case" "$(awk -v c="$case" '$1 == "LEVEL" && $2 == c { print $3 }' "$log")" "$expected" 0.05
done
while read -r _ at measured value; do
    expected=$([ "$at" = "1.5" ] && echo 0 || echo 12)
    check_level "automation at $at s" "$measured" "$expected" 0.05
    [ "$value" = "$expected" ] || fail "the band2_gain lane reads $value at $at s, expected $expected"
done < <(grep "^AUTOMATION" "$log")
[ "$(grep -c "^AUTOMATION" "$log")" = 2 ] || fail "the automation was not read twice"

if [ $failures -ne 0 ]; then
    echo "FAILED: $failures checks"
    exit 1
fi
echo "PASSED: Ardour shows, saves, reopens, resets and automates the LV2's parameters in their units"

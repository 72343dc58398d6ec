#!/usr/bin/env bash
# Times krotrella-render against sox in the same hyperfine run: 10 minutes of stereo 24-bit audio at
# 44.1 kHz through the six filters (high-pass 40 Hz, low shelf +3 dB at 120 Hz, peaks -4 dB at 1 kHz
# and +2 dB at 4.2 kHz with Q 1, high shelf +3 dB at 8.5 kHz, low-pass 16 kHz), 24-bit output.
#
#   bench/render-vs-sox.sh [BUILD_FOLDER]     (default: build)
#
# The files go to a fresh folder under $WORK_DIR (default: $TMPDIR or /tmp), removed at the end;
# both programs read and write there. RUNS sets the number of timed runs (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
program="$build/Source/render/krotrella-render"
[ -x "$program" ] || { echo "no $program: build the krotrella-render target first" >&2; exit 2; }
command -v sox >/dev/null && command -v hyperfine >/dev/null \
    || { echo "sox and hyperfine are needed: scripts/install-deps.sh installs them" >&2; exit 2; }

work=$(mktemp -d "${WORK_DIR:-${TMPDIR:-/tmp}}/kro-render-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

sox -V1 -n -r 44100 -b 24 -c 2 "$work/in.wav" synth 600 pinknoise gain -8

ours="$program --quiet --force \
--set master_active=On --set hipass_freq=40Hz \
--set band1_active=On --set band1_gain=+3dB \
--set band2_active=On --set band2_gain=-4dB \
--set band3_active=On --set band3_gain=+2dB \
--set band4_active=On --set band4_gain=+3dB \
--set lopass_freq=16kHz \
$work/in.wav $work/ours.wav"

theirs="sox -V1 $work/in.wav -b 24 $work/sox.wav \
highpass 40 bass +3 120 equalizer 1000 1q -4 equalizer 4200 1q +2 treble +3 8500 lowpass 16000"

echo "10 minutes of stereo 24-bit 44.1 kHz audio in $work ($(df -h --output=fstype "$work" | tail -1 | tr -d ' '))"
hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown "$work/times.md" \
    -n krotrella-render "$ours" -n sox "$theirs"
cat "$work/times.md"

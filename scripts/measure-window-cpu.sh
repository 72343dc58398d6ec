#!/usr/bin/env bash
# Measures what the window costs in CPU under Xvfb, as a share of one core over 10 seconds:
#
#   idle     the standalone application, no audio device, nothing moving (this includes the
#            standalone wrapper's own work, such as its scan for MIDI inputs every 500 ms);
#   window   build/bench/KroTrellaWindowLoad --idle: the window alone, no audio, nothing moving;
#   running  build/bench/KroTrellaWindowLoad: the same window with stereo pink noise flowing
#            through the processor at real-time pace (44.1 kHz, 512-frame blocks), the equaliser
#            on and the analyser running.
#
# For each it prints the CPU time of the message thread (the window's own work), of the whole
# process (with the audio thread, for "running") and of the X server (which receives the pixels).
# The figures come from /proc/<pid>/task/<tid>/stat (utime + stime, in clock ticks).
#
# Usage: scripts/measure-window-cpu.sh [build-folder] [seconds]
# Needs: xvfb (Xvfb), a build with the targets KroTrella_Standalone and KroTrellaWindowLoad.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
seconds="${2:-10}"
settle=3
standalone="$build/Source/KroTrella_artefacts/Release/Standalone/KroTrella"
load="$build/bench/KroTrellaWindowLoad"

for program in "$standalone" "$load"; do
    if [ ! -x "$program" ]; then
        echo "missing $program: cmake --build $build --target KroTrella_Standalone KroTrellaWindowLoad" >&2
        exit 1
    fi
done

ticks_per_second=$(getconf CLK_TCK)

# utime + stime of a thread or a process, from the stat line (the fields after the command).
cpu_ticks() {
    local stat
    stat=$(cat "$1" 2>/dev/null) || { echo 0; return; }
    stat=${stat##*) }
    set -- $stat
    echo $(( ${12} + ${13} ))
}

percent() {
    awk -v t="$1" -v hz="$ticks_per_second" -v s="$seconds" 'BEGIN { printf "%.1f %%", 100 * t / (hz * s) }'
}

scratch=$(mktemp -d)
trap 'kill "${xvfb_pid:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

# One X server for both runs, 24-bit like a desktop.
display=":$(( 90 + RANDOM % 400 ))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
sleep 1

measure() {
    local name="$1"; shift
    XDG_CONFIG_HOME="$scratch/config" HOME="$scratch" DISPLAY="$display" "$@" >"$scratch/$name.log" 2>&1 &
    local pid=$!
    sleep "$settle"

    if ! kill -0 "$pid" 2>/dev/null; then
        echo "$name: the program ended early; its output:" >&2
        cat "$scratch/$name.log" >&2
        return 1
    fi

    local main0 all0 x0 main1 all1 x1 task
    declare -A before=()
    for task in /proc/$pid/task/*; do before[$task]=$(cpu_ticks "$task/stat"); done
    main0=$(cpu_ticks "/proc/$pid/task/$pid/stat")
    all0=$(cpu_ticks "/proc/$pid/stat")
    x0=$(cpu_ticks "/proc/$xvfb_pid/stat")
    sleep "$seconds"
    main1=$(cpu_ticks "/proc/$pid/task/$pid/stat")
    all1=$(cpu_ticks "/proc/$pid/stat")
    x1=$(cpu_ticks "/proc/$xvfb_pid/stat")

    local threads=""
    for task in /proc/$pid/task/*; do
        threads+=" $(cat "$task/comm" 2>/dev/null | tr ' ' '_'):$(( $(cpu_ticks "$task/stat") - ${before[$task]:-0} ))"
    done

    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true

    printf '%-8s message thread %3d ticks = %-7s  whole process %3d ticks = %-7s  X server %3d ticks = %s\n' \
        "$name" $((main1 - main0)) "$(percent $((main1 - main0)))" \
        $((all1 - all0)) "$(percent $((all1 - all0)))" \
        $((x1 - x0)) "$(percent $((x1 - x0)))"
    echo "         ticks per thread:$threads"
}

echo "CPU over $seconds s under Xvfb ($ticks_per_second ticks per second, one core = 100 %)"
measure idle "$standalone"
measure window "$load" --idle --seconds $((settle + seconds + 5))
measure running "$load" --seconds $((settle + seconds + 5))

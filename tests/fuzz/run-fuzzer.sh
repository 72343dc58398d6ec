#!/usr/bin/env bash
# Runs one libFuzzer target for a while, starting from the seed corpus in the repository, and fails
# when the target finds a crash, a sanitizer report or a failed check.
#
#   run-fuzzer.sh <fuzzer binary> <seconds> <seed folder> <findings folder> [libFuzzer options...]
#
# New inputs go to a throw-away folder, never into the seeds; an input that fails is saved in
# <findings folder> (add it to the seeds once the fault is mended).
set -euo pipefail

fuzzer=${1:?fuzzer binary}
seconds=${2:?seconds}
seeds=${3:?seed folder}
findings=${4:?findings folder}
shift 4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$findings"
export HOME="$work" XDG_CONFIG_HOME="$work/.config"

status=0
"$fuzzer" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$@" "$work/corpus" "$seeds" || status=$?
exit $status

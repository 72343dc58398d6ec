#!/usr/bin/env bash
# Runs a test binary under qemu-user with an emulated processor model, so that the vector kernels
# of a narrower processor run here too (qemu 7.2 emulates up to AVX2, not AVX-512).
#   run-under-qemu.sh CPU_MODEL EXPECTED_KERNEL_SET BINARY [ARGUMENTS...]
# The binary's own test checks that the model got EXPECTED_KERNEL_SET. Skips (status 77) without qemu.
set -euo pipefail

model=$1 expected=$2 binary=$3
shift 3

qemu=$(command -v qemu-x86_64 || true)
if [ -z "$qemu" ]; then
    echo "SKIPPED: qemu-x86_64 (Debian package qemu-user) is not installed, so the $expected kernels do not run"
    exit 77
fi

echo "$binary under $qemu -cpu $model, expecting the $expected kernels"
KRO_EXPECTED_KERNEL_SET=$expected exec "$qemu" -cpu "$model" "$binary" "$@"

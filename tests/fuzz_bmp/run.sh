#!/usr/bin/env bash
# Runs the BMP reader's fuzz target over its seed corpus and then for a fixed number of new
# inputs (FUZZ_RUNS, default 200000, fixed seed); exits non-zero when an input crashes it.
# Usage: tests/fuzz_bmp/run.sh BUILD-DIR   (configured with clang, -DVEXMOOR_FUZZ=ON -DVEXMOOR_SANITIZE=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD-DIR}
runs=${FUZZ_RUNS:-200000}
here=$(cd "$(dirname "$0")" && pwd)
fuzzer=$build/vexmoor_fuzz_bmp
if [ ! -x "$fuzzer" ]; then
    echo "run.sh: $fuzzer is missing; build the target vexmoor_fuzz_bmp with -DVEXMOOR_FUZZ=ON" >&2
    exit 2
fi
# The corpus grows in a scratch copy, so the seeds in the repository stay as they are; a crashing
# input is kept in the build directory.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/corpus/* "$work"/
"$fuzzer" -runs="$runs" -seed=1 -max_len=4096 -artifact_prefix="$build/fuzz_bmp-" "$work" 2>"$work/log" || {
    tail -n 40 "$work/log" >&2
    echo "FAIL: vexmoor_fuzz_bmp crashed; the input is in $build/fuzz_bmp-*" >&2
    exit 1
}
grep -E "^Done [0-9]+ runs" "$work/log" || true
echo "PASS: vexmoor_fuzz_bmp ran $runs inputs without a crash"

#!/bin/sh
# Runs every fuzz target of a build directory configured with VEXMOOR_FUZZ=ON for a fixed number
# of inputs, starting from the seed corpus beside it. Fails on the first crash, leak or sanitizer
# report; the input that caused it is kept in the build directory's fuzz-artifacts/.
# The targets of tests/fuzz_bmp and tests/fuzz_cd run here too.
# Usage: tests/fuzz/run_fuzzers.sh <build-dir> [runs per target, default 20000]
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 <build-dir> [runs]" >&2
    exit 2
fi
build=$1
runs=${2:-20000}
here=$(cd "$(dirname "$0")" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tests=$(dirname "$here")
# Each target with the seed corpus it starts from.
for entry in cff:$here/corpus/cff image_set:$here/corpus/image_set palette:$here/corpus/palette \
             rle:$here/corpus/rle bmp:$tests/fuzz_bmp/corpus reg_file:$tests/fuzz_cd/corpus_reg \
             cue_sheet:$tests/fuzz_cd/corpus_cue; do
    target=${entry%%:*}
    seeds=${entry#*:}
    binary="$build/fuzz_$target"
    if [ ! -x "$binary" ]; then
        echo "run_fuzzers: $binary not found; configure $build with -DVEXMOOR_FUZZ=ON and build it" >&2
        exit 2
    fi
    # New inputs go to a scratch corpus; the checked-in seeds are only read.
    mkdir -p "$work/$target"
    echo "fuzz_$target: $runs inputs"
    if ! "$binary" -runs="$runs" -max_len=4096 -seed=1 -print_final_stats=0 \
        -artifact_prefix="$artifacts/${target}-" "$work/$target" "$seeds" \
        >"$work/$target.log" 2>&1; then
        cat "$work/$target.log" >&2
        echo "run_fuzzers: fuzz_$target failed; reproducer in $artifacts" >&2
        exit 1
    fi
    tail -n 1 "$work/$target.log"
done
echo "run_fuzzers: all targets passed"

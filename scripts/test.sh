#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: the unit tests and the end-to-end test on a
# real X server, then the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the fuzz targets for a fixed number of inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== build and test (build/)"
scripts/setup.sh build
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)

echo "== unit tests under ASan + UBSan (build-asan/)"
scripts/setup.sh build-asan -DVEXMOOR_SANITIZE=ON -DVEXMOOR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build-asan && ctest -j"$jobs" --output-on-failure -E '^EndToEnd')

if [ -x tests/fuzz/run_fuzzers.sh ]; then
  echo "== fuzz targets (build-fuzz/)"
  scripts/setup.sh build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVEXMOOR_FUZZ=ON \
    -DVEXMOOR_SANITIZE=ON -DVEXMOOR_TESTS=ON -DVEXMOOR_BENCH=OFF
  cmake --build build-fuzz -j"$jobs" --target fuzz_cff fuzz_image_set fuzz_palette fuzz_rle fuzz_bmp \
    fuzz_reg_file fuzz_cue_sheet
  tests/fuzz/run_fuzzers.sh build-fuzz
fi
echo "== all tests passed"

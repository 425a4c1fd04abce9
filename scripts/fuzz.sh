#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan and UBSan on) into build-fuzz/, only
# with the libraries they need, and runs each for a while from its checked-in corpus.
#   bash scripts/fuzz.sh [SECONDS]     seconds per target, 30 by default
# New inputs go to build-fuzz/corpus/<target>/; an input that breaks an invariant is written
# to build-fuzz/findings/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
targets=(datafile textconv cli_options)
bash scripts/setup.sh --install-only --fuzz

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOBRIX_FUZZ=ON \
  -DVOBRIX_UI=OFF -DVOBRIX_BENCH=OFF -DBUILD_TESTING=OFF
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0
failed=0
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$target"
  log="build-fuzz/fuzz_$target.log"
  # A fixed seed, so that a CI run explores as the one before it did.
  if build-fuzz/fuzz/"fuzz_$target" -max_total_time="$seconds" -seed="${VOBRIX_FUZZ_SEED:-1}" \
    -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "build-fuzz/corpus/$target" \
    "fuzz/corpus/$target" >"$log" 2>&1; then
    echo "fuzz_$target: passed, $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log")"
    passed=$((passed + 1))
  else
    echo "fuzz_$target: FAILED (log $log)"
    grep -E 'invariant broken|ERROR|SUMMARY|Test unit written' "$log" || tail -30 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz targets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

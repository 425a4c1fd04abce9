#!/usr/bin/env bash
# Times a default `vobrix-cli` run on a 100-point series with the working tree's code against
# the code of an earlier revision, side by side in one session, and checks that both print the
# same bytes.
#
#   bench/compare_main.sh [REVISION] [REPETITIONS]
#
# REVISION (default f388119, the main branch before the whole-run work) is exported with
# `git archive` and built in its own directory; the working tree is built in another. Neither
# touches build/ or the repository's worktrees. Both are Release builds of vobrix-cli alone,
# with ccache when it is installed. The series is the first 100 rows of
# data/mackey-glass-train.txt, validated on the 20 rows after them. Each repetition runs both
# programs once with the same seed (1, 2, ...), in alternating order, so that a change in the
# machine's load touches both alike. The report gives the median wall time of each and the
# medians of the per-repetition ratios of wall and of CPU time (earlier / current: above 1
# means the current code is faster). On a busy machine the CPU ratio is the steadier one; on
# an idle one the wall ratio is what a user sees (the run uses every core).
#
# Environment: VOBRIX_COMPARE_DIR (default ${TMPDIR:-/tmp}/vobrix-compare) holds the builds and
# the outputs; JOBS (default 2) is the build's parallelism; VOBRIX_CLI_ARGS adds options to both
# runs (say "--threads 1").
set -euo pipefail

revision=${1:-f388119}
repetitions=${2:-10}
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=${VOBRIX_COMPARE_DIR:-${TMPDIR:-/tmp}/vobrix-compare}
jobs=${JOBS:-2}
commit=$(git -C "$root" rev-parse --verify "$revision^{commit}")
short=${commit:0:7}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# build SOURCE_DIR BUILD_DIR: a Release vobrix-cli without the window, benchmarks or tests.
build() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DVOBRIX_UI=OFF -DVOBRIX_BENCH=OFF \
    -DBUILD_TESTING=OFF "${launcher[@]}" >"$2.configure.log" 2>&1 ||
    { cat "$2.configure.log" >&2; exit 1; }
  cmake --build "$2" --target vobrix-cli -j"$jobs" >"$2.build.log" 2>&1 ||
    { tail -n 40 "$2.build.log" >&2; exit 1; }
}

mkdir -p "$work"
earlier_src="$work/src-$short"
if [ ! -f "$earlier_src/CMakeLists.txt" ]; then
  rm -rf "$earlier_src"
  mkdir -p "$earlier_src"
  git -C "$root" archive "$commit" | tar -x -C "$earlier_src"
fi
echo "building $short in $work/build-$short ..." >&2
build "$earlier_src" "$work/build-$short"
echo "building the working tree in $work/build-current ..." >&2
build "$root" "$work/build-current"
earlier="$work/build-$short/src/cli/vobrix-cli"
current="$work/build-current/src/cli/vobrix-cli"

train="$work/train-100.txt"
validation="$work/validation-20.txt"
head -n 100 "$root/data/mackey-glass-train.txt" >"$train"
sed -n '101,120p' "$root/data/mackey-glass-train.txt" >"$validation"
read -r -a extra <<<"${VOBRIX_CLI_ARGS:-}"

# run PROGRAM SEED OUTPUT: prints the wall seconds and the CPU seconds (user + system) of one
# run; the program's standard error goes to stderr.log.
run() {
  local TIMEFORMAT='%R %U %S' times
  times=$({ time "$1" --train "$train" --validation "$validation" --seed "$2" "${extra[@]}" \
    >"$3" 2>>"$work/stderr.log"; } 2>&1)
  read -r wall user system <<<"$times"
  echo "$wall $(calc "$user + $system")"
}

calc() { awk "BEGIN { print $1 }"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/stderr.log"
earlier_times=() current_times=() ratios=() cpu_ratios=() differ=0
for ((r = 1; r <= repetitions; ++r)); do
  if ((r % 2)); then
    read -r e ecpu <<<"$(run "$earlier" "$r" "$work/earlier.csv")"
    read -r c ccpu <<<"$(run "$current" "$r" "$work/current.csv")"
  else
    read -r c ccpu <<<"$(run "$current" "$r" "$work/current.csv")"
    read -r e ecpu <<<"$(run "$earlier" "$r" "$work/earlier.csv")"
  fi
  cmp -s "$work/earlier.csv" "$work/current.csv" || differ=$((differ + 1))
  earlier_times+=("$e") current_times+=("$c")
  ratios+=("$(calc "$e / $c")") cpu_ratios+=("$(calc "$ecpu / $ccpu")")
  printf 'seed %2d: %s %.0f ms (CPU %.0f ms), current %.0f ms (CPU %.0f ms)\n' "$r" "$short" \
    "$(calc "$e * 1000")" "$(calc "$ecpu * 1000")" "$(calc "$c * 1000")" \
    "$(calc "$ccpu * 1000")" >&2
done

earlier_median=$(printf '%s\n' "${earlier_times[@]}" | median)
current_median=$(printf '%s\n' "${current_times[@]}" | median)
ratio_median=$(printf '%s\n' "${ratios[@]}" | median)
printf 'default vobrix-cli run, 100 points, %d repetitions%s\n' "$repetitions" \
  "${VOBRIX_CLI_ARGS:+, options: $VOBRIX_CLI_ARGS}"
printf '  %s (earlier): median %.1f ms\n' "$short" "$(calc "$earlier_median * 1000")"
printf '  current:        median %.1f ms\n' "$(calc "$current_median * 1000")"
printf '  ratio earlier / current: %.2fx wall, %.2fx CPU (medians of the per-seed ratios)\n' \
  "$ratio_median" "$(printf '%s\n' "${cpu_ratios[@]}" | median)"
if ((differ > 0)); then
  printf '  OUTPUT DIFFERS on %d of %d seeds\n' "$differ" "$repetitions"
  exit 2
fi
printf '  output: the same bytes on every seed\n'

#!/usr/bin/env bash
# Builds everything, the window included, with sanitizers into its own folder and runs every
# test there (the window tests offscreen). Any finding fails the test that caused it.
#   bash scripts/sanitize.sh            AddressSanitizer, LeakSanitizer and UBSan (build-asan/)
#   bash scripts/sanitize.sh thread     ThreadSanitizer, target_clones off (build-tsan/)
# Further arguments go to CMake (e.g. -DVOBRIX_UI=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=${1:-address,undefined}
[ $# -gt 0 ] && shift
case "$sanitize" in
  thread) dir=build-tsan ;;
  address,undefined | address | undefined) dir=build-asan ;;
  *) echo "sanitize.sh: unknown sanitizer set '$sanitize'" >&2; exit 2 ;;
esac
bash scripts/setup.sh --install-only

# Set for the build too: test discovery runs the test programs.
suppressions="$PWD/scripts/sanitizers"
export ASAN_OPTIONS=detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOBRIX_SANITIZE="$sanitize" \
  -DVOBRIX_BENCH=OFF "$@"
cmake --build "$dir" -j2
cd "$dir"
ctest --output-on-failure -j2 --timeout 600

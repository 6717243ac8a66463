#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its own
# and runs the whole CTest suite there; any finding ends the test that met it with a failure.
# Usage: sanitize.sh BUILD_DIR JOBS
set -euo pipefail
dir="${1:-build-sanitize}"
jobs="${2:-$(nproc)}"
here="$(cd "$(dirname "$0")/.." && pwd)"
start=$(date +%s)

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$dir" -j "$jobs"
built=$(date +%s)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
status=0
(cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs") || status=$?
end=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((end - built)) s, total $((end - start)) s"
exit $status

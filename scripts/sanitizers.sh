#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything with clang under a sanitizer and runs the whole test suite.
#   bash scripts/sanitizers.sh address   # AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   bash scripts/sanitizers.sh thread    # ThreadSanitizer (build-tsan/)
# Any report fails the run. The suppression files in sanitizers/ name only Qt's own code.
# Both build with Qt 5: the suppressions name Qt 5's libraries and the thread
# sanitizer's note on Qt's event queue wraps Qt 5's functions by their symbols.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: sanitizers.sh address|thread}
bash scripts/install-deps.sh sanitizers
case "$kind" in
address) dir=build-asan ;;
thread) dir=build-tsan ;;
*) echo "usage: sanitizers.sh address|thread" >&2; exit 2 ;;
esac
# The suite only: the benchmark and the screenshot tool run no test, and the plain
# build already keeps them compiling.
CC=clang CXX=clang++ cmake -S . -B "$dir" -DQT_MAJOR_VERSION=5 -DQR36_SANITIZE="$kind" -DQR36_WARNINGS_AS_ERRORS=ON \
    -DQR36_BUILD_BENCHMARKS=OFF -DQR36_BUILD_TOOLS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"
supp="$PWD/sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Qt's libraries have no frame pointers: the slow unwinder gives leak stacks the
# suppressions can match exactly.
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Allocations made inside the uninstrumented Qt libraries are not checked for races.
export TSAN_OPTIONS="suppressions=$supp/tsan.supp:ignore_noninstrumented_modules=1:halt_on_error=1:exitcode=66"
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

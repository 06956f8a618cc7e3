#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tool in Release and runs qr36tn-benchmark, which measures it against
# the simulator on port 24000 of a loopback address (127.0.0.41 unless ADDRESS is
# set; that port must be free) and prints each figure beside its target. Takes
# about five minutes. Extra arguments go to the benchmark, e.g. --runs 5 or
# --only pacing. The link's debug lines, one per command, go to a file as an
# operator's would: BUILD_DIR/benchmark-debug.log; the figures also land in
# BUILD_DIR/benchmark.txt. See docs/performance.md.
#   bash scripts/benchmark.sh [QT=6] [benchmark arguments]   # Qt 6: build-bench-qt6/
set -euo pipefail
cd "$(dirname "$0")/.."
qt=5
case "${1:-}" in
QT=5 | QT=6) qt=${1#QT=}; shift ;;
esac
if [ "$qt" = 6 ]; then
    bash scripts/install-deps.sh qt6
    build=${BUILD_DIR:-build-bench-qt6}
else
    bash scripts/install-deps.sh
    build=${BUILD_DIR:-build-bench}
fi
cmake -S . -B "$build" -DQT_MAJOR_VERSION="$qt" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target qr36tn-benchmark
log="$build"/benchmark-debug.log
status=0
"$build"/benchmarks/qr36tn-benchmark --address "${ADDRESS:-127.0.0.41}" "$@" 2>"$log" \
    | tee "$build"/benchmark.txt || status=$?
if [ "$status" -ne 0 ]; then
    echo "the benchmark could not measure everything (exit $status); the end of $log:" >&2
    tail -n 5 "$log" >&2
fi
exit "$status"

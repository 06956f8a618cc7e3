#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer harnesses (clang, ASan + UBSan) and runs each for a bounded
# time, starting from the seed corpus in fuzz/corpus/. New inputs go to a scratch
# folder, so the committed corpus is not changed.
#   bash scripts/fuzz.sh [seconds per harness, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/install-deps.sh sanitizers
# The harnesses take replies and files apart in the libraries alone: Qt 5, as the sanitizer builds.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQT_MAJOR_VERSION=5 -DQR36_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_replyconversion fuzz_measurementreadout fuzz_configurationfile fuzz_recordedreadings
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for harness in replyconversion measurementreadout configurationfile recordedreadings; do
    mkdir -p "$scratch/$harness"
    echo "== fuzz_$harness for ${seconds}s"
    build-fuzz/fuzz/fuzz_$harness -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$scratch/" "$scratch/$harness" "fuzz/corpus/$harness" 2>"$scratch/$harness.log" \
        || { tail -n 40 "$scratch/$harness.log"; cp "$scratch"/crash-* . 2>/dev/null || true; exit 1; }
    grep -E '^Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$scratch/$harness.log"
done

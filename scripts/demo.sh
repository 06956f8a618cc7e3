#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds, starts the module simulator on loopback and the
# setting tool beside it. Type 127.0.0.1 into the tool's address field and press
# "Connect". The simulator stops when the tool is closed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build >/dev/null
# Only what it runs: the tests and the benchmark are left to scripts/test.sh and benchmark.sh.
cmake --build build -j"$(nproc)" --target qr36tn-setting qr36tn-simulator
build/simulator/qr36tn-simulator --address 127.0.0.1 --port 24000 --axes "${AXES:-4}" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
build/app/qr36tn-setting

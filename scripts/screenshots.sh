#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the README's pictures into docs/screenshots/: builds the tool and runs
# qr36tn-screenshots, which plays a four-axis module on port 24000 of a loopback
# address and drives the real main window headless, as an operator would.
# That port must be free (stop a running demo first), or pick another loopback
# address: ADDRESS=127.0.0.2 bash scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target qr36tn-screenshots
"$build"/tools/screenshots/qr36tn-screenshots --address "${ADDRESS:-127.0.0.1}" --output docs/screenshots

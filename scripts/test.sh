#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds everything and runs the whole test suite headless.
#   bash scripts/test.sh          # Qt 5, in build/
#   bash scripts/test.sh QT=6     # Qt 6, in build-qt6/
set -euo pipefail
cd "$(dirname "$0")/.."
qt=5
for argument in "$@"; do
    case "$argument" in
    QT=5 | QT=6) qt=${argument#QT=} ;;
    *) echo "usage: test.sh [QT=5|QT=6]" >&2; exit 2 ;;
    esac
done
if [ "$qt" = 6 ]; then
    bash scripts/install-deps.sh qt6
    build=build-qt6
else
    bash scripts/install-deps.sh
    build=build
fi
cmake -S . -B "$build" -DQT_MAJOR_VERSION="$qt" -DQR36_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

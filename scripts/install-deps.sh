#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build and run dependencies from Debian's packages. Needs root; as
# another user it only checks that the tools are there.
#   bash scripts/install-deps.sh [sanitizers] [qt6]
set -euo pipefail
# help2man writes manual pages from --help; dpkg-dev and file let CPack build the
# .deb with its library dependencies; lintian and appstream check it in the package test.
# fonts-crosextra-carlito: the program's font, which the forms' rectangles are measured for.
# libqt5charts5-dev: the monitor's trend chart.
packages=(cmake make g++ qtbase5-dev qtbase5-dev-tools libqt5charts5-dev help2man dpkg-dev file lintian appstream
          fonts-crosextra-carlito)
tools=(cmake g++ qmake help2man dpkg-shlibdeps file lintian appstreamcli)
for extra in "$@"; do
    case "$extra" in
    # clang with its sanitizer and libFuzzer runtimes.
    sanitizers) packages+=(clang libclang-rt-dev); tools+=(clang++) ;;
    # Qt 6 beside Qt 5; Qt 6's Charts package finds its OpenGL module through libqt6opengl6-dev.
    qt6) packages+=(qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev); tools+=(qmake6) ;;
    *) echo "usage: install-deps.sh [sanitizers] [qt6]" >&2; exit 2 ;;
    esac
done
if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
else
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "missing $tool: run this script as root to install ${packages[*]}" >&2; exit 1; }
    done
    fc-list | grep -q Carlito || { echo "missing the Carlito font: run this script as root to install ${packages[*]}" >&2; exit 1; }
fi

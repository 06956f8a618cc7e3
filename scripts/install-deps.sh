#!/usr/bin/env bash
# Installs the build and run dependencies from Debian's packages. Needs root; as
# another user it only checks that the tools are there.
set -euo pipefail
# dpkg-dev, file and desktop-file-utils: the package test builds the .deb with its
# library dependencies and checks the desktop entry. libqt5charts5-dev: the monitor's
# trend chart.
packages=(cmake make g++ qtbase5-dev qtbase5-dev-tools libqt5charts5-dev dpkg-dev file desktop-file-utils)
# "sanitizers" adds clang with its sanitizer and libFuzzer runtimes.
if [ "${1:-}" = sanitizers ]; then
    packages+=(clang libclang-rt-dev)
fi
if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
else
    for tool in cmake g++ qmake dpkg-shlibdeps file desktop-file-validate; do
        command -v "$tool" >/dev/null || { echo "missing $tool: run this script as root to install ${packages[*]}" >&2; exit 1; }
    done
fi

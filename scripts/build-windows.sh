#!/usr/bin/env bash
# Cross-builds the whole project for 64-bit Windows into build-windows/ (the
# windows preset) with MinGW-w64 against the Qt that
# scripts/build-qt-windows.sh makes once per machine (or reuses). The
# windows preset also builds the regular build's native programs it needs
# (cmake/windows_cross.cmake); the regular build is configured here when it
# is not yet. Installs nothing: bash scripts/setup.sh build windows does.
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVEL_QT_MINGW=$(bash scripts/build-qt-windows.sh)
export QUORVEL_QT_MINGW
[ -f build/CMakeCache.txt ] || cmake --preset regular >/dev/null
cmake --preset windows
nice -n "${QUORVEL_NICE:-10}" cmake --build --preset windows

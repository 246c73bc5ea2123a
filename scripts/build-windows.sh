#!/usr/bin/env bash
# Cross-builds the whole project for 64-bit Windows into build-windows/ (the
# windows preset) with MinGW-w64 against the Qt that
# scripts/build-qt-windows.sh makes (or reuses). Prints Qt's prefix on
# stdout; everything else goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVEL_QT_MINGW=$(bash scripts/build-qt-windows.sh)
export QUORVEL_QT_MINGW
[ "${CI:-}" = true ] && export QUORVEL_WERROR=ON
# A cross build cannot run its own programs: the Windows icon is drawn by the
# regular build's draw_pictures.
cmake --preset regular >/dev/null
nice -n "${QUORVEL_NICE:-10}" cmake --build --preset regular --target draw_pictures >&2
cmake --preset windows >&2
nice -n "${QUORVEL_NICE:-10}" cmake --build --preset windows >&2
echo "$QUORVEL_QT_MINGW"

#!/usr/bin/env bash
# Cross-builds the whole project for 64-bit Windows into build-windows/ with
# MinGW-w64 against the Qt that scripts/build-qt-windows.sh makes (or reuses).
# The core's library ends up at build-windows/src/discovery/libdiscovery.a.
# Prints Qt's prefix on stdout; everything else goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
qt=$(bash scripts/build-qt-windows.sh)

# A cross build cannot run its own programs: the Windows icon is drawn by the
# regular build's draw_pictures.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >&2
nice -n "${QUORVEL_NICE:-10}" cmake --build build --target draw_pictures >&2

werror=OFF
[ "${CI:-}" = true ] && werror=ON
# -O2, not -O3: MinGW's GCC 12 warns falsely at -O3 (array-bounds in
# std::string copies of the tests), which fails a -Werror build.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_FIND_ROOT_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$repo/scripts/run-under-wine.sh" \
    -DQUORVEL_HOST_DRAW_PICTURES="$repo/build/resources/draw_pictures" \
    -DQUORVEL_BENCH=OFF -DQUORVEL_WERROR=$werror "${launcher[@]}" >&2
nice -n "${QUORVEL_NICE:-10}" cmake --build build-windows >&2
echo "$qt"

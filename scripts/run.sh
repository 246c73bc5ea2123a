#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
cmake --build build
app=build/src/app/quorvel
if [ ! -x "$app" ]; then
    echo "Built the discovery core; the window is not part of the build yet."
    exit 0
fi
exec "$app"

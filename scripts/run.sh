#!/usr/bin/env bash
# Installs what is missing, builds the program (only what it needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
cmake --preset regular >/dev/null
cmake --build --preset app
exec build/src/app/quorvel

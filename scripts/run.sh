#!/usr/bin/env bash
# Installs what is missing, builds the program and the device simulator
# (build/tools/quorvel-sim; the README shows how to try them together), and
# starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
cmake --preset regular >/dev/null
cmake --build --preset app
exec build/src/app/quorvel

#!/usr/bin/env bash
# Runs every benchmark of a build directory and prints its figures.
set -euo pipefail
build=${1:-build}
status=0
for bench in "$build"/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "-- $(basename "$bench")"
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$bench" || status=1
done
exit $status

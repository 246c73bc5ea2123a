#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the regular build: unit, widget and network-namespace tests, benchmarks (figures only);
#   2. the core under AddressSanitizer + UndefinedBehaviorSanitizer, and a bounded fuzz run;
#   3. the listener under ThreadSanitizer;
#   4. the Windows build and its tests under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

run_ctest() {
    local dir=$1; shift
    local log; log=$(mktemp)
    local status=0
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@" 2>&1 | tee "$log" || status=$?
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    grep -E 'tests passed, [0-9]+ tests failed out of' "$log" >>"$summary" || true
    rm -f "$log"
    return $status
}

failed=0
echo "== regular build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_WERROR=$werror >/dev/null
cmake --build build
run_ctest build || failed=1

if [ -x scripts/bench.sh ]; then
    echo "== benchmarks (figures only)"
    bash scripts/bench.sh build || failed=1
fi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer, fuzzing"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DQUORVEL_UI=OFF -DQUORVEL_BENCH=OFF -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined \
    -DQUORVEL_WERROR=$werror >/dev/null
cmake --build build-asan
run_ctest build-asan -L 'core|fuzz' || failed=1

echo "== ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DQUORVEL_UI=OFF -DQUORVEL_BENCH=OFF -DQUORVEL_SANITIZE=thread -DQUORVEL_WERROR=$werror >/dev/null
cmake --build build-tsan
if ctest --test-dir build-tsan -N -L tsan | grep -q 'Total Tests: [1-9]'; then
    run_ctest build-tsan -L tsan || failed=1
fi

# ---------------------------------------------------------------------------
# Windows: the whole application cross-built with MinGW against Qt built from
# Debian's sources (once per machine), its tests and the packaged quorvel.exe
# under Wine, in network namespaces of its own (scripts/test-windows.sh).
echo "== Windows (MinGW build under Wine)"
windows_log=$(mktemp)
bash scripts/test-windows.sh 2>&1 | tee "$windows_log" || failed=1
grep -E 'tests passed, [0-9]+ tests failed out of' "$windows_log" >>"$summary" || true
rm -f "$windows_log"
# ---------------------------------------------------------------------------

passed=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "out" && $(i+1) == "of") total += $(i+2); for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print total - bad }' "$summary")
bad=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print bad + 0 }' "$summary")
echo "all: $passed passed, $bad failed"
exit $failed

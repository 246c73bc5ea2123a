#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the regular build (-O2, no debug information): unit, widget and
#      network-namespace tests, benchmarks (figures only);
#   2. everything again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (the core, the window and the real program), and a bounded fuzz run;
#   3. the listener and the window's teardown under ThreadSanitizer;
#   4. the Debian package: built in Release, validated, installed, run and purged;
#   5. the Windows build under Wine (scripts/test-windows.sh), with the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
bash scripts/setup.sh build

# What the package and Windows stages need is installed in the background
# while the first stages build (the package stage's own setup waits for it).
# Then Qt for MinGW: built once per machine and then reused. On a machine that
# has not built it yet, the build starts now, at low priority, so it uses what
# the stages below leave of the processor; the Windows stage waits for it.
qt_log=$(mktemp)
{ bash scripts/setup.sh package windows && bash scripts/build-qt-windows.sh; } >"$qt_log" 2>&1 &
qt_build=$!

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)
# A compiler cache keyed on paths relative to the checkout, so that a fresh
# clone reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR=$PWD
# On a miss, take the header list from the compiler's own dependency output
# instead of running the preprocessor a second time.
export CCACHE_DEPEND=true
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
summary=$(mktemp)
trap 'rm -f "$summary" "$qt_log"' EXIT

stage() { echo "== $* (at $(( $(date +%s) - started )) s)"; }

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
stage "regular build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" -DQUORVEL_WERROR=$werror >/dev/null
cmake --build build
run_ctest build -LE package || failed=1

if [ -x scripts/bench.sh ]; then
    stage "benchmarks (figures only)"
    bash scripts/bench.sh build || failed=1
fi

stage "AddressSanitizer + UndefinedBehaviorSanitizer, fuzzing"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DQUORVEL_BENCH=OFF -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined \
    -DQUORVEL_WERROR=$werror >/dev/null
cmake --build build-asan
run_ctest build-asan -L 'core|fuzz|ui|app' || failed=1

stage "ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DQUORVEL_BENCH=OFF -DQUORVEL_SANITIZE=thread -DQUORVEL_WERROR=$werror >/dev/null
# Only the tests that run here are built: the others' code is covered by the
# builds above, and each test program under ThreadSanitizer is slow to compile.
tsan_tests=$(ctest --test-dir build-tsan -N -L tsan | sed -n 's/^ *Test *#[0-9]*: //p')
if [ -n "$tsan_tests" ]; then
    # shellcheck disable=SC2086  # one target per test name
    cmake --build build-tsan --target $tsan_tests
    run_ctest build-tsan -L tsan || failed=1
fi

# ---- Debian package ---------------------------------------------------------
# Its own Release build (build-release/, ccache when installed), then the checks
# of tests/package/ on dist/quorvel_*.deb; run alone, after the tests above,
# so the Release build does not compete with them.
stage "Debian package"
run_ctest build -L package || failed=1
# ---- end of Debian package ---------------------------------------------------

stage "Windows"
if ! wait $qt_build; then
    cat "$qt_log"
    echo "Qt for MinGW could not be built"
    failed=1
else
    windows_log=$(mktemp)
    bash scripts/test-windows.sh 2>&1 | tee "$windows_log" || failed=1
    grep -E '^windows: [0-9]+ tests passed, [0-9]+ tests failed out of' "$windows_log" >>"$summary" || true
    rm -f "$windows_log"
fi

passed=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "out" && $(i+1) == "of") total += $(i+2); for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print total - bad }' "$summary")
bad=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print bad + 0 }' "$summary")
echo "all: $passed passed, $bad failed, in $(( $(date +%s) - started )) s"
exit $failed

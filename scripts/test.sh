#!/usr/bin/env bash
# scripts/test.sh [STAGE ...]
# Installs what is missing, builds, and runs the tests of the named stages in
# this order (every stage when none is named):
#   regular  the regular build (-O2): unit, widget, network-namespace and
#            real-program tests (under Xvfb, window managers, compositors)
#   bench    the benchmarks of the regular build: figures only
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer over the core, the
#            window and the real program, and a bounded fuzz run
#   tsan     ThreadSanitizer over the listener and the window's teardown
#   package  the Debian package: built in Release, validated, installed into
#            a throwaway root, run and purged
#   windows  the Windows build, its zip and installer, under Wine
#            (scripts/test-windows.sh)
# Each stage is a preset of CMakePresets.json: `cmake --preset S`,
# `cmake --build --preset S` and `ctest --preset S` do it by hand.
# Tests that make network namespaces, X servers or throwaway roots need
# root. Without it such a stage fails in CI (CI=true) and is skipped
# elsewhere; the regular, asan and tsan stages then run the tests that need
# no root. Settings (QUORVEL_*): docs/development.md.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
all_stages=(regular bench asan tsan package windows)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $stage "* ]] || { echo "test.sh: no stage '$stage' (${all_stages[*]})" >&2; exit 2; }
done
wants() { [[ " ${stages[*]} " == *" $1 "* ]]; }

bash scripts/setup.sh build
[ "${CI:-}" = true ] && export QUORVEL_WERROR=ON
# A compiler cache keyed on paths relative to the checkout, so that a fresh
# clone reuses what an earlier build of the same sources compiled; on a miss
# the header list comes from the compiler's own dependency output.
export CCACHE_BASEDIR=$PWD CCACHE_DEPEND=true
jobs=$(nproc)
is_root=no
[ "$(id -u)" -eq 0 ] && is_root=yes
mkdir -p build/logs
summary=build/logs/summary.txt
: >"$summary"

# What the window managers' and compositors' tests and the package and
# Windows stages need is installed in the background while the first stages
# build, then Qt for MinGW is built (once per machine, at low priority, with
# what the stages leave of the processor). The job is a process group of its
# own, stopped and waited for on any exit.
background=
stop_background() {
    [ -n "$background" ] || return 0
    kill -TERM -- "-$background" 2>/dev/null || true
    wait "$background" 2>/dev/null || true
    background=
}
trap stop_background EXIT
background_steps=()
{ wants regular || wants asan; } && background_steps+=("bash scripts/setup.sh desktop")
wants package && background_steps+=("bash scripts/setup.sh package")
wants windows && background_steps+=("bash scripts/setup.sh windows" "bash scripts/build-qt-windows.sh")
if [ ${#background_steps[@]} -gt 0 ]; then
    joined=$(printf ' && %s' "${background_steps[@]}")
    setsid bash -c "${joined# && }" >build/logs/background.log 2>&1 &
    background=$!
fi

stage() { echo "== $* (at $(( $(date +%s) - started )) s)"; }

# Not root: fails in CI, else says so; 0 when the stage may go on.
needs_root() {
    [ "$is_root" = yes ] && return 0
    if [ "${CI:-}" = true ]; then
        echo "FAIL: the $1 stage needs root ($2)"
        echo "0 tests passed, 1 tests failed out of 1" >>"$summary"
        failed=1
    else
        echo "SKIP: the $1 stage needs root ($2)"
    fi
    return 1
}

run_ctest() {
    local log=build/logs/ctest-$1.log status=0
    local only_unprivileged=()
    [ "$is_root" = yes ] || only_unprivileged=(-LE net)
    ctest --preset "$@" -j"$jobs" "${only_unprivileged[@]}" 2>&1 | tee "$log" || status=$?
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    grep -E 'tests passed, [0-9]+ tests failed out of' "$log" >>"$summary" || true
    return $status
}

# regular, asan, tsan: without root, the tests that need none.
build_and_test() {
    local preset=$1; shift
    [ "$is_root" = yes ] || needs_root "$preset" "network namespaces; running the tests that need none" || true
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" "$@"
    # The desktops' packages, from the background install (waits for it).
    [ "$preset" = tsan ] || bash scripts/setup.sh desktop
    run_ctest "$preset" || failed=1
}

failed=0
if wants regular; then
    stage "regular build"
    build_and_test regular
fi

if wants bench; then
    stage "benchmarks (figures only)"
    if needs_root bench "network namespaces"; then
        cmake --preset regular >/dev/null
        cmake --build --preset regular
        bash scripts/bench.sh build || failed=1
    fi
fi

if wants asan; then
    stage "AddressSanitizer + UndefinedBehaviorSanitizer, fuzzing"
    build_and_test asan
fi

if wants tsan; then
    stage "ThreadSanitizer"
    cmake --preset tsan >/dev/null
    # Only the tests that run here are built: the others' code is covered by
    # the builds above, and each test program under ThreadSanitizer is slow
    # to compile.
    tsan_tests=$(ctest --preset tsan -N | sed -n 's/^ *Test *#[0-9]*: //p')
    # shellcheck disable=SC2086  # one target per test name
    [ -z "$tsan_tests" ] || build_and_test tsan --target $tsan_tests
fi

# Each stage below waits for the background job: it installs their packages.
wait_for_background() {
    [ -n "$background" ] || return 0
    local status=0
    wait "$background" || status=$?
    background=
    [ "$status" -eq 0 ] && return 0
    cat build/logs/background.log
    echo "the packages for the package and Windows stages could not be installed, or Qt for MinGW not built"
    return 1
}

if wants package; then
    stage "Debian package"
    if needs_root package "installs the package into a throwaway root"; then
        # The release build runs alone, after the stages above, so that it
        # does not compete with them.
        bash scripts/setup.sh package  # waits for the background install
        if bash scripts/package.sh >build/logs/package.log 2>&1; then
            run_ctest package || failed=1
        else
            cat build/logs/package.log
            echo "0 tests passed, 1 tests failed out of 1" >>"$summary"
            failed=1
        fi
    fi
fi

if wants windows; then
    stage "Windows"
    if needs_root windows "network namespaces for Wine"; then
        if wait_for_background; then
            bash scripts/test-windows.sh 2>&1 | tee build/logs/windows.log || failed=1
            grep -E '^windows: [0-9]+ tests passed, [0-9]+ tests failed out of' build/logs/windows.log >>"$summary" || true
        else
            echo "0 tests passed, 1 tests failed out of 1" >>"$summary"
            failed=1
        fi
    fi
fi
stop_background

passed=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "out" && $(i+1) == "of") total += $(i+2); for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print total - bad }' "$summary")
bad=$(awk '{ for (i = 1; i <= NF; i++) if ($i == "failed") bad += $(i-2) } END { print bad + 0 }' "$summary")
echo "all: $passed passed, $bad failed, in $(( $(date +%s) - started )) s"
exit $failed

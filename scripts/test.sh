#!/usr/bin/env bash
# scripts/test.sh [STAGE ...]
# Installs what is missing, builds, and runs the tests of the named stages in
# this order (every stage when none is named):
#   regular  the regular build (-O2): unit, widget, network-namespace and
#            real-program tests (under Xvfb, window managers, compositors)
#   bench    the benchmarks of the regular build: their figures
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer over the core, the
#            window and the real program, and a bounded fuzz run
#   tsan     ThreadSanitizer over the listener and the window's teardown
#   package  the Debian package: built with Debian's flags, validated,
#            installed into a throwaway root, run and purged
#   windows  the Windows build, its zip and installer, under Wine
#            (scripts/test-windows.sh)
# Each stage but windows is a workflow preset of CMakePresets.json:
# `cmake --workflow --preset STAGE` alone reproduces it. Its output goes to
# build/logs/STAGE.log, ctest's report to build/logs/STAGE.junit.xml; the
# closing line counts the tests of those reports.
# A test that cannot run here (no root for its network namespaces, say) is
# reported as not run, with its reason; so is a stage that cannot start.
# With CI=true either fails the run. Settings (QUORVEL_*): docs/development.md.
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
# A compiler cache keyed on paths relative to the checkout, so that a fresh
# clone reuses what an earlier build of the same sources compiled; on a miss
# the header list comes from the compiler's own dependency output.
export CCACHE_BASEDIR=$PWD CCACHE_DEPEND=true
logs=build/logs
mkdir -p "$logs"

# prepare_in_background GROUP...: installs each group in turn (setup.sh),
# then builds Qt for MinGW (once per machine, at low priority, with what the
# stages leave of the processor) when windows is one of them.
prepare_in_background() {
    local name
    for name in "$@"; do
        bash scripts/setup.sh "$name" || return
    done
    [[ " $* " != *" windows "* ]] || bash scripts/build-qt-windows.sh >/dev/null
}
# What the window managers' and compositors' tests and the package and
# Windows stages need is prepared while the first stages build. The job is a
# session of its own (no terminal to stop it, and one process group for
# stop_background to end whole), stopped and waited for on any exit.
background=
stop_background() {
    [ -n "$background" ] || return 0
    kill -TERM -- "-$background" 2>/dev/null || true
    wait "$background" 2>/dev/null || true
    background=
}
trap stop_background EXIT
background_groups=()
{ wants regular || wants asan; } && background_groups+=(desktop)
wants package && background_groups+=(package)
wants windows && background_groups+=(windows)
if [ ${#background_groups[@]} -gt 0 ]; then
    export -f prepare_in_background
    setsid bash -c 'prepare_in_background "$@"' prepare_in_background "${background_groups[@]}" \
        >"$logs/background.log" 2>&1 &
    background=$!
fi
# The windows stage waits for the whole job: it installs its packages and Qt.
wait_for_background() {
    [ -n "$background" ] || return 0
    local status=0
    wait "$background" || status=$?
    background=
    [ "$status" -eq 0 ] && return 0
    cat "$logs/background.log"
    echo "the packages for the package and Windows stages could not be installed, or Qt for MinGW not built"
    return 1
}

failed=0
not_started=()  # "stage: why"
stage_reports=()
# run_stage STAGE COMMAND...: runs the stage's command, its output also in
# build/logs/STAGE.log. Exit status 77: the stage cannot start here (the
# command's last line says why). A stage that ends without writing its JUnit
# report stopped before its tests: it fails.
run_stage() {
    local name=$1 status=0
    shift
    echo "== $name (at $(( $(date +%s) - started )) s)"
    rm -f "$logs/$name.junit.xml"
    "$@" 2>&1 | tee "$logs/$name.log" || status=$?
    if [ "$status" -eq 77 ]; then
        not_started+=("$name: $(grep . "$logs/$name.log" | tail -n 1)")
        return 0
    fi
    [ "$status" -eq 0 ] || failed=1
    if [ -f "$logs/$name.junit.xml" ]; then
        stage_reports+=("$name")
    else
        echo "$name: stopped before its tests ran, with status $status ($logs/$name.log)"
    fi
}

# setup.sh waits for the background job's install of the same group (a lock).
if wants regular; then
    bash scripts/setup.sh desktop
    run_stage regular cmake --workflow --preset regular
fi
wants bench && run_stage bench cmake --workflow --preset bench
if wants asan; then
    bash scripts/setup.sh desktop
    run_stage asan cmake --workflow --preset asan
fi
wants tsan && run_stage tsan cmake --workflow --preset tsan
if wants package; then
    # The package build runs alone, after the stages above, so that it does
    # not compete with them.
    bash scripts/setup.sh package
    run_stage package cmake --workflow --preset package
fi
if wants windows; then
    if wait_for_background; then
        run_stage windows bash scripts/test-windows.sh
    else
        failed=1
    fi
fi
stop_background

. tests/support/junit.sh
# not_run_reason REPORT NAME: why a test did not run: its "not run:" line;
# under Wine, whose programs' output does not reach ctest, Qt's SKIP line from
# the test's report; else the last line it printed.
not_run_reason() {
    local output reason
    reason=$(junit_not_run_reason "$1" "$2")
    [ -z "$reason" ] || { echo "$reason"; return; }
    output=$(junit_output "$1" "$2" | grep .) || true
    reason=$(grep -m1 '^SKIP *: ' <<<"$output" | sed 's/^SKIP *: *[^ ]*() *//') || true
    if [ -n "$reason" ]; then echo "$reason"; else tail -n 1 <<<"$output"; fi
}

passed=0 bad=0 not_run=0
not_run_lines=()
for name in "${stage_reports[@]}"; do
    report=$logs/$name.junit.xml
    stage_passed=$(junit_count "$report" run)
    stage_bad=$(junit_count "$report" fail)
    stage_not_run=$(junit_count "$report" notrun disabled)
    echo "$name: $stage_passed passed, $stage_bad failed, $stage_not_run not run"
    passed=$((passed + stage_passed)) bad=$((bad + stage_bad)) not_run=$((not_run + stage_not_run))
    while read -r test_name; do
        not_run_lines+=("$name/$test_name: $(not_run_reason "$report" "$test_name")")
    done < <(junit_names "$report" notrun disabled)
done
if [ ${#not_run_lines[@]} -gt 0 ]; then
    echo "Not run:"
    printf '  %s\n' "${not_run_lines[@]}"
fi
if [ ${#not_started[@]} -gt 0 ]; then
    echo "Stages that could not start:"
    printf '  %s\n' "${not_started[@]}"
fi
if [ "${CI:-}" = true ] && [ $((not_run + ${#not_started[@]})) -gt 0 ]; then
    echo "CI: every test must run"
    failed=1
fi
echo "all: $passed passed, $bad failed, $not_run not run, in $(( $(date +%s) - started )) s"
exit $failed

#!/usr/bin/env bash
# namespace_tests_not_run.sh BUILD-DIR: what a user without root meets. Runs
# ctest over this build as an unprivileged user (nobody, uid 65534) for the
# tests that make network namespaces (labels net and app): each must report
# "Not Run" and say why, none Passed or Failed.
# That user cannot write the build's Testing folder, where ctest keeps its
# records: a tmpfs of its own takes that place, in a mount namespace of this
# script's own, so that the run that started this test keeps its records.
set -euo pipefail
build=$(realpath "$1")
. "$(dirname "$0")/../support/not_run.sh"
. "$(dirname "$0")/../support/junit.sh"
user=65534

if [ "${QUORVEL_ISOLATED:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || unavailable "needs root to run ctest as another user"
    for tool in setpriv unshare ctest xmllint; do
        command -v "$tool" >/dev/null || unavailable "$tool is not installed"
    done
    unshare --mount --propagation private true 2>/dev/null || unavailable "cannot make mount namespaces"
    exec unshare --mount --propagation private env QUORVEL_ISOLATED=1 bash "$0" "$@"
fi

records=$build/Testing
mkdir -p "$records"
mount -t tmpfs -o "mode=0700,uid=$user,gid=$user" quorvel-not-run "$records"
junit=$records/namespace_tests.junit.xml
status=0
# The tests' own isolation starts afresh: they must find that they cannot.
setpriv --reuid=$user --regid=$user --clear-groups env -u QUORVEL_ISOLATED HOME="$records" \
    ctest --test-dir "$build" -L 'net|app' --output-junit "$junit" >"$records/ctest.log" 2>&1 || status=$?
[ -s "$junit" ] || { cat "$records/ctest.log"; echo "FAIL: ctest wrote no results (exit status $status)"; exit 1; }

# Each test: its name, its status, and the reason it gave, if any.
names=$(junit_names "$junit" run fail notrun disabled)
[ -n "$names" ] || { echo "FAIL: no test has the label net or app"; exit 1; }
wrong=() count=0
while read -r name; do
    status=$(junit_status "$junit" "$name") reason=$(junit_not_run_reason "$junit" "$name")
    printf '%-32s %-7s %s\n' "$name" "$status" "$reason"
    count=$((count + 1))
    [ "$status" = notrun ] && [ -n "$reason" ] || wrong+=("$name")
done <<<"$names"
if [ ${#wrong[@]} -gt 0 ]; then
    cat "$records/ctest.log"
    echo "FAIL: without root these ran, failed or gave no reason: ${wrong[*]}"
    exit 1
fi
echo "without root: $count namespace tests not run, none passed"

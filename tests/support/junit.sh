# shellcheck shell=bash
# Sourced by what reads ctest's JUnit reports (scripts/test.sh, the tooling
# test), with xmllint (libxml2-utils, the build group). A test's status is
# run, fail, notrun or disabled.

# junit_count REPORT STATUS...: how many of the report's tests ended with one
# of the statuses.
junit_count() {
    xmllint --xpath "count(//testcase[$(junit_any_status "${@:2}")])" "$1"
}

# junit_names REPORT STATUS...: the names of those tests, one a line.
junit_names() {
    local count i
    count=$(junit_count "$@")
    for ((i = 1; i <= count; i++)); do
        xmllint --xpath "string((//testcase[$(junit_any_status "${@:2}")])[$i]/@name)" "$1"  # a line each
    done
}

# junit_status REPORT NAME: how the test named NAME ended.
junit_status() {
    xmllint --xpath "string(//testcase[@name=\"$2\"]/@status)" "$1"
}

# junit_not_run_reason REPORT NAME: the why of the test's "not run: <why>"
# line (tests/support/not_run.h, not_run.sh); empty when it printed none.
junit_not_run_reason() {
    junit_output "$1" "$2" | sed -n 's/^.*not run: //p' | head -n 1
}

# junit_output REPORT NAME: what the test printed.
junit_output() {
    xmllint --xpath "string(//testcase[@name=\"$2\"]/system-out)" "$1"
}

# The XPath condition: any of the statuses given.
junit_any_status() {
    local condition
    condition=$(printf ' or @status="%s"' "$@")
    echo "${condition# or }"
}

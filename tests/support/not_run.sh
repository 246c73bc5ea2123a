# shellcheck shell=bash
# Sourced by the shell tests. A test that cannot run here (no root for its
# namespaces, a tool missing) calls `unavailable WHY`: it says why and exits
# with 77, which ctest reports as "Not Run" (CMake's QUORVEL_NOT_RUN_STATUS,
# the tests' SKIP_RETURN_CODE; tests/support/not_run.h for the C++ tests).
# Whether a test that did not run is acceptable is for the caller to judge:
# scripts/test.sh fails CI on it.
unavailable() {
    echo "not run: $1"
    exit 77
}

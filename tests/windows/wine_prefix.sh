# Sourced by the tests of the Windows package: $repo, $wine and $wineserver,
# a work folder of the test's own ($work, tests/support/x_lab.sh), Wine's
# processes ended with the test, and run_setup, for the installer and its
# uninstaller. The Wine prefix, fresh and the test's own, is its Wine lab's
# (wine_lab.sh).
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

. "$repo/tests/support/x_lab.sh"
[ -n "${QUORVEL_WINE_LAB:-}" ] || { echo "$(basename "$0") runs in a Wine lab: tests/windows/wine_lab.sh" >&2; exit 2; }
start_work
trap '$wineserver -k 2>/dev/null || true; stop_work' EXIT

# The programs of this test's Wine prefix that are running, one a line.
prefix_programs() {
    local pid
    for pid in $(pgrep -f '^[A-Za-z]:\\' || true); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            tr '\0' ' ' <"/proc/$pid/cmdline" && echo
    done
}
# Runs an installer or uninstaller and waits for every program of the prefix
# to end, not only setup itself: an uninstaller goes on from a copy of
# itself. Sets `status`. Now and then, on a loaded machine, Wine's server
# stays on after the prefix's last program has ended; it is then ended, and
# only a program still running fails the test.
run_setup() {
    status=0
    $wine "$@" >>"$work/setup.log" 2>&1 || status=$?
    timeout 120 $wineserver -w && return
    local left
    left=$(prefix_programs | paste -sd ';')
    [ -z "$left" ] || fail "Wine's programs did not end after $*: $left"
    $wineserver -k 2>/dev/null || true
}

# Sourced by the tests of the Windows package: $repo, $wine and $wineserver,
# a work folder of the test's own ($work, tests/app/x_lab.sh) holding a
# fresh Wine prefix, and both ended, Wine's processes first, with the test.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

. "$repo/tests/app/x_lab.sh"
start_work
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
unset WINEPATH
trap '$wineserver -k 2>/dev/null || true; stop_work' EXIT

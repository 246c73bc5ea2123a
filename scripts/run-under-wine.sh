#!/usr/bin/env bash
# run-under-wine.sh DLL-FOLDERS PROGRAM.exe [ARGUMENT]...: runs one of the
# Windows build's Qt tests under Wine, for ctest (CMAKE_CROSSCOMPILING_EMULATOR,
# after tests/windows/wine_lab.sh, which gives it its Wine prefix and
# network). DLL-FOLDERS: the Linux folders, colon-separated, where Wine finds
# the DLLs of Qt and MinGW. Wine hands a test's redirected standard output
# over empty, so the test writes its report to a file (-o FILE,txt), which
# is printed afterwards.
set -uo pipefail
folders=$1 program=$2
shift 2
report=$(mktemp --suffix=.txt)
trap 'rm -f "$report"' EXIT
WINEPATH=$(tr : '\n' <<<"$folders" | sed 's/^/Z:/' | paste -sd';')
export WINEPATH
# Wine passes a variable WINE<NAME> to the program as <NAME>; a plain
# QT_QPA_PLATFORM does not reach it.
WINEQT_QPA_PLATFORM=offscreen /usr/lib/wine/wine64 "$program" -o "Z:${report},txt" "$@"
status=$?
cat "$report"
exit $status

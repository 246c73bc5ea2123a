#!/usr/bin/env bash
# run-under-wine.sh PROGRAM.exe [ARGUMENT]...: runs one of the Windows build's
# Qt tests under Wine, for ctest (CMAKE_CROSSCOMPILING_EMULATOR). Wine hands
# a test's redirected standard output over empty, so the test writes its
# report to a file (-o FILE,txt), which is printed afterwards. The Wine prefix,
# WINEPATH (Qt's and MinGW's DLLs) and the namespace come from
# scripts/test-windows.sh.
set -uo pipefail
program=$1
shift
report=$(mktemp --suffix=.txt)
trap 'rm -f "$report"' EXIT
# Wine passes a variable WINE<NAME> to the program as <NAME>; a plain
# QT_QPA_PLATFORM does not reach it.
WINEQT_QPA_PLATFORM=offscreen /usr/lib/wine/wine64 "$program" -o "Z:${report},txt" "$@"
status=$?
cat "$report"
exit $status

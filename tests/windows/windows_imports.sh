#!/usr/bin/env bash
# windows_imports.sh ZIP [--write]
# The functions that the files of the Windows package import from Windows'
# own DLLs, against the list in windows_imports.txt. They set the oldest
# Windows the package runs on (10 version 1607, for Qt's WaitOnAddress,
# GetDpiForWindow and SetProcessDpiAwarenessContext; the installer refuses
# older ones): a new import, from a changed Qt or from our code, fails here
# until someone has checked which Windows has it and updated the list
# (--write) and, if the oldest Windows changes, the installer and README.
set -euo pipefail
zip=$1
list=$(dirname "$0")/windows_imports.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work/app"
shipped=$(cd "$work/app" && find . -name '*.dll' -printf '%f\n' | tr '[:upper:]' '[:lower:]')

# "dll function" for every import (objdump lists each DLL's imports under its
# "DLL Name:" line, one "address hint name" line each, up to a blank line).
imports=$(find "$work/app" -name '*.exe' -o -name '*.dll' | sort | while read -r file; do
    x86_64-w64-mingw32-objdump -p "$file" | awk '
        /^\tDLL Name: / { dll = tolower($3); next }
        dll != "" && /^\t[0-9a-f]+\t/ && NF >= 3 { print dll, $3; next }
        /^$/ { dll = "" }'
done | grep -vwFf <(printf '%s\n' $shipped) | sort -u)

if [ "${2:-}" = --write ]; then
    { sed -n '/^#/p' "$list"; echo "$imports"; } >"$work/list" && cp "$work/list" "$list"
    echo "wrote $(wc -l <<<"$imports") imports into $list"
    exit 0
fi
if ! differences=$(diff <(grep -v '^#' "$list") <(echo "$imports")); then
    echo "FAIL: the package's imports from Windows changed (< only in windows_imports.txt, > new):"
    echo "$differences"
    echo "Check which Windows has each new function, then: bash $0 ZIP --write"
    exit 1
fi
echo "PASS: $(wc -l <<<"$imports") imports from Windows' DLLs, as listed"

#!/usr/bin/env bash
# program_resources.sh ZIP INSTALLER RELEASE ICONS
# The resources of quorvel.exe from the Windows package and of the
# installer, read back with icoutils:
#   - the icon group IDI_ICON1 holds the icon in every size from 16 to 256,
#     each drawn exactly as the Linux build draws it for the desktop's icon
#     theme (ICONS: its hicolor folder), for the sizes both have;
#   - the version information of the program and of the installer says
#     the release's version (RELEASE: the build's quorvel-release.env, the
#     Debian package's version) and names the product and publisher;
#   - the manifest declares Windows 10/11, asInvoker and per-monitor display
#     scaling;
#   - the zip, the installer's name and the version agree, and the zip
#     carries the licences.
set -euo pipefail
zip=$1 installer=$2 release=$3 icons=$4
version=$(. "$release" && echo "$QUORVEL_VERSION")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $1"; exit 1; }

[ "$(basename "$zip")" = "quorvel-$version-windows-x64.zip" ] || fail "the zip is named $(basename "$zip"), not for version $version"
[ "$(basename "$installer")" = "quorvel-$version-windows-x64-setup.exe" ] || fail "the installer is named $(basename "$installer"), not for version $version"
unzip -q "$zip" -d "$work/app"
exe=$work/app/quorvel.exe
for notice in LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    [ -s "$work/app/$notice" ] || fail "the zip carries no $notice"
done
for licence in "GNU LESSER GENERAL PUBLIC LICENSE" "GCC RUNTIME LIBRARY EXCEPTION" "winpthreads"; do
    grep -q "$licence" "$work/app/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt does not mention $licence"
done
for dll in $(cd "$work/app" && find . -name '*.dll' -printf '%f\n'); do
    grep -q "$dll" "$work/app/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt does not name $dll"
done

resources=$(wrestool -l "$exe")
for kind in "--type=14 --name='IDI_ICON1'" "--type=16 --name=1" "--type=24 --name=1"; do
    grep -qF -- "$kind " <<<"$resources" || fail "quorvel.exe has no resource $kind: $resources"
done

# The icon: every size, each picture as the Linux build draws it.
wrestool -x --type=14 --name=IDI_ICON1 "$exe" >"$work/quorvel.ico"
sizes=$(icotool -l "$work/quorvel.ico" | sed -n 's/.*--width=\([0-9]*\) .*/\1/p' | paste -sd' ')
[ "$sizes" = "16 20 24 32 40 48 64 96 128 256" ] || fail "the icon's sizes are $sizes"
mkdir "$work/icon"
icotool -x -o "$work/icon" "$work/quorvel.ico"
compared=0
for size in $sizes; do
    drawn=$icons/${size}x${size}/apps/quorvel.png
    [ -f "$drawn" ] || continue
    differ=$(compare -metric AE "$work/icon/quorvel_"*"_${size}x${size}x32.png" "$drawn" null: 2>&1 || true)
    [ "$differ" = 0 ] || fail "the ${size}-pixel icon differs from the one drawn for Linux in $differ pixels"
    compared=$((compared + 1))
done
[ "$compared" -ge 6 ] || fail "only $compared of the icon's sizes could be compared"

# A field of a version resource: its key and its value are NUL-terminated
# UTF-16 texts, the value after the key and its padding to 4 bytes.
field() { wrestool -x --raw --type=16 "$2" | iconv -f UTF-16LE -t UTF-8 -c | tr '\0' '\n' | grep -a -A2 "$1\$" | sed 1d | grep -a -m1 .; }
for file in "$exe" "$installer"; do
    name=$(basename "$file")
    for key in FileVersion ProductVersion; do
        [ "$(field "$key" "$file")" = "$version" ] || fail "$name's $key is '$(field "$key" "$file")', not $version"
    done
    [ "$(field ProductName "$file")" = Quorvel ] || fail "$name's ProductName is '$(field ProductName "$file")'"
    [ "$(field CompanyName "$file")" = "Quorvel maintainers" ] || fail "$name's CompanyName is '$(field CompanyName "$file")'"
done
[ "$(field FileDescription "$exe")" = Quorvel ] || fail "the FileDescription is '$(field FileDescription "$exe")'"
[ "$(field OriginalFilename "$exe")" = quorvel.exe ] || fail "the OriginalFilename is '$(field OriginalFilename "$exe")'"

manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
for needed in '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' 'level="asInvoker"' \
    '>PerMonitorV2, PerMonitor</dpiAwareness>' '>true/pm</dpiAware>'; do
    grep -qF "$needed" <<<"$manifest" || fail "the manifest lacks $needed"
done
echo "PASS: quorvel.exe and the installer say version $version; icon in sizes $sizes ($compared equal to Linux's); manifest for Windows 10/11, asInvoker, per-monitor scaling; licences in the zip"

#!/usr/bin/env bash
# install_folder_under_wine.sh ZIP INSTALLER STAND-IN
# The installer's folder under Wine, silently, in a Wine prefix of its own.
# Run by ctest in a Wine lab (wine_lab.sh). STAND-IN (a
# recording stand-in, recording_stand_in.cpp) replaces Wine's netsh and
# icacls, which do nothing; its calls are what this test reads of the
# folders' permissions, as Wine does not enforce Windows permissions.
# One after the other:
#   - into Program Files: no permissions set (Windows' own stay);
#   - into C:\Tools\Quorvel, an empty folder: the installation moves there,
#     and the folder is given to administrators, for it alone;
#   - into C:\Tools\Other, which holds another program's files (some with
#     Quorvel's names): refused with exit status 5, and nothing changed: its
#     files, the installation in C:\Tools\Quorvel, netsh and icacls uncalled;
#   - into C:\Tools\Quorvel again, the earlier installation: installed;
#   - into it again with icacls failing: exit status 6, no Quorvel left.
set -euo pipefail
zip=$1 installer=$2 stand_in=$3
. "$(dirname "$0")/wine_prefix.sh"
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d;netsh.exe=n;icacls.exe=n'

drive_c=$WINEPREFIX/drive_c
system32=$drive_c/windows/system32
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'

start_xvfb 800x600
$wine wineboot -i >/dev/null 2>&1
$wine winecfg -v win10 >/dev/null 2>&1  # a new prefix plays Windows 7
cp "$stand_in" "$system32/netsh.exe"
cp "$stand_in" "$system32/icacls.exe"
unzip -q "$zip" -d "$work/zip"

# The calls made of netsh or icacls, without the program's path.
calls_of() {
    [ ! -f "$system32/$1-calls.txt" ] || tr -d '\r' <"$system32/$1-calls.txt" | sed 's/^"[^"]*\.exe" //'
}
location() { $wine reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/^ *InstallLocation *REG_SZ *//p'; }
# Checks that Quorvel is installed in the Windows folder $1, as the zip's
# files, and that the Apps & features entry says so.
installed_in() {
    local unix differences
    unix=$drive_c/$(tr '\\' / <<<"${1#C:\\}")
    differences=$(diff -r "$work/zip" "$unix" 2>&1 | grep -v 'Only in .*: uninstall\.exe$' || true)
    [ -z "$differences" ] || fail "the files in $1 differ from the zip's: $differences"
    [ "$(location)" = "$1" ] || fail "the entry's InstallLocation is '$(location)', not '$1'"
}
# Installs silently into the Windows folder $1 (with /D=, which takes no
# quotes, so no space in it) and checks the exit status $2.
install_into() {
    run_setup "$installer" /S "/D=$1"
    [ "$status" = "$2" ] || fail "setup into $1 ended with $status, not $2"
}
restricted=("/setowner *S-1-5-32-544" "/reset"
    "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX")

run_setup "$installer" /S
[ "$status" = 0 ] || fail "setup into Program Files ended with $status"
installed_in 'C:\Program Files\Quorvel'
[ -z "$(calls_of icacls)" ] || fail "the folder in Program Files got permissions: $(calls_of icacls)"

mkdir -p "$drive_c/Tools/Quorvel"
install_into 'C:\Tools\Quorvel' 0
installed_in 'C:\Tools\Quorvel'
[ ! -e "$drive_c/Program Files/Quorvel" ] || fail "the installation in Program Files is left"
expected=$(printf '"C:\\Tools\\Quorvel" %s\n' "${restricted[@]}")
[ "$(calls_of icacls)" = "$expected" ] || fail "icacls was called with:$(calls_of icacls | sed 's/^/\n  /')"

# Another program's folder, with files of Quorvel's names among its own.
other=$drive_c/Tools/Other
mkdir "$other"
echo "another program" >"$other/readme.txt"
echo "another program's uninstaller" >"$other/uninstall.exe"
cp "$work/zip/quorvel.exe" "$other/"
files_of_other() { (cd "$other" && find . -type f -exec sha256sum {} + | sort); }
before=$(files_of_other)
netsh_before=$(calls_of netsh) icacls_before=$(calls_of icacls)
install_into 'C:\Tools\Other' 5
[ "$(files_of_other)" = "$before" ] || fail "the refused setup changed its files: $(diff <(echo "$before") <(files_of_other))"
installed_in 'C:\Tools\Quorvel'
[ "$(calls_of netsh)" = "$netsh_before" ] && [ "$(calls_of icacls)" = "$icacls_before" ] \
    || fail "the refused setup called netsh or icacls"

install_into 'C:\Tools\Quorvel' 0
installed_in 'C:\Tools\Quorvel'
[ "$(calls_of icacls)" = "$(printf '%s\n%s' "$expected" "$expected")" ] \
    || fail "setup into the earlier installation called icacls with:$(calls_of icacls | sed 's/^/\n  /')"

# Where Windows cannot restrict a folder (a FAT drive, say), nothing is installed.
echo 5 >"$system32/icacls-status.txt"
install_into 'C:\Tools\Quorvel' 6
[ ! -e "$drive_c/Tools/Quorvel" ] || fail "files left after icacls failed: $(find "$drive_c/Tools/Quorvel")"
$wine reg query "$key" >/dev/null 2>&1 && fail "the Apps & features entry is left after icacls failed"
[ "$(files_of_other)" = "$before" ] || fail "the other program's files changed"
echo "PASS: the installer's folder under Wine (Program Files kept as it is; C:\\Tools\\Quorvel given to administrators; a folder with another program's files refused with 5 and left as it was; the earlier installation reinstalled; icacls failing ends with 6 and nothing installed)"

#!/usr/bin/env bash
# The files of the Debian package as the desktop and the archive's tools read
# them; any error or warning fails:
#   - desktop-file-validate on the desktop entry (hints too: a second main
#     category would list the program twice in menus);
#   - appstreamcli on the metainfo alone and on the whole tree (the desktop
#     entry it launches, offline);
#   - lintian on the package;
#   - the modes of every entry of its files' and control archives: folders
#     755, files 644 or 755, whatever the umask it was built under
#     (package_build writes it under 002);
#   - the newest release in the metainfo is the package's version (without
#     the +git suffix of a build between releases), so software centres show
#     the version that is installed.
# Usage: validate_package.sh PACKAGE.deb
set -euo pipefail
deb=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
failed=0
check() {   # name, command...: prints the tool's whole output; fails on a non-zero status
    local name=$1; shift
    echo "-- $name"
    "$@" || { echo "FAIL: $name"; failed=1; }
}

desktop_file_validate() {
    local output
    output=$(desktop-file-validate "$tree/usr/share/applications/quorvel.desktop" 2>&1) || { echo "$output"; return 1; }
    [ -z "$output" ] || { echo "$output"; return 1; }
    echo "no errors, warnings or hints"
}
check desktop-file-validate desktop_file_validate
metainfo=$(ls "$tree"/usr/share/metainfo/*.metainfo.xml)
check "appstreamcli validate" appstreamcli validate --no-net --pedantic "$metainfo"
check "appstreamcli validate-tree" appstreamcli validate-tree --no-net --pedantic "$tree"

lintian_clean() {
    local output
    # Lintian's own note about running as root is not about the package.
    output=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v 'running with root privileges' || true)
    [ -n "$output" ] && echo "$output" || echo "no tags"
    ! grep -qE '^[EW]: ' <<<"$output"
}
check lintian lintian_clean

modes_fixed() {
    local entries odd
    entries=$({ dpkg-deb --fsys-tarfile "$deb" | tar -tvf -; dpkg-deb --ctrl-tarfile "$deb" | tar -tvf -; })
    odd=$(awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x)$/' <<<"$entries")
    [ -z "$odd" ] || { echo "$odd"; return 1; }
    echo "$(wc -l <<<"$entries") entries: folders 755, files 644 or 755"
}
check modes modes_fixed

release_matches() {
    local version released
    version=$(dpkg-deb -f "$deb" Version)
    released=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -1)
    echo "package $version, newest release in the metainfo $released"
    [ "${version%%+git*}" = "$released" ]
}
check "metainfo release" release_matches
exit $failed

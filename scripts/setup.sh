#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, when it is
# missing. The only script that runs apt or writes apt's source lists.
#   setup.sh [build] [desktop] [package] [windows]     (no group: all four)
#     build   - building and running the program, the Linux tests and the sanitizer builds
#     desktop - the real program's tests under window managers and Wayland compositors
#     package - the Debian package (scripts/package.sh) and its checks
#     windows - the Windows build and its tests under Wine (scripts/test-windows.sh),
#               and deb-src entries for the Debian archive, from which
#               scripts/build-qt-windows.sh fetches Qt's sources
#   setup.sh --check GROUP...: installs nothing; fails, naming the command
#     that would, when something of the groups is missing.
# The test command installs the build group first and the others in the
# background while it builds, so a fresh machine does not wait on the
# downloads with idle processors. Concurrent installs take turns on a lock;
# a call that finds nothing missing returns at once.
set -euo pipefail

declare -A group=(
    [build]="build-essential cmake ninja-build pkg-config ccache git
             clang libclang-rt-14-dev
             qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
             iproute2 util-linux libxml2-utils
             xvfb xdotool x11-utils imagemagick
             qt6-gtk-platformtheme
             fonts-dejavu-core fonts-crosextra-carlito"
    [desktop]="qt6-wayland mutter kwin-x11 weston dbus-daemon at-spi2-core"
    [package]="dpkg-dev file lintian desktop-file-utils appstream
               libfile-fcntllock-perl"
    [windows]="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpkg-dev
               wine64 fonts-wine zip unzip
               nsis icoutils osslsigncode openssl python3"
)
# What each line is for:
#   clang, libclang-rt-14-dev: sanitizers and libFuzzer
#   iproute2, util-linux: network namespaces for the wire tests
#   libxml2-utils: xmllint, with which scripts/test.sh reads ctest's JUnit reports
#   xvfb ... imagemagick: the real window under a real X server
#   qt6-gtk-platformtheme: the window under GNOME's dark theme, for real
#   fonts-crosextra-carlito: the entries' font (the package depends on it)
#   qt6-wayland, mutter, kwin-x11, weston: the real program under GNOME's and
#     KDE's window managers and natively under Wayland compositors;
#     dbus-daemon, at-spi2-core: their session bus, and the accessibility
#     bus on which the tests press the refresh picture as a screen reader does
#   libfile-fcntllock-perl: the install test holds the package manager's lock
#   dpkg-dev (windows): apt-get source, for Qt's sources
#   nsis: the installer; icoutils: reading the program's resources back;
#   osslsigncode, openssl: signing, and the test's throwaway certificate
#   python3 (windows): the signing test's throwaway timestamping server

check_only=no
if [ "${1:-}" = --check ]; then
    check_only=yes
    shift
fi
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build desktop package windows)
packages=()
for name in "${groups[@]}"; do
    [ -n "${group[$name]:-}" ] || { echo "setup.sh: no group '$name'" >&2; exit 2; }
    # shellcheck disable=SC2206  # a group is a list of words
    packages+=(${group[$name]})
done
wants_windows=no
[[ " ${groups[*]} " != *" windows "* ]] || wants_windows=yes

# The deb-src entries the windows group adds, one file in each of apt's formats.
sources_file=/etc/apt/sources.list.d/quorvel-deb-src

# Sets missing: the groups' packages that are not installed, and the deb-src
# entries when the windows group is asked for and they are not there.
find_missing() {
    missing=()
    local package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    if [ "$wants_windows" = yes ] && [ ! -e "$sources_file.sources" ] && [ ! -e "$sources_file.list" ]; then
        missing+=("deb-src entries ($sources_file.*)")
    fi
}
find_missing
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$check_only" = yes ]; then
    echo "missing: ${missing[*]}" >&2
    echo "install it with: bash scripts/setup.sh ${groups[*]}" >&2
    exit 1
fi

# One install at a time, and the check for what is missing again after the
# one before has finished.
lock=${TMPDIR:-/tmp}/quorvel-setup.lock
[ -e "$lock" ] || { touch "$lock"; chmod 666 "$lock" 2>/dev/null || true; }
exec 8<"$lock"
flock 8
find_missing
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# apt-get as root, without questions. Another package manager (an unattended
# upgrade, the test command's background install) may hold the lock for a
# while: apt waits up to ten minutes for it. An install that was interrupted
# (the test command stopped mid-way) is completed first.
apt_get() {
    if [ "$1" = install ] && [ -n "$(dpkg --audit 2>/dev/null)" ]; then
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" dpkg --configure -a
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# Source entries for the Debian archive this machine installs from: a copy of
# each of its deb entries that points at a Debian archive, as deb-src.
enable_sources() {
    [ -e "$sources_file.sources" ] || [ -e "$sources_file.list" ] && return 0
    local stanzas lines file
    stanzas=$(mktemp) lines=$(mktemp)
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] || continue
        awk 'BEGIN { RS = "" }
             { n = split($0, line, "\n"); deb = 0; debian = 0
               for (i = 1; i <= n; i++) {
                   if (line[i] ~ /^Types:/ && line[i] ~ /[ \t]deb([ \t]|$)/) deb = 1
                   if (line[i] ~ /^URIs:.*debian/) debian = 1
               }
               if (!deb || !debian) next
               for (i = 1; i <= n; i++) print (line[i] ~ /^Types:/ ? "Types: deb-src" : line[i])
               print "" }' "$file" >>"$stanzas"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$file" ] || continue
        sed -n 's/^deb\([[:space:]].*debian.*\)$/deb-src\1/p' "$file" >>"$lines"
    done
    [ -s "$stanzas" ] || [ -s "$lines" ] || { echo "setup.sh: no Debian archive entry to mirror as deb-src" >&2; exit 1; }
    echo "Adding deb-src entries mirroring the Debian archive's deb entries"
    [ -s "$stanzas" ] && "${sudo[@]}" install -m 644 "$stanzas" "$sources_file.sources"
    [ -s "$lines" ] && "${sudo[@]}" install -m 644 "$lines" "$sources_file.list"
    rm -f "$stanzas" "$lines"
}

[ "$wants_windows" = yes ] && enable_sources
echo "Installing: ${missing[*]}"
apt_get update -qq
find_missing
[ ${#missing[@]} -eq 0 ] || apt_get install -y -qq --no-install-recommends "${missing[@]}"

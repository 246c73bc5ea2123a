#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, when it is missing.
#   setup.sh [build] [desktop] [package] [windows]     (no group: all four)
#     build   - building and running the program, the Linux tests and the sanitizer builds
#     desktop - the real program's tests under window managers and Wayland compositors
#     package - the Debian package (scripts/package.sh) and its checks
#     windows - the Windows build and its tests under Wine (scripts/test-windows.sh)
# The test command installs the build group first and the others in the
# background while it builds, so a fresh machine does not wait on the
# downloads with idle processors. Concurrent installs take turns on a lock;
# a call that finds nothing missing returns at once.
set -euo pipefail

declare -A group=(
    [build]="build-essential cmake ninja-build pkg-config ccache git
             clang libclang-rt-14-dev
             qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
             iproute2 util-linux
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

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build desktop package windows)
packages=()
for name in "${groups[@]}"; do
    [ -n "${group[$name]:-}" ] || { echo "setup.sh: no group '$name'" >&2; exit 2; }
    # shellcheck disable=SC2206  # a group is a list of words
    packages+=(${group[$name]})
done

find_missing() {
    missing=()
    local package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
}
find_missing
[ ${#missing[@]} -eq 0 ] && exit 0

# One install at a time, and the check for what is missing again after the
# one before has finished.
lock=${TMPDIR:-/tmp}/quorvel-setup.lock
[ -e "$lock" ] || { touch "$lock"; chmod 666 "$lock" 2>/dev/null || true; }
exec 8<"$lock"
flock 8
find_missing
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
. "$(dirname "$0")/apt-get.sh"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"

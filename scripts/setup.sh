#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, when it is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    clang libclang-rt-14-dev            # sanitizers and libFuzzer
    qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
    iproute2 util-linux                  # network namespaces for the wire tests
    xvfb xdotool x11-utils imagemagick   # the real window under a real X server
    qt6-gtk-platformtheme                # the window under GNOME's dark theme, for real
    fonts-dejavu-core
    # The Debian package (scripts/package.sh) and its checks
    dpkg-dev file ccache git lintian desktop-file-utils appstream
    libfile-fcntllock-perl               # the install test holds the package manager's lock
    # The Windows build and its tests under Wine (scripts/test-windows.sh)
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 fonts-wine zip unzip
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

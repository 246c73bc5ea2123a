#!/usr/bin/env bash
# Builds the program in Release (the release preset, build-release/) and
# writes the Debian package dist/quorvel_<version>_amd64.deb (CPack; the
# Depends line comes from dpkg-shlibdeps). Prints the package's path as its
# last line. The version rule is in cmake/release.cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build package

# Debian's hardening flags (fortified functions, stack protector, full RELRO,
# immediate binding), as a package built by Debian's own tools has them; the
# release preset takes them from these variables.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS) CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS)
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CPPFLAGS CXXFLAGS LDFLAGS
cmake --preset release >/dev/null
cmake --build --preset release
exec bash scripts/write-deb.sh build-release

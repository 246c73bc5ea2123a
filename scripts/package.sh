#!/usr/bin/env bash
# Builds the program for the Debian package (the package preset,
# build-package/: Release with Debian's hardening flags) and writes
# dist/quorvel_<version>_amd64.deb (CPack; the Depends line comes from
# dpkg-shlibdeps). Prints the package's path as its last line. The version
# rule is in cmake/release.cmake. Needs the build and package groups
# (bash scripts/setup.sh build package).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --check build package
cmake --preset package >/dev/null
cmake --build --preset package
exec bash scripts/write-deb.sh build-package

#!/usr/bin/env bash
# write-deb.sh BUILD: writes dist/quorvel_<version>_amd64.deb from the built
# release tree BUILD (scripts/package.sh builds it first). Prints its size,
# its Depends line and, last, its path.
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "$0")/.."
# CPack stages its files beside the package: keep that in the build folder.
rm -rf "$build/packages" dist/quorvel_*.deb
(cd "$build" && cpack -G DEB -B packages >/dev/null)
mkdir -p dist
cp "$build"/packages/quorvel_*_amd64.deb dist/
package=$(ls dist/quorvel_*_amd64.deb)
echo "$(stat -c %s "$package") bytes"
dpkg-deb -f "$package" Depends | sed 's/^/Depends: /'
echo "$package"

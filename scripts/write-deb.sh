#!/usr/bin/env bash
# write-deb.sh BUILD [FOLDER]: writes FOLDER/quorvel_<version>_amd64.deb (FOLDER:
# dist/ unless given) from the built package tree BUILD (the package preset;
# scripts/package.sh builds it first). Prints its size, its Depends line and,
# last, its path. The version comes from BUILD/quorvel-release.env.
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "$0")/.."
folder=${2:-dist}
. "$build/quorvel-release.env"
package=$folder/quorvel_${QUORVEL_VERSION}_amd64.deb
# CPack stages its files beside the package: keep that in the build folder.
rm -rf "$build/packages" "$folder"/quorvel_*.deb
(cd "$build" && cpack -G DEB -B packages >/dev/null)
mkdir -p "$folder"
cp "$build/packages/$(basename "$package")" "$package"
echo "$(stat -c %s "$package") bytes"
dpkg-deb -f "$package" Depends | sed 's/^/Depends: /'
echo "$package"

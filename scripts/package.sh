#!/usr/bin/env bash
# Builds the program in Release and writes the Debian package
# dist/quorvel_<version>_amd64.deb (CPack; the Depends line comes from
# dpkg-shlibdeps). Prints the package's path as its last line.
# The version rule is in cmake/release.cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build package

# Debian's hardening flags (fortified functions, stack protector, full RELRO,
# immediate binding), as a package built by Debian's own tools has them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX=/usr -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-release

# CPack stages its files beside the package: keep that in the build folder.
rm -rf build-release/packages dist/quorvel_*.deb
(cd build-release && cpack -G DEB -B packages >/dev/null)
mkdir -p dist
cp build-release/packages/quorvel_*_amd64.deb dist/
package=$(ls dist/quorvel_*_amd64.deb)
echo "$(stat -c %s "$package") bytes"
dpkg-deb -f "$package" Depends | sed 's/^/Depends: /'
echo "$package"

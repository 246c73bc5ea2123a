#!/usr/bin/env bash
# Writes dist/quorvel-<version>-windows-x64.zip: quorvel.exe (a GUI program,
# no console window), the Qt and MinGW runtime DLLs it loads, the Windows
# platform plugin and the style plugin the look choice asks for, all
# stripped. Builds first (scripts/build-windows.sh). Prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=$(bash scripts/build-windows.sh)

triple=x86_64-w64-mingw32
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
runtime=$(dirname "$($triple-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$runtime" "/usr/$triple/lib")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/platforms" "$stage/styles"
cp build-windows/src/app/quorvel.exe "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL that the program or a plugin imports, directly or through
# another DLL, found among Qt's and MinGW's; the rest belong to Windows.
pending=("$stage/quorvel.exe" "$stage/platforms/qwindows.dll" "$stage/styles/qwindowsvistastyle.dll")
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    for dll in $($triple-objdump -p "$file" | awk '/DLL Name:/ { print $3 }'); do
        [ -e "$stage/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                pending+=("$stage/$dll")
                break
            fi
        done
    done
done
find "$stage" -name '*.exe' -o -name '*.dll' | xargs $triple-strip --strip-unneeded

mkdir -p dist
zip=dist/quorvel-$version-windows-x64.zip
rm -f "$zip"
(cd "$stage" && zip -q -9 -r - .) >"$zip"
echo "package-windows: $(cd "$stage" && find . -type f | sort | tr '\n' ' ')" >&2
echo "$PWD/$zip"

#!/usr/bin/env bash
# package-windows.sh [FOLDER]
# Writes, into FOLDER (dist/ unless given):
#   quorvel-<version>-windows-x64.zip: quorvel.exe (a GUI program, no console
#     window), the Qt and MinGW runtime DLLs it loads, the Windows platform
#     plugin and the style plugin the look choice asks for, all stripped;
#     LICENSE.txt and THIRD-PARTY-NOTICES.txt (the libraries' licences);
#   quorvel-<version>-windows-x64-setup.exe: the installer of the same files
#     (packaging/windows/quorvel.nsi).
# <version> is the release's, the Debian package's (quorvel-release.env
# of the build, cmake/release.cmake). With QUORVEL_SIGNING_CERTIFICATE (a
# PKCS#12 file) and QUORVEL_SIGNING_PASSWORD set, quorvel.exe, the
# uninstaller and the installer are signed and verified
# (scripts/sign-windows.sh). Packages the Windows build in build-windows/ as
# it is: it builds nothing (scripts/build-windows.sh does). Needs the build
# and windows groups (bash scripts/setup.sh build windows). Prints the zip's
# path, then the installer's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --check build windows >&2
out=$(realpath -m "${1:-dist}")
build=$PWD/build-windows
for built in quorvel-release.env quorvel-windows.env src/app/quorvel.exe resources/quorvel.ico; do
    [ -f "$build/$built" ] || {
        echo "package-windows: $build/$built is missing: build Windows first (bash scripts/build-windows.sh)" >&2
        exit 1
    }
done
. "$build/quorvel-release.env"
. "$build/quorvel-windows.env"
qt=$QUORVEL_QT_MINGW version=$QUORVEL_VERSION

triple=x86_64-w64-mingw32
runtime=$(dirname "$($triple-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$runtime" "/usr/$triple/lib")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/src/app/quorvel.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL that the program or a plugin imports, directly or through
# another DLL, found among Qt's and MinGW's; the rest belong to Windows.
# `source_of` keeps where each came from, for its licence: qt, or the Debian
# package that holds it.
declare -A source_of=([platforms/qwindows.dll]=qt [styles/qwindowsvistastyle.dll]=qt)
pending=("$stage/quorvel.exe" "$stage/platforms/qwindows.dll" "$stage/styles/qwindowsvistastyle.dll")
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    for dll in $($triple-objdump -p "$file" | awk '/DLL Name:/ { print $3 }'); do
        [ -e "$stage/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                if [ "$dir" = "$qt/bin" ]; then
                    source_of[$dll]=qt
                else
                    source_of[$dll]=$(dpkg -S "$(realpath "$dir/$dll")" | cut -d: -f1)
                fi
                pending+=("$stage/$dll")
                break
            fi
        done
    done
done
find "$stage" -name '*.exe' -o -name '*.dll' | xargs $triple-strip --strip-unneeded
if [ -n "${QUORVEL_SIGNING_CERTIFICATE:-}" ]; then
    bash scripts/sign-windows.sh "$stage/quorvel.exe"
else
    echo "package-windows: not signed (QUORVEL_SIGNING_CERTIFICATE names no certificate)" >&2
fi

# The licences. Windows' Notepad before version 1809 shows a text file on
# one line unless its lines end in CR LF.
crlf() { sed 's/\r*$/\r/'; }
crlf <LICENSE >"$stage/LICENSE.txt"
qt_package=$(dpkg-query -W -f='${Version}' qt6-base-dev)
# The shipped files from one source, as Windows writes their paths.
shipped_from() {
    for file in "${!source_of[@]}"; do [ "${source_of[$file]}" = "$1" ] && echo "$file"; done | sort | paste -sd' ' | tr / '\\'
}
mapfile -t runtime_packages < <(printf '%s\n' "${source_of[@]}" | grep -vx qt | sort -u)
{
    cat <<EOF_NOTICES
Quorvel $version for Windows. quorvel.exe is licensed under the MIT License
(LICENSE.txt). The libraries beside it come from other projects:

- $(shipped_from qt)
  Qt ${qt_package%%[+-]*}, (c) The Qt Company Ltd. and other contributors,
  licensed under the GNU Lesser General Public License version 3 (its text
  and that of the GNU General Public License version 3 it builds on are at
  the end of this file). Built from Debian's source package qt6-base
  $qt_package (apt-get source qt6-base=$qt_package) by the script
  scripts/build-qt-windows.sh of Quorvel's sources, which lists the build
  options and its changes to Qt's build files. You may replace these files
  with your own build of the same Qt version. Qt carries code of other
  projects (zlib, libpng, FreeType, HarfBuzz, PCRE2 and more); each is named
  with its licence in Debian's copyright file for qt6-base, below.
EOF_NOTICES
    for package in "${runtime_packages[@]}"; do
        echo "- $(shipped_from "$package")"
        echo "  From Debian's package $package $(dpkg-query -W -f='${Version}' "$package") (source package"
        echo "  $(dpkg-query -W -f='${source:Package}' "$package")); licences in its copyright file, below."
    done
    for package in libqt6core6 "${runtime_packages[@]}"; do
        printf '\n\n===== Debian copyright file of %s =====\n\n' "$package"
        cat "/usr/share/doc/$package/copyright"
    done
    printf '\n\n===== GNU Lesser General Public License version 3 =====\n\n'
    cat /usr/share/common-licenses/LGPL-3
    printf '\n\n===== GNU General Public License version 3 =====\n\n'
    cat /usr/share/common-licenses/GPL-3
} | crlf >"$stage/THIRD-PARTY-NOTICES.txt"

mkdir -p "$out"
zip=$out/quorvel-$version-windows-x64.zip
installer=$out/quorvel-$version-windows-x64-setup.exe
rm -f "$out"/quorvel-*-windows-x64.zip "$out"/quorvel-*-windows-x64-setup.exe
(cd "$stage" && zip -q -9 -r - .) >"$zip"
bash packaging/windows/make_installer.sh "$stage" "$build/quorvel-release.env" "$build/resources/quorvel.ico" "$installer"
echo "package-windows: $(cd "$stage" && find . -type f | sort | tr '\n' ' ')" >&2
echo "$zip"
echo "$installer"

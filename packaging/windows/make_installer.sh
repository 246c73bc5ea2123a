#!/usr/bin/env bash
# make_installer.sh STAGE RELEASE ICON OUTPUT
# Compiles the installer (quorvel.nsi) for the program staged in the folder
# STAGE (quorvel.exe and everything it ships with): every staged file is
# installed, and the uninstaller removes exactly those. Its version and
# publisher are the release's (RELEASE: a build's quorvel-release.env,
# cmake/release.cmake). With
# QUORVEL_SIGNING_CERTIFICATE set, the uninstaller and the installer are
# signed as makensis writes them (scripts/sign-windows.sh).
set -euo pipefail
stage=$1 release=$2 icon=$3 output=$4
. "$(realpath "$release")"
here=$(cd "$(dirname "$0")" && pwd)

lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT
# Windows paths of the staged files and folders, relative to the stage.
files=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
folders=$(cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r)
{
    while read -r file; do
        folder=$(dirname "$file")
        [ "$folder" = . ] && folder= || folder="\\${folder//\//\\}"
        echo "SetOutPath \"\$INSTDIR$folder\""
        echo "File \"$stage/$file\""
    done <<<"$files"
} >"$lists/install.nsh"
{
    while read -r file; do echo "Delete \"\$INSTDIR\\${file//\//\\}\""; done <<<"$files"
    # Deepest first; RMDir leaves a folder that still holds something.
    [ -z "$folders" ] || while read -r folder; do echo "RMDir \"\$INSTDIR\\${folder//\//\\}\""; done <<<"$folders"
} >"$lists/uninstall.nsh"

sign=()
[ -z "${QUORVEL_SIGNING_CERTIFICATE:-}" ] || sign=(-DSIGN="bash $(cd "$here/../.." && pwd)/scripts/sign-windows.sh")
makensis -V2 -NOCD -INPUTCHARSET UTF8 \
    -DVERSION="$QUORVEL_VERSION" -DNUMERIC_VERSION="$QUORVEL_FILE_VERSION" -DPUBLISHER="$QUORVEL_PUBLISHER" \
    -DICON="$icon" -DINSTALL_FILES="$lists/install.nsh" -DUNINSTALL_FILES="$lists/uninstall.nsh" \
    -DOUTFILE="$output" "${sign[@]}" "$here/quorvel.nsi" >&2

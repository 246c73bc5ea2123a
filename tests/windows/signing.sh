#!/usr/bin/env bash
# signing.sh UNSIGNED-ZIP UNSIGNED-INSTALLER
# The signing path of scripts/package-windows.sh, with a throwaway
# self-signed code-signing certificate made here: the package made with it
# has quorvel.exe, the installer and the uninstaller that the installer
# writes (installed under Wine, in a prefix of its own) signed, and each
# signature verifies against the certificate. The package made without one
# (the arguments) is not signed. Run by scripts/test-windows.sh in its
# namespace.
set -euo pipefail
unsigned_zip=$1 unsigned_installer=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)

. "$repo/tests/app/x_lab.sh"
start_wine_work
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Quorvel throwaway test signer" \
    -addext keyUsage=digitalSignature -addext extendedKeyUsage=codeSigning \
    -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/certificate.pem" \
    -passout pass:throwaway -out "$work/certificate.p12"

QUORVEL_SIGNING_CERTIFICATE=$work/certificate.p12 QUORVEL_SIGNING_PASSWORD=throwaway \
    bash "$repo/scripts/package-windows.sh" "$work/dist" >"$work/package.log" 2>&1 || fail "packaging with the certificate failed"
signed_zip=$(ls "$work"/dist/*.zip)
signed_installer=$(ls "$work"/dist/*-setup.exe)

verifies() { osslsigncode verify -CAfile "$work/certificate.pem" -in "$1" >"$work/verify.log" 2>&1; }
unzip -q "$signed_zip" quorvel.exe -d "$work/signed"
verifies "$work/signed/quorvel.exe" || fail "the signed zip's quorvel.exe does not verify"
verifies "$signed_installer" || fail "the signed installer does not verify"

start_xvfb 800x600
$wine wineboot -i >/dev/null 2>&1
$wine winecfg -v win10 >/dev/null 2>&1  # a new prefix plays Windows 7
$wine "$signed_installer" /S >"$work/install.log" 2>&1 || fail "the signed installer failed"
folder="$WINEPREFIX/drive_c/Program Files/Quorvel"
verifies "$folder/uninstall.exe" || fail "the installed uninstaller is not signed"
verifies "$folder/quorvel.exe" || fail "the installed quorvel.exe is not signed"

unzip -q "$unsigned_zip" quorvel.exe -d "$work/unsigned"
for file in "$work/unsigned/quorvel.exe" "$unsigned_installer"; do
    ! verifies "$file" || fail "$(basename "$file") is signed without a certificate"
done
echo "PASS: signed with a throwaway certificate, quorvel.exe, the installer and its uninstaller verify; without one nothing is signed"

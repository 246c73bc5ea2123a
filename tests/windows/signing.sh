#!/usr/bin/env bash
# signing.sh UNSIGNED-ZIP UNSIGNED-INSTALLER
# The signing path of scripts/package-windows.sh, with a throwaway
# certificate authority made here that certifies a code-signing certificate
# and a timestamping authority (tests/windows/timestamp_authority.py, on
# 127.0.0.1 of the namespace it runs in): the package made with both has
# quorvel.exe, the installer and the uninstaller that the installer writes
# (installed under Wine, in a prefix of its own) signed and timestamped, and
# each signature and its timestamp verify against the authority.
# scripts/sign-windows.sh alone: without a timestamping server the
# signature verifies and carries no timestamp; with a server that does not
# answer, signing fails and the file stays as it was. The package made
# without a certificate (the arguments) is not signed. Run by ctest in a
# Wine lab (wine_lab.sh).
set -euo pipefail
unsigned_zip=$1 unsigned_installer=$2
. "$(dirname "$0")/wine_prefix.sh"
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

# The authority, and the two certificates it issues.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Quorvel throwaway test authority" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign \
    -keyout "$work/authority-key.pem" -out "$work/authority.pem" 2>/dev/null
certify() {  # NAME SUBJECT EXTENDED-KEY-USAGE
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$work/$1-key.pem" -out "$work/$1.csr" 2>/dev/null
    printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$work/$1.ext"
    openssl x509 -req -in "$work/$1.csr" -CA "$work/authority.pem" -CAkey "$work/authority-key.pem" -days 1 \
        -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
}
certify signer "Quorvel throwaway test signer" codeSigning
certify timestamper "Quorvel throwaway timestamping authority" critical,timeStamping
openssl pkcs12 -export -inkey "$work/signer-key.pem" -in "$work/signer.pem" -certfile "$work/authority.pem" \
    -passout pass:throwaway -out "$work/signer.p12"

echo 01 >"$work/timestamp-serial"
cat >"$work/timestamper.cnf" <<EOF
[ tsa ]
default_tsa = throwaway
[ throwaway ]
serial = $work/timestamp-serial
signer_cert = $work/timestamper.pem
signer_key = $work/timestamper-key.pem
certs = $work/authority.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.57264.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
# Debian's python3, whatever else PATH offers.
/usr/bin/python3 "$repo/tests/windows/timestamp_authority.py" "$work/timestamper.cnf" "$work/timestamper.port" \
    2>"$work/timestamper.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/timestamper.port" ] && break; sleep 0.1; done
[ -s "$work/timestamper.port" ] || fail "the timestamping authority did not start"
timestamper=http://127.0.0.1:$(cat "$work/timestamper.port")
export QUORVEL_SIGNING_CERTIFICATE=$work/signer.p12 QUORVEL_SIGNING_PASSWORD=throwaway

# verified FILE: the signature verifies against the authority; verify.log says the rest.
verified() {
    osslsigncode verify -CAfile "$work/authority.pem" -TSA-CAfile "$work/authority.pem" -in "$1" >"$work/verify.log" 2>&1
}
timestamped() {
    verified "$1" && grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" \
        && grep -q 'Subject: /CN=Quorvel throwaway timestamping authority' "$work/verify.log"
}

QUORVEL_SIGNING_TIMESTAMP_URL=$timestamper bash "$repo/scripts/package-windows.sh" "$work/dist" >"$work/package.log" 2>&1 \
    || fail "packaging with the certificate and the timestamping authority failed"
signed_zip=$(ls "$work"/dist/*.zip)
signed_installer=$(ls "$work"/dist/*-setup.exe)
unzip -q "$signed_zip" quorvel.exe -d "$work/signed"
timestamped "$work/signed/quorvel.exe" || fail "the signed zip's quorvel.exe does not verify with its timestamp"
timestamped "$signed_installer" || fail "the signed installer does not verify with its timestamp"

start_xvfb 800x600
$wine wineboot -i >/dev/null 2>&1
$wine winecfg -v win10 >/dev/null 2>&1  # a new prefix plays Windows 7
$wine "$signed_installer" /S >"$work/install.log" 2>&1 || fail "the signed installer failed"
folder="$WINEPREFIX/drive_c/Program Files/Quorvel"
timestamped "$folder/uninstall.exe" || fail "the installed uninstaller is not signed with a timestamp"
timestamped "$folder/quorvel.exe" || fail "the installed quorvel.exe is not signed with a timestamp"

# sign-windows.sh alone, on the unsigned program: each timestamping server
# (none; one that does not answer, as nothing listens on port 9 here) and
# what becomes of the signature.
unzip -q "$unsigned_zip" quorvel.exe -d "$work/unsigned"
for case in "|signed, no timestamp" "http://127.0.0.1:9|not signed"; do
    server=${case%%|*} expected=${case#*|}
    cp "$work/unsigned/quorvel.exe" "$work/program.exe"
    outcome="not signed"
    if QUORVEL_SIGNING_TIMESTAMP_URL=$server bash "$repo/scripts/sign-windows.sh" "$work/program.exe" 2>"$work/sign.log"; then
        verified "$work/program.exe" && grep -q '^Timestamp is not available' "$work/verify.log" \
            && outcome="signed, no timestamp" || outcome="signed, not as expected"
    else
        cmp -s "$work/program.exe" "$work/unsigned/quorvel.exe" || outcome="changed, though signing failed"
    fi
    [ "$outcome" = "$expected" ] || fail "with the timestamping server '$server': $outcome, expected $expected"
done

for file in "$work/unsigned/quorvel.exe" "$unsigned_installer"; do
    ! verified "$file" || fail "$(basename "$file") is signed without a certificate"
done
echo "PASS: signed with a throwaway certificate and timestamped by a throwaway authority, quorvel.exe, the installer and its uninstaller verify with their timestamps; without a server signed without one, with one that does not answer not signed; without a certificate nothing is signed"

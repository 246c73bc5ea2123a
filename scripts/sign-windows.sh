#!/usr/bin/env bash
# sign-windows.sh FILE: signs a Windows program (or installer) in place with
# the code-signing certificate named by QUORVEL_SIGNING_CERTIFICATE (a
# PKCS#12 file with the key and the certificate chain) and its password in
# QUORVEL_SIGNING_PASSWORD, then verifies the signature against that chain
# and the system's certificate authorities. With QUORVEL_SIGNING_TIMESTAMP_URL
# (an RFC 3161 timestamping server's address), the signature carries the
# server's timestamp, so that it still verifies after the certificate has
# expired; the timestamp is verified too, and signing fails without it.
# Used by scripts/package-windows.sh and by makensis for the installer and
# its uninstaller.
set -euo pipefail
file=$1
: "${QUORVEL_SIGNING_CERTIFICATE:?names the certificate file}" "${QUORVEL_SIGNING_PASSWORD?is the certificate password}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The password goes through a file, not the command line that ps shows.
(umask 077 && printf '%s' "$QUORVEL_SIGNING_PASSWORD" >"$work/password")
timestamp=()
[ -z "${QUORVEL_SIGNING_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$QUORVEL_SIGNING_TIMESTAMP_URL")
osslsigncode sign -pkcs12 "$QUORVEL_SIGNING_CERTIFICATE" -readpass "$work/password" \
    -n Quorvel -h sha256 "${timestamp[@]}" -in "$file" -out "$work/signed" >"$work/sign.log" 2>&1 \
    || { cat "$work/sign.log" >&2; echo "sign-windows: $file could not be signed" >&2; exit 1; }
openssl pkcs12 -in "$QUORVEL_SIGNING_CERTIFICATE" -passin "file:$work/password" -nokeys -out "$work/chain.pem"
[ -f /etc/ssl/certs/ca-certificates.crt ] && cat /etc/ssl/certs/ca-certificates.crt >>"$work/chain.pem"
# Timestamping authorities' roots are among the system's; osslsigncode
# reports a timestamp it cannot verify, and still succeeds.
osslsigncode verify -CAfile "$work/chain.pem" -TSA-CAfile "$work/chain.pem" -in "$work/signed" >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log" >&2; echo "sign-windows: the signature of $file does not verify" >&2; exit 1; }
[ ${#timestamp[@]} = 0 ] || grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" \
    || { cat "$work/verify.log" >&2; echo "sign-windows: the timestamp of $file does not verify" >&2; exit 1; }
cat "$work/signed" >"$file"
echo "sign-windows: signed and verified $(basename "$file")" >&2

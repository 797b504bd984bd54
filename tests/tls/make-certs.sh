#!/usr/bin/env bash
# Makes the tests' certificates into OUT: a trusted authority (ca.der, which the
# tests add to their prefix's root store) with a certificate for localhost, and
# an authority nobody trusts with another one.
#   make-certs.sh OUT
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
ext=$(mktemp)
trap 'rm -f "$ext"' EXIT
printf 'subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$ext"
for authority in trusted untrusted; do
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=Update tests $authority authority" \
    -keyout "$authority-ca.key" -out "$authority-ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=localhost" \
    -keyout "$authority-localhost.key" -out "$authority-localhost.csr" 2>/dev/null
  openssl x509 -req -sha256 -days 3650 -in "$authority-localhost.csr" -CA "$authority-ca.pem" -CAkey "$authority-ca.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$ext" -out "$authority-localhost.pem" 2>/dev/null
  openssl x509 -in "$authority-ca.pem" -outform DER -out "$authority-ca.der"
  rm -f "$authority-localhost.csr"
done

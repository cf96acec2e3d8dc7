#!/usr/bin/env bash
# Makes a throwaway code-signing identity for the signing tests: a self-signed certificate valid
# for two days and its PKCS#12 file with a random password.
# Usage: make_test_signer.sh DIR   -> DIR/signer.pfx, DIR/password, DIR/cert.pem
set -euo pipefail
dir="${1:?usage: make_test_signer.sh DIR}"
mkdir -p "$dir"
openssl rand -hex 16 >"$dir/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$dir/key.pem" -out "$dir/cert.pem" \
  -subj "/CN=NRDEnrollmentCPPWrapper test signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  2>/dev/null
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/signer.pfx" \
  -passout "file:$dir/password"
rm -f "$dir/key.pem"

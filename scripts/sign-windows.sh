#!/usr/bin/env bash
# Authenticode-signs Windows programs and DLLs in place with osslsigncode (SHA-256 digests).
# Usage: QMT_SIGN_PFX=FILE QMT_SIGN_PASSWORD_FILE=FILE [QMT_SIGN_TIMESTAMP_URL=URL]
#        scripts/sign-windows.sh FILE...
# QMT_SIGN_PFX is a PKCS#12 file holding the certificate, its chain and the private key; the
# password file's first line opens it (kept out of the command line, where other users could
# read it). With QMT_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp authority countersigns, so the
# signature stays valid after the certificate expires. `osslsigncode remove-signature` gives
# back the unsigned file byte for byte.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: sign-windows.sh FILE..." >&2; exit 2; }
pfx="${QMT_SIGN_PFX:?QMT_SIGN_PFX: the PKCS#12 file to sign with}"
password="${QMT_SIGN_PASSWORD_FILE:?QMT_SIGN_PASSWORD_FILE: the file holding its password}"
[ -r "$pfx" ] || { echo "sign-windows: cannot read $pfx" >&2; exit 1; }
[ -r "$password" ] || { echo "sign-windows: cannot read $password" >&2; exit 1; }
command -v osslsigncode >/dev/null || { echo "sign-windows: osslsigncode is missing" >&2; exit 1; }
timestamp=()
[ -n "${QMT_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$QMT_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  # The signature goes after the file padded to 8 bytes: a file of another size (not stripped,
  # say) does not come back byte for byte when the signature is removed.
  [ $(($(stat -c %s "$file") % 8)) -eq 0 ] ||
    echo "sign-windows: $file is padded for its signature (size not a multiple of 8)" >&2
  signed="$file.signed"
  rm -f "$signed"
  if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$password" -h sha256 \
    -n NRDEnrollmentCPPWrapper "${timestamp[@]}" -in "$file" -out "$signed" \
    >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign-windows: signing $file failed" >&2
    exit 1
  fi
  rm -f "$signed.log"
  mv "$signed" "$file"
done

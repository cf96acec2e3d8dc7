#!/usr/bin/env bash
# Authenticode-signs copies of the DLL and qmtsr.exe with a throwaway certificate as a release
# signs them (scripts/sign-windows.sh), checks that both signatures verify, then enrols and makes
# login OTPs with the signed files under Wine (cli_round_trip.sh). That a signature comes off
# without a trace is checked on the release's files (scripts/check-release.sh): these unstripped
# files end at any size, and signing first pads them to a multiple of 8 bytes.
# Usage: signed_round_trip.sh DEVSERVER DLL QMTSR_EXE WINE_RUN WINEPREFIX
set -euo pipefail
devserver="$1" dll="$2" qmtsr="$3" wine_run="$4" prefix="$5"
here="$(cd "$(dirname "$0")" && pwd)"
# In the build folder: the i686 suites run Wine in a chroot that sees the work tree, not /tmp.
work="$(mktemp -d "$PWD/signed-round-trip.XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$here/../release/make_test_signer.sh" "$work/signer"
mkdir "$work/bin"
cp "$dll" "$qmtsr" "$work/bin/"
signed=("$work/bin/$(basename "$dll")" "$work/bin/$(basename "$qmtsr")")
QMT_SIGN_PFX="$work/signer/signer.pfx" QMT_SIGN_PASSWORD_FILE="$work/signer/password" \
  "$here/../../scripts/sign-windows.sh" "${signed[@]}"
for file in "${signed[@]}"; do
  osslsigncode verify -CAfile "$work/signer/cert.pem" -in "$file" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; echo "$file: the signature does not verify" >&2; exit 1; }
  grep -q "Message digest algorithm  : SHA256" "$work/verify.log" ||
    { echo "$file: not signed with SHA-256" >&2; exit 1; }
done
"$here/cli_round_trip.sh" "$devserver" "$work/bin/$(basename "$qmtsr")" "$wine_run" "$prefix"

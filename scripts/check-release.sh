#!/usr/bin/env bash
# Checks the release of one architecture (default i686) the way a security review would:
# 1. built twice by scripts/release.sh, in two folders of different depth, one after the other:
#    every artifact (the staged files, the inventory and the ZIP) must be byte-identical;
# 2. the inventory matches the archive's files and the versions the DLL carries;
# 3. the second folder is packed again signed with a throwaway certificate (nothing is rebuilt):
#    both signatures verify, removing them gives back the unsigned files byte for byte, and the
#    signed archive's inventory matches its signed files.
# Usage: scripts/check-release.sh [i686|x86_64]   (works in build-release-check/)
set -euo pipefail
arch="${1:-i686}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build-release-check"
first="$work/first"
second="$work/second/in/another/folder"
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
# Both builds take the commit checked out now, even if HEAD moves meanwhile.
export QMT_RELEASE_COMMIT
QMT_RELEASE_COMMIT="$(git -C "$root" rev-parse HEAD)"

zip_first="$("$root/scripts/release.sh" "$arch" "$first" | tail -n 1)"
echo "check-release: first build after $((SECONDS - started)) s" >&2
zip_second="$("$root/scripts/release.sh" "$arch" "$second" | tail -n 1)"
echo "check-release: second build after $((SECONDS - started)) s" >&2

differing=0
compare() {
  if ! cmp -s "$1" "$2"; then
    echo "check-release: NOT REPRODUCIBLE: $1 and $2 differ" >&2
    differing=1
  fi
}
compare "$zip_first" "$zip_second"
name="$(basename "$zip_first" .zip)"
files="$(cd "$first/stage" && find . -type f | sort)"
[ "$files" = "$(cd "$second/stage" && find . -type f | sort)" ] ||
  { echo "check-release: the two builds staged different files" >&2; differing=1; }
for file in $files; do compare "$first/stage/$file" "$second/stage/$file"; done
[ "$differing" -eq 0 ] || exit 1
echo "check-release: the two builds are byte-identical ($(wc -l <<<"$files") files and the ZIP)" >&2

python3 "$root/tests/release/check_sbom.py" "$zip_first"

signer="$work/signer"
"$root/tests/release/make_test_signer.sh" "$signer"
QMT_SIGN_PFX="$signer/signer.pfx" QMT_SIGN_PASSWORD_FILE="$signer/password" \
  "$root/scripts/release.sh" "$arch" "$second" >/dev/null
for binary in bin/NRDEnrollmentCPPWrapper.dll bin/qmtsr.exe; do
  signed="$second/stage/$name/$binary"
  osslsigncode verify -CAfile "$signer/cert.pem" -in "$signed" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; echo "check-release: $binary does not verify" >&2; exit 1; }
  ! cmp -s "$signed" "$first/stage/$name/$binary" ||
    { echo "check-release: $binary was not signed" >&2; exit 1; }
  rm -f "$work/unsigned"
  osslsigncode remove-signature -in "$signed" -out "$work/unsigned" >/dev/null
  cmp "$work/unsigned" "$first/stage/$name/$binary" ||
    { echo "check-release: $binary without its signature is not the unsigned build" >&2; exit 1; }
done
python3 "$root/tests/release/check_sbom.py" "$zip_second"
echo "check-release: $arch reproducible, signed and inventoried ($((SECONDS - started)) s)" >&2

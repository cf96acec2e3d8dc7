#!/usr/bin/env bash
# Builds the Windows release of one architecture from the committed tree and packs it:
# OUT/NRDEnrollmentCPPWrapper-VERSION-windows-ARCH.zip with bin/ (the DLL and qmtsr.exe), lib/
# (import library, CMake package, pkg-config file), include/ and NRDEnrollmentCPPWrapper.spdx.json,
# the inventory of what is linked inside and the SHA-256 of every file.
# Usage: scripts/release.sh i686|x86_64 [OUT]   (OUT: build-release-ARCH in the tree)
# The same commit gives the same bytes in any folder at any time: the commit's time stands for
# every time stamp, the source, build and dependency folders are mapped to fixed names, the PE
# header carries no link time, the binaries are stripped and the ZIP lists its entries sorted,
# with fixed times and modes.
# Signing: with QMT_SIGN_PFX (a PKCS#12 file) and QMT_SIGN_PASSWORD_FILE set, the DLL and
# qmtsr.exe are Authenticode-signed (SHA-256) before they are packed; QMT_SIGN_TIMESTAMP_URL
# adds a time stamp from that authority.
# A second run in the same folder for the same commit rebuilds nothing and packs again.
# QMT_RELEASE_COMMIT builds another commit than HEAD (a tag, say).
set -euo pipefail
arch="${1:?usage: release.sh i686|x86_64 [OUT]}"
case "$arch" in
  i686 | x86_64) ;;
  *) echo "release: unknown architecture: $arch" >&2; exit 2 ;;
esac
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${2:-$root/build-release-$arch}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

commit="$(git -C "$root" rev-parse "${QMT_RELEASE_COMMIT:-HEAD}^{commit}")"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct "$commit")"
if [ -z "${QMT_RELEASE_COMMIT:-}" ] &&
  [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "release: the tree has uncommitted changes; they are not part of the release" >&2
fi
deps="$("$root/scripts/windows-deps.sh" "$arch" | tail -n 1)"

# The committed tree, extracted once per commit: an unchanged source keeps the build incremental.
src="$out/source"
if [ "$(cat "$out/source.commit" 2>/dev/null)" != "$commit" ]; then
  rm -rf "$src" "$out/source.commit"
  mkdir -p "$src"
  git -C "$root" archive --format=tar "$commit" | tar -x -C "$src"
  echo "$commit" >"$out/source.commit"
fi

build="$out/build"
# A build configured against another dependency cache (newer Debian versions) would keep what it
# found there: start it afresh.
if [ -f "$build/CMakeCache.txt" ] &&
  [ "$(sed -n 's/^QMT_WINDOWS_DEPS:[A-Z]*=//p' "$build/CMakeCache.txt")" != "$deps" ]; then
  rm -rf "$build"
fi
maps="$build/link-maps"
mkdir -p "$maps"
# Debug information is off (Release) and the symbols are stripped at link time (-s); the prefix
# maps keep the folders out of what the preprocessor's __FILE__ and the assembler still name.
prefix_maps="-ffile-prefix-map=$src=source -ffile-prefix-map=$build=build"
prefix_maps+=" -ffile-prefix-map=$deps=windows-deps"
# --no-insert-timestamp: the PE header's time stamp is 0. The link maps (in the build folder,
# never shipped) tell the inventory which archives each binary took members from.
link_flags="-s -Wl,--no-insert-timestamp -Wl,-Map=$maps/"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$arch.cmake" -DQMT_WINDOWS_DEPS="$deps" \
  -DQMT_WERROR=ON -DQMT_BUILD_TESTS=OFF -DQMT_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$prefix_maps" -DCMAKE_CXX_FLAGS="$prefix_maps" \
  -DCMAKE_SHARED_LINKER_FLAGS="$link_flags" -DCMAKE_EXE_LINKER_FLAGS="$link_flags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target NRDEnrollmentCPPWrapper qmtsr >&2

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
name="NRDEnrollmentCPPWrapper-$version-windows-$arch"
stage="$out/stage"
rm -rf "$stage"
cmake --install "$build" --prefix "$stage/$name" >/dev/null

binaries=("$stage/$name/bin/NRDEnrollmentCPPWrapper.dll" "$stage/$name/bin/qmtsr.exe")
if [ -n "${QMT_SIGN_PFX:-}" ]; then
  "$root/scripts/sign-windows.sh" "${binaries[@]}"
  echo "release: signed the DLL and qmtsr.exe with $QMT_SIGN_PFX" >&2
else
  echo "release: QMT_SIGN_PFX is not set: the DLL and qmtsr.exe are NOT signed" >&2
fi

python3 "$root/scripts/release_sbom.py" --top "$stage/$name" --name "$name" --version "$version" \
  --source "$src" --build "$build" --maps "$maps" --deps "$deps" --commit "$commit"
zip="$out/$name.zip"
python3 "$root/scripts/release_zip.py" "$stage" "$name" "$zip"
echo "release: $zip ($(sha256sum "$zip" | cut -d' ' -f1))" >&2
echo "$zip"

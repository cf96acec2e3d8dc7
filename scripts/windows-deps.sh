#!/usr/bin/env bash
# Builds the library's Windows dependencies for one architecture from Debian's own source
# packages: OpenSSL libcrypto (static, only what the library uses), libcurl (static, Schannel
# TLS, no OpenSSL), GoogleTest and the header-only cpp-httplib for the tests.
# Usage: scripts/windows-deps.sh x86_64|i686
# The result lives outside the tree, in $QMT_WINDOWS_DEPS_CACHE (default ~/.cache/qmt-windows-deps),
# in a folder named after the architecture and the package versions; a complete folder is
# reused as it is. Prints that folder (the prefix to build against) on its last line.
set -euo pipefail
arch="${1:?usage: windows-deps.sh x86_64|i686}"
case "$arch" in
  x86_64) openssl_target=(mingw64) ;;
  # The 32-bit assembler modules come out position-independent, which COFF cannot represent.
  i686) openssl_target=(mingw no-asm) ;;
  *) echo "unknown architecture: $arch" >&2; exit 2 ;;
esac
host="$arch-w64-mingw32"
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-windows-toolchain.sh"

# Debian's archive may list a source version that it no longer serves (a security update
# replaced by a newer one): try the versions apt knows, newest first.
versions_of() { apt-cache showsrc "$1" | awk '/^Version:/ { print $2 }' | sort -Vru; }
cache="${QMT_WINDOWS_DEPS_CACHE:-$HOME/.cache/qmt-windows-deps}"
packages=(openssl curl googletest cpp-httplib)
# Bumped whenever the recipe below changes what ends up in the archives, so that a cache built
# by an older recipe is never reused. r2: libcrypto loads no configuration and names no
# build-machine folder; no archive carries a build path or time.
recipe=r2
# One build per architecture at a time; a second caller waits and then reuses it.
mkdir -p "$cache"
exec 9>"$cache/$arch.lock"
flock 9

# Reuse a complete build whose versions (listed in its .complete) are all among those apt knows.
for done_marker in $(ls -d "$cache/$arch-$recipe"-*/.complete 2>/dev/null | sort -Vr); do
  usable=1
  while read -r package version; do
    known="$(versions_of "$package")"
    # apt that cannot answer (its lists being updated, say) is no reason to rebuild.
    [ -z "$known" ] || grep -qxF "$version" <<<"$known" || usable=0
  done <"$done_marker"
  if [ "$usable" -eq 1 ]; then
    dirname "$done_marker"
    exit 0
  fi
done

started=$SECONDS
download="$(mktemp -d "${TMPDIR:-/tmp}/qmt-windows-src.XXXXXX")"
trap 'rm -rf "$download"' EXIT
key="$arch-$recipe"
fetched_versions=""
for package in "${packages[@]}"; do
  fetched=""
  for version in $(versions_of "$package"); do
    if (cd "$download" && apt-get source -qq --download-only "$package=$version" >/dev/null 2>&1); then
      fetched="$version"
      break
    fi
  done
  [ -n "$fetched" ] || { echo "windows-deps: no source of $package could be fetched" >&2; exit 1; }
  key="$key-${package}_$fetched"
  fetched_versions+="$package $fetched"$'\n'
done
prefix="$cache/$key"

jobs="$(nproc)"
log="$download/build.log"
# Runs one build step with its output in the log; on failure shows the log's end.
quietly() {
  "$@" >>"$log" 2>&1 || { echo "windows-deps: failed: $*" >&2; tail -n 40 "$log" >&2; exit 1; }
}
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"
cd "$download"
for dsc in *.dsc; do quietly dpkg-source --no-check -x "$dsc"; done

# OpenSSL: libcrypto only (digests, AES, bignums, RSA and the random generator).
# It never reads a configuration file (no-autoload-config; the library also initialises it with
# OPENSSL_INIT_NO_LOAD_CONFIG) and loads no module or engine. The folders libcrypto names
# (OPENSSLDIR, MODULESDIR and what derives from them) hold '<' and '>', which no Windows file
# name may contain, so nobody can create them on a host; nothing of this machine's folders is
# compiled in. SOURCE_DATE_EPOCH fixes the "built on" text to the package's own date.
cd "$download"/openssl-*/
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l debian/changelog -STimestamp)"
quietly ./Configure "${openssl_target[@]}" --cross-compile-prefix="$host-" \
  --prefix='/<no-openssl-prefix>' --openssldir='/<no-openssl-dir>' \
  no-autoload-config no-shared no-tests no-module no-engine no-legacy no-ssl3 no-comp \
  no-ocsp no-cms no-ts no-srp no-ct no-ui-console
quietly make -j"$jobs" build_generated
quietly make -j"$jobs" libcrypto.a
cp libcrypto.a "$prefix/lib/"
cp -r include/openssl "$prefix/include/"
echo "windows-deps: openssl built after $((SECONDS - started)) s" >&2

# libcurl: HTTP(S) only, Windows' own TLS. Optimised without debug information, so that the
# archive carries no build folder (autoconf's default CFLAGS add -g).
cd "$download"/curl-*/
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l debian/changelog -STimestamp)"
quietly ./configure --host="$host" --prefix="$prefix" CFLAGS=-O2 --disable-shared --enable-static \
  --with-schannel --without-openssl --without-zlib --without-brotli --without-zstd \
  --without-libidn2 --without-libpsl --without-nghttp2 --without-librtmp --without-libssh2 \
  --disable-ldap --disable-ldaps --disable-manual --disable-ftp --disable-file \
  --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smtp \
  --disable-gopher --disable-mqtt --disable-rtsp --disable-smb
quietly make -j"$jobs" -C lib
quietly make -C lib install
quietly make -C include install
quietly make install-pkgconfigDATA
echo "windows-deps: curl built after $((SECONDS - started)) s" >&2

# GoogleTest (with GoogleMock), built with the project's toolchain file.
cd "$download"
quietly cmake -S googletest-*/ -B gtest-build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=ON
quietly cmake --build gtest-build -j"$jobs"
quietly cmake --install gtest-build
echo "windows-deps: googletest built after $((SECONDS - started)) s" >&2

# cpp-httplib: the upstream single header (the tests' loopback servers and clients).
cp cpp-httplib-*/httplib.h "$prefix/include/"
# RapidJSON is headers only: the ones of the installed rapidjson-dev serve every target.
cp -r /usr/include/rapidjson "$prefix/include/"

echo "$((SECONDS - started))" >"$prefix/.build-seconds"
printf %s "$fetched_versions" >"$prefix/.complete"
echo "windows-deps: $arch ready in $((SECONDS - started)) s" >&2
echo "$prefix"

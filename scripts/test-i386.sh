#!/usr/bin/env bash
# Builds the whole tree as 32-bit Linux programs (cmake/linux-i386.cmake) in build-i386 and runs
# every suite there, the end-to-end ones against the i386 dev server: the shipped library is a
# 32-bit one, and this is where its code runs at the host's width (32-bit size_t, long and
# pointers).
# Installs what is missing: the i386 architecture and its -dev packages, the multilib compilers
# and qemu-user-static. This machine's kernel runs no 32-bit program itself, so the script also
# mounts binfmt_misc when needed and registers qemu as the runner of i386 programs, which changes
# how this machine runs every 32-bit program (see the README).
# Usage: scripts/test-i386.sh [--install-only]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
packages=(g++-multilib qemu-user-static libcurl4-openssl-dev:i386 libssl-dev:i386
  libsqlite3-dev:i386 libcpp-httplib-dev:i386 libgtest-dev:i386 libgmock-dev:i386)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-i386: installing ${missing[*]}" >&2
  dpkg --print-foreign-architectures | grep -qx i386 || "${sudo_cmd[@]}" dpkg --add-architecture i386
  # Another apt run on the machine holds the lock: wait for it rather than fail.
  apt_wait=(-o DPkg::Lock::Timeout=1200)
  "${sudo_cmd[@]}" apt-get "${apt_wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "${apt_wait[@]}" install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
fi

# Where the kernel runs no 32-bit program itself, it hands i386 programs to qemu. F: the
# interpreter is opened now, so the entry works in any mount namespace. The magic is an ELF32
# little-endian header of machine 3 (i386).
probe="$(mktemp)"
trap 'rm -f "$probe"' EXIT
echo 'int main(void) { return 0; }' | gcc -m32 -x c -o "$probe" -
if ! "$probe" 2>/dev/null; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" |
      "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null
  fi
  "$probe" || { echo "test-i386: i386 programs still do not run" >&2; exit 1; }
fi
[ "${1:-}" = "--install-only" ] && exit 0

build="$root/build-i386"
command -v ccache >/dev/null && export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
# No benchmarks: Google Benchmark has no i386 package installed, and speed is an amd64 matter.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/linux-i386.cmake" \
  -DQMT_WERROR=ON -DQMT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >&2
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600

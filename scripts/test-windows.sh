#!/usr/bin/env bash
# Builds the library for Windows with mingw-w64 and proves it under Wine: installs what is
# missing, builds the Windows dependencies once (scripts/windows-deps.sh, cached outside the
# tree), builds x86_64 and i686 (DLL, import library, qmtsr.exe, the suites), and runs each
# architecture's suites (export tables, redistributable archives, end-to-end against the Linux
# dev server...) under Wine: x86_64 under this machine's Wine, i686 under Debian trixie's 64-bit
# Wine in WoW64 mode, from a chroot made once outside the tree (scripts/wine-trixie.sh) and
# mounted for the run only. Needs root for the chroot and its mounts.
# Usage: scripts/test-windows.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/wine-chroot-mounts.sh"
linux_build="$("$root/scripts/build.sh" | tail -n 1)"  # the dev server the Windows tests use
started=$SECONDS
chroot_dir=""

for arch in x86_64 i686; do
  deps="$("$root/scripts/windows-deps.sh" "$arch" | tail -n 1)"
  echo "test-windows: $arch dependencies in $deps ($((SECONDS - started)) s)" >&2
  build="$root/build-windows-$arch"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DQMT_WINDOWS_DEPS="$deps" -DQMT_WERROR=ON -DQMT_BUILD_BENCH=OFF \
    -DQMT_HOST_DEVSERVER="$linux_build/devserver/sentrel-devserver" >/dev/null
  cmake --build "$build" -j "$(nproc)" >&2
  echo "test-windows: $arch built ($((SECONDS - started)) s)" >&2
done
chroot_dir="$("$root/scripts/wine-trixie.sh" | tail -n 1)"
echo "test-windows: Wine chroot in $chroot_dir ($((SECONDS - started)) s)" >&2

# One throwaway Wine prefix per run and architecture, under the build folder. Every Wine
# process of the run is stopped at its end, and the chroot's mounts are undone, also when a
# test fails or the run is interrupted.
export WINEDEBUG=-all
in_chroot=()  # empty for this machine's own Wine
wineserver() { "${in_chroot[@]}" /usr/lib/wine/wineserver "$@"; }
finish() {
  for arch in x86_64 i686; do
    WINEPREFIX="$root/build-windows-$arch/wineprefix" wineserver -k 2>/dev/null || true
  done
  [ -z "$chroot_dir" ] || chroot_unmount "$chroot_dir"
}
trap finish EXIT
trap 'exit 130' INT TERM

run_suites() {  # ARCH EMULATOR
  local build="$root/build-windows-$1"
  export WINEPREFIX="$build/wineprefix"
  rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
  "$2" cmd /c exit >/dev/null 2>&1  # makes the prefix
  wineserver -w
  # Then one Wine server for the whole run: a server that ends between two tests races with
  # the next test's start ("recvmsg: Connection reset by peer").
  wineserver -p
  # Its background services start with the first program: let that be one whose output goes
  # nowhere, or they would hold a test's output pipe open after the test ends.
  "$2" cmd /c exit </dev/null >/dev/null 2>&1
  (cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
  wineserver -k
  echo "test-windows: $1 suites passed under Wine ($((SECONDS - started)) s)" >&2
}

run_suites x86_64 "$root/scripts/wine-run.sh"

# i686: the chroot sees /dev, /proc and the work tree (build folders, the Linux dev server) at
# their own paths; it shares this machine's network, so the tests reach loopback servers.
chroot_mount "$chroot_dir" "$root"
export QMT_WINE_CHROOT="$chroot_dir"
# Wine 10 wants a runtime folder of its own user.
export XDG_RUNTIME_DIR="$root/build-windows-i686/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 0700 "$XDG_RUNTIME_DIR"
in_chroot=(chroot "$chroot_dir")
run_suites i686 "$root/scripts/wine-chroot-run.sh"

#!/usr/bin/env bash
# Builds the library for Windows with mingw-w64 and proves it under Wine: installs what is
# missing, builds the Windows dependencies once (scripts/windows-deps.sh, cached outside the
# tree), builds x86_64 and i686 (DLL, import library, qmtsr.exe), checks both DLLs' export
# tables, makes and checks both redistributable archives (build-windows-ARCH/archive), and runs
# the x86_64 suites under Wine against the Linux dev server.
# Usage: scripts/test-windows.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
linux_build="$("$root/scripts/build.sh" | tail -n 1)"  # the dev server the Windows tests use
started=$SECONDS

for arch in x86_64 i686; do
  deps="$("$root/scripts/windows-deps.sh" "$arch" | tail -n 1)"
  echo "test-windows: $arch dependencies in $deps ($((SECONDS - started)) s)" >&2
  build="$root/build-windows-$arch"
  flags=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DQMT_WINDOWS_DEPS="$deps"
    -DQMT_WERROR=ON -DQMT_BUILD_BENCH=OFF)
  if [ "$arch" = x86_64 ]; then
    flags+=(-DQMT_HOST_DEVSERVER="$linux_build/devserver/sentrel-devserver")
  else
    # i686 is built and checked, not run: this machine's kernel runs no 32-bit program, and
    # under qemu-user emulation 32-bit Wine did not finish creating a prefix (kernel32 fails
    # to load). The same code runs at 32 bits as the Linux i386 build (scripts/test-i386.sh).
    flags+=(-DQMT_BUILD_TESTS=OFF)
  fi
  cmake -S "$root" -B "$build" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$build" -j "$(nproc)" >&2
  echo "test-windows: $arch built ($((SECONDS - started)) s)" >&2
done

cmake -DDLL="$root/build-windows-i686/bin/NRDEnrollmentCPPWrapper.dll" \
  -DOBJDUMP=i686-w64-mingw32-objdump -DCXXFILT=i686-w64-mingw32-c++filt \
  -P "$root/tests/windows/check_exports.cmake"
# x86_64's archive is made and checked by its ctest run.
cmake -DBUILD_DIR="$root/build-windows-i686" -DWORK="$root/build-windows-i686/archive" \
  -DOBJDUMP=i686-w64-mingw32-objdump -P "$root/tests/windows/check_archive.cmake"

# One throwaway Wine prefix per run, under the build folder; every Wine process of it is
# stopped at the end.
build="$root/build-windows-x86_64"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
stop_wine() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
"$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1  # makes the prefix
/usr/lib/wine/wineserver -w
# Then one Wine server for the whole run: a server that ends between two tests races with the
# next test's start ("recvmsg: Connection reset by peer").
/usr/lib/wine/wineserver -p
# Its background services start with the first program: let that be one whose output goes
# nowhere, or they would hold a test's output pipe open after the test ends.
"$root/scripts/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
echo "test-windows: x86_64 suites passed under Wine ($((SECONDS - started)) s)" >&2

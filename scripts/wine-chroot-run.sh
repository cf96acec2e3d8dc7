#!/usr/bin/env bash
# ctest's emulator for the i686 Windows build: runs scripts/wine-run.sh inside the Wine chroot
# (scripts/wine-trixie.sh) in the same working directory; scripts/test-windows.sh mounts the
# work tree at its own path there and names the chroot in QMT_WINE_CHROOT. The environment
# (WINEPREFIX, XDG_RUNTIME_DIR...) passes through.
set -euo pipefail
dir="${QMT_WINE_CHROOT:?is unset: run the i686 suites through scripts/test-windows.sh}"
# shellcheck disable=SC2016  # expanded by the chroot's shell
exec chroot "$dir" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$PWD" \
  "$(cd "$(dirname "$0")" && pwd)/wine-run.sh" "$@"

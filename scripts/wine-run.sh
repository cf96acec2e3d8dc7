#!/usr/bin/env bash
# Runs one Windows program under Wine (ctest's emulator for the x86_64 Windows build).
# The Wine prefix is the build folder's own throwaway one (the folder holding CMakeCache.txt,
# found upwards from the working directory) unless WINEPREFIX is set; it is made on first use.
set -euo pipefail
wine=/usr/lib/wine/wine64
command -v wine64 >/dev/null 2>&1 && wine="$(command -v wine64)"
if [ -z "${WINEPREFIX:-}" ]; then
  dir="$PWD"
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build folder above $PWD" >&2; exit 2; }
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko prompts
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Several tests may start at once: one of them makes the prefix, the others wait for it.
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1
    "$(dirname "$wine")/wineserver" -w  # the new prefix is ready once its first server ends
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"

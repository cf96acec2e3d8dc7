#!/usr/bin/env bash
# The C host against sentrel-devserver on loopback, in a host installation of its own: on
# Linux under QMT_DRIVE_ROOT, under Wine on the prefix's C: drive. First checks that the host
# carries no C++ runtime: no C++ library among its imports, no C++ runtime symbol in it.
# Usage: c_host_round_trip.sh DEVSERVER C_HOST NM OBJDUMP [WINE_RUN WINEPREFIX]
set -euo pipefail
devserver="$1" host="$2" nm="$3" objdump="$4" wine_run="${5:-}"
[ -n "$wine_run" ] && export WINEPREFIX="$6"

imports="$("$objdump" -p "$host" | grep -E 'NEEDED|DLL Name' || true)"
runtime="$("$nm" "$host" | grep -E ' (_Z|__gxx_personality|__cxa_(throw|begin_catch|guard_|pure_virtual))' || true)"
if grep -qiE 'stdc\+\+|c\+\+' <<<"$imports" || [ -n "$runtime" ]; then
  printf 'the C host carries a C++ runtime:\n%s\n%s\n' "$imports" "$runtime" >&2
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/qmt-c-host.XXXXXX")"
. "$(dirname "$0")/../../scripts/devserver-session.sh"
finish() {
  stop_devserver
  rm -rf "$work"
}
trap finish EXIT
start_devserver "$devserver" "$work/server"

if [ -n "$wine_run" ]; then
  "$wine_run" cmd /c exit >/dev/null 2>&1  # makes the prefix when this is its first use
  drive="$WINEPREFIX/drive_c"
  rm -rf "$drive/APP" "$drive/log"
  run=("$wine_run" "$host" "$url")
else
  export QMT_DRIVE_ROOT="$work/root"
  drive="$QMT_DRIVE_ROOT/C"
  run=("$host" "$url")
fi
mkdir -p "$drive/APP/qmt/GEN" "$drive/APP/qmt/BIN" "$drive/APP/qmt/log" "$drive/log"
cd "$drive/APP/qmt/BIN"
"${run[@]}"

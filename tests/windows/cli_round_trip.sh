#!/usr/bin/env bash
# qmtsr.exe under Wine against the Linux sentrel-devserver on loopback: enrol, two login OTPs,
# and the server's login check accepts the newest one.
# With PLANTED_DLL (a DLL that marks its own loading), first plants what would make libcrypto
# load it: an openssl.cnf that activates it as a provider in every folder the DLL and qmtsr.exe
# name, and OPENSSL_CONF, OPENSSL_MODULES and OPENSSL_ENGINES pointing at it. The round trip
# must work as before, and the planted DLL must never have been loaded.
# Usage: cli_round_trip.sh DEVSERVER QMTSR_EXE WINE_RUN WINEPREFIX [PLANTED_DLL]
set -euo pipefail
devserver="$1" qmtsr="$2" wine_run="$3" planted_dll="${5:-}"
export WINEPREFIX="$4"
work="$(mktemp -d "${TMPDIR:-/tmp}/qmt-windows-round-trip.XXXXXX")"
. "$(dirname "$0")/../../scripts/devserver-session.sh"
planted_folders=()
finish() {
  stop_devserver
  for folder in "${planted_folders[@]}"; do rm -rf "$folder"; done
  rm -rf "$work"
}
trap finish EXIT
start_devserver "$devserver" "$work/server"

# The host's installation on the Wine prefix's C: drive, the host running in C:\APP\qmt\BIN.
"$wine_run" cmd /c exit >/dev/null 2>&1  # makes the prefix when this is its first use
drive="$WINEPREFIX/drive_c"
rm -rf "$drive/APP" "$drive/log"
mkdir -p "$drive/APP/qmt/GEN" "$drive/APP/qmt/BIN" "$drive/APP/qmt/log" "$drive/log"
cd "$drive/APP/qmt/BIN"
[ -z "$planted_dll" ] || . "$(dirname "$0")/plant_openssl_config.sh"

common=(--service-url "$url" --device-serial WIN-SERIAL-01 --unique-key WIN-KEY-01 --pin 4321)
"$wine_run" "$qmtsr" enroll "${common[@]}" \
  --code-otp-url "$url/api/enrollmentinit" --check-url "$url/api/checkenrollment" \
  --user sentrel --password sentrel --rrdi RRDI-WIN --bios-serial BIOS-WIN \
  --name windows-workstation --message '{"rrdi_code":"RRDI-WIN","secret_code":"win-secret"}' |
  tee "$work/enrol.out"
grep -q 'result 1000' "$work/enrol.out"
# Wine's C runtime ends text lines with \r\n.
otp1="$("$wine_run" "$qmtsr" otp "${common[@]}" | tr -d '\r')"
otp2="$("$wine_run" "$qmtsr" otp "${common[@]}" | tr -d '\r')"
[[ "$otp1" =~ ^[0-9a-z]{8}$ && "$otp2" =~ ^[0-9a-z]{8}$ ]] || {
  echo "not two 8-character OTPs: '$otp1' '$otp2'" >&2
  exit 1
}
for file in APP/qmt/GEN/seed.data APP/qmt/GEN/Enrollment_Status.txt \
  APP/qmt/log/SREnrollmentlog.log log/SRAuthenticationlog.log; do
  [ -s "$drive/$file" ] || { echo "C:\\$file is missing or empty" >&2; exit 1; }
done
login="$(sed -n 's/^OTP Login,//p' "$drive/APP/qmt/GEN/Enrollment_Status.txt" | tr -d '\r')"
answer="$(login_check "$login" "$otp2")"
echo "login check of $otp2 for $login: $answer"
[[ "$answer" == *'"status":"OK"'* ]]
if [ -n "$planted_dll" ]; then
  loaded="$(find "$drive" -name '*.loaded')"
  [ -z "$loaded" ] || { echo "the planted provider DLL was loaded: $loaded" >&2; exit 1; }
  echo "no planted configuration or provider was loaded (${#planted_folders[@]} folders)"
fi

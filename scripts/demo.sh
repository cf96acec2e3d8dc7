#!/usr/bin/env bash
# Demo: installs what is missing, builds, starts sentrel-devserver on a free loopback port with
# a fresh database, enrols a workstation with `qmtsr enroll`, prints two login OTPs with
# `qmtsr otp`, has the server accept the newest one at its login check, and stops the server.
# Everything the run writes stays in ./demo-run (replaced by the next run) for a look afterwards.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$("$root/scripts/build.sh" | tail -n 1)"  # installs missing packages first
qmtsr="$build/cli/qmtsr"
server_bin="$build/devserver/sentrel-devserver"

run="$root/demo-run"
rm -rf "$run"

# shellcheck source=scripts/devserver-session.sh
. "$root/scripts/devserver-session.sh"
start_devserver "$server_bin" "$run/server" || exit 1
trap stop_devserver EXIT
echo "== sentrel-devserver (pid $server_pid) listening on $url"

# A fresh installation: C:\ is $QMT_DRIVE_ROOT/C, and the host runs in C:\APP\qmt\BIN, so the
# relative log paths land in C:\APP\qmt\log and C:\log.
drive="$run/drive"
mkdir -p "$drive/C/APP/qmt/GEN" "$drive/C/APP/qmt/BIN" "$drive/C/APP/qmt/log" "$drive/C/log"
export QMT_DRIVE_ROOT="$drive"
cd "$drive/C/APP/qmt/BIN"

common=(--service-url "$url" --device-serial DEMO-SERIAL-01 --unique-key DEMO-KEY-01 --pin 1234)

echo "== qmtsr enroll"
"$qmtsr" enroll "${common[@]}" \
  --code-otp-url "$url/api/enrollmentinit" --check-url "$url/api/checkenrollment" \
  --user sentrel --password sentrel --rrdi RRDI-DEMO --bios-serial BIOS-DEMO \
  --name demo-workstation --message '{"rrdi_code":"RRDI-DEMO","secret_code":"demo-secret"}'

echo "== qmtsr otp (twice)"
otp1="$("$qmtsr" otp "${common[@]}")"
otp2="$("$qmtsr" otp "${common[@]}")"
echo "first OTP:  $otp1 (superseded by the next exchange)"
echo "second OTP: $otp2"

login="$(sed -n 's/^OTP Login,//p' "$drive/C/APP/qmt/GEN/Enrollment_Status.txt")"
answer="$(login_check "$login" "$otp2")"
echo "== login check of the second OTP for login $login: $answer"

stop_devserver
trap - EXIT
echo "== sentrel-devserver stopped; its request log:"
sed 's/^/  /' "$run/server/requests.log"

echo "== files"
echo "seed file:             $drive/C/APP/qmt/GEN/seed.data"
echo "PIN file:              $drive/C/APP/qmt/GEN/ToolvexPin.txt"
echo "enrolment status file: $drive/C/APP/qmt/GEN/Enrollment_Status.txt"
echo "enrolment log:         $drive/C/APP/qmt/log/SREnrollmentlog.log"
echo "authentication log:    $drive/C/log/SRAuthenticationlog.log"
echo "server database:       $run/server/sentrel.db"

[[ "$answer" == *'"status":"OK"'* ]] || { echo "demo: the server refused the OTP" >&2; exit 1; }

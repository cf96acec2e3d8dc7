#!/usr/bin/env bash
# Soak of sentrel-devserver under hostile load, loopback only, 60 s by default (SOAK_SECONDS):
# 16 slow clients trickling headers, 4 header floods, 1,000 malformed requests, and valid
# traffic beside them (back-end enrolments, OTP exchanges through `qmtsr otp`, login checks,
# control reads). Prints the server's peak memory, the slowest valid request and how many valid
# requests were refused. Goal: under 100 MB, under 1 s, none. Not part of ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$("$root/scripts/build.sh" | tail -n 1)"
seconds="${SOAK_SECONDS:-60}"
run="$(mktemp -d "${TMPDIR:-/tmp}/devserver-soak-XXXXXX")"
mkdir -p "$run/valid"

# shellcheck source=scripts/devserver-session.sh
. "$root/scripts/devserver-session.sh"
start_devserver "$build/devserver/sentrel-devserver" "$run" || exit 1
server="$server_pid"
workers=()
finish() {
  for pid in "${workers[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait "${workers[@]}" 2>/dev/null || true
  stop_devserver
  rm -rf "$run"
}
trap finish EXIT
token="$(cat "$run/sentrel.db.control-token")"
end=$((SECONDS + seconds))

# One slow client: sends a request line, then a header every 0.5 s until the server cuts it off,
# then starts again.
slow_client() {
  trap '' PIPE
  while ((SECONDS < end)); do
    (
      exec 3<>"/dev/tcp/127.0.0.1/$port" || exit 0
      printf 'GET /srws/MAC?action=ActionSetup HTTP/1.1\r\nHost: soak\r\n' >&3 || exit 0
      while ((SECONDS < end)); do
        printf 'X-Slow: %d\r\n' "$SECONDS" >&3 2>/dev/null || exit 0
        sleep 0.5
      done
    ) 2>/dev/null || true
  done
}

# One header flood: up to 64 MiB of header lines per connection, again and again.
header_flood() {
  trap '' PIPE
  while ((SECONDS < end)); do
    timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port
      { printf 'GET /srws/MAC HTTP/1.1\r\nHost: soak\r\n'; yes 'X-Flood: aaaaaaaaaaaaaaaaaaaaaaaa'; } |
        head -c 67108864 >&3" 2>/dev/null || true
  done
}

# Malformed or hostile requests ($1 of them, worker $2) spread over the run, sent with bash's
# own TCP redirection (a process per request would be too slow on a busy machine).
malformed() {
  local count="$1" worker="$2"
  trap '' PIPE
  local long
  long="$(head -c 9000 /dev/zero | tr '\0' A)"
  local bad=(
    "GET /srws/MAC?action=ActionDance HTTP/1.1\r\n\r\n"
    "GET /srws/MAC?action=ActionSetup&mode=otp&id=%zz HTTP/1.1\r\n\r\n"
    "GET /srws/MAC?action=ActionSetup&mode=activate&code=${long:0:5000} HTTP/1.1\r\n\r\n"
    "GET /srws/MAC?action=ActionFinalize&mode=otp&id=DV-00000000&sid=1 HTTP/1.1\r\n\r\n"
    "GET /srws/MAC?action=$long HTTP/1.1\r\n\r\n"
    "GET /control/devices HTTP/1.1\r\n\r\n"
    "PUT /control/settings HTTP/1.1\r\nAuthorization: Bearer guess\r\nContent-Length: 2\r\n\r\n{}"
    "PUT /login HTTP/1.1\r\nContent-Length: 8\r\n\r\nnot json"
    "PUT /api/enrollmentinit HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}"
    "PUT /login HTTP/1.1\r\nContent-Length: 999999\r\n\r\n{}"
    "BREW /pot HTTP/1.1\r\n\r\n"
    "\x00\x01\x02garbage\r\n\r\n"
  )
  local i line pause
  pause="$(awk "BEGIN { print $seconds / $count / 2 }")"
  for i in $(seq "$count"); do
    ((SECONDS < end)) || break
    echo "$i" >"$run/malformed.$worker"
    if exec 3<>"/dev/tcp/127.0.0.1/$port"; then
      printf "%b" "${bad[i % ${#bad[@]}]}" >&3 2>/dev/null || true
      read -r -t 5 line <&3 2>/dev/null || true
      exec 3<&-
    fi
    sleep "$pause"
  done
}

# Records one valid request: its time in seconds, or "refused" with what came back.
valid() {
  local name="$1" expect="$2"
  shift 2
  local out
  out="$(curl -s -m 10 -w '\n%{http_code} %{time_total}' "$@" || true)"
  local tail="${out##*$'\n'}" body="${out%$'\n'*}"
  if [[ "$tail" == 200\ * && "$body" == *"$expect"* ]]; then
    echo "${tail#200 } $name" >>"$run/valid/times"
  else
    echo "$name: $out" >>"$run/valid/refused"
  fi
}

# Valid traffic: an enrolled workstation making OTPs, each checked at the login; new enrolments
# and control reads between them.
valid_traffic() {
  local drive="$run/drive"
  mkdir -p "$drive/C/APP/qmt/GEN" "$drive/C/APP/qmt/BIN" "$drive/C/APP/qmt/log" "$drive/C/log"
  cd "$drive/C/APP/qmt/BIN"
  export QMT_DRIVE_ROOT="$drive"
  local common=(--service-url "$url" --device-serial SOAK-01 --unique-key SOAK-KEY --pin 1234)
  "$build/cli/qmtsr" enroll "${common[@]}" --code-otp-url "$url/api/enrollmentinit" \
    --check-url "$url/api/checkenrollment" --user sentrel --password sentrel --rrdi R \
    --bios-serial B --name soak --message '{"rrdi_code":"R"}' >/dev/null 2>&1 ||
    echo "enroll failed" >>"$run/valid/refused"
  local login
  login="$(sed -n 's/^OTP Login,//p' "$drive/C/APP/qmt/GEN/Enrollment_Status.txt" || true)"
  while ((SECONDS < end)); do
    # One OTP exchange is two service requests; its whole run bounds each of them.
    local started otp
    started="$(date +%s.%N)"
    if otp="$("$build/cli/qmtsr" otp "${common[@]}" 2>/dev/null)"; then
      awk "BEGIN { print $(date +%s.%N) - $started \" qmtsr-otp\" }" >>"$run/valid/times"
      valid login '"status":"OK"' -X PUT -d "{\"device\":\"$login\",\"otp\":\"$otp\"}" "$url/login"
    else
      echo "qmtsr otp failed" >>"$run/valid/refused"
    fi
    valid enrol '"login_otp"' -u sentrel:sentrel -X PUT -d '{"rrdi_code":"R"}' \
      "$url/api/enrollmentinit"
    valid control '[' -H "Authorization: Bearer $token" "$url/control/faults"
    sleep 0.2
  done
}

for _ in $(seq 16); do slow_client & workers+=($!); done
for _ in $(seq 4); do header_flood & workers+=($!); done
malformed 500 1 & workers+=($!)
malformed 500 2 & workers+=($!)
valid_traffic & workers+=($!)

peak_rss=0
while ((SECONDS < end)); do
  rss="$(awk '/^VmRSS/ { print $2 }' "/proc/$server/status")"
  ((rss > peak_rss)) && peak_rss=$rss
  sleep 1
done
wait "${workers[@]}" 2>/dev/null || true
workers=()
hwm="$(awk '/^VmHWM/ { print $2 }' "/proc/$server/status")"

touch "$run/valid/times" "$run/valid/refused"
echo "soak: ${seconds} s against $url"
echo "  server peak memory (VmHWM): $((hwm / 1024)) MB (highest sampled RSS $((peak_rss / 1024)) MB)"
echo "  valid requests: $(wc -l <"$run/valid/times") answered, slowest (s):" \
  "$(sort -n "$run/valid/times" | tail -n 1);" \
  "slowest single HTTP request: $(grep -v qmtsr "$run/valid/times" | sort -n | tail -n 1)"
echo "  malformed requests sent: $(cat "$run"/malformed.* | awk '{ n += $1 } END { print n }')"
echo "  valid requests refused: $(wc -l <"$run/valid/refused")"
sed 's/^/    /' "$run/valid/refused" | head -n 5
echo "  refusals the server logged: 431/414 $(grep -c -- '-> 43[1]\|-> 414' "$run/requests.log" || true)," \
  "408 $(grep -c -- '-> 408' "$run/requests.log" || true)"
[ "$hwm" -lt $((100 * 1024)) ] && [ ! -s "$run/valid/refused" ]

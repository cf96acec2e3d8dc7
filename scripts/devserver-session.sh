# Sourced by the scripts that enrol against a local sentrel-devserver (the demo and the Windows
# round trip): start it on a free loopback port, ask its login check, stop it.

# start_devserver BINARY FOLDER: starts the server with a fresh database in FOLDER and sets
# server_pid, port and url; the server stops with the calling shell (trap stop_devserver EXIT).
start_devserver() {
  local binary="$1" folder="$2"
  mkdir -p "$folder"
  "$binary" --port 0 --db "$folder/sentrel.db" >"$folder/port" 2>"$folder/requests.log" &
  server_pid=$!
  # The server's first output line is its port.
  for _ in $(seq 200); do
    grep -q . "$folder/port" 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  port="$(head -n 1 "$folder/port" 2>/dev/null || true)"
  if ! [[ "$port" =~ ^[0-9]+$ ]]; then
    echo "sentrel-devserver did not start:" >&2
    cat "$folder/requests.log" >&2
    return 1
  fi
  url="http://127.0.0.1:$port"
}

stop_devserver() {
  if [ -n "${server_pid:-}" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}

# login_check LOGIN OTP: prints the server's answer to its login check, over bash's own TCP
# redirection (no HTTP client needed).
login_check() {
  local body="{\"device\":\"$1\",\"otp\":\"$2\"}"
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'PUT /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s' \
    "${#body}" "$body" >&3
  timeout 10 cat <&3 | tail -n 1
  exec 3<&-
}

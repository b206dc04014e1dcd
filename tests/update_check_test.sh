#!/usr/bin/env bash
# The update check over real HTTPS against a server on loopback with its own self-signed certificate,
# trusted by this test only: which answers mean an update, what the request looks like, and a server
# that never answers while the process quits.
# Usage: update_check_test.sh <build folder>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe="$build/update_check_probe"
source "$here/e2e_helpers.sh"
start_test_run "update check" "$build"  # no display: the probe has no window
# Loopback only, whatever proxy the environment names.
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || abandon_test_run "no certificate"

# start_server <https_test_server.py's arguments>: sets server_pid and port.
start_server() {
  rm -f "$work/port"
  background python3 "$here/https_test_server.py" "$@"
  server_pid=$!
  port=$(wait_for_port "$work/port")
}
stop_server() { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; }

# name | status | body (printf format) | expected
cases=(
  "one|200|1|no"
  "one and a line end|200|1\n|no"
  "two and a line end|200|2\n|yes"
  "a line end then three|200|\n3|yes"
  "minus five|200|-5|no"
  "zero|200|0|no"
  "text|200|coming soon|no"
  "fifteen spaces then two|200|               2|no"
  "not found|404|2|no"
  "server error|500|7|no"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name status body expected <<< "$entry"
  printf -- "$body" > "$work/body"
  : > "$work/requests"
  start_server "$work/cert.pem" "$work/key.pem" "$work/port" "$work/requests" "$status" "$work/body"
  got=$(timeout 20 "$probe" 127.0.0.1 "$port" "$work/cert.pem" wait 0)
  stop_server
  if [ "$got" = "update: $expected" ]; then pass "$name ($status): update $expected"; else fail "$name ($status): expected update $expected, got '$got'"; fi
done

request=$(head -n 1 "$work/requests")
if [ "$request" = "/games/vornhalzanthery/version.txt|VornhalZanthery" ]; then
  pass "the request asks for version.txt as VornhalZanthery"
else
  fail "the request was '$request'"
fi

# The certificate is trusted by this test only: without it the check refuses the server.
printf '9' > "$work/body"
start_server "$work/cert.pem" "$work/key.pem" "$work/port" "$work/requests" 200 "$work/body"
got=$(timeout 20 "$probe" 127.0.0.1 "$port" /dev/null wait 0)
stop_server
if [ "$got" = "update: no" ]; then pass "an untrusted certificate gives no update"; else fail "untrusted certificate: '$got'"; fi

# A server that never answers: the process still quits at once, cleanly.
start_server --hang "$work/port"
start=$(date +%s%N)
timeout 10 "$probe" 127.0.0.1 "$port" "$work/cert.pem" quit-after-ms 300 > "$work/out" 2> "$work/err"
status=$?
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
stop_server
if [ "$status" = 0 ] && [ "$(cat "$work/out")" = quit ] && [ "$elapsed" -lt 3000 ]; then
  pass "quitting while the server never answers ends in ${elapsed} ms with code 0"
else
  fail "quitting while the server never answers: code $status after ${elapsed} ms, '$(cat "$work/out")' $(head -c 300 "$work/err")"
fi

finish_test_run

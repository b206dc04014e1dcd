#!/usr/bin/env bash
# The Windows update check (WinHTTP) under Wine over real HTTPS against a server on loopback: which
# answers mean an update, what the request looks like, an untrusted certificate, and a server that
# never answers while the process quits. WinHTTP trusts only Windows' root store, which Wine fills
# from the host's bundle (/etc/ssl/certs/ca-certificates.crt) each time a program opens it; the
# probe runs in a mount namespace of its own where that bundle also holds the test's certificate,
# so the host's trust is never changed. Wine's environment (WINEPREFIX, WINEDEBUG) comes from the
# caller. Usage: update_check_windows_test.sh <Windows build folder>
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine=/usr/lib/wine/wine64
bundle=/etc/ssl/certs/ca-certificates.crt
work=$(mktemp -d)
passed=0
failed=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Loopback only, whatever proxy the environment names.
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

# Windows matches the name in the certificate against the host asked for; the address is named both
# as an IP address and as a DNS name, since Wine's check reads only the latter.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1,DNS:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 ||
  { echo "FAILED: no test certificate"; exit 1; }
cat "$bundle" "$work/cert.pem" > "$work/bundle.pem"

# probe <trusted|untrusted> <probe arguments after host and port...>: runs the probe; its exit code
# is the function's, its output (CR removed) lands in $got.
probe() {
  local trust=$1 code; shift
  if [ "$trust" = trusted ]; then
    (cd "$build" && exec timeout 30 unshare -m sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' own-bundle \
      "$work/bundle.pem" "$bundle" "$wine" update_check_probe.exe 127.0.0.1 "$port" - "$@") > "$work/out" 2>> "$work/err"
  else
    (cd "$build" && exec timeout 30 "$wine" update_check_probe.exe 127.0.0.1 "$port" - "$@") > "$work/out" 2>> "$work/err"
  fi
  code=$?
  got=$(tr -d '\r' < "$work/out")
  return $code
}

# start_server <https_test_server.py's arguments>: sets server_pid and port.
start_server() {
  rm -f "$work/port"
  python3 "$here/https_test_server.py" "$@" &
  server_pid=$!
  for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
  port=$(cat "$work/port" 2>/dev/null)
}
stop_server() { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; server_pid=""; }

# Outside the namespace the certificate is trusted by no one: no update, and no request either. Wine
# keeps a root store it has read for as long as its server runs, so this comes first, and the
# server is stopped at the end: the test's authority never outlives the test.
printf '9' > "$work/body"
start_server "$work/cert.pem" "$work/key.pem" "$work/port" "$work/requests" 200 "$work/body"
probe untrusted wait 0
status=$?
stop_server
# Code 0: the check finished within the probe's wait; "no" from a check still running means nothing.
if [ "$status" = 0 ] && [ "$got" = "update: no" ] && [ ! -s "$work/requests" ]; then pass "an untrusted certificate gives no update and sends no request"
else fail "untrusted certificate: code $status, '$got', requests '$(cat "$work/requests" 2>/dev/null)'"; fi
rm -f "$work/requests"

# name | status | body (printf format) | expected
cases=(
  "one|200|1|no"
  "two and a line end|200|2\n|yes"
  "a line end then three|200|\n3|yes"
  "text|200|coming soon|no"
  "not found|404|2|no"
  "server error|500|7|no"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name status body expected <<< "$entry"
  printf -- "$body" > "$work/body"
  start_server "$work/cert.pem" "$work/key.pem" "$work/port" "$work/requests" "$status" "$work/body"
  probe trusted wait 0
  code=$?
  stop_server
  if [ "$code" = 0 ] && [ "$got" = "update: $expected" ]; then pass "$name ($status): update $expected"
  else fail "$name ($status): expected update $expected, got code $code, '$got' $(tail -c 300 "$work/err")"; fi
done

# Every request, one per case, asked for version.txt as VornhalZanthery.
requests=$(sort -u "$work/requests" 2>/dev/null)
if [ "$requests" = "/games/vornhalzanthery/version.txt|VornhalZanthery" ] &&
   [ "$(wc -l < "$work/requests")" = "${#cases[@]}" ]; then
  pass "each request asks for version.txt as VornhalZanthery"
else
  fail "the requests were '$(tr '\n' ' ' < "$work/requests" 2>/dev/null)'"
fi

# A server that never answers: the process still quits at once, cleanly, with its request in flight
# (the server had taken its connection, and no process makes one after it has ended).
start_server --hang "$work/port" "$work/accepted"
start=$(date +%s%N)
probe trusted quit-after-ms 300
status=$?
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
stop_server
# Wine's own start-up is part of the time; the check's thread must not hold the process open.
if [ "$status" = 0 ] && [ "$got" = quit ] && [ "$elapsed" -lt 8000 ] && [ -s "$work/accepted" ]; then
  pass "quitting while the server never answers ends in ${elapsed} ms with code 0 (Wine's start-up included)"
else
  fail "quitting while the server never answers: code $status, '$got' after ${elapsed} ms, $(wc -l 2>/dev/null < "$work/accepted" || echo 0) connections $(tail -c 300 "$work/err")"
fi

"$(dirname "$wine")/wineserver" -k 2>/dev/null
echo "update check under Wine: $passed passed, $failed failed"
[ $failed -eq 0 ]

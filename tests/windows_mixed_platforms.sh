#!/usr/bin/env bash
# Windows and Linux programs on one loopback: the Windows presence server under Wine with Linux bots,
# stopped by Ctrl+C while they play, and the Linux server with Windows bots under Wine. Each program
# runs for a few seconds at most. Wine's environment (WINEPREFIX, WINEDEBUG) comes from the caller.
# Usage: windows_mixed_platforms.sh <Windows build folder> <folder with the Linux server and bots>
set -uo pipefail
windows=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
failed=0
pass() { echo "ok: $1"; }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
started_pids=()
cleanup() {
  for pid in "${started_pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

free_udp_port() {
  python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# wait_for <file> <pattern> <count> <seconds>: true once the file holds count lines matching pattern.
wait_for() {
  local deadline=$(( $(date +%s) + $4 ))
  while [ "$(date +%s)" -lt $deadline ]; do
    [ "$(grep -c -- "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
    sleep 0.2
  done
  return 1
}
# exit_code_within <pid> <seconds>: the program's exit code, or 255 after killing it when it overstays.
exit_code_within() {
  local deadline=$(( $(date +%s) + $2 ))
  while kill -0 "$1" 2>/dev/null && [ "$(date +%s)" -lt $deadline ]; do sleep 0.2; done
  kill -0 "$1" 2>/dev/null && { kill -9 "$1" 2>/dev/null; wait "$1" 2>/dev/null; return 255; }
  wait "$1"
}
lines() { tr -d '\r' < "$1" | grep -c -- "$2"; }

# The Windows server, Linux bots.
port=$(free_udp_port)
(cd "$windows" && exec "$wine" vornhalzanthery-server.exe --bind 127.0.0.1 --port "$port") > "$work/server.log" 2>&1 &
server=$!
started_pids+=("$server")
if wait_for "$work/server.log" 'listening on 127.0.0.1' 1 60; then
  timeout 20 "$linux/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 3 --seconds 3 > "$work/bots.log" 2>&1
  code=$?
  wait_for "$work/server.log" ' left (' 3 5
  if [ $code = 0 ] && grep -q 'joined the whole time: 3 of 3' "$work/bots.log" &&
     [ "$(lines "$work/server.log" ' joined (')" = 3 ] && [ "$(lines "$work/server.log" ' left (')" = 3 ]; then
    pass "three Linux bots join the Windows server under Wine, stay joined and say Bye"
  else
    fail "Linux bots with the Windows server: exit $code; bots: $(tr '\n' ' ' < "$work/bots.log"); server: $(tr -d '\r' < "$work/server.log" | tr '\n' ' ')"
  fi

  # Ctrl+C while two bots play: Wine turns SIGINT into the console's Ctrl+C event for the program it
  # started, and the server says ServerBye to both before it ends with code 0. The bots stop 4 s after
  # they start, before 5 s unheard could drop them: only the ServerBye explains "0 of 2".
  timeout 20 "$linux/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 2 --seconds 4 > "$work/bots2.log" 2>&1 &
  bots=$!
  started_pids+=("$bots")
  wait_for "$work/server.log" ' joined (' 5 10
  sleep 0.5
  kill -INT "$server"
  exit_code_within "$server" 10
  code=$?
  exit_code_within "$bots" 15
  if [ $code = 0 ] && grep -q 'stopped: ServerBye sent to 2 player(s)' "$work/server.log" &&
     grep -q 'joined the whole time: 0 of 2' "$work/bots2.log"; then
    pass "Ctrl+C (SIGINT to Wine) stops the Windows server with ServerBye to both Linux bots, exit code 0"
  else
    fail "Ctrl+C to the Windows server: exit $code; bots: $(tr '\n' ' ' < "$work/bots2.log"); server: $(tr -d '\r' < "$work/server.log" | tail -n 4 | tr '\n' ' ')"
  fi
else
  fail "the Windows server under Wine did not start listening: $(head -c 400 "$work/server.log")"
fi

# The Linux server, Windows bots.
port=$(free_udp_port)
"$linux/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/linux-server.log" 2>&1 &
server=$!
started_pids+=("$server")
if wait_for "$work/linux-server.log" 'listening on 127.0.0.1' 1 10; then
  (cd "$windows" && exec timeout 60 "$wine" vornhalzanthery-bots.exe --server "127.0.0.1:$port" --count 3 --seconds 3) \
    > "$work/windows-bots.log" 2>&1
  code=$?
  wait_for "$work/linux-server.log" ' left (' 3 5
  if [ $code = 0 ] && grep -q 'joined the whole time: 3 of 3' "$work/windows-bots.log" &&
     [ "$(lines "$work/linux-server.log" ' joined (')" = 3 ] && [ "$(lines "$work/linux-server.log" ' left (')" = 3 ]; then
    pass "three Windows bots under Wine join the Linux server, stay joined and say Bye"
  else
    fail "Windows bots with the Linux server: exit $code; bots: $(tr -d '\r' < "$work/windows-bots.log" | tr '\n' ' '); server: $(tr '\n' ' ' < "$work/linux-server.log")"
  fi
else
  fail "the Linux server did not start listening: $(head -c 400 "$work/linux-server.log")"
fi
kill -TERM "$server" 2>/dev/null
exit_code_within "$server" 5

[ $failed -eq 0 ]

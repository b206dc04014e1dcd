#!/usr/bin/env bash
# The client's frame loop driven as a user would across platforms on loopback: "Play" joins, States
# keep it joined, Escape pauses, "Leave" says Bye, "Quit" ends with code 0. By default the Windows
# client under Wine against the Linux presence server: Wine offers no adapter that draws, so this
# runs vz_null_adapter_client.exe, the whole client with its GPU library compiled to take Dawn's Null
# adapter, from the unpacked zip's folder. With --linux-client, the Linux client (drawing on
# llvmpipe) against the Windows server under Wine. Wine's environment (WINEPREFIX, WINEDEBUG) and the
# display come from the caller.
# Usage: windows_frame_loop_test.sh <Windows build folder> <Linux build folder> [--linux-client]
set -uo pipefail
windows=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
linux_client=$([ "${3:-}" = --linux-client ] && echo 1 || echo 0)
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
passed=0
failed=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
started_pids=()
cleanup() {
  for pid in "${started_pids[@]}"; do kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
finish() { echo "frame loop, $run_name: $passed passed, $failed failed"; [ $failed -eq 0 ]; exit; }

# wait_for <file> <pattern> <seconds>: true once the file holds a line matching pattern.
wait_for() {
  local deadline=$(( $(date +%s) + $3 ))
  while [ "$(date +%s)" -lt $deadline ]; do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}
# The client's window is 1280 x 720: "Play" and "Resume" at (200, 590), "Quit" and "Leave" at (200, 630).
click_at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.3; xdotool click 1; }

port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
if [ $linux_client = 1 ]; then
  (cd "$windows" && exec "$wine" vornhalzanthery-server.exe --bind 127.0.0.1 --port "$port") > "$work/server.log" 2>&1 &
  started_pids+=($!)
  install="$work/linux"
  mkdir -p "$install/floor"
  cp "$linux/vornhalzanthery" "$linux/coolvetica.otf" "$install/"
  for lib in "$linux"/libSDL3.so* "$linux/libwebgpu_wrapper.so"; do ln -s "$lib" "$install/"; done
  cp "$linux"/floor/*.jpg "$install/floor/"
  client_command=(./vornhalzanthery)
  adapter_pattern='OpenGLES backend'
  run_name='the Linux client with the Windows server under Wine'
else
  "$linux/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/server.log" 2>&1 &
  started_pids+=($!)
  unzip -q "$windows/vornhalzanthery-windows.zip" -d "$work"
  install="$work/vornhalzanthery"
  cp "$windows/vz_null_adapter_client.exe" "$install/"
  client_command=("$wine" vz_null_adapter_client.exe)
  adapter_pattern='Null backend'
  run_name='the Windows client under Wine with the Linux server'
fi
printf '127.0.0.1:%s\r\n' "$port" > "$install/server.txt"
wait_for "$work/server.log" 'listening on' 60 || { fail "the server did not start: $(head -c 400 "$work/server.log")"; finish; }

(cd "$install" && exec "${client_command[@]}") > "$work/client.out" 2>&1 &
client=$!
started_pids+=("$client")
window=""
for _ in $(seq 1 120); do
  window=$(xdotool search --name '^Vornhal: Zanthery$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || { fail "the client's window did not appear: $(head -c 400 "$install/vornhalzanthery.log" 2>/dev/null)"; finish; }
log="$install/vornhalzanthery.log"
if wait_for "$log" 'first frame presented' 20; then pass "the title screen's frames run"
else fail "no first frame: $(head -c 400 "$log" 2>/dev/null)"; finish; fi

click_at 200 590
if wait_for "$work/server.log" ' joined (' 10; then pass "Play joins the server named by server.txt"
else fail "Play did not join: $(tr '\n' ' ' < "$work/server.log")"; fi

# The server drops a player that sends no State after its Welcome, or none for 5 s; a Bye said too
# early (on joining, or when Escape pauses) shows as a leave line before "Leave" is pressed.
sleep 6
xdotool key --window "$window" Escape
sleep 1
if grep -q 'timed out\|sent no State\| left (' "$work/server.log"; then fail "the player left before Leave: $(tr '\n' ' ' < "$work/server.log")"
else pass "States keep the player joined for 6 s and Escape pauses without a Bye"; fi

click_at 200 630
wait_for "$work/server.log" ' left (' 3
sleep 0.5
leaves=$(grep -c ' left (' "$work/server.log")
if [ "$leaves" = 1 ]; then pass "Leave says Bye: the server sees the player leave once, at once"
else fail "Leave: $leaves leave lines: $(tr '\n' ' ' < "$work/server.log")"; fi

sleep 1
click_at 200 630
deadline=$(( $(date +%s) + 30 ))
while kill -0 "$client" 2>/dev/null && [ "$(date +%s)" -lt $deadline ]; do sleep 0.3; done
if kill -0 "$client" 2>/dev/null; then
  fail "Quit did not end the client within 30 s"
else
  wait "$client"
  code=$?
  if [ $code = 0 ]; then pass "Quit ends the client with code 0"; else fail "Quit: exit code $code"; fi
fi
frames=$(tr -d '\r' < "$log" | sed -n 's/^frames: \([0-9]*\),.*/\1/p')
errors=$(grep -c '^wgpu:' "$log")
if grep -q "^adapter: .*$adapter_pattern" "$log" && [ "${frames:-0}" -gt 0 ] && [ "$errors" = 0 ]; then
  pass "its log shows the adapter ($adapter_pattern), $frames frames and no WebGPU error"
else
  fail "its log: frames '${frames:-}', $errors wgpu: lines, $(grep -v '^ \|^$' "$log" | head -c 600)"
fi
finish

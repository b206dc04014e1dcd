#!/usr/bin/env bash
# Builds the client if needed and starts it. On a machine with no display it runs the client under
# a virtual X server for a few seconds instead, saves a screenshot and prints its path. Unless
# "server.txt" beside the executable names another server, a local presence server (this machine
# only) and two bots run alongside, so there is company in the room; they stop when the client does.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build="$root/build/release"
bash "$here/build.sh" "$build" -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF >/dev/null

# The local server is used when server.txt is missing, blank or names this machine's default.
companions=()
# Last started first: the bots say Bye before the server says goodbye to anyone left.
stop_companions() {
  local i
  for ((i = ${#companions[@]} - 1; i >= 0; i--)); do
    kill -TERM "${companions[i]}" 2>/dev/null || true
    wait "${companions[i]}" 2>/dev/null || true
  done
  companions=()
}
named=""
[ -f "$build/server.txt" ] && named=$(tr -cd '\041-\176' < "$build/server.txt")
case "$named" in
  "" | 127.0.0.1 | 127.0.0.1:27420 | localhost | localhost:27420)
    "$build/vornhalzanthery-server" --bind 127.0.0.1 > "$build/server.log" 2>&1 &
    companions+=($!)
    sleep 0.2
    "$build/vornhalzanthery-bots" --server 127.0.0.1 --count 2 > "$build/bots.log" 2>&1 &
    companions+=($!)
    echo "play: a local presence server and two bots are running (logs in $build/server.log, $build/bots.log)"
    ;;
  *) echo "play: server.txt names $named; no local server started" ;;
esac
trap stop_companions EXIT

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$build/vornhalzanthery"
  exit $?
fi

source "$here/xvfb.sh"
start_virtual_display 1280x800x24
trap 'stop_companions; kill $VZ_XVFB_PID 2>/dev/null || true' EXIT
"$build/vornhalzanthery" &
client=$!
window=$(wait_for_window '^Vornhal: Zanthery$' 20) || { echo "play: the client's window did not appear" >&2; kill $client 2>/dev/null; exit 1; }
sleep 3
shot="$root/build/screenshot.png"
import -window "$window" "$shot"
kill -TERM $client 2>/dev/null || true
wait $client 2>/dev/null || true
echo "No display here: the client ran under Xvfb for a few seconds. Screenshot: $shot"

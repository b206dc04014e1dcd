#!/usr/bin/env bash
# Builds the client if needed and starts it. On a machine with no display it runs the client under
# a virtual X server for a few seconds instead, saves a screenshot and prints its path.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build="$root/build/release"
bash "$here/build.sh" "$build" -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF >/dev/null

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/vornhalzanthery"
fi

source "$here/xvfb.sh"
start_virtual_display 1280x800x24
"$build/vornhalzanthery" &
client=$!
window=$(wait_for_window '^Vornhal: Zanthery$' 20) || { echo "play: the client's window did not appear" >&2; kill $client 2>/dev/null; exit 1; }
sleep 3
shot="$root/build/screenshot.png"
import -window "$window" "$shot"
kill -TERM $client 2>/dev/null || true
wait $client 2>/dev/null || true
echo "No display here: the client ran under Xvfb for a few seconds. Screenshot: $shot"

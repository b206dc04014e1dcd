#!/usr/bin/env bash
# Frame rate as a user sees it: the built client under Xvfb at 1280 x 720 for some seconds, in the
# title view or in play beside fifteen bots (sixteen players), then ended as a window manager would
# (SIGTERM); prints the client's own frame line from its log.
# Usage: bench/frame_rate.sh <build folder> title|play [seconds]
set -uo pipefail
build=$(cd "$1" && pwd)
view=$2
seconds=${3:-8}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/xvfb.sh"
start_virtual_display 1600x1000x24 || exit 1
port=$((28000 + RANDOM % 1000))
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; kill $VZ_XVFB_PID 2>/dev/null; rm -rf "$work"' EXIT

source "$root/tests/e2e_helpers.sh"
dir=$(install_copy "$build" "$work" client)
if [ "$view" = play ]; then
  "$build/vornhalzanthery-server" --port "$port" --bind 127.0.0.1 >/dev/null 2>&1 & pids+=($!)
  "$build/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 15 --seconds $((seconds + 30)) >/dev/null 2>&1 & pids+=($!)
  echo "127.0.0.1:$port" > "$dir/server.txt"
fi
"$dir/vornhalzanthery" & client=$!
pids+=("$client")
window=$(wait_for_window 'Vornhal' 20) || { echo "no window" >&2; exit 1; }
xdotool windowmove "$window" 0 0
sleep 1
if [ "$view" = play ]; then xdotool mousemove --window "$window" 200 590; sleep 0.3; xdotool click 1; fi
[ -n "${VZ_POINTER_AWAY:-}" ] && xdotool mousemove 1590 990
# CPU time of the client (its rasterizer threads included) and of the X server, in clock ticks: on a
# shared machine the CPU spent per frame drifts less than the frame rate does.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
client_before=$(cpu_ticks "$client"); x_before=$(cpu_ticks "$VZ_XVFB_PID")
sleep "$seconds"
client_cpu=$(( $(cpu_ticks "$client") - client_before )); x_cpu=$(( $(cpu_ticks "$VZ_XVFB_PID") - x_before ))
kill -TERM "$client"
wait "$client"
line=$(grep '^frames:' "$dir/vornhalzanthery.log")
frames=$(echo "$line" | sed 's/frames: \([0-9]*\),.*/\1/')
echo "$line"
awk -v c="$client_cpu" -v x="$x_cpu" -v f="$frames" -v s="$seconds" -v hz="$(getconf CLK_TCK)" \
  'BEGIN { n = f * s / (s + 1); if (n < 1) n = 1; printf "cpu per frame: client %.1f ms, X server %.1f ms\n", c * 1000 / hz / n, x * 1000 / hz / n }' 

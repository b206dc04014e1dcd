#!/usr/bin/env bash
# Frame rate as a user sees it: the built client under Xvfb at 1280 x 720 for some seconds, ended as
# a window manager ends it (SIGTERM); prints the client's own frame line from its log and the CPU
# time spent per frame by the client (its rasterizer threads included) and by the X server.
# Views:
#   bare           vz_bare_window presenting cleared frames and drawing nothing: the present path's
#                  own rate, the ceiling of every view, measured as they are
#   title          the title screen, the pointer away from the window
#   title-pointer  the title screen with the pointer resting on "Play" (Xvfb draws the pointer in
#                  software, which costs the X server a copy of the window per frame)
#   play           in play beside fifteen bots on a local server: sixteen players; past 30 seconds
#                  it also prints the client's resident memory after 30 s and at the end
#   flood RATE     in play against the flood tool acting as the server: a roster of four players 25
#                  times a second and RATE junk datagrams a second; adds the tool's line and the share
#                  of the picture the capsules colour, taken near the end of the flood
# Usage: bench/frame_rate.sh <build folder> <view> [rate] [seconds]
set -uo pipefail
build=$(cd "$1" && pwd)
view=$2
rate=1
if [ "$view" = flood ]; then rate=$3; shift; fi
seconds=${3:-8}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/xvfb.sh"
start_virtual_display 1600x1000x24 || exit 1
port=$((28000 + RANDOM % 1000))
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; kill $VZ_XVFB_PID 2>/dev/null; rm -rf "$work"' EXIT

screens=$work
source "$root/tests/e2e_helpers.sh"
dir=$(install_copy "$build" "$work" client)
case $view in
  play)
    "$build/vornhalzanthery-server" --port "$port" --bind 127.0.0.1 >/dev/null 2>&1 & pids+=($!)
    "$build/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 15 --seconds $((seconds + 30)) >/dev/null 2>&1 &
    pids+=($!) ;;
  flood)
    "$build/vornhalzanthery-flood" --serve "$port" --rate "$rate" --seconds "$seconds" > "$work/flood.out" 2>&1 &
    flood=$!
    pids+=("$flood") ;;
esac
echo "127.0.0.1:$port" > "$dir/server.txt"
if [ "$view" = bare ]; then "$build/vz_bare_window" --until-quit > "$work/bare.out" 2>/dev/null & client=$!
else "$dir/vornhalzanthery" & client=$!; fi
pids+=("$client")
window=$(wait_for_window 'Vornhal' 20) || { echo "no window" >&2; exit 1; }
xdotool windowmove "$window" 0 0
sleep 1
case $view in
  play|flood) click_at 200 590 ;;
  title-pointer) xdotool mousemove --window "$window" 300 590 ;;
  *) xdotool mousemove 1590 990 ;;
esac

client_before=$(cpu_ticks "$client"); x_before=$(cpu_ticks "$VZ_XVFB_PID")
if [ "$view" = flood ]; then
  sleep $((seconds - 2))
  share=$(saturated_share "$(shoot flooded)")
  [ -n "${VZ_KEEP_SCREEN:-}" ] && cp "$work/flooded.png" "$VZ_KEEP_SCREEN"
  sleep 2
elif [ "$seconds" -gt 30 ]; then
  # A long stay also reports resident memory after 30 s and at the end, to show any growth.
  sleep 30; early=$(rss_kb "$client")
  sleep $((seconds - 30)); late=$(rss_kb "$client")
else
  sleep "$seconds"
fi
client_cpu=$(( $(cpu_ticks "$client") - client_before )); x_cpu=$(( $(cpu_ticks "$VZ_XVFB_PID") - x_before ))
[ "$view" = flood ] && wait "$flood"
kill -TERM "$client"
wait "$client"
line=$(grep -h '^frames:' "$dir/vornhalzanthery.log" "$work/bare.out" 2>/dev/null)
frames=$(echo "$line" | sed 's/frames: \([0-9]*\),.*/\1/')
echo "$line"
# The frame count covers about a second more than the CPU interval.
awk -v c="$client_cpu" -v x="$x_cpu" -v f="$frames" -v s="$seconds" -v hz="$(getconf CLK_TCK)" \
  'BEGIN { n = f * s / (s + 1); if (n < 1) n = 1; printf "cpu per frame: client %.1f ms, X server %.1f ms\n", c * 1000 / hz / n, x * 1000 / hz / n }'
[ -n "${early:-}" ] && echo "resident memory: $early KB after 30 s, $late KB after $seconds s"
if [ "$view" = flood ]; then
  grep '^client' "$work/flood.out"
  echo "capsule share: $share"
fi

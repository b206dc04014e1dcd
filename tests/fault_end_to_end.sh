#!/usr/bin/env bash
# The client under Xvfb when things around it go wrong, in a network of the test's own (loopback
# only, with its own name server), so nothing outside this machine is ever asked:
# - the presence server killed mid-game: the client plays on, asks to join again after 5 s, and
#   rejoins a new server on the same port; a ServerBye: Bye back, then silence, nobody drawn, and
#   "Leave" and "Play" join again;
# - no server to be had (a name that does not exist, a name server that answers late or never, a
#   network that cannot be reached, a closed port): the client plays alone, its frames never wait
#   and its log stays quiet;
# - the update host accepting and never answering: start-up and frames do not wait, "Quit" is quick;
# - the window minimized, restored and resized in a storm: no WebGPU error, no memory growth, the
#   picture right afterwards.
# Usage: fault_end_to_end.sh <build folder> [<build folder whose maker host is 127.0.0.1:PORT>]
set -uo pipefail
if [ "${VZ_FAULT_NAMESPACE:-}" != 1 ]; then
  # A user, network and mount namespace: loopback alone, and /etc/resolv.conf of our own.
  exec unshare -rnm env VZ_FAULT_NAMESPACE=1 bash "$0" "$@"
fi
ip link set lo up
build=$(cd "$1" && pwd)
update_build=${2:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tests/e2e_helpers.sh"
start_test_run "fault end to end" "$build" 1600x1000x24
# Three recorders (presence_peer.py): the scripted server, and two that only listen in on the
# default port and on a closed one.
peer=$work/peer watch=$work/watch closed=$work/closed
mkdir -p "$peer" "$watch" "$closed"
printf 'nameserver 127.0.0.1\noptions timeout:3 attempts:2\n' > "$work/resolv.conf"
mount --bind "$work/resolv.conf" /etc/resolv.conf || { echo "cannot mount resolv.conf"; exit 1; }

background python3 "$root/tests/name_server.py" "$work"
background python3 "$root/tests/presence_peer.py" "$peer"
background python3 "$root/tests/presence_peer.py" "$watch" --watch 27420
background python3 "$root/tests/presence_peer.py" "$closed" --watch 27999
: > "$peer/roster"
peer_port=$(wait_for_port "$peer/port")

# Log lines beyond the start-up and exit lines (and Dawn's note that it found no Vulkan).
noise() { grep -v -E '^(Vornhal: Zanthery, release |settings: |adapter:|adapter request:|first frame presented|frames:)|Vulkan|^    at |^$' "$1/vornhalzanthery.log" | wc -l; }
# start_client that ends the run when no window appears: every case below needs the window, and
# without it would pass for want of traffic.
start_client_or_abandon() { start_client "$@" || abandon_test_run "the client's window appears ($1)"; }
# Waits up to N tenths of a second for the client to end; one that did not is killed, so the next
# case finds only its own window.
client_exit() { wait_for_exit "$client_pid" "$1"; local status=$?; kill -9 "$client_pid" 2>/dev/null; return $status; }
first_frame_ms() { sed -n 's/^first frame presented \([0-9]*\) ms.*/\1/p' "$1/vornhalzanthery.log"; }
# The session's frames came steadily: none took long (a name server or a handshake that holds up a
# frame holds it for seconds), and together they fill the time from the first frame to the end.
expect_steady_frames() {
  local name=$1 dir=$2 seconds=$3
  local frames median longest first
  local log=$dir/vornhalzanthery.log
  frames=$(frame_figure "$log" frames) median=$(frame_figure "$log" median) longest=$(frame_figure "$log" longest)
  first=$(first_frame_ms "$dir")
  expect "$name: no frame waited (longest ${longest:-?} ms)" is_true "${longest:-9999} < 1000"
  expect "$name: frames kept coming (${frames:-0} of median ${median:-?} ms in $seconds s, the first at ${first:-?} ms)" \
    is_true "${frames:-0} * ${median:-0} > 0.6 * ($seconds * 1000 - ${first:-0})"
}
elapsed_since() { awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }
# "Quit" on the title: the client must be gone with code 0 within 1.2 s. Sets seconds, the session's
# length up to the click, for expect_steady_frames.
expect_quick_quit() {
  seconds=$(elapsed_since "$started")
  click_at 200 630
  local quit_at status
  quit_at=$(date +%s%N)
  client_exit 12
  status=$?
  expect "$1 exits at once with code 0 (got $status in $(elapsed_since "$quit_at") s)" [ "$status" = 0 ]
}

# --- The real server killed, then a new one on the same port; a ServerBye -------------------------
background "$build/vornhalzanthery-server" --bind 127.0.0.1 > "$work/server1.log" 2>&1
server=$!
dir=$(install_copy "$build" "$work" killed)  # no server.txt: the default server, 127.0.0.1:27420
start_client_or_abandon "$dir"
click_at 200 590
sleep 2
expect "Play joins the real server" grep -q ' joined ' "$work/server1.log"
# Quietly: bash reports a child killed by a signal if it notices before the wait.
{ kill -9 "$server"; wait "$server"; } 2>/dev/null
at=$(peer_line_count "$watch")
sleep 4
expect "the server killed: the client plays on, sending State and no Hello for 4 s ($(peer_count_since "$watch" "$at" S) States)" \
  is_true "$(peer_count_since "$watch" "$at" S) >= 20 && $(peer_count_since "$watch" "$at" H) == 0"
sleep 2
expect "after 5 s without the server it asks to join again ($(peer_count_since "$watch" "$at" H) Hellos)" \
  is_true "$(peer_count_since "$watch" "$at" H) >= 2"
background "$build/vornhalzanthery-server" --bind 127.0.0.1 > "$work/server2.log" 2>&1
sleep 1.5
at=$(peer_line_count "$watch")
sleep 1
expect "a new server on the same port sees the client join" grep -q ' joined ' "$work/server2.log"
expect "and the client sends State to it again ($(peer_count_since "$watch" "$at" S) in 1 s)" is_true "$(peer_count_since "$watch" "$at" S) >= 10"
pause_and_leave

echo "127.0.0.1:$peer_port" > "$dir/server.txt"
echo "1 0 0 0 0" > "$peer/roster"  # a player at the centre, which a fresh spawn faces
click_at 200 590
sleep 1.5
before=$(saturated_share "$(shoot serverbye-before)")
at=$(peer_line_count "$peer")
touch "$peer/bye"
sleep 1.5
after=$(saturated_share "$(shoot serverbye-after)")
expect "ServerBye: the client answers Bye once" [ "$(peer_count_since "$peer" "$at" B)" = 1 ]
# Counted after the Bye, which must be there: without it nothing would be counted.
after_bye=$(peer_lines_since "$peer" "$at" | awk 'bye { n++ } $2 == "B" { bye = 1 } END { print bye ? n + 0 : "no Bye" }')
expect "and sends nothing further (after the Bye: $after_bye)" [ "$after_bye" = 0 ]
expect "the other player disappears (coloured share $before, then $after)" is_true "$before > 0.0005 && $after < 0.0002"
at=$(peer_line_count "$peer")
pause_and_leave
click_at 200 590
sleep 1.5
expect "Leave then Play join again: Hello, then State ($(peer_count_since "$peer" "$at" S))" \
  is_true "$(peer_count_since "$peer" "$at" H) >= 1 && $(peer_count_since "$peer" "$at" S) >= 10"
expect "Leave after ServerBye sends no second Bye" [ "$(peer_count_since "$peer" "$at" B)" = 0 ]
expect "the other player is drawn again" is_true "$(saturated_share "$(shoot serverbye-rejoined)") > 0.0005"
: > "$peer/roster"
seconds=$(elapsed_since "$started")
"$build/close_window" "$window"
client_exit 30
expect "the session ends with code 0" [ "$?" = 0 ]
expect_steady_frames "server killed and ServerBye" "$dir" "$seconds"
normal_first=$(first_frame_ms "$dir")

# --- No server to be had: the client plays alone ----------------------------------------------------
dir=$(install_copy "$build" "$work" alone)
start_client_or_abandon "$dir"
while IFS='|' read -r address dns name; do
  echo "${address/PEER/$peer_port}" > "$dir/server.txt"
  rm -f "$work/dns-delay" "$work/dns-silent"
  [ "$dns" = late ] && echo 1.5 > "$work/dns-delay"
  [ "$dns" = silent ] && touch "$work/dns-silent"
  at_peer=$(peer_line_count "$peer") at_closed=$(peer_line_count "$closed") at_default=$(peer_line_count "$watch")
  click_at 200 590
  sleep 2.5
  case "$name" in
    *late*) expect "$name: joins once the answer comes (Hello $(peer_count_since "$peer" "$at_peer" H), State $(peer_count_since "$peer" "$at_peer" S))" \
        is_true "$(peer_count_since "$peer" "$at_peer" H) >= 1 && $(peer_count_since "$peer" "$at_peer" S) >= 5" ;;
    *closed*) expect "$name: keeps asking to join ($(peer_count_since "$closed" "$at_closed" H) Hellos)" \
        is_true "$(peer_count_since "$closed" "$at_closed" H) >= 4" ;;
    # Nor the default server's port, where a client that fell back to the default address would send
    # (the real server still listens there).
    *) expect "$name: nothing reaches a server (Hellos at the scripted one $(peer_count_since "$peer" "$at_peer" H), datagrams to the default port $(( $(peer_line_count "$watch") - at_default )))" \
        is_true "$(peer_count_since "$peer" "$at_peer" H) == 0 && $(peer_line_count "$watch") == $at_default" ;;
  esac
  pause_and_leave
done <<'CASES'
nohost.test:27420|-|a name that does not exist
192.0.2.10:27420|-|a network that cannot be reached
127.0.0.1:27999|-|a closed port
presence.test:PEER|late|a name server that answers late
presence.test:PEER|silent|a name server that never answers
CASES
expect "the names were asked of the test's own name server" \
  bash -c "grep -qx nohost.test '$work/dns-asked' && grep -qx presence.test '$work/dns-asked'"
# The last name is still being looked up: "Quit" must not wait for it.
expect_quick_quit "Quit with a name lookup still waiting"
expect_steady_frames "playing alone" "$dir" "$seconds"
rm -f "$work/dns-silent"

# --- The update host accepts and never answers ------------------------------------------------------
if [ -n "$update_build" ]; then
  update_build=$(cd "$update_build" && pwd)
  maker=$(cat "$update_build/maker-host.txt")
  # The build trusts this file; without it the check would fail before it ever connects.
  [ -s "$update_build/test-ca.pem" ] || openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -keyout "$work/key.pem" -out "$update_build/test-ca.pem" >/dev/null 2>&1
  background python3 "$root/tests/hanging_host.py" "${maker##*:}" "$work/accepted"
  sleep 0.3
  dir=$(install_copy "$update_build" "$work" hanging)
  start_client_or_abandon "$dir" no_proxy=127.0.0.1
  sleep 1
  expect "the update check reached the hanging host" grep -q accepted "$work/accepted"
  expect_quick_quit "Quit while the update check waits"
  first=$(first_frame_ms "$dir")
  expect "start-up does not wait for it (first frame at ${first:-?} ms, ${normal_first:-?} ms normally)" \
    is_true "${first:-99999} < ${normal_first:-0} + 2000"
  expect_steady_frames "update host hanging" "$dir" "$seconds"
fi

# --- The window minimized, restored and resized in a storm ------------------------------------------
# A window manager does what a user's desktop does with minimize and activate requests.
background openbox >/dev/null 2>&1
sleep 0.5
dir=$(install_copy "$build" "$work" storm)
start_client_or_abandon "$dir"
# CPU ticks the client uses in 1.5 s.
busy() { local a b; a=$(cpu_ticks "$client_pid"); sleep 1.5; b=$(cpu_ticks "$client_pid"); echo $(( b - a )); }
sleep 1
before=$(rss_kb "$client_pid")
drawing=$(busy)
xdotool windowminimize "$window"
sleep 0.5
minimized=$(busy)
expect "minimized, the client stops drawing (CPU ticks $drawing, then $minimized)" is_true "$minimized * 4 < $drawing"
xdotool windowactivate --sync "$window" 2>/dev/null
sleep 1
shot=$(shoot restored)
right=$(convert "$shot" -gravity east -crop 38%x100%+0+0 +repage -colorspace Gray -format '%[fx:mean*255]' info:)
expect "restored, the title screen is drawn again (left band $(left_band "$shot"), room $right)" \
  is_true "$(left_band "$shot") < 60 && $right > 25 && $right > $(left_band "$shot") + 10"
storm() {
  for i in $(seq 1 40); do
    xdotool windowsize "$window" $(( 300 + (i * 137) % 1000 )) $(( 200 + (i * 71) % 600 ))
    sleep 0.03
  done
  xdotool windowsize "$window" 1280 720
  sleep 2
}
storm
first_storm=$(rss_kb "$client_pid")
storm
second_storm=$(rss_kb "$client_pid")
expect "resizing does not grow memory (RSS $before, $first_storm, $second_storm kB)" \
  is_true "$second_storm - $before < 40000 && $second_storm - $first_storm < 16000"
# A picture left from before the storm, or a black one, would pass for the title screen by its size
# and dark left band: "Quit" lighting up under the pointer, where a 1280x720 layout puts it, and the
# room lit right of the panel show a frame drawn after the storm.
if hovers_at 200 630 400 630 after-storm; then quit_lit=1; else quit_lit=0; fi
shot=$screens/after-storm.png
right=$(convert "$shot" -gravity east -crop 38%x100%+0+0 +repage -colorspace Gray -format '%[fx:mean*255]' info:)
expect "after the storm the picture is 1280x720 ($(picture_size "$shot"))" [ "$(picture_size "$shot")" = 1280x720 ]
expect "and shows the title screen over the room, drawn anew (left band $(left_band "$shot"), room $right, Quit lit $quit_lit)" \
  is_true "$(left_band "$shot") < 60 && $right > 25 && $quit_lit"
"$build/close_window" "$window"
client_exit 30
expect "the storm ends with code 0" [ "$?" = 0 ]
# Faults of the network are no news for the log: a line at most beyond start-up and exit.
for log in "$work"/*/vornhalzanthery.log; do
  dir=$(dirname "$log")
  expect "$(basename "$dir")'s log holds no wgpu: line and $(noise "$dir") lines beyond the usual" \
    bash -c "! grep -q '^wgpu:' '$log' && [ $(noise "$dir") -le 1 ]"
done

finish_test_run

#!/usr/bin/env bash
# The client at the network's worst: the real client under Xvfb, the real server, three bots and a
# watching player (vz_presence_watch), every one of them reaching the server through
# bench/udp_relay.py on loopback, once per condition:
#   clean      the relay passes everything (the baseline)
#   loss       30 % of datagrams lost, both ways
#   jitter     every datagram held 200 ± 100 ms, which reorders
#   duplicate  10 % of datagrams sent twice
#   partition  nothing passes from 10 s for 10 s, then it heals
#   restart    the server is killed at 12 s and started on another port; a second later the relay
#              moves to it
#   restart-loss  the same restart under 30 % loss
# Each run lasts 30 s of play, then 8 s for leaves and time-outs to settle, and prints Markdown rows
# (| figure | value | goal | met |, from bench/network_figures.py): whether the client stayed joined
# or came back and how fast, the watcher's drawn capsules against the bots' real paths, the client's
# frame times, the server's player table, and what the relay did.
# Usage: bench/network_conditions.sh <build folder> [condition...]   (all seven by default, ~45 s each;
# VZ_NETWORK_KEEP=<folder> keeps each run's files there)
set -uo pipefail
build=$(cd "${1:?usage: bench/network_conditions.sh <build folder> [condition...]}" && pwd) || exit 2
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
conditions=("$@")
[ ${#conditions[@]} -gt 0 ] || conditions=(clean loss jitter duplicate partition restart restart-loss)
for program in vornhalzanthery vornhalzanthery-server vornhalzanthery-bots vz_presence_watch; do
  [ -x "$build/$program" ] || { echo "network_conditions: $build/$program is missing (build it first)" >&2; exit 2; }
done

RunSeconds=30
SettleSeconds=8  # a Bye lost on the way leaves its player to the server's 5 s time-out
Bots=3
PartitionAt=10
PartitionSeconds=10
RestartAt=12

source "$root/tests/e2e_helpers.sh"
start_virtual_display 1600x1000x24 || exit 1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  stop_virtual_display
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

note() { echo "network_conditions: $*" >&2; }
# The local ports of a process's UDP sockets, from its descriptors and /proc/net/udp.
udp_ports_of() {
  local inode
  for inode in $(find "/proc/$1/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n'); do
    awk -v inode="$inode" '$10 == inode { split($2, local, ":"); print local[2] }' /proc/net/udp
  done | while read -r hex; do echo $((16#$hex)); done
}
free_udp_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    grep -q ":$(printf '%04X' "$port") " /proc/net/udp || { echo "$port"; return; }
  done
}
# Sleeps until the run's clock (started at run_started, ns) reads the given seconds.
sleep_until() {
  local left
  left=$(awk -v s="$1" -v t0="$run_started" -v now="$(date +%s%N)" 'BEGIN { l = s - (now - t0) / 1e9; print (l > 0) ? l : 0 }')
  sleep "$left"
}
start_server() {  # start_server <port> <output>: sets server_pid; false when it did not start
  "$build/vornhalzanthery-server" --bind 127.0.0.1 --port "$1" > "$2" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  sleep 0.3
  kill -0 "$server_pid" 2>/dev/null
}

run_condition() {
  local name=$1 run="$work/$1" relay_options=() port_a port_b relay_port relay bots watcher dir
  local load_before
  load_before=$(cut -d' ' -f1 /proc/loadavg)
  mkdir -p "$run"
  case $name in
    clean) ;;
    loss) relay_options=(--loss 0.3) ;;
    jitter) relay_options=(--delay 200 --jitter 100) ;;
    duplicate) relay_options=(--duplicate 0.1) ;;
    partition) relay_options=(--partition "$PartitionAt:$PartitionSeconds") ;;
    restart) port_b=$(free_udp_port); relay_options=(--switch-to "127.0.0.1:$port_b") ;;
    restart-loss) port_b=$(free_udp_port); relay_options=(--switch-to "127.0.0.1:$port_b" --loss 0.3) ;;
    *) note "unknown condition $name"; return 1 ;;
  esac
  port_a=$(free_udp_port)
  start_server "$port_a" "$run/server-a.txt" || { note "$name: the server did not start"; return 1; }
  local server=$server_pid
  relay_port=$(free_udp_port)
  run_started=$(date +%s%N)
  python3 "$root/bench/udp_relay.py" --listen "$relay_port" --server "127.0.0.1:$port_a" \
    --seconds $((RunSeconds + SettleSeconds)) --trace "$run/trace.txt" "${relay_options[@]}" > "$run/relay.txt" 2>&1 &
  relay=$!
  pids+=("$relay")
  sleep 0.3
  "$build/vornhalzanthery-bots" --server "127.0.0.1:$relay_port" --count "$Bots" --seconds "$RunSeconds" \
    > "$run/bots.txt" 2>&1 &
  bots=$!
  pids+=("$bots")
  "$build/vz_presence_watch" --server "127.0.0.1:$relay_port" --seconds "$RunSeconds" > "$run/watch.txt" \
    2> "$run/watch-errors.txt" &
  watcher=$!
  pids+=("$watcher")

  dir=$(install_copy "$build" "$run" client)
  echo "127.0.0.1:$relay_port" > "$dir/server.txt"
  start_client "$dir" || { note "$name: no client window"; return 1; }
  click_at 200 590
  sleep 1
  {
    udp_ports_of "$client_pid" | sed 's/^/client /'
    udp_ports_of "$bots" | sed 's/^/bot /'
    sed -n 's/^port /watcher /p' "$run/watch.txt"
  } > "$run/roles.txt"

  if [ -n "${port_b:-}" ]; then
    sleep_until "$RestartAt"
    kill -9 "$server"
    wait "$server" 2>/dev/null
    start_server "$port_b" "$run/server-b.txt" || { note "$name: the second server did not start"; return 1; }
    server=$server_pid
    sleep_until $((RestartAt + 1))
    kill -USR1 "$relay"
  fi
  sleep_until $((RunSeconds - 1))
  kill -TERM "$client_pid"
  wait_for_exit "$client_pid" 100
  local client_code=$?
  [ $client_code = 124 ] && kill -9 "$client_pid" 2>/dev/null
  wait "$bots"
  wait "$watcher"
  sleep_until $((RunSeconds + SettleSeconds - 1))
  kill -TERM "$server"
  wait "$server"
  wait "$relay"
  pids=()  # every process of the run has ended and been waited for
  [ -n "${VZ_NETWORK_KEEP:-}" ] && mkdir -p "$VZ_NETWORK_KEEP" && cp -r "$run" "$VZ_NETWORK_KEEP/"
  python3 "$root/bench/network_figures.py" "$run" "$name" "$(label_of "$name")" \
    "$load_before at the start, $(cut -d' ' -f1 /proc/loadavg) at the end"
  local ended=$([ $client_code = 0 ] && echo yes || echo no)
  echo "| $(label_of "$name"): the client's end | SIGTERM: $([ $client_code = 124 ] && echo "still running after 10 s" || echo "exit code $client_code") | exit code 0 within 10 s | $ended |"
  [ $client_code = 0 ]
}

label_of() {
  case $1 in
    clean) echo "relay passing everything" ;;
    loss) echo "30 % loss" ;;
    jitter) echo "200 ± 100 ms delay" ;;
    duplicate) echo "10 % duplicated" ;;
    partition) echo "10 s partition" ;;
    restart) echo "server restarted on another port" ;;
    restart-loss) echo "server restarted on another port, 30 % loss" ;;
  esac
}

status=0
for condition in "${conditions[@]}"; do
  note "$condition ($(label_of "$condition")), load $(cut -d' ' -f1-3 /proc/loadavg)"
  run_condition "$condition" || status=1
done
exit $status

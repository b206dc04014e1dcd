#!/usr/bin/env bash
# What the presence server sends back to forged traffic, and what real clients still get: an address
# that says Hello and then one State a second (a forger in a victim's name), alone in the room and in
# a room of fifteen, a client on the real
# timetable, and the same client joining through forged Hellos at 10,000 a second from 1000
# addresses. Prints Markdown table rows: | figure | value | goal | met |.
# Usage: bench/server_reflection.sh <build folder>   (about 40 s; loopback only)
set -uo pipefail
build=$(cd "${1:?usage: bench/server_reflection.sh <build folder>}" && pwd) || exit 2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
probe() { python3 "$here/reflection_probe.py" "$@"; }
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
row() { printf '| %s | %s | %s | %s |\n' "$1" "$2" "$3" "$4"; }
yes_no() { if awk "BEGIN { exit !($1) }"; then echo yes; else echo no; fi; }
field() { sed -n "s/^$2 //p" "$1"; }
fail() { echo "server_reflection: $*" >&2; exit 1; }

port=$((29000 + RANDOM % 1000))
"$build/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/server.txt" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q 'listening on' "$work/server.txt" && break; sleep 0.1; done
grep -q 'listening on' "$work/server.txt" || fail "the server did not start: $(cat "$work/server.txt")"

# 0. The victim alone in the room, a State every 1.1 s: never two within a second, so its id is never
# confirmed, each State finds it freed and joins afresh, and its Welcome must be that State's one
# answer.
probe victim "$port" 6 1100 > "$work/victim-alone.txt"
in=$(field "$work/victim-alone.txt" in); back=$(field "$work/victim-alone.txt" back)
[ -n "$in" ] && [ -n "$back" ] || fail "the probe alone gave no figures"
row "one address saying Hello, then a State every 1.1 s for 6 s, alone in the room: datagrams back for datagrams sent" \
  "$back for $in" "at most one per datagram (before: 11 for 6)" "$(yes_no "$back <= $in")"

# 1. A room of fifteen walking players, so each roster is as large as it gets with the victim listed.
"$build/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 15 --rate 30 --seconds 20 > "$work/bots15.txt" 2>&1 &
bots=$!
pids+=("$bots")
sleep 2
probe victim "$port" 6 > "$work/victim.txt"
probe client "$port" 5 > "$work/client.txt"
wait "$bots"
in=$(field "$work/victim.txt" in); back=$(field "$work/victim.txt" back)
in_bytes=$(field "$work/victim.txt" in_bytes); back_bytes=$(field "$work/victim.txt" back_bytes)
rosters=$(field "$work/client.txt" rosters_a_second)
[ -n "$in" ] && [ -n "$back" ] && [ -n "$rosters" ] || fail "the probes gave no figures"
row "one address saying Hello, then a State a second for 6 s, in a room of 15: datagrams back for datagrams sent" \
  "$back for $in" "at most one Welcome and one roster per State (before: 119 for 7)" "$(yes_no "$back <= $in + 1")"
row "the same address: bytes back per byte sent" "$(awk "BEGIN { printf \"%.1f\", $back_bytes / $in_bytes }")" \
  "a full roster is 16 times a State" "-"
row "a client on the real timetable, room of 15: rosters a second once listed" "$rosters" "25 (one each 40 ms)" \
  "$(yes_no "$rosters >= 23")"

# 2. Forged Hellos at 10,000 a second from 1000 addresses, with four real players in the room; a
# client joins a second and a half in.
"$build/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 4 --rate 30 --seconds 12 > "$work/bots4.txt" 2>&1 &
bots=$!
pids+=("$bots")
sleep 1.5
probe forge "$port" 10000 8 1000 > "$work/forge.txt" &
forger=$!
pids+=("$forger")
sleep 1.5
probe client "$port" 5 > "$work/flooded.txt"
wait "$forger"
wait "$bots"
forged_rate=$(field "$work/forge.txt" forged_rate)
welcomed=$(field "$work/flooded.txt" welcomed_after_s)
listed=$(field "$work/flooded.txt" listed_after_s)
flooded_rosters=$(field "$work/flooded.txt" rosters_a_second)
whole=$(sed -n 's/^joined the whole time: \([0-9]*\) of .*/\1/p' "$work/bots4.txt")
[ -n "$forged_rate" ] && [ -n "$listed" ] && [ -n "$whole" ] || fail "the flood gave no figures"
if [ "$listed" = never ]; then listed_met=no; else listed_met=$(yes_no "$listed <= 1"); fi
row "a client joining during forged Hellos ($forged_rate a second from 1000 addresses): welcomed, listed after" \
  "${welcomed} s, ${listed} s" "joins and is listed within 1 s" "$listed_met"
row "its rosters a second during the forged Hellos" "$flooded_rosters" "25, as without them" \
  "$(yes_no "${flooded_rosters:-0} >= 23")"
row "real players joined the whole time through the forged Hellos" "$whole of 4" "4 of 4" "$(yes_no "$whole == 4")"

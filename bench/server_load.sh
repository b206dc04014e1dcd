#!/usr/bin/env bash
# The presence server's load, measured on loopback: sixteen bots at 30 Hz, then the same bots under a
# flood of malformed and forged-source datagrams, then forged players filling the free ids and timing
# out before sixteen fresh bots join. Prints Markdown table rows: | figure | value | goal | met |.
# Usage: bench/server_load.sh <build folder>   (about 50 s; exits non-zero when a figure could not be
# measured, while a missed goal only shows "no")
set -uo pipefail
build=$(cd "${1:?usage: bench/server_load.sh <build folder>}" && pwd) || exit 2
for program in server bots flood; do
  if [ ! -x "$build/vornhalzanthery-$program" ]; then
    echo "server_load: $build/vornhalzanthery-$program is missing (build it first)" >&2
    exit 2
  fi
done

FloodRate=50000
FloodSeconds=10
Bots=16
ticks_per_second=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
sleeper=

# Every process started here ends with the script, however it ends.
cleanup() {
  [ -n "$sleeper" ] && kill "$sleeper" 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Forgets a process once it has been waited for, so the clean-up never signals a reused id.
forget() {
  local kept=()
  for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  pids=("${kept[@]}")
}
fail() {
  echo "server_load: $*" >&2
  exit 1
}
row() { printf '| %s | %s | %s | %s |\n' "$1" "$2" "$3" "$4"; }
yes_no() { if [ "$1" = 1 ]; then echo yes; else echo no; fi; }
now_ns() { date +%s%N; }
# A sleep that a stop signal interrupts at once (bash runs traps only between commands).
pause() {
  sleep "$1" &
  sleeper=$!
  wait "$sleeper"
  sleeper=
}
# utime + stime of a process, in clock ticks (the fields after the parenthesised name).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
# Datagrams the kernel dropped at the server's socket (its receive buffer full): /proc/net/udp's last
# column for the local address 127.0.0.1:port.
socket_drops() {
  awk -v local="$(printf '0100007F:%04X' "$1")" '$2 == local { print $NF }' /proc/net/udp
}
percent_of_core() {  # ticks before, ticks after, ns before, ns after
  awk -v c0="$1" -v c1="$2" -v t0="$3" -v t1="$4" -v hz="$ticks_per_second" \
    'BEGIN { printf "%.2f", (c1 - c0) / hz / ((t1 - t0) / 1e9) * 100 }'
}
below() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? 1 : 0 }'; }
# Every argument must be a number, else the figure could not be measured.
need_numbers() {
  local what=$1; shift
  for value in "$@"; do
    [[ "$value" =~ ^[0-9]+(\.[0-9]+)?$ ]] || fail "could not measure $what (got '$value')"
  done
}
server_lines() { wc -l < "$work/server.txt"; }
# Lines of the server's output after line $1 up to line $2 that match an extended pattern. (An empty
# range is no lines: sed alone would print the first line of "N+1,N".)
count_between() {
  if [ "$2" -le "$1" ]; then echo 0; return; fi
  sed -n "$(($1 + 1)),$2p" "$work/server.txt" | grep -c -E -- "$3"
}
# The number in "joined the whole time: N of M" of a bots run.
bots_whole_time() { sed -n 's/^joined the whole time: \([0-9]*\) of .*/\1/p' "$1"; }
# Fields of the flood tool's lines, by the word before each number.
flood_field() { sed -n "s/.*$2 \([0-9]*\).*/\1/p" "$1" | head -1; }

# The server on a free loopback port.
server=
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  "$build/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/server.txt" 2>&1 &
  candidate=$!
  pause 0.3
  if kill -0 "$candidate" 2>/dev/null; then
    server=$candidate
    pids+=("$server")
    break
  fi
  wait "$candidate" 2>/dev/null
done
[ -n "$server" ] || fail "the server did not start on a loopback port"
address=127.0.0.1:$port

# 1. Sixteen bots: three seconds to join and settle, then twenty measured.
"$build/vornhalzanthery-bots" --server "$address" --count "$Bots" --rate 30 --seconds 70 > "$work/bots.txt" 2>&1 &
bots=$!
pids+=("$bots")
pause 3
c0=$(cpu_ticks "$server"); t0=$(now_ns)
pause 20
c1=$(cpu_ticks "$server"); t1=$(now_ns)
rss_before=$(rss_kb "$server")
need_numbers "the server's CPU time and memory with bots" "$c0" "$c1" "$rss_before"
joined=$(grep -c ' joined ' "$work/server.txt")
[ "$joined" -eq "$Bots" ] || fail "$joined of $Bots bots joined before the flood"
idle_cpu=$(percent_of_core "$c0" "$c1" "$t0" "$t1")
row "server CPU, $Bots bots at 30 Hz (20 s)" "$idle_cpu % of one core" "under 2 %" "$(yes_no "$(below "$idle_cpu" 2)")"
row "server resident memory, $Bots bots" "$rss_before KB" "—" "—"

# 2. The same bots under the flood; the server is full, so forged Hellos get no id.
lines0=$(server_lines)
drops0=$(socket_drops "$port")
"$build/vornhalzanthery-flood" --server "$address" --rate "$FloodRate" --seconds "$FloodSeconds" \
  > "$work/flood.txt" 2>&1 &
flood=$!
pids+=("$flood")
pause 0.5
c0=$(cpu_ticks "$server"); t0=$(now_ns)
pause $((FloodSeconds - 1))
c1=$(cpu_ticks "$server"); t1=$(now_ns)
wait "$flood" || fail "the flood tool failed: $(cat "$work/flood.txt")"
forget "$flood"
drops1=$(socket_drops "$port")
lines1=$(server_lines)
pause 1
rss_after=$(rss_kb "$server")
kill "$bots"
wait "$bots"
forget "$bots"
need_numbers "the server's CPU time, memory and drops under the flood" "$c0" "$c1" "$rss_after" "$drops0" "$drops1"

sent=$(flood_field "$work/flood.txt" "sent")
rate=$(sed -n 's/.*: \([0-9]*\) a second.*/\1/p' "$work/flood.txt")
forged=$(flood_field "$work/flood.txt" "forged Hellos")
forged_welcome=$(flood_field "$work/flood.txt" "back Welcome")
forged_roster=$(flood_field "$work/flood.txt" "Roster")
forged_bye=$(flood_field "$work/flood.txt" "ServerBye")
forged_other=$(sed -n 's/^forged.* other \([0-9]*\);.*/\1/p' "$work/flood.txt")
forged_most=$(flood_field "$work/flood.txt" "most at one address")
repeated_back=$(sed -n 's/^repeated.*back Welcome \([0-9]*\), other \([0-9]*\)/\1 \2/p' "$work/flood.txt" |
  awk '{ print $1 + $2 }')
junk_back=$(sed -n 's/^malformed.*back \([0-9]*\)/\1/p' "$work/flood.txt")
whole_time=$(bots_whole_time "$work/bots.txt")
need_numbers "the flood tool's or the bots' counts" "$sent" "$rate" "$forged" "$forged_welcome" "$forged_roster" \
  "$forged_bye" "$forged_other" "$forged_most" "$repeated_back" "$junk_back" "$whole_time"

flood_cpu=$(percent_of_core "$c0" "$c1" "$t0" "$t1")
bot_losses=$(count_between "$lines0" "$lines1" ' (timed out|left) ')
rss_growth=$((rss_after - rss_before))
forged_back=$((forged_welcome + forged_roster + forged_bye + forged_other))
row "flood rate achieved ($sent datagrams in ${FloodSeconds} s)" "$rate a second" "$FloodRate a second (95 %)" \
  "$(yes_no "$(below $((FloodRate * 95 / 100 - 1)) "$rate")")"
row "server CPU during the flood" "$flood_cpu % of one core" "under 50 %" "$(yes_no "$(below "$flood_cpu" 50)")"
row "datagrams dropped at the server's socket during the flood" "$((drops1 - drops0))" "—" "—"
row "bots joined the whole time, through the flood" "$whole_time of $Bots" "$Bots of $Bots" \
  "$(yes_no $((whole_time == Bots)))"
row "timeouts or leaves logged during the flood" "$bot_losses" "0" "$(yes_no $((bot_losses == 0)))"
row "server resident memory before and after the flood" "$rss_before KB, $rss_after KB" "within 64 KB" \
  "$(yes_no $((rss_growth <= 64 && rss_growth >= -64)))"
row "back to $forged forged addresses, server full" "$forged_back (Welcome $forged_welcome)" "none" \
  "$(yes_no $((forged_back == 0)))"
row "back to the address repeating Hello and the malformed sender, server full" "$((repeated_back + junk_back))" \
  "none" "$(yes_no $((repeated_back + junk_back == 0)))"

# 3. With every id free, a second of forged Hellos takes them; the forged players, which never send a
# State, must give their ids back (freed after a second on trial, or taken back by the next forged
# Hello) to sixteen fresh bots.
lines0=$(server_lines)
"$build/vornhalzanthery-flood" --server "$address" --rate "$FloodRate" --seconds 1 --spoofed 200 \
  > "$work/fill.txt" 2>&1 &
flood=$!
pids+=("$flood")
wait "$flood" || fail "the flood tool failed: $(cat "$work/fill.txt")"
forget "$flood"
pause 6
lines1=$(server_lines)
"$build/vornhalzanthery-bots" --server "$address" --count "$Bots" --rate 30 --seconds 3 > "$work/fresh.txt" 2>&1 &
bots=$!
pids+=("$bots")
wait "$bots"
forget "$bots"

fill_welcome=$(flood_field "$work/fill.txt" "back Welcome")
fill_most=$(flood_field "$work/fill.txt" "most at one address")
fill_roster=$(flood_field "$work/fill.txt" "Roster")
fill_bye=$(flood_field "$work/fill.txt" "ServerBye")
fill_other=$(sed -n 's/^forged.* other \([0-9]*\);.*/\1/p' "$work/fill.txt")
repeated=$(flood_field "$work/fill.txt" "repeated Hellos")
repeated_welcome=$(sed -n 's/^repeated.*back Welcome \([0-9]*\).*/\1/p' "$work/fill.txt")
fresh=$(bots_whole_time "$work/fresh.txt")
need_numbers "the forged players' counts" "$fill_welcome" "$fill_most" "$fill_roster" "$fill_bye" "$fill_other" \
  "$repeated" "$repeated_welcome" "$fresh"
forged_joins=$(count_between "$lines0" "$lines1" ' joined ')
forged_freed=$(count_between "$lines0" "$lines1" ' (timed out|sent no State) ')
row "back to forged addresses with ids free" \
  "Welcome $fill_welcome, most at one address $fill_most, Roster $fill_roster, other $((fill_bye + fill_other))" \
  "one Welcome each at most, nothing else" \
  "$(yes_no $((fill_most <= 1 && fill_roster + fill_bye + fill_other == 0)))"
# While it holds its id the address gets at most five Welcomes a second; each time forged Hellos take
# its id back (it never sends a State), its next Hello joins it anew with one more.
row "Welcomes for $repeated repeated Hellos from one address in 1 s, its id taken back again and again" \
  "$repeated_welcome" "at most 1 in 50 Hellos" "$(yes_no $((repeated_welcome * 50 <= repeated)))"
row "forged players freed within 6 s of the flood's end" "$forged_freed of $forged_joins" "all" \
  "$(yes_no $((forged_joins > 0 && forged_freed == forged_joins)))"
row "fresh bots joined afterwards (no id kept)" "$fresh of $Bots" "$Bots of $Bots" "$(yes_no $((fresh == Bots)))"

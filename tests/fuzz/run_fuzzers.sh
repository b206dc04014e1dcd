#!/usr/bin/env bash
# Runs each fuzz target for a bounded time from a seed corpus made here: the floor maps the build
# generated, and the font with a few truncations of it. Any crash fails the run.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
font=${VZ_FONT_SOURCE:-/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/floor" "$work/font"
floor_maker="$build/floor_material_maker"
"$floor_maker" "$work/made" 64
cp "$work/made/"*.jpg "$work/floor/"
cp "$font" "$work/font/whole.otf"
size=$(stat -c %s "$font")
for cut in 12 100 1000 $((size / 2)) $((size - 1)); do head -c "$cut" "$font" > "$work/font/cut$cut.otf"; done

run() {
  local target=$1 corpus=$2 status=0
  echo "fuzz: $target for ${seconds}s"
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "$corpus" > "$work/$target.log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units' "$work/$target.log" || true
  # libFuzzer ends with a non-zero status and writes the failing input when it finds a crash, a
  # leak, a time-out or an out-of-memory.
  if [ "$status" -ne 0 ] || ls "$work/$target-"* >/dev/null 2>&1; then
    grep -E -A12 'ERROR|runtime error' "$work/$target.log" | head -n 40 >&2 || tail -n 40 "$work/$target.log" >&2
    echo "fuzz: $target found a failing input (status $status)" >&2
    exit 1
  fi
}

run floor_image_fuzz "$work/floor"
run font_fuzz "$work/font"

# Presence: the client's and the server's datagram handling and the address path, from small seeds
# written here (Welcome then a two-record roster; Hello, State, Bye from two senders; addresses).
mkdir -p "$work/client" "$work/server" "$work/address"
printf '\001W\003\023R\002\001\000\000\200\077\000\000\000\000\000\000\200\277\000\000\000\000\001\004\000\000\310\102\000\000\000\000\000\000\000\000\000\000\000\000\000\000\001F' > "$work/client/seed"
printf '\001\000\005H1ZOQ\002\001\005H1ZOQ\001\002\022S\000\000\200\077\000\000\000\000\000\000\000\000\000\000\000\000\001\002\200\001B' > "$work/server/seed"
printf '192.168.1.20:27420\r\n' > "$work/address/seed"
printf '\357\273\277 host.example : 99 \n' > "$work/address/bom"
run presence_client_fuzz "$work/client"
run presence_server_fuzz "$work/server"
run server_address_fuzz "$work/address"
echo "fuzz: 2 passed, 0 failed"

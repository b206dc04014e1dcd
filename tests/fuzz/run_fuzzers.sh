#!/usr/bin/env bash
# Runs each fuzz target for a bounded time from a seed corpus made here: the floor maps the build
# generated, re-encoded by ImageMagick and jpegtran in the JPEG forms the decoder has separate paths
# for, and the fonts (the client's and Debian's DejaVu TrueType fonts) with truncations of each.
# Any crash fails the run.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
font=${VZ_FONT_SOURCE:-/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Fresh allocations filled with 190, so a read of memory never written shows up as wrong values.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}max_malloc_fill_size=1000000:malloc_fill_byte=190"

mkdir -p "$work/floor" "$work/font"
"$build/floor_material_maker" "$work/made" 64
for map in "$work/made/"*.jpg; do
  name=$(basename "$map" .jpg)
  cp "$map" "$work/floor/$name.jpg"
  # Progressive, grey, CMYK (four components, Adobe marker), both chroma samplings, odd and tiny sizes.
  convert "$map" -interlace JPEG "$work/floor/$name-progressive.jpg"
  convert "$map" -colorspace Gray "$work/floor/$name-grey.jpg"
  convert "$map" -colorspace CMYK "$work/floor/$name-cmyk.jpg"
  convert "$map" -sampling-factor 4:2:0 -quality 40 "$work/floor/$name-420.jpg"
  convert "$map" -sampling-factor 4:4:4 -quality 100 "$work/floor/$name-444.jpg"
  convert "$map" -sampling-factor 2x1 -resize 17x9! "$work/floor/$name-17x9.jpg"
  convert "$map" -interlace JPEG -resize 5x3! "$work/floor/$name-5x3.jpg"
  convert "$map" -resize 1x1! "$work/floor/$name-1x1.jpg"
  # ImageMagick writes neither restart intervals nor arithmetic coding; jpegtran does, losslessly.
  jpegtran -restart 1 "$map" > "$work/floor/$name-restart.jpg"
  jpegtran -restart 2B -progressive "$map" > "$work/floor/$name-restart-progressive.jpg"
  jpegtran -arithmetic "$map" > "$work/floor/$name-arithmetic.jpg"
  jpegtran -arithmetic -progressive "$map" > "$work/floor/$name-arithmetic-progressive.jpg"
done

fonts=("$font")
mapfile -t -O 1 fonts < <(dpkg-query -L fonts-dejavu-core | grep '\.ttf$' | sort)
for each in "${fonts[@]}"; do
  name=$(basename "$each")
  cp "$each" "$work/font/$name"
  size=$(stat -c %s "$each")
  for cut in 12 100 1000 $((size / 2)) $((size - 1)); do head -c "$cut" "$each" > "$work/font/cut$cut-$name"; done
done

# The corpora kept in the repository (what earlier long runs found, minimised) join the seeds. With
# VZ_FUZZ_GROW_CORPUS=1 a run adds what it finds to them and minimises them again afterwards; the
# font target keeps none, as its inputs are pieces of fonts made by others.
kept=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus
run() {
  local target=$1 corpus=$2 status=0 dirs=("$2")
  if [ "$target" != font_fuzz ]; then
    mkdir -p "$kept/$target"
    if [ -n "${VZ_FUZZ_GROW_CORPUS:-}" ]; then dirs=("$kept/$target" "$corpus"); else dirs+=("$kept/$target"); fi
  fi
  echo "fuzz: $target for ${seconds}s from $(find "${dirs[@]}" -type f | wc -l) seeds"
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "${dirs[@]}" > "$work/$target.log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units' "$work/$target.log" || true
  # libFuzzer ends with a non-zero status and writes the failing input when it finds a crash, a
  # leak, a time-out or an out-of-memory.
  if [ "$status" -ne 0 ] || ls "$work/$target-"* >/dev/null 2>&1; then
    grep -E -A12 'ERROR|runtime error|assert failed' "$work/$target.log" | head -n 40 >&2 || tail -n 40 "$work/$target.log" >&2
    if [ -n "${VZ_FUZZ_KEEP:-}" ]; then mkdir -p "$VZ_FUZZ_KEEP" && cp "$work/$target-"* "$work/$target.log" "$VZ_FUZZ_KEEP/" || true; fi
    echo "fuzz: $target found a failing input (status $status)" >&2
    exit 1
  fi
  if [ -n "${VZ_FUZZ_GROW_CORPUS:-}" ] && [ "$target" != font_fuzz ]; then
    mkdir -p "$work/$target-minimal"
    "$build/$target" -merge=1 "$work/$target-minimal" "$kept/$target" > "$work/$target-merge.log" 2>&1
    rm -rf "$kept/$target" && mv "$work/$target-minimal" "$kept/$target"
    echo "fuzz: $target corpus kept: $(ls "$kept/$target" | wc -l) inputs, $(du -sk "$kept/$target" | cut -f1) KB"
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
echo "fuzz: 5 passed, 0 failed"

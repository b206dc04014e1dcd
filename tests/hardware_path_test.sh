#!/usr/bin/env bash
# The hardware drawing path (floor anisotropy 16, linear mip filter, per-pixel linearisation and the
# exact gamma power) drawn on llvmpipe under Xvfb and compared, pixel by pixel, with the software
# path's pictures of the same views: the title screen and play, from fixed cameras, drawn by
# vz_drawing_path_pictures with the client's own start-up, pipelines, floor material and frame.
# Walls, ceiling and capsules may differ only by the gamma step's rounding, and must differ somewhere
# (or the hardware pipeline shades as the software one); the floor must differ by its filtering and
# stay the same floor. Then the client's test build that draws the hardware path whatever the adapter
# (vz_hardware_path_client, its title camera standing still) must draw its title exactly as the
# hardware picture shows it. Leaves the pictures, and each pair side by side, in <build>/test-screens.
# Usage: hardware_path_test.sh <build folder>
set -uo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tests/e2e_helpers.sh"
start_test_run "hardware path" "$build" 1280x800x24

# figures <first> <second> <floor left out>: the differences by region (drawing_path_figures.py)
figures() { python3 "$root/tests/drawing_path_figures.py" "$work/$1.ppm" "$work/$2.ppm" "$work/$3.ppm"; }
# figure <figures file> <name>
figure() { awk -v n="$2" '$1 == n { print $2 }' "$1"; }
# Pictures are kept as PNG for a reader and as PPM for the figures.
keep_picture() { import -window "$window" "$screens/path-$1.png" 2>/dev/null; convert "$screens/path-$1.png" "$work/$1.ppm"; }

# --- The pictures -----------------------------------------------------------------------------------
# The program prints "shoot <name>" when a picture stands in its window and waits for a line.
coproc pictures { "$build/vz_drawing_path_pictures" 2> "$work/pictures.err"; }
pictures_pid=$pictures_PID  # bash unsets the coprocess's variables when it ends
pids+=("$pictures_pid")
taken=0
adapter=""
while IFS= read -r -t 60 line <&"${pictures[0]}"; do
  case "$line" in
    "adapter "*) adapter=${line#adapter } ;;
    "shoot "*)
      [ -n "${window:-}" ] || window=$(wait_for_window '^Vornhal: Zanthery drawing paths$' 10)
      keep_picture "${line#shoot }"
      taken=$((taken + 1))
      echo next >&"${pictures[1]}"
      ;;
  esac
done
wait "$pictures_pid"
status=$?
expect "the pictures program ran to its end with code 0 (got $status)" [ "$status" = 0 ]
expect "the adapter here chose the software path (said: $adapter)" [ "$adapter" = software ]
errors=$(grep -c '^wgpu:' "$work/pictures.err")
expect "no WebGPU error on llvmpipe on either path (found $errors)" [ "$errors" = 0 ]
if [ "$taken" != 7 ]; then
  grep -v '^adapter:' "$work/pictures.err" | head -n 20
  abandon_test_run "all 7 pictures were taken (got $taken)"
fi

# --- The comparison ---------------------------------------------------------------------------------
figures title-software title-software-again title-floor-left-out > "$work/again.figures"
expect "one path draws the same pixels twice ($(grep _differing "$work/again.figures" | tr '\n' ' '))" \
  is_true "$(awk '/_differing/ { s += $2 } END { print s }' "$work/again.figures") == 0"

for view in title play; do
  f="$work/$view.figures"
  figures "$view-software" "$view-hardware" "$view-floor-left-out" > "$f"
  echo "$view, software against hardware: $(tr '\n' ' ' < "$f")"
  expect "$view: the regions are all there (walls $(figure "$f" walls_pixels), floor $(figure "$f" floor_pixels) pixels)" \
    is_true "$(figure "$f" walls_pixels) > 100000 && $(figure "$f" floor_pixels) > 100000"
  # The polynomial gamma step is within 1.4/255 of the exact power; with each side rounded to a
  # level that is at most 2 levels apart. Colours are linearised per vertex or per pixel, which for
  # faces of one colour is the same value.
  expect "$view: walls, ceiling and capsules match within 2 levels (largest $(figure "$f" walls_max))" \
    is_true "$(figure "$f" walls_max) <= 2"
  # Where the two gamma steps round apart: pixels with the exact one must be common, or the
  # hardware pipeline still shades as the software one does.
  expect "$view: the exact gamma step shows in the walls (share differing $(figure "$f" walls_differing))" \
    is_true "$(figure "$f" walls_differing) > 0.2"
  # The floor's texels are filtered across up to 16 samples and blended between mip levels: many of
  # its pixels differ by more than the gamma step can make them (a tenth; the mip blend alone, without
  # the anisotropy, makes 4 to 7 %), yet on average it stays the floor.
  expect "$view: the floor differs by its filtering (beyond 2 levels: $(figure "$f" floor_beyond_2) of it)" \
    is_true "$(figure "$f" floor_beyond_2) > 0.1"
  expect "$view: and stays the same floor (mean difference $(figure "$f" floor_mean) levels)" \
    is_true "$(figure "$f" floor_mean) < 5"
  # The pair side by side, half size: software on the left, hardware on the right.
  convert "$screens/path-$view-software.png" "$screens/path-$view-hardware.png" +append -resize 50% \
    "$screens/path-$view-side-by-side.png"
done

# --- The whole client, in its test build on the hardware path ---------------------------------------
# Installed as the client is, under the client's name, beside its own font and floor maps.
dir="$work/hardware-client"
mkdir -p "$dir/floor"
cp "$build/vz_hardware_path_client" "$dir/vornhalzanthery"
for lib in "$build"/libSDL3.so* "$build/libwebgpu_wrapper.so"; do ln -s "$lib" "$dir/"; done
cp "$build/coolvetica.otf" "$dir/"
cp "$build"/floor/*.jpg "$dir/floor/"
xdotool mousemove 1279 799  # off the window: no button hovered
start_client "$dir" || abandon_test_run "the test build's client shows its window"
log=$dir/vornhalzanthery.log
# A loaded machine draws this path at a few frames a second: the picture is taken a second after the
# first frame, whenever that came.
for _ in $(seq 1 200); do grep -q '^first frame presented' "$log" && break; sleep 0.1; done
sleep 1
keep_picture title-client
"$build/close_window" "$window"
wait_for_exit "$client_pid" 30
status=$?
expect "the test build's client ends with code 0 (got $status)" [ "$status" = 0 ]
expect "it says it draws the hardware path ($(grep -m1 '^adapter:' "$log" | sed 's/.*; //'))" \
  grep -q '^adapter: .*hardware path by a test build: floor sampled with anisotropy 16 and the linear mip filter, exact shading' "$log"
expect "its log holds no wgpu: line (found $(grep -c '^wgpu:' "$log"))" not grep -q '^wgpu:' "$log"
differing=$(compare -metric AE "$work/title-hardware.ppm" "$work/title-client.ppm" null: 2>&1)
expect "its title is the hardware picture, pixel for pixel ($differing pixels differ)" [ "$differing" = 0 ]

finish_test_run

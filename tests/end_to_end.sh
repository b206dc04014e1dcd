#!/usr/bin/env bash
# The real client under Xvfb, driven as a user would: it starts, shows its window, draws the room,
# follows a resize (also to wider than a compatibility device's default texture limit), logs no
# WebGPU error and quits cleanly when its window is closed, logging its frame figures; with a
# missing or broken asset it shows the error box with the exact text, logs the cause and exits with
# code 1; with no display at all it tells the terminal why; started again, it keeps the failed run's log.
# Usage: end_to_end.sh <build folder>
set -uo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tests/e2e_helpers.sh"
# As wide as a 5K display, so the window can grow past 4096 pixels.
start_test_run "end to end" "$build" 5000x1200x24

# Reads the mean (0..255) or standard deviation of a region of a screenshot, in grey.
region() { convert "$1" -crop "$3" +repage -colorspace Gray -format "%[fx:$2*255]" info:; }
# The share (0..1) of pixels within a small distance of the clear colour, in the part of the picture
# right of the menus' darkened panel (which fades out at 62 % of the width).
clear_share() {
  convert "$1" -gravity east -crop 38%x100%+0+0 +repage -fuzz 1.5% -fill black +opaque 'rgb(13,14,15)' \
    -fill white -opaque 'rgb(13,14,15)' -format '%[fx:mean]' info:
}

# laid_out_for <size> <x> <y> <pixel x> <name>: the window's picture, shot with the pointer at
# (x, y), has that size, and the pixel at (pixel x, y) shows a button lit: the menu was laid out and
# drawn for that size.
laid_out_for() { hovers_at "$2" "$3" "$4" "$3" "$5" && [ "$(picture_size "$screens/$5.png")" = "$1" ]; }
samples_as_software_rasterizer() {
  [[ $1 == *"software rasterizer: floor sampled with anisotropy 1 and the nearest mip filter, the cheaper shading"* ]] &&
    [[ $1 != *"anisotropy 16"* ]]
}

# --- A normal run --------------------------------------------------------------------------------
dir=$(install_copy "$build" "$work" normal)
background "$dir/vornhalzanthery"
client_pid=$!
window=$(wait_for_window '^Vornhal: Zanthery$' 30)
if [ -z "$window" ]; then
  fail "the client's window appears"
else
  pass "the client's window appears"
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  expect "the window is 1280x720 (was $geometry)" [ "$geometry" = 1280x720 ]
  expect "the log file beside the executable starts with the release number ($(head -n 1 "$dir/vornhalzanthery.log"))" \
    [ "$(head -n 1 "$dir/vornhalzanthery.log")" = "Vornhal: Zanthery, release $(source "$root/scripts/versions.sh"; vz_release_number)" ]
  sleep 3
  shot=$(shoot title)
  expect "the screenshot is 1280x720" [ "$(picture_size "$shot")" = 1280x720 ]
  share=$(clear_share "$shot")
  expect "the room encloses the view: clear colour on $share of the picture" is_true "$share < 0.001"
  # The orbiting camera always looks at the room's centre from 4.5 m: the floor under the light is at
  # the picture's horizontal centre, about three quarters down; the far floor by the wall just below
  # the middle; the far wall above it. The menu's panel darkens each column evenly, so brightness is
  # compared within one column and spreads are read right of the panel.
  centre=$(region "$shot" mean 80x30+600+525)
  far=$(region "$shot" mean 80x8+600+414)
  expect "the floor is brighter under the light ($centre) than by the far wall ($far)" is_true "$centre > $far * 1.3"
  wall_spread=$(region "$shot" standard_deviation 60x40+860+270)
  floor_spread=$(region "$shot" standard_deviation 200x60+820+560)
  expect "the floor is textured (spread $floor_spread) and the wall flat (spread $wall_spread)" \
    is_true "$floor_spread > $wall_spread + 3 && $wall_spread < 4"
  ceiling=$(region "$shot" mean 200x30+540+10)
  expect "the ceiling is lit ($ceiling)" is_true "$ceiling > 40"

  # The X server gives the window its new size whether or not the client draws again, and leaves
  # the old picture or black in it: only what a frame drawn for the new size holds counts. The menu
  # is laid out for the window's height and width (a button where no other size puts one must light
  # up under the pointer), and the camera keeps its vertical angle, so the floor under the light lies
  # at the new picture's centre, the far floor at the same share of its height.
  xdotool windowsize "$window" 900 500
  sleep 2
  shot=$(shoot resized)
  # At 900x500 "Quit" spans x 45 to 425 and y 417 to 452.
  expect "after a resize the picture is 900x500 (was $(picture_size "$shot")) with the menu laid out for it (Quit lit at y 435)" \
    laid_out_for 900x500 200 435 400 resized-quit-hovered
  share=$(clear_share "$shot")
  centre=$(region "$shot" mean 56x21+422+364)
  far=$(region "$shot" mean 56x6+422+287)
  expect "after a resize the room fills the new size: clear colour on $share, floor under the light at its centre $centre, by the far wall $far" \
    is_true "$share < 0.001 && $centre > $far * 1.2"

  # Wider than a compatibility device's default largest texture (4096): the device must have asked
  # for the adapter's own limit, or the surface and depth target fail every frame.
  # A screenshot holds only what is on the screen, so the window goes to the left edge first.
  xdotool windowmove "$window" 0 0
  xdotool windowsize "$window" 4200 600
  sleep 3
  shot=$(shoot wide)
  # At 4200x600 the menu's margin is 5 % of the width: "Play" spans x 210 to 590 and y 469 to 504.
  expect "a 4200x600 window gives a 4200x600 picture (was $(picture_size "$shot")) with the menu laid out for it (Play lit at x 560)" \
    laid_out_for 4200x600 400 486 560 wide-play-hovered
  share=$(clear_share "$shot")
  centre=$(region "$shot" mean 80x25+2060+437)
  far=$(region "$shot" mean 80x7+2060+345)
  expect "a 4200x600 window is drawn edge to edge: clear colour on $share, floor under the light at its centre $centre, by the far wall $far" \
    is_true "$share < 0.001 && $centre > $far * 1.2"
  right_edge=$(region "$shot" mean 100x100+4090+250)
  expect "the part beyond 4096 pixels shows the room (mean $right_edge)" is_true "$right_edge > 20"

  errors=$(grep -c '^wgpu:' "$dir/vornhalzanthery.log")
  expect "the log holds no wgpu: line (found $errors)" [ "$errors" = 0 ]
  # llvmpipe is a software rasterizer: its branch of the line must be the one taken, and the
  # hardware branch's words must be absent.
  adapter_line=$(grep -m1 '^adapter:' "$dir/vornhalzanthery.log")
  expect "the adapter line says how the floor is sampled on llvmpipe: one mip level, no anisotropic filtering" \
    samples_as_software_rasterizer "$adapter_line"

  "$build/close_window" "$window"
  wait_for_exit "$client_pid" 10
  status=$?
  expect "closing the window ends the process within a second with exit code 0 (got $status)" [ "$status" = 0 ]
  expect "the log ends with the frame figures" grep -q '^frames: [0-9]*, median .* 99th percentile' "$dir/vornhalzanthery.log"
  grep -m1 '^adapter' "$dir/vornhalzanthery.log" || true
  grep -m1 '^first frame' "$dir/vornhalzanthery.log" || true
  grep -m1 '^frames' "$dir/vornhalzanthery.log" || true
fi

# --- Start-up failures ---------------------------------------------------------------------------
probe=$(find "$build" -name 'libmessage_box_probe.so' | head -n 1)

# Runs the client in dir, finds its error box, dismisses it with the keyboard, and checks the
# recorded text, the exit code and that the log and the terminal name the cause.
expect_error_box() {
  local name=$1 dir=$2 text=$3 cause=$4 box=""
  rm -f "$work/boxes.txt"
  background env VZ_MESSAGE_BOX_LOG="$work/boxes.txt" LD_PRELOAD="$probe" "$dir/vornhalzanthery" 2> "$work/terminal.txt"
  client_pid=$!
  for _ in $(seq 1 300); do
    # The probe records the text just before the box opens, so the game window (if any) is mapped
    # at its full size by then; the box is the other top-level window of that name.
    if [ -s "$work/boxes.txt" ]; then
      box=$(xwininfo -root -children | awk '/"Vornhal: Zanthery"/ && !/ 1280x720\+/ { print $1; exit }')
      [ -n "$box" ] && break
    fi
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$box" ]; then
    wait_for_exit "$client_pid" 1
    fail "$name: an error box appears (the client ended with code $?)"
    kill -9 "$client_pid" 2>/dev/null
    return
  fi
  sleep 0.5
  import -window "$box" "$screens/error-$1.png" 2>/dev/null || true
  xdotool key --window "$box" Return
  wait_for_exit "$client_pid" 30
  local status=$?
  if kill -0 "$client_pid" 2>/dev/null; then kill -9 "$client_pid"; fi
  expect "$name: the box says \"$text\"" [ "$(cat "$work/boxes.txt" 2>/dev/null)" = "$(printf 'Vornhal: Zanthery\n%s' "$text")" ]
  expect "$name: exit code 1 (got $status)" [ "$status" = 1 ]
  expect "$name: the log names the cause ($cause)" grep -q -- "$cause" "$dir/vornhalzanthery.log"
  expect "$name: so does the terminal" grep -q -- "$cause" "$work/terminal.txt"
}

dir=$(install_copy "$build" "$work" nofont)
rm "$dir/coolvetica.otf"
expect_error_box nofont "$dir" "coolvetica.otf failed to load" "coolvetica.otf failed to load: cannot read .*coolvetica.otf"

dir=$(install_copy "$build" "$work" badfont)
head -c 3000 "$build/coolvetica.otf" > "$dir/coolvetica.otf"
expect_error_box badfont "$dir" "coolvetica.otf failed to load" "coolvetica.otf failed to load: not a font"

dir=$(install_copy "$build" "$work" nobase)
rm "$dir/floor/base.jpg"
expect_error_box nobase "$dir" "floor textures failed to load" "floor textures failed to load: cannot read .*floor/base.jpg"

dir=$(install_copy "$build" "$work" pngnormal)
convert "$build/floor/normal.jpg" "png:$dir/floor/normal.jpg"
expect_error_box pngnormal "$dir" "floor textures failed to load" "floor/normal.jpg is not a JPEG"

# With no display at all no box can be shown: the terminal and the log still say what failed.
dir=$(install_copy "$build" "$work" nodisplay)
background env -u DISPLAY -u WAYLAND_DISPLAY "$dir/vornhalzanthery" > "$work/nodisplay-out.txt" 2> "$work/nodisplay-err.txt"
client_pid=$!
wait_for_exit "$client_pid" 100
status=$?
expect "no display: exit code 1 (got $status)" [ "$status" = 1 ]
expect "no display: the terminal says SDL_Init failed and why ($(head -c 200 "$work/nodisplay-err.txt"))" \
  grep -q 'start-up failed: SDL_Init (video): .' "$work/nodisplay-err.txt"
expect "no display: so does the log" grep -q 'start-up failed: SDL_Init (video): .' "$dir/vornhalzanthery.log"

# The next start keeps a failed run's log beside its own: started again where the floor map was
# missing, now with no display, the client logs the new failure and the old one survives.
dir="$work/nobase"
background env -u DISPLAY -u WAYLAND_DISPLAY "$dir/vornhalzanthery" > /dev/null 2>&1
wait_for_exit $! 100
expect "started again: the failed run's log is kept as vornhalzanthery.previous.log" \
  grep -q 'floor textures failed to load: cannot read .*floor/base.jpg' "$dir/vornhalzanthery.previous.log"
expect "started again: the new log holds this run's failure alone" \
  bash -c "grep -q 'start-up failed: SDL_Init' '$dir/vornhalzanthery.log' && ! grep -q 'floor textures' '$dir/vornhalzanthery.log'"

finish_test_run

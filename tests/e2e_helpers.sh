# Helpers shared by the end-to-end tests (sourced): counting checks, installation copies, waiting
# for the client, screenshots and the pointer. The sourcing script sets $screens and $window.

passed=0
failed=0

# The usual start of a played test (after start_virtual_display): a work folder, the screenshot
# folder in the build, and a list of started processes that are killed, like the display, however
# the script ends. Sets $work, $screens and $pids.
start_test_run() {
  work=$(mktemp -d)
  screens="$1/test-screens"
  mkdir -p "$screens"
  pids=()
  trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; kill $VZ_XVFB_PID 2>/dev/null; rm -rf "$work"' EXIT
}
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
expect() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }
is_true() { awk "BEGIN { exit !($1) }"; }
not() { ! "$@"; }

# An installation folder of its own: the executable copied (its folder is where it looks for assets
# and server.txt and writes its log), the libraries linked, the assets copied so a case may break
# them. install_copy <build folder> <work folder> <name> prints the folder.
install_copy() {
  local from=$1 dir="$2/$3"
  mkdir -p "$dir/floor"
  cp "$from/vornhalzanthery" "$dir/"
  for lib in "$from"/libSDL3.so* "$from"/libwebgpu_wrapper.so; do ln -s "$lib" "$dir/"; done
  cp "$from/coolvetica.otf" "$dir/"
  cp "$from"/floor/*.jpg "$dir/floor/"
  echo "$dir"
}

# Waits up to N tenths of a second for pid to end and returns its exit code; 124 (which no exit of
# the client gives) when it is still running.
wait_for_exit() {
  local pid=$1 tenths=$2
  for _ in $(seq 1 "$tenths"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then return 124; fi
  wait "$pid"
}

shoot() { import -window "$window" "$screens/$1.png" 2>/dev/null; echo "$screens/$1.png"; }
# Mean brightness of the left band, where the menus' panel darkens the picture.
left_band() { convert "$1" -crop 150x300+0+100 +repage -colorspace Gray -format '%[fx:mean*255]' info:; }
# The share of strongly coloured pixels: the avatars are the only saturated things in the room.
saturated_share() { convert "$1" -colorspace HSL -channel G -separate +channel -threshold 45% -format '%[fx:mean]' info:; }
# A press where a user would make it: the pointer first, then the button.
click_at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.3; xdotool click 1; }

# Helpers shared by the end-to-end tests (sourced): the run with its tally of checks and its one
# clean-up, installation copies, the client, the scripted presence peer's record, other processes,
# screenshots and the pointer. Each name means one thing in every script that sources this.
# Globals: $work, $screens and $pids (start_test_run), $client_pid, $window and $started
# (start_client), $passed and $failed.

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/xvfb.sh"

passed=0
failed=0

# --- The run --------------------------------------------------------------------------------------
# start_test_run <run name> <build folder> [<display geometry>]: a work folder, a list of started
# processes, and with a geometry a virtual display and the screenshot folder in the build. One exit
# trap kills the processes, stops the display if one was started and removes the work folder, however
# the script ends. The run name heads the tally that finish_test_run prints.
start_test_run() {
  test_run_name=$1
  if [ -n "${3:-}" ]; then
    screens="$2/test-screens"
    mkdir -p "$screens"
    start_virtual_display "$3" || exit 1
  fi
  work=$(mktemp -d)
  pids=()
  # Replaces the display's own trap, which would stop only the display.
  trap clean_up_test_run EXIT
}
clean_up_test_run() {
  local pid
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  stop_virtual_display
  rm -rf "$work"
}
# Prints the tally and ends the script: code 0 when no check failed, 1 otherwise.
finish_test_run() {
  echo "$test_run_name: $passed passed, $failed failed"
  exit $(( failed > 0 ))
}
# For a check that every later one depends on: fails it and ends the run at once.
abandon_test_run() {
  fail "$1"
  finish_test_run
}
# Runs a command in the background, to be killed when the run ends; $! is its process id.
background() { "$@" & pids+=($!); }

# --- Checks -----------------------------------------------------------------------------------------
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }
expect() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }
is_true() { awk "BEGIN { exit !($1) }"; }
not() { ! "$@"; }

# --- The client -------------------------------------------------------------------------------------
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

# start_client <installation> [NAME=value...]: starts its client with those variables set, waits up
# to 30 s for its window, moves the window to the display's corner (so screenshots hold all of it)
# and gives the title screen 1.5 s. Sets client_pid, window and started (ns); returns 1 when no
# window appeared.
start_client() {
  local dir=$1; shift
  started=$(date +%s%N)
  background env "$@" "$dir/vornhalzanthery"
  client_pid=$!
  window=$(wait_for_window '^Vornhal: Zanthery$' 30)
  [ -n "$window" ] || return 1
  xdotool windowmove "$window" 0 0
  sleep 1.5
}

# Waits up to N tenths of a second for pid to end and returns its exit code; 124 (which no exit of
# the client gives) when it is still running.
wait_for_exit() {
  local pid=$1 tenths=$2
  for _ in $(seq 1 "$tenths"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then return 124; fi
  wait "$pid"
}

# From play: Escape, then "Leave" on the pause screen, back on the title screen.
pause_and_leave() { xdotool key Escape; sleep 0.8; click_at 200 630; sleep 0.8; }

# frame_figure <client log> frames|median|longest: a figure of the frame line the client logs at
# exit (the median and the longest in ms); nothing when the log has no such line.
frame_figure() {
  local field
  case "$2" in frames) field=1 ;; median) field=2 ;; longest) field=3 ;; *) return 1 ;; esac
  sed -n "s/^frames: \([0-9]*\), median \([0-9.]*\) ms.*longest \([0-9.]*\) ms.*/\\$field/p" "$1"
}

# --- Servers of the test ------------------------------------------------------------------------------
# Waits up to 5 s for a server to write the port it listens on to the file, and prints the port.
wait_for_port() {
  for _ in $(seq 1 100); do [ -s "$1" ] && break; sleep 0.05; done
  cat "$1" 2>/dev/null
}

# The scripted presence peer (presence_peer.py) appends a line per datagram to <peer folder>/received;
# its line count is the test's clock. peer_line_count <peer folder>
peer_line_count() { wc -l < "$1/received"; }
# peer_lines_since <peer folder> <line count> [<line count>]: the lines after the first count, up to
# the second (when given) or now. An empty range is no lines (sed alone prints one for "N+1,N").
peer_lines_since() {
  if [ -z "${3:-}" ]; then tail -n +"$(( $2 + 1 ))" "$1/received"; elif [ "$3" -gt "$2" ]; then sed -n "$(( $2 + 1 )),$3p" "$1/received"; fi
}
# peer_count_since <peer folder> <line count> <type letter>: datagrams of that type since the count.
peer_count_since() { peer_lines_since "$1" "$2" | awk -v t="$3" '$2 == t' | wc -l; }

# --- Other processes ----------------------------------------------------------------------------------
# CPU time (user and system, in clock ticks) a process has used; 0 once it is gone.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
# A process's resident memory in kB.
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# --- Pictures and the pointer ---------------------------------------------------------------------
# shoot <name>: a screenshot of $window saved in $screens; prints its path.
shoot() { import -window "$window" "$screens/$1.png" 2>/dev/null; echo "$screens/$1.png"; }
picture_size() { identify -format '%wx%h' "$1"; }
# Mean brightness of the left band, where the menus' panel darkens the picture.
left_band() { convert "$1" -crop 150x300+0+100 +repage -colorspace Gray -format '%[fx:mean*255]' info:; }
# The share of strongly coloured pixels: the avatars are the only saturated things in the room.
saturated_share() { convert "$1" -colorspace HSL -channel G -separate +channel -threshold 45% -format '%[fx:mean]' info:; }
# A press where a user would make it: the pointer first, then the button.
click_at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.3; xdotool click 1; }
# One pixel's colour as "r g b".
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'; }
near() {  # near "r g b" "r g b": every channel within 6
  local a=($1) b=($2)
  [ ${#a[@]} = 3 ] && [ $(( (a[0]-b[0])**2 <= 36 && (a[1]-b[1])**2 <= 36 && (a[2]-b[2])**2 <= 36 )) = 1 ]
}
hover_fill="243 154 30"  # ButtonHoverFill (0.953, 0.604, 0.118)
# hovers_at <x> <y> <pixel x> <pixel y> <name>: moves the pointer to (x, y) of $window and reports
# whether the pixel shows the hover fill a frame later, in the screenshot <name>. Only a frame the
# client drew after the move, laid out for the window's present size, can show it.
hovers_at() {
  local x=$1 y=$2 px=$3 py=$4 name=$5
  xdotool mousemove --window "$window" "$x" "$y"
  sleep 0.4
  near "$(pixel "$(shoot "$name")" "$px" "$py")" "$hover_fill"
}

# Helpers for running the client under a virtual X server (sourced by tests/e2e_helpers.sh, the
# bench, scripts/play.sh and scripts/test_windows.sh).

# Starts Xvfb on a free display number and exports DISPLAY; it is stopped when the shell exits
# (a script with an exit trap of its own calls stop_virtual_display from it).
start_virtual_display() {
  local geometry=$1 number
  for number in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    # -noreset: by default the server resets when its last client leaves, and a client connecting
    # during the reset is refused ("No available video device" from SDL), which tests that start
    # one client after another would hit now and then.
    Xvfb ":$number" -screen 0 "$geometry" -nolisten tcp -noreset >/dev/null 2>&1 &
    VZ_XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$number" ] && break
      sleep 0.1
    done
    if kill -0 $VZ_XVFB_PID 2>/dev/null; then
      export DISPLAY=":$number"
      trap stop_virtual_display EXIT
      return 0
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Stops the display start_virtual_display started, if any; returns 0 either way.
stop_virtual_display() {
  if [ -n "${VZ_XVFB_PID:-}" ]; then kill "$VZ_XVFB_PID" 2>/dev/null; fi
  VZ_XVFB_PID=""
  return 0
}

# Prints the id of the first window whose name matches the pattern, waiting up to N seconds.
wait_for_window() {
  local pattern=$1 seconds=$2 id
  for _ in $(seq 1 $((seconds * 10))); do
    id=$(xdotool search --name "$pattern" 2>/dev/null | head -n 1) || true
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

#!/usr/bin/env bash
# The whole client played as a user plays it, under Xvfb with a real presence server and bots on
# loopback: the title screen's buttons where their boxes lie, "Play" joining the server named by
# "server.txt", other players drawn, Escape and focus loss pausing, "Leave" saying Bye, "Quit"
# ending the client. With a second build whose maker host is a test HTTPS server on loopback, the
# "Update" button appears and opens the release page in the browser.
# Usage: play_end_to_end.sh <build folder> [<build folder whose maker host is 127.0.0.1:PORT>]
set -uo pipefail
build=$(cd "$1" && pwd)
update_build=${2:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tests/e2e_helpers.sh"
start_test_run "play end to end" "$build" 1600x1000x24
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost


# The share of light pixels where the title screen's first heading ("Vornhal:") lies at 1280x720;
# the pause screen's one heading lies lower, so there it covers only the darkened room.
title_heading_share() { convert "$1" -crop 270x60+64+430 +repage -colorspace Gray -threshold 70% -format '%[fx:mean]' info:; }
# label_beyond_play <picture> <y>: the share of dark (label) pixels in the lit button at y, right of
# where "Play" ends; a longer label such as "Update" reaches there.
label_beyond_play() {
  convert "$1" -crop 60x30+135+$(( $2 - 15 )) +repage -colorspace Gray -negate -threshold 60% -format '%[fx:mean]' info:
}

# --- A presence server and three bots on a loopback port of this test's own ----------------------
port=$(( 30000 + $$ % 20000 ))
background "$build/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/server.log" 2>&1
sleep 0.3
background "$build/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 3 > "$work/bots.log" 2>&1
bots=$!

dir=$(install_copy "$build" "$work" play)
printf '\xEF\xBB\xBF 127.0.0.1 :\r\n%s\r\n' "$port" > "$dir/server.txt"  # as a text editor may save it
start_client "$dir" || abandon_test_run "the client's window appears"
sleep 0.5  # two seconds on the title screen in all before its first picture

# The title screen at 1280 x 720: "Play" spans x 64 to 444 and y 569.36 to 609.28, "Quit" y 612.28
# to 652.2. The pixel checked lies right of the label, inside the box.
title=$(shoot title)
expect "the title screen darkens the left of the picture" is_true "$(left_band "$title") < 60"
expect "no button is filled while the pointer is away" not near "$(pixel "$title" 400 590)" "$hover_fill"
while IFS='|' read -r x y px py inside name; do
  if hovers_at "$x" "$y" "$px" "$py" "hover-$name"; then got=1; else got=0; fi
  expect "pointer at ($x, $y): $name $([ "$inside" = 1 ] && echo hovers || echo does not hover)" [ "$got" = "$inside" ]
done <<'CASES'
64|590|400|590|1|play-left-edge
63|590|400|590|0|play-left-of-box
443|590|400|590|1|play-right-edge
444|590|400|590|0|play-right-of-box
200|570|400|590|1|play-top-row
200|569|400|590|0|play-above-box
200|609|400|590|1|play-bottom-row
200|610|400|590|0|play-gap-below
200|613|400|640|1|quit-top-row
200|653|400|640|0|quit-below-box
CASES

# "Play": the room from the spawn point, no menu, the mouse captured, and the server hears us.
joined_before=$(grep -c ' joined ' "$work/server.log")
click_at 200 590
sleep 2
playing=$(shoot playing)
expect "after Play no menu is drawn (left band $(left_band "$playing"))" is_true "$(left_band "$playing") > $(left_band "$title") + 10"
joined_after=$(grep -c ' joined ' "$work/server.log")
expect "Play joins the server named by server.txt ($joined_before then $joined_after joins)" [ "$joined_after" -gt "$joined_before" ]
seen=0
for i in 1 2 3 4 5 6 7 8; do
  share=$(saturated_share "$(shoot "others-$i")")
  if is_true "$share > 0.0005"; then seen=1; break; fi
  sleep 0.7
done
expect "other players appear as coloured capsules (saturated share $share)" [ "$seen" = 1 ]

# Walking: W held for a second moves the eye, so the picture changes. The bots walking would change
# it too, so they are stopped meanwhile (for less than the server's 5 s of silence) and their
# capsules given time to settle where they stand.
kill -STOP "$bots"
sleep 0.6
before=$(shoot before-walk)
xdotool keydown w; sleep 1; xdotool keyup w
sleep 0.3
after=$(shoot after-walk)
kill -CONT "$bots"
difference=$(compare -metric RMSE "$before" "$after" null: 2>&1 | sed 's/ .*//')
expect "holding W walks (picture difference $difference, the bots stopped)" is_true "$difference > 500"

# Escape pauses; the pause screen's "Resume" and "Leave" take the places of "Play" and "Quit".
xdotool key Escape
sleep 0.8
paused=$(shoot paused)
expect "Escape shows the pause screen" is_true "$(left_band "$paused") < 60"
expect "the pause screen offers Resume where Play was" hovers_at 200 590 400 590 hover-resume
click_at 200 590
sleep 0.8
expect "Resume returns to play" is_true "$(left_band "$(shoot resumed)") > 60"

# Losing focus pauses too: another window takes it.
background xmessage -name focus-thief -geometry 200x50+1400+900 "focus"
thief=$!
sleep 0.8
thief_window=$(xdotool search --name '^focus-thief$' | head -n 1)
[ -n "$thief_window" ] && xdotool windowfocus --sync "$thief_window" 2>/dev/null
sleep 0.8
expect "losing focus shows the pause screen" is_true "$(left_band "$(shoot focus-lost)") < 60"
kill "$thief" 2>/dev/null

# "Leave": Bye to the server, back to the title screen.
left_before=$(grep -c ' left ' "$work/server.log")
xdotool windowfocus --sync "$window" 2>/dev/null
click_at 200 630
sleep 1
# "Play" lies where "Resume" lay, so the headings tell the title screen from the pause screen.
if hovers_at 200 590 400 590 hover-title-again; then play_lit=1; else play_lit=0; fi
heading=$(title_heading_share "$screens/hover-title-again.png")
expect "Leave returns to the title screen (Play lit $play_lit, its heading's light share $heading)" \
  is_true "$play_lit && $heading > 0.1"
left_after=$(grep -c ' left ' "$work/server.log")
expect "Leave says Bye: the server sees the player leave at once" [ "$left_after" -gt "$left_before" ]

# "Quit" ends the client cleanly.
click_at 200 630
wait_for_exit "$client_pid" 30
status=$?
expect "Quit ends the client with code 0 (got $status)" [ "$status" = 0 ]
errors=$(grep -c '^wgpu:' "$dir/vornhalzanthery.log")
expect "the log holds no wgpu: line (found $errors)" [ "$errors" = 0 ]

# --- Two real clients against one server see each other -------------------------------------------
# The first turns about with the mouse (look does not depend on the frame rate) until the other
# stands in its view, as a coloured capsule.
two_port=$(( port + 1 ))
background "$build/vornhalzanthery-server" --bind 127.0.0.1 --port "$two_port" > "$work/two-server.log" 2>&1
sleep 0.3
first=$(install_copy "$build" "$work" first)
second=$(install_copy "$build" "$work" second)
echo "127.0.0.1:$two_port" > "$first/server.txt"
echo "127.0.0.1:$two_port" > "$second/server.txt"
background "$second/vornhalzanthery"
second_pid=$!
second_window=$(wait_for_window '^Vornhal: Zanthery$' 30)
xdotool windowmove "$second_window" 700 420  # clear of most of the first
window=$second_window
sleep 1.5
click_at 200 590
background "$first/vornhalzanthery"
first_pid=$!
for _ in $(seq 1 300); do
  first_window=$(xdotool search --name '^Vornhal: Zanthery$' | grep -vx "$second_window" | head -n 1)
  [ -n "$first_window" ] && break
  sleep 0.1
done
xdotool windowmove "$first_window" 0 0
window=$first_window
sleep 1.5
click_at 200 590
sleep 1.5
seen_other=0
for turn in $(seq 1 16); do
  # Only the part left of the second's window.
  convert "$(shoot "first-looks-$turn")" -crop 690x720+0+0 +repage "$work/look.png"
  share=$(saturated_share "$work/look.png")
  if is_true "$share > 0.0005"; then seen_other=1; break; fi
  xdotool mousemove_relative -- 180 0  # about 23 degrees to the right
  sleep 0.5
done
expect "two clients join one server ($(grep -c ' joined ' "$work/two-server.log") joins)" [ "$(grep -c ' joined ' "$work/two-server.log")" = 2 ]
expect "the first sees the second as a capsule (coloured share $share after $turn looks)" [ "$seen_other" = 1 ]
kill -TERM "$first_pid" "$second_pid"
wait_for_exit "$first_pid" 30
wait_for_exit "$second_pid" 30

# --- "Update", with a build whose maker host is a test server on loopback -----------------------
# The server serves the maker host's files as the release command writes them: this release's own
# version.txt first, then the next release's.
if [ -n "$update_build" ]; then
  update_build=$(cd "$update_build" && pwd)
  maker=$(cat "$update_build/maker-host.txt")
  maker_port=${maker##*:}
  source "$root/scripts/versions.sh"
  release=$(vz_release_number)
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
    -keyout "$work/key.pem" -out "$update_build/test-ca.pem" >/dev/null 2>&1
  # A browser that only records what it was asked to open.
  mkdir -p "$work/bin"
  printf '#!/bin/sh\necho "$@" >> "%s"\n' "$work/opened" > "$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"
  dir=$(install_copy "$update_build" "$work" update)
  # serve_release <number>: the maker host's files of that release, written by the release command's
  # own writer, served on the build's maker port.
  serve_release() {
    [ -n "${maker_pid:-}" ] && { kill "$maker_pid"; wait "$maker_pid" 2>/dev/null; }
    rm -rf "$work/site" "$work/maker-port"; : > "$work/requests"
    bash "$root/scripts/release_site.sh" "$work/site" "$1"
    background python3 "$root/tests/https_test_server.py" "$update_build/test-ca.pem" "$work/key.pem" "$work/maker-port" \
      "$work/requests" site "$work/site" "$maker_port"
    maker_pid=$!
    wait_for_port "$work/maker-port" >/dev/null
  }

  serve_release "$release"
  start_client "$dir" PATH="$work/bin:$PATH"
  sleep 1.5
  expect "the update check asked for version.txt" grep -q '^/games/vornhalzanthery/version.txt|VornhalZanthery$' "$work/requests"
  hovers_at 200 590 400 590 hover-same-release
  beyond=$(label_beyond_play "$screens/hover-same-release.png" 590)
  expect "this release's own version.txt gives no Update: Play keeps its place (label beyond Play's end $beyond)" \
    is_true "$beyond < 0.02"
  click_at 200 640
  wait_for_exit "$client_pid" 30

  serve_release "$(( release + 1 ))"
  start_client "$dir" PATH="$work/bin:$PATH"
  sleep 1.5
  # Play's place lights up under the pointer with or without an update: the label tells them apart.
  if hovers_at 200 590 400 590 hover-update; then update_lit=1; else update_lit=0; fi
  beyond=$(label_beyond_play "$screens/hover-update.png" 590)
  expect "the next release's version.txt gives Update in Play's place (lit $update_lit, label beyond Play's end $beyond)" \
    is_true "$update_lit && $beyond > 0.05"
  expect "and Play moves up one pitch" hovers_at 200 547 400 547 hover-play-raised
  expect "Quit stays where it was" hovers_at 200 640 400 640 hover-quit-update
  click_at 200 590
  sleep 1.5
  expect "Update opens the release page (opened: $(cat "$work/opened" 2>/dev/null))" \
    grep -qx "https://$maker/vornhalzanthery.html" "$work/opened"
  expect "the maker host serves that page, naming the release" \
    grep -q "release $(( release + 1 ))" <<< "$(python3 -c 'import ssl, sys, urllib.request
print(urllib.request.urlopen(sys.argv[1], context=ssl.create_default_context(cafile=sys.argv[2])).read().decode())' \
      "$(cat "$work/opened")" "$update_build/test-ca.pem")"
  expect "Update changes no state: the title screen stays" hovers_at 200 640 400 640 hover-quit-after-update
  click_at 200 640
  wait_for_exit "$client_pid" 30
  expect "Quit after Update ends with code 0" [ "$?" = 0 ]
fi

finish_test_run

#!/usr/bin/env bash
# The Windows stage of the tests: cross-builds if needed, proves our WebGPU declarations fit the
# Windows Dawn DLL, runs the Windows unit, network and GPU tests under Wine (the GPU tests on Dawn's
# Null backend), mixes Windows and Linux servers and bots on loopback, runs the update check through
# WinHTTP against an HTTPS server on loopback, plays the client's frame loop on Dawn's Null adapter
# through a test build, checks the zip, and starts the client from the unpacked zip under Wine,
# where no adapter draws: it must show its fatal box, name the failing WebGPU step in its log and
# exit with code 1, in bounded time.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"
build="$root/build/windows"
wine=/usr/lib/wine/wine64

started=$(date +%s)
mkdir -p "$root/build"
if ! bash "$here/build_windows.sh" > "$root/build/windows-build.log" 2>&1; then
  tail -n 40 "$root/build/windows-build.log"
  echo "FAILED: the Windows cross build (log: build/windows-build.log)"
  exit 1
fi
echo "windows: cross build ready in $(( $(date +%s) - started ))s"
# The Linux library's describing package, for the declaration check.
bash -c "source '$here/setup.sh' && mkdir -p \"\$VZ_CACHE\" && fetch_dawn"

passed=0
failed=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1"; failed=$((failed + 1)); }

# Wine keeps its own Windows folder per prefix; this one belongs to these tests and is kept between
# runs, since making it takes a while. Its server is stopped when the tests end.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
work=$(mktemp -d)
cleanup() {
  "$(dirname "$wine")/wineserver" -k 2>/dev/null
  [ -n "${VZ_XVFB_PID:-}" ] && kill "$VZ_XVFB_PID" 2>/dev/null
  rm -rf "$work"
}
# Every Wine program here shares one Wine server, whose desktop takes the display it first saw: the
# virtual display comes up before the first of them.
source "$here/xvfb.sh"
start_virtual_display 1280x800x24 >/dev/null || { echo "FAILED: Xvfb did not start"; exit 1; }
trap cleanup EXIT
"$(dirname "$wine")/wineserver" -k 2>/dev/null

if bash "$root/tests/dawn_windows_declarations.sh" "$VZ_CACHE/dawn-$DAWN_NPM_VERSION/describe/index.js" \
     "$VZ_CACHE/dawn-win-$DAWN_WIN_NPM_VERSION/describe/index.js" "$root/render/webgpu_dawn.h" \
     "$build/webgpu_wrapper.dll"; then
  pass "our declarations fit Dawn $DAWN_WIN_NPM_VERSION's Windows DLL"
else
  fail "our declarations fit Dawn $DAWN_WIN_NPM_VERSION's Windows DLL"
fi

# A GUI program: Windows opens no console window beside it.
subsystem=$(x86_64-w64-mingw32-objdump -p "$build/vornhalzanthery.exe" | sed -n 's/^Subsystem\s*//p')
if [ "${subsystem%%[[:space:]]*}" = 00000002 ]; then
  pass "vornhalzanthery.exe is a Windows GUI program"
else
  fail "vornhalzanthery.exe is not a Windows GUI program"
fi

# The pure tests link no device library on Windows either. Every Windows program imports KERNEL32:
# a list without it was never read (a missing file, or not a program), and proves nothing.
pure_imports=$(x86_64-w64-mingw32-objdump -p "$build/vz_pure_tests.exe" 2>/dev/null | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
case "$pure_imports" in
  *SDL3.dll*|*webgpu_wrapper.dll*) fail "vz_pure_tests.exe imports a device library: $pure_imports" ;;
  *KERNEL32.dll*) pass "vz_pure_tests.exe imports no SDL3 or WebGPU (it imports ${pure_imports% })" ;;
  *) fail "vz_pure_tests.exe's imports could not be read (${pure_imports:-none found})" ;;
esac

# Every test executable the project builds (the unit tests and the Null-backend GPU tests among
# them), as ctest runs them on Linux.
for tests in vz_pure_tests vz_net_tests vz_client_tests; do
  [ -f "$build/$tests.exe" ] || fail "$tests.exe was not built"
done
for executable in "$build"/vz_*_tests.exe; do
  tests=$(basename "$executable" .exe)
  (cd "$build" && timeout 300 "$wine" "$tests.exe" --gtest_brief=1 --gtest_shuffle --gtest_repeat=2) > "$work/$tests.log" 2>&1
  result=$?
  # gtest says "1 test from 1 test suite" in the singular; a program that ran no test passes nothing.
  count=$(grep -o '[0-9]* tests\? from [0-9]* test suites\?' "$work/$tests.log" | head -n 1)
  if [ $result -eq 0 ] && grep -q '\[  PASSED  \]' "$work/$tests.log" && [ "${count%% *}" -gt 0 ] 2>/dev/null; then
    pass "$tests.exe under Wine: $count"
  else
    grep -v '^wgpu:\|^ - \|^$' "$work/$tests.log" | tail -n 40
    fail "$tests.exe under Wine (exit code $result)"
  fi
done

# Windows programs and Linux programs together on loopback, with the Linux server, bots and client
# built for this machine in a folder of this stage's own.
peers="$root/build/windows-linux-peers"
if cmake -S "$root" -B "$peers" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$VZ_CACHE/sdl3-$SDL3_VERSION" \
     -DVZ_DAWN_DIR="$VZ_CACHE/dawn-$DAWN_NPM_VERSION/lib" -DVZ_STB_INCLUDE_DIR="$VZ_CACHE/stb-$STB_DEBIAN_VERSION/include" \
     -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF > "$work/peers.log" 2>&1 &&
   cmake --build "$peers" --parallel 2 --target vornhalzanthery-server vornhalzanthery-bots vornhalzanthery \
     >> "$work/peers.log" 2>&1; then
  if bash "$root/tests/windows_mixed_platforms.sh" "$build" "$peers" > "$work/mixed.log" 2>&1; then
    sed 's/^/  /' "$work/mixed.log"
    pass "Windows and Linux programs together: $(grep -c '^ok:' "$work/mixed.log") checks"
  else
    cat "$work/mixed.log"
    fail "Windows and Linux programs together"
  fi
else
  tail -n 20 "$work/peers.log"
  fail "the Linux server and bots for the mixed runs did not build"
fi

# The update check through WinHTTP under Wine against an HTTPS server on loopback.
if bash "$root/tests/update_check_windows_test.sh" "$build" > "$work/update.log" 2>&1; then
  sed 's/^/  /' "$work/update.log"
  pass "the update check through WinHTTP under Wine: $(grep -c '^ok:' "$work/update.log") checks"
else
  cat "$work/update.log"
  fail "the update check through WinHTTP under Wine"
fi

# The client's frame loop played across platforms: the Windows client (its Null-adapter test build,
# as Wine offers no adapter that draws) with the Linux server, and the Linux client with the Windows
# server.
for mode in "" --linux-client; do
  if [ -f "$peers/vornhalzanthery" ] &&
     bash "$root/tests/windows_frame_loop_test.sh" "$build" "$peers" $mode > "$work/frame-loop.log" 2>&1; then
    grep -v 'XGetInputFocus' "$work/frame-loop.log" | sed 's/^/  /'
    pass "$(sed -n 's/^frame loop, \(.*\): .* passed.*/\1/p' "$work/frame-loop.log"): $(grep -c '^ok:' "$work/frame-loop.log") checks"
  else
    grep -v 'XGetInputFocus' "$work/frame-loop.log"
    fail "the client's frame loop ${mode:-under Wine}"
  fi
done

# The zip holds everything the client loads: unpacked alone, it must start. The MinGW runtime is
# linked into each program, so no MinGW DLL ships and none is imported.
expected=(vornhalzanthery.exe vornhalzanthery-server.exe vornhalzanthery-bots.exe SDL3.dll webgpu_wrapper.dll
          coolvetica.otf floor/base.jpg floor/normal.jpg floor/orm.jpg README.txt settings.txt THIRD-PARTY-NOTICES.txt)
unzip -q "$build/vornhalzanthery-windows.zip" -d "$work"
install="$work/vornhalzanthery"
missing=""
for file in "${expected[@]}"; do [ -f "$install/$file" ] || missing="$missing $file"; done
if [ -z "$missing" ]; then pass "the zip holds the client, the server, the bots, their libraries, font, floor maps and readme"
else fail "the zip lacks:$missing"; fi
# The readme tells a user how to host and join (the server program, its port, the firewall's
# question and "server.txt") and the first run's facts (a folder of their own, SmartScreen, the
# runtime Dawn needs, settings).
unanswered=""
for phrase in vornhalzanthery-server.exe 'UDP port 27420' Firewall server.txt Escape 'Program Files' 'Run anyway' \
              'Visual C++ Redistributable for Visual Studio 2015-2022 (x64)' settings.txt F11; do
  grep -q "$phrase" "$install/README.txt" 2>/dev/null || unanswered="$unanswered '$phrase'"
done
if [ -z "$unanswered" ]; then pass "the zip's readme names the server program, its port, the firewall, server.txt and the first run's facts"
else fail "the zip's readme does not mention:$unanswered"; fi
mingw_runtime='libstdc++-6.dll\|libgcc_s_seh-1.dll\|libwinpthread-1.dll'
runtime_users=""
for file in "$install"/*.exe "$install"/*.dll "$build"/*.exe; do
  # Read whole before the search: a search that stops at its first match would end objdump by SIGPIPE.
  imports=$(x86_64-w64-mingw32-objdump -p "$file") || { runtime_users="$runtime_users $(basename "$file") (unreadable)"; continue; }
  grep -qi "DLL Name: \($mingw_runtime\)" <<<"$imports" && runtime_users="$runtime_users $(basename "$file")"
done
shipped_runtime=$(cd "$install" && ls | grep -i "^\($mingw_runtime\)$" | tr '\n' ' ')
if [ -z "$runtime_users$shipped_runtime" ]; then
  pass "no program imports a MinGW runtime DLL and the zip ships none ($(( $(stat -c %s "$build/vornhalzanthery-windows.zip") / 1024 )) KB)"
else
  fail "MinGW runtime DLLs imported by:$runtime_users; shipped: $shipped_runtime"
fi

# The client under Wine with a display but no adapter that draws. Once the log shows the failure,
# the error box is found and answered with Return; the whole run is bounded.
# The box: a shown window of the client's title, the size of a message box (not the 1280x720 game
# window), that holds the red error icon. Prints its id, size and the icon's share of the box.
fatal_box() {
  local window size red
  for window in $(xdotool search --onlyvisible --name '^Vornhal: Zanthery$' 2>/dev/null); do
    size=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: //p')
    [ "${size%x*}" -ge 120 ] 2>/dev/null && [ "${size%x*}" -le 800 ] && [ "${size#*x}" -ge 60 ] &&
      [ "${size#*x}" -le 400 ] || continue
    import -window "$window" "$work/box.png" 2>/dev/null || continue
    red=$(convert "$work/box.png" -fx '(r > 0.7 && g < 0.3 && b < 0.3) ? 1 : 0' -format '%[fx:mean]' info:)
    awk -v red="$red" 'BEGIN { exit !(red > 0.005) }' && { echo "$window $size $red"; return 0; }
  done
  return 1
}
(cd "$install" && exec "$wine" vornhalzanthery.exe) > "$work/client.out" 2>&1 &
client=$!
log="$install/vornhalzanthery.log"
box=""
deadline=$(( $(date +%s) + 60 ))
while kill -0 $client 2>/dev/null && [ "$(date +%s)" -lt $deadline ]; do
  if grep -q 'WebGPU start failed' "$log" 2>/dev/null; then
    [ -n "$box" ] || box=$(fatal_box)
    [ -n "$box" ] && xdotool key --window "${box%% *}" Return 2>/dev/null
  fi
  sleep 0.5
done
if [ -n "$box" ]; then pass "the client under Wine shows its fatal box (window size and red icon's share: ${box#* })"
else fail "the client under Wine showed no fatal box"; fi
if kill -0 $client 2>/dev/null; then
  kill -9 $client 2>/dev/null
  fail "the client under Wine was still running after 60 s"
fi
wait $client
code=$?
if [ $code -eq 1 ]; then pass "the client under Wine exits with code 1 when no adapter draws"
else fail "the client under Wine exited with code $code, not 1"; fi
step=$(grep -o 'WebGPU start failed: [a-z]*: .*' "$log" 2>/dev/null | head -n 1 | tr -d '\r')
requests=$(tr -d '\r' < "$log" 2>/dev/null | sed -n 's/^adapter request: //p' | paste -sd ';' -)
asked='any backend at the default feature level: [^;]*;D3D11 backend at the compatibility feature level: [^;]*'
if [ -n "$step" ] && grep -qx "$asked" <<< "$requests"; then pass "its log names the failing step: $step (after the adapter requests: $requests)"
else fail "its log names no failing WebGPU step (${step:-none}) after the default and D3D11 adapter requests (${requests:-none logged})"; fi

echo "windows: $passed passed, $failed failed, $(( $(date +%s) - started ))s in all"
[ $failed -eq 0 ]

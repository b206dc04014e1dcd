#!/usr/bin/env bash
# What a stranger takes, checked where they would unpack it: the repository's notices are the ones
# the packages' own licence files make; the Linux tarball runs from an empty folder (client, server
# and bots play together) and loads nothing from the build tree or the set-up cache; the server's
# Debian package holds what it should, passes lintian and systemd-analyze, and serves from a scratch
# root; the Windows zip ships nothing its notices do not cover.
# Usage: release_test.sh <build folder> [<Windows zip>]
set -uo pipefail
build=$(cd "$1" && pwd)
zip=${2:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$root/scripts/versions.sh"
source "$here/e2e_helpers.sh"
start_test_run "release" "$build" 1280x800x24
release=$(vz_release_number)
notices() { python3 "$root/scripts/notices.py" "$@"; }

# --- Notices ----------------------------------------------------------------------------------------
notices write repository "$work/repository-notices.txt"
expect "THIRD-PARTY-NOTICES.txt is what the components' packages make (notices.py write repository)" \
  cmp -s "$work/repository-notices.txt" "$root/THIRD-PARTY-NOTICES.txt"

# Nothing in this list may reach the programs once unpacked.
forbidden="$root/|$VZ_CACHE/"
# loads_only_own <pid> <folder>: every file the process maps is the system's or the folder's.
loads_only_own() {
  local stray; stray=$(awk '$6 ~ /^\// { print $6 }' "/proc/$1/maps" | sort -u | grep -E "^($forbidden)")
  [ -z "$stray" ] || { echo "  maps $stray"; return 1; }
}
joins() { grep -c ' joined ' "$1"; }

# --- The Linux tarball ------------------------------------------------------------------------------
bash "$root/scripts/pack_linux.sh" "$build" "$work/dist" > /dev/null || abandon_test_run "pack_linux.sh failed"
tarball="$work/dist/vornhalzanthery-$release-linux-x86_64.tar.gz"
mkdir "$work/home"
tar -xzf "$tarball" -C "$work/home"
dir="$work/home/vornhalzanthery-$release-linux-x86_64"
expect "the tarball holds one folder named by the release" [ "$(ls "$work/home")" = "$(basename "$dir")" ]
expect "its notices cover every file it ships" notices check linux "$dir"
for program in vornhalzanthery vornhalzanthery-server vornhalzanthery-bots; do
  resolved=$(ldd "$dir/$program" | awk '/=>/ { print $3 }')
  expect "ldd: $program loads nothing from the build tree or the cache" not grep -qE "^($forbidden)" <<< "$resolved"
done
expect "ldd: the client's SDL3 and Dawn are the tarball's own" \
  [ "$(ldd "$dir/vornhalzanthery" | grep -cE "=> $dir/lib(SDL3\.so\.0|webgpu_wrapper\.so) ")" = 2 ]

port=$(( 27600 + RANDOM % 300 ))
background "$dir/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/tar-server.log"
server_pid=$!
background "$dir/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 2 > /dev/null
bots_pid=$!
printf '127.0.0.1:%s\n' "$port" > "$dir/server.txt"
start_client "$dir" || abandon_test_run "the unpacked client showed no window"
click_at 200 590
sleep 3
expect "unpacked: client and two bots join the unpacked server ($(joins "$work/tar-server.log") joins)" \
  [ "$(joins "$work/tar-server.log")" = 3 ]
for pid in "$client_pid" "$server_pid" "$bots_pid"; do
  expect "unpacked: $(tr '\0' ' ' < "/proc/$pid/cmdline" | cut -d' ' -f1 | xargs basename) maps nothing from the build tree or the cache" \
    loads_only_own "$pid"
done
kill -TERM "$client_pid" "$bots_pid" "$server_pid"
wait_for_exit "$client_pid" 30

# --- The server's Debian package ------------------------------------------------------------------
bash "$root/scripts/build_server.sh" "$root/build/server" > /dev/null || abandon_test_run "build_server.sh failed"
bash "$root/scripts/pack_server_deb.sh" "$root/build/server" "$work/dist" > /dev/null || abandon_test_run "pack_server_deb.sh failed"
deb="$work/dist/vornhalzanthery-server_${release}_amd64.deb"
field() { dpkg-deb -f "$deb" "$1"; }
# field | expected (an extended regular expression over the whole value)
fields=(
  "Package|vornhalzanthery-server"
  "Version|$release"
  "Architecture|amd64"
  "Depends|((libc6|libgcc-s1|libstdc\+\+6) \([^)]*\)(, )?)+"
)
for entry in "${fields[@]}"; do
  IFS='|' read -r name pattern <<< "$entry"
  expect "package: $name is $(field "$name")" grep -qxE -- "$pattern" <<< "$(field "$name")"
done
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort > "$work/deb-files"
printf '%s\n' lib/systemd/system/vornhalzanthery-server.service lib/systemd/system/vornhalzanthery-server@.service \
  usr/bin/vornhalzanthery-server usr/share/doc/vornhalzanthery-server/THIRD-PARTY-NOTICES.txt \
  usr/share/doc/vornhalzanthery-server/changelog.gz usr/share/doc/vornhalzanthery-server/copyright \
  usr/share/man/man1/vornhalzanthery-server.1.gz | sort > "$work/deb-expected"
expect "package: holds the program, both units, its notices and its manual page" cmp -s "$work/deb-files" "$work/deb-expected"
lintian_said=$(cd "$work" && lintian --fail-on error "$deb" 2>/dev/null)
expect "package: lintian reports no error ($(grep -c '^E:' <<< "$lintian_said") errors)" not grep -q '^E:' <<< "$lintian_said"
scratch="$work/scratch-root"
dpkg -x "$deb" "$scratch"
expect "package: its notices cover everything it installs" notices check server-deb "$scratch"
# The system's own units beside the package's, as on a host (sysinit.target and the rest), without
# replacing any of the package's.
cp -rn /lib/systemd/system/. "$scratch/lib/systemd/system/"
for unit in vornhalzanthery-server.service vornhalzanthery-server@27421.service; do
  said=$(systemd-analyze verify --root="$scratch" "$unit" 2>&1)
  expect "package: systemd-analyze verify passes on the installed $unit${said:+ ($said)}" [ -z "$said" ]
done
port=$(( port + 1 ))
background "$scratch/usr/bin/vornhalzanthery-server" --bind 127.0.0.1 --port "$port" > "$work/deb-server.log"
server_pid=$!
background "$dir/vornhalzanthery-bots" --server "127.0.0.1:$port" --count 2 > /dev/null
bots_pid=$!
sleep 2
expect "package: its server serves two bots from the scratch root ($(joins "$work/deb-server.log") joins)" \
  [ "$(joins "$work/deb-server.log")" = 2 ]
expect "package: that server maps nothing from the build tree or the cache" loads_only_own "$server_pid"
kill -TERM "$bots_pid" "$server_pid"

# --- The Windows zip ----------------------------------------------------------------------------------
if [ -n "$zip" ]; then
  mkdir "$work/zip"
  unzip -q "$zip" -d "$work/zip"
  expect "zip: its notices cover every file it ships" notices check windows "$work/zip/vornhalzanthery"
fi

finish_test_run

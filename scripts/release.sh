#!/usr/bin/env bash
# Cuts a release: builds in Release and writes dist/ (or --out FOLDER):
#   vornhalzanthery-<release>-windows-x86_64.zip   the Windows client, server and bots
#   vornhalzanthery-<release>-linux-x86_64.tar.gz  the Linux client, server and bots with their libraries
#   vornhalzanthery-server_<release>_amd64.deb     the presence server alone, as a service
#   site/                                          the maker host's version.txt and release page
#   SHA256SUMS
# The release number is the client's built-in one; the maker host is where this release's clients
# look for a newer one. Installs what it needs, like the other scripts.
# Usage: bash scripts/release.sh --maker-host HOST [--out FOLDER]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"

host="" out="$root/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --maker-host) host=${2:-}; shift 2 || shift;;
    --out) out=${2:?--out needs a folder}; shift 2;;
    *) echo "release: unknown argument $1 (usage: release.sh --maker-host HOST [--out FOLDER])" >&2; exit 2;;
  esac
done
bare=${host%%:*}
if [ -z "$host" ] || [ "${bare%.invalid}" != "$bare" ] || [ "$bare" = invalid ]; then
  echo "release: name the maker's web host with --maker-host, such as --maker-host games.example.org:" >&2
  echo "release: the host that will serve /games/vornhalzanthery/version.txt and /vornhalzanthery.html over" >&2
  echo "release: HTTPS. A name under .invalid never resolves, so its clients could never see an update." >&2
  exit 2
fi
release=$(vz_release_number)
export VZ_PACKAGE_MAINTAINER="Vornhal Zanthery makers <makers@$bare>"
echo "release: cutting release $release for maker host $host into $out"
rm -rf "$out"
mkdir -p "$out"

bash "$here/build.sh" "$root/build/dist-linux" -DCMAKE_BUILD_TYPE=Release -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF \
  -DVZ_SANITIZE=OFF -DVZ_MAKER_HOST="$host" -DVZ_MAKER_CA_FILE=
bash "$here/pack_linux.sh" "$root/build/dist-linux" "$out"

bash "$here/build_server.sh" "$root/build/dist-server" -DCMAKE_BUILD_TYPE=Release -DVZ_TESTS=OFF
bash "$here/pack_server_deb.sh" "$root/build/dist-server" "$out"

VZ_WINDOWS_BUILD="$root/build/dist-windows" bash "$here/build_windows.sh" -DVZ_TESTS=OFF -DVZ_MAKER_HOST="$host" \
  -DVZ_MAKER_CA_FILE=
cp "$root/build/dist-windows/vornhalzanthery-windows.zip" "$out/vornhalzanthery-$release-windows-x86_64.zip"

artefacts=("$out"/*.zip "$out"/*.tar.gz "$out"/*.deb)
bash "$here/release_site.sh" "$out/site" "$release" "${artefacts[@]}"
(cd "$out" && sha256sum -- *.zip *.tar.gz *.deb site/games/vornhalzanthery/version.txt site/vornhalzanthery.html > SHA256SUMS)
echo "release: $release written to $out"
(cd "$out" && du -k -- *.zip *.tar.gz *.deb | awk '{ printf "release:   %6d KB  %s\n", $1, $2 }')

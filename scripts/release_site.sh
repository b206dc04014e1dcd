#!/usr/bin/env bash
# Writes the maker's web host's two files for a release, laid out as the client fetches them:
#   <folder>/games/vornhalzanthery/version.txt   the release number and a line end
#   <folder>/vornhalzanthery.html                the release page "Update" opens, linking the artefacts
# Usage: release_site.sh <folder> <release number> [artefact...]
set -euo pipefail
folder=$1 release=$2
shift 2
case "$release" in ''|*[!0-9]*) echo "release_site: not a release number: $release" >&2; exit 2;; esac
mkdir -p "$folder/games/vornhalzanthery"
printf '%s\n' "$release" > "$folder/games/vornhalzanthery/version.txt"

rows=""
for artefact in "$@"; do
  name=$(basename "$artefact")
  rows+="    <tr><td><a href=\"$name\">$name</a></td><td>$(( ($(stat -c %s "$artefact") + 1023) / 1024 )) KB</td>"
  rows+="<td><code>$(sha256sum "$artefact" | cut -d' ' -f1)</code></td></tr>"$'\n'
done
cat > "$folder/vornhalzanthery.html" <<HTML
<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Vornhal: Zanthery, release $release</title></head>
<body>
  <h1>Vornhal: Zanthery, release $release</h1>
  <p>Windows: unpack the zip into a folder you can write to and start vornhalzanthery.exe.
  Linux (x86-64): unpack the tarball and start ./vornhalzanthery.
  A server of your own: the Debian package installs vornhalzanthery-server as a service.
  Each download carries its THIRD-PARTY-NOTICES.txt; SHA256SUMS lists every checksum.</p>
  <table>
    <tr><th>file</th><th>size</th><th>SHA-256</th></tr>
$rows  </table>
</body>
</html>
HTML

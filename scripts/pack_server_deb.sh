#!/usr/bin/env bash
# Packs the presence server alone as a Debian package, <out>/vornhalzanthery-server_<release>_amd64.deb:
# the program in /usr/bin, its two systemd units (one room, and one room per port), its notices, and
# dependencies on exactly the libraries it links, as dpkg-shlibdeps reads them from the program.
# Usage: pack_server_deb.sh <server build folder> <out folder>
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"
build=$(cd "$1" && pwd)
mkdir -p "$2"; out=$(cd "$2" && pwd)
package=vornhalzanthery-server
release=$(vz_release_number)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
stage="$work/stage"
doc="$stage/usr/share/doc/$package"

install -D -m 755 "$build/vornhalzanthery-server" "$stage/usr/bin/vornhalzanthery-server"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/vornhalzanthery-server"
for unit in "$root"/programs/vornhalzanthery-server*.service; do
  install -D -m 644 "$unit" "$stage/lib/systemd/system/$(basename "$unit")"
done
install -d "$doc" "$stage/usr/share/man/man1"
python3 "$here/notices.py" write server-deb "$doc/THIRD-PARTY-NOTICES.txt"
chmod 644 "$doc/THIRD-PARTY-NOTICES.txt"
cat > "$doc/copyright" <<TEXT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vornhalzanthery-server
Comment: The presence server of Vornhal: Zanthery, built from the project's own sources alone; it
 holds no third-party code (THIRD-PARTY-NOTICES.txt in this folder says so).

Files: *
Copyright: 2026 The makers of Vornhal: Zanthery
License: unspecified
 The makers have not published a licence for the project's own code. This package may be installed
 and run to host games of Vornhal: Zanthery.
TEXT
printf '%s (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' "$package" "$release" "$release" \
  "$VZ_PACKAGE_MAINTAINER" "$(date -R -u -d @"${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}")" \
  | gzip -9n > "$doc/changelog.gz"
{ printf '.TH VORNHALZANTHERY-SERVER 1 "" "release %s" "Vornhal: Zanthery"\n.SH NAME\n' "$release"
  printf 'vornhalzanthery-server \\- the presence server of Vornhal: Zanthery\n.SH DESCRIPTION\n.nf\n'
  "$stage/usr/bin/vornhalzanthery-server" --help 2>&1 | sed 's/\\/\\\\/g; s/^[.'"'"']/\\\&&/'
  printf '.fi\n.SH FILES\n/lib/systemd/system/vornhalzanthery-server.service, /lib/systemd/system/vornhalzanthery-server@.service\n'
} | gzip -9n > "$stage/usr/share/man/man1/vornhalzanthery-server.1.gz"

# dpkg-shlibdeps reads the libraries the program links and names the packages that hold them.
mkdir -p "$work/shlibs/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: amd64\n' "$package" "$package" > "$work/shlibs/debian/control"
depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O "$stage/usr/bin/vornhalzanthery-server" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "pack_server_deb: dpkg-shlibdeps named no dependency" >&2; exit 1; }

mkdir -p "$stage/DEBIAN"
cat > "$stage/DEBIAN/control" <<TEXT
Package: $package
Version: $release
Architecture: amd64
Maintainer: $VZ_PACKAGE_MAINTAINER
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Section: net
Priority: optional
Description: presence server of Vornhal: Zanthery
 Players of Vornhal: Zanthery who name the same server in their server.txt see
 one another in the room. The server listens on UDP port 27420; the package
 installs it as a sandboxed systemd service (vornhalzanthery-server.service) and
 as a template with one room per port (vornhalzanthery-server@PORT.service).
TEXT
dpkg-deb --root-owner-group -Zxz --build "$stage" "$out/${package}_${release}_amd64.deb" >/dev/null
echo "pack_server_deb: $out/${package}_${release}_amd64.deb ($(du -k "$out/${package}_${release}_amd64.deb" | cut -f1) KB)"

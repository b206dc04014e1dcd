#!/usr/bin/env bash
# Packs a Linux build's client, server and bots, with the shared libraries they load beside them, into
# <out>/vornhalzanthery-<release>-linux-x86_64.tar.gz. The programs find those libraries through their
# own folder ($ORIGIN) alone, whatever run path the build gave them, so nothing resolves into the
# build tree or the set-up cache. Usage: pack_linux.sh <build folder> <out folder>
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/versions.sh"
build=$(cd "$1" && pwd)
mkdir -p "$2"; out=$(cd "$2" && pwd)
name="vornhalzanthery-$(vz_release_number)-linux-x86_64"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
stage="$work/$name"
mkdir -p "$stage/floor"

programs=(vornhalzanthery vornhalzanthery-server vornhalzanthery-bots)
libraries=(libSDL3.so.0 libwebgpu_wrapper.so)
for file in "${programs[@]}" "${libraries[@]}" coolvetica.otf; do cp -L "$build/$file" "$stage/"; done
cp "$build"/floor/{base,normal,orm}.jpg "$stage/floor/"
# Debug sections are for us; Dawn's library comes as published.
strip --strip-unneeded "${programs[@]/#/$stage/}" "$stage/libSDL3.so.0"
for file in "${programs[@]}" libSDL3.so.0; do
  if readelf -d "$stage/$file" | grep -q 'R\(UN\)\?PATH'; then patchelf --set-rpath '$ORIGIN' "$stage/$file"; fi
done
sed "s/@RELEASE@/$(vz_release_number)/g; s/@SDL3_VERSION@/$SDL3_VERSION/g; s/@DAWN_NPM_VERSION@/$DAWN_NPM_VERSION/g" \
  "$here/linux_readme.txt" > "$stage/README"
cp "$here/settings.txt" "$stage/"
python3 "$here/notices.py" write linux "$stage/THIRD-PARTY-NOTICES.txt"
python3 "$here/notices.py" check linux "$stage" >/dev/null || { python3 "$here/notices.py" check linux "$stage"; exit 1; }

tar -C "$work" --owner=0 --group=0 --numeric-owner --sort=name -czf "$out/$name.tar.gz" "$name"
echo "pack_linux: $out/$name.tar.gz ($(du -k "$out/$name.tar.gz" | cut -f1) KB)"

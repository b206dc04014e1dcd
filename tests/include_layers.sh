#!/usr/bin/env bash
# Fails when a folder includes from a folder above it, or when pure code includes a device API.
# Layers, bottom to top: base, world, ui, net; render; app. tools/ and server/ sit on the pure ones.
# Usage: include_layers.sh <source root>
set -uo pipefail
root=$1
failed=0

declare -A allowed=(
  [base]="base"
  [world]="world"
  [ui]="ui"
  [net]="net world base"
  [render]="render world ui base"
  [app]="app render net ui world base"
  [tools]="tools net world base"
  [server]="server net world base"
)
# Folders whose code must stay free of SDL, WebGPU and sockets.
pure_folders="world ui"

for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS=: read -r file _ include; do
    target=$(echo "$include" | sed -n 's/.*#include "\([a-z_]*\)\/.*/\1/p')
    [ -z "$target" ] && continue
    if ! echo " ${allowed[$folder]} " | grep -q " $target "; then
      echo "FAILED: ${file#$root/} includes from $target/: $include"
      failed=1
    fi
  done < <(grep -Hn '#include "' "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
done

for folder in $pure_folders; do
  while IFS= read -r line; do
    echo "FAILED: pure code uses a device API: ${line#$root/}"
    failed=1
  done < <(grep -Hn -E '#include [<"](SDL3/|render/webgpu|winsock|sys/socket|windows\.h|curl/)' "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
done

[ "$failed" = 0 ] && echo "ok: every folder includes only from the layers below it"
exit $failed

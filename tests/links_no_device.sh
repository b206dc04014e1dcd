#!/usr/bin/env bash
# Fails when a program built on the pure libraries needs SDL3 or the WebGPU library at run time:
# those libraries must link with no window system and no GPU.
# Usage: links_no_device.sh <program>...
set -uo pipefail
failed=0
for program in "$@"; do
  needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  if [ -z "$needed" ]; then echo "FAILED: no dynamic section read from $program"; failed=1; continue; fi
  if echo "$needed" | grep -Eiq 'SDL|webgpu|X11|EGL|GL'; then
    echo "FAILED: $(basename "$program") needs: $(echo "$needed" | tr '\n' ' ')"
    failed=1
  else
    echo "ok: $(basename "$program") needs only: $(echo "$needed" | tr '\n' ' ')"
  fi
done
exit $failed

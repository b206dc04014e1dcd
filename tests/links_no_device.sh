#!/usr/bin/env bash
# Fails when a pure library refers to a window system, GPU, socket or HTTP function, or when a program
# built on the pure libraries needs SDL3, the WebGPU library or a display library at run time.
# Usage: links_no_device.sh --libraries <archive>... --programs <program>...
set -uo pipefail
failed=0
# C functions of SDL, WebGPU, X11, EGL, libcurl, WinHTTP and the sockets API, as an archive names them.
device_functions='^(SDL_|wgpu|X[A-Z]|egl|curl_|WinHttp|WSA|__imp_)|^(socket|sendto|recvfrom|recv|send|bind|connect|getaddrinfo|freeaddrinfo|getnameinfo|gethostbyname|setsockopt|getsockname|select|poll|ioctlsocket|closesocket|recvmsg|sendmsg|recvmmsg|sendmmsg|inet_pton|inet_ntop|shutdown|accept|listen)$'
mode=""
libraries=0
for argument in "$@"; do
  case $argument in --libraries|--programs) mode=$argument; continue ;; esac
  name=$(basename "$argument")
  if [ "$mode" = --libraries ]; then
    libraries=$((libraries + 1))
    undefined=$(nm -u "$argument" 2>/dev/null | awk '{ print $NF }' | sort -u)
    if [ -z "$undefined" ] && ! nm "$argument" >/dev/null 2>&1; then
      echo "FAILED: no symbols read from $argument"; failed=1; continue
    fi
    found=$(grep -E "$device_functions" <<<"$undefined" | tr '\n' ' ')
    if [ -n "$found" ]; then echo "FAILED: $name refers to: $found"; failed=1; else echo "ok: $name refers to no device function"; fi
  elif [ "$mode" = --programs ]; then
    needed=$(readelf -d "$argument" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    if [ -z "$needed" ]; then echo "FAILED: no dynamic section read from $argument"; failed=1; continue; fi
    if grep -Eiq 'SDL|webgpu|X11|EGL|GL' <<<"$needed"; then
      echo "FAILED: $name needs: $(tr '\n' ' ' <<<"$needed")"
      failed=1
    else
      echo "ok: $name needs only: $(tr '\n' ' ' <<<"$needed")"
    fi
  else
    echo "FAILED: $argument given before --libraries or --programs"; failed=1
  fi
done
[ "$libraries" -gt 0 ] || { echo "FAILED: no pure library given"; failed=1; }
exit $failed

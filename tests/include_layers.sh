#!/usr/bin/env bash
# Holds every folder to its row of libraries.txt: it includes only from the folders its row lists
# (all of them below it), it uses every folder it lists, a pure folder includes no device API, no
# source folder is missing from the table, and the README's table of libraries is the table's own.
# Usage: include_layers.sh <source root>
set -uo pipefail
root=$1
source "$(dirname "${BASH_SOURCE[0]}")/library_table.sh"
read_library_table "$root"
failed=0
problem() { echo "FAILED: $1"; failed=1; }

# Headers that reach a window system, a GPU, sockets or HTTP. (windows.h alone is the console's
# stop handler; Windows sockets come only through winsock2.h.)
device_headers='#include [<"](SDL3/|render/webgpu|webgpu/|winsock2|ws2tcpip|winhttp|sys/socket|netinet/|arpa/|netdb|curl/|X11/|EGL/)'

declare -A below=()
for folder in "${table_folders[@]}"; do
  [ -d "$root/$folder" ] || { problem "libraries.txt lists $folder/, which does not exist"; continue; }
  for used in ${table_uses[$folder]}; do
    [ -n "${below[$used]:-}" ] || problem "$folder/ may use $used/, which is not listed below it"
  done
  below[$folder]=1

  declare -A included=()
  while IFS=: read -r file line include; do
    target=$(sed -n 's/.*#include ["<]\([a-z_]*\)\/.*/\1/p' <<<"$include")
    [ -z "$target" ] || [ "$target" = "$folder" ] && continue
    # <sys/socket.h> and the like are the system's; <app/x.h> is ours all the same.
    case $include in *'<'*) [ -d "$root/$target" ] || continue ;; esac
    included[$target]=1
    if ! grep -qw -- "$target" <<<"${table_uses[$folder]}"; then
      problem "${file#$root/}:$line includes from $target/, which $folder/ may not use: $include"
    fi
  done < <(grep -Hn '#include ["<]' "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
  for used in ${table_uses[$folder]}; do
    [ -n "${included[$used]:-}" ] || problem "$folder/ is listed as using $used/ but includes nothing from it"
  done
  unset included

  if [ "${table_kind[$folder]}" = pure ]; then
    while IFS= read -r line; do
      problem "pure code uses a device API: ${line#$root/}"
    done < <(grep -Hn -E "$device_headers" "$root/$folder"/*.h "$root/$folder"/*.cpp 2>/dev/null)
  fi
done

# Every folder of sources is in the table, so none escapes these checks; a folder of sources alone or
# of headers alone counts.
for dir in "$root"/*/; do
  name=$(basename "$dir")
  case $name in tests|bench|scripts|docs|build*) continue ;; esac
  compgen -G "$dir*.cpp" >/dev/null || compgen -G "$dir*.h" >/dev/null || continue
  [ -n "${table_kind[$name]:-}" ] || problem "$name/ holds sources but is not in libraries.txt"
done

# The README shows the table between its two markers, exactly as the table says it.
expected=$(library_readme_table)
shown=$(sed -n '/^<!-- libraries: begin -->$/,/^<!-- libraries: end -->$/p' "$root/README.md" | sed '1d;$d')
if [ "$shown" != "$expected" ]; then
  problem "README.md's table of libraries differs from libraries.txt; it should read:"
  echo "$expected"
fi

[ "$failed" = 0 ] && echo "ok: ${#table_folders[@]} folders include only what libraries.txt lets them, and the README shows it"
exit $failed

#!/usr/bin/env bash
# Holds what the build links to libraries.txt: each library links only libraries its row lets it use,
# and each program only what the programs' row lists. The build writes library-links.txt.
# Usage: library_links.sh <source root> <build folder>
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/library_table.sh"
read_library_table "$1"
links="$2/library-links.txt"
[ -s "$links" ] || { echo "FAILED: no $links"; exit 1; }
failed=0
checked=0
while read -r folder target rest; do
  target=${target%:}
  checked=$((checked + 1))
  for library in $(tr ';' '\n' <<<"$rest" | grep '^vz_'); do
    if ! grep -qw -- "${library#vz_}" <<<"${table_uses[$folder]:-}"; then
      echo "FAILED: $target links $library, which $folder/ does not use"
      failed=1
    fi
  done
done < "$links"
[ "$checked" -gt 0 ] || { echo "FAILED: nothing read from $links"; exit 1; }
[ "$failed" = 0 ] && echo "ok: $checked libraries and programs link only what libraries.txt lets them"
exit $failed

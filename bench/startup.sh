#!/usr/bin/env bash
# Start-up time as the user sees it: runs the built client under Xvfb a number of times, each for
# three seconds, and prints the first-frame line of each run's log and the median.
# Usage: bench/startup.sh [build folder] [runs]   (MESA_SHADER_CACHE_DISABLE=true for a cold start)
set -uo pipefail
build=$(cd "${1:-build/release}" && pwd)
runs=${2:-5}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/xvfb.sh"
start_virtual_display 1600x1000x24 || exit 1
times=()
for _ in $(seq 1 "$runs"); do
  "$build/vornhalzanthery" &
  pid=$!
  sleep 3
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  line=$(grep -m1 '^first frame' "$build/vornhalzanthery.log")
  echo "$line"
  times+=("$(echo "$line" | awk '{ print $4 }')")
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { if (NR) print "median: " v[int((NR + 1) / 2)] " ms over " NR " runs" }'

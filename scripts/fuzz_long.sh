#!/usr/bin/env bash
# The fuzz targets for minutes each instead of the test command's seconds, growing the corpora kept in
# tests/fuzz/corpus (minimised after each run; commit what it adds). Usage: scripts/fuzz_long.sh [minutes]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
minutes=${1:-3}
bash "$here/build.sh" "$root/build/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVZ_FUZZ=ON \
  -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF
VZ_FUZZ_GROW_CORPUS=1 bash "$root/tests/fuzz/run_fuzzers.sh" "$root/build/fuzz" $((minutes * 60))

#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [extra CMake options...].
# Runs the set-up first, so a fresh machine needs nothing else.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"
bash "$here/setup.sh"

folder=$1; shift
cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_PREFIX_PATH="$VZ_CACHE/sdl3-$SDL3_VERSION" -DVZ_DAWN_DIR="$VZ_CACHE/dawn-$DAWN_NPM_VERSION/lib" \
  -DVZ_STB_INCLUDE_DIR="$VZ_CACHE/stb-$STB_DEBIAN_VERSION/include" "$@" >/dev/null
cmake --build "$folder" --parallel

#!/usr/bin/env bash
# Builds the presence server and the bots alone, for a host: bash scripts/build_server.sh [folder]
# [extra CMake options...] (the folder defaults to build/server). Installs only the compiler, CMake
# and Ninja from Debian (and GoogleTest when -DVZ_TESTS=ON is given); needs none of SDL3, Dawn, X11,
# Mesa or Node. The programs land in the folder: vornhalzanthery-server and vornhalzanthery-bots.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/setup.sh"

folder=${1:-$root/build/server}
[ $# -gt 0 ] && shift
packages=(build-essential cmake ninja-build)
tests=OFF
for option in "$@"; do
  case $option in -DVZ_TESTS=ON) tests=ON; packages+=(libgtest-dev) ;; esac
done
install_debian_packages "${packages[@]}"

cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVZ_SERVER_ONLY=ON -DVZ_TESTS=$tests "$@" >/dev/null
cmake --build "$folder" --parallel

#!/usr/bin/env bash
# Installs everything the build needs on a Debian 12 machine: Debian packages, SDL3 built from
# Debian's own source package, and the pinned Dawn library from npm. Safe to run again: each step
# checks first and is quick when its result is already in place.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/versions.sh"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
log() { echo "setup: $*" >&2; }

debian_packages=(
  build-essential cmake ninja-build pkg-config git xz-utils ca-certificates
  clang libclang-rt-14-dev
  libstb-dev libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxss-dev libxfixes-dev
  libxkbcommon-dev libxtst-dev
  libegl1 libgles2 libegl-mesa0 libgl1-mesa-dri
  xvfb xauth xfonts-base xdotool imagemagick x11-utils fonts-league-spartan
  nodejs npm
)

# Installs the packages named, or the list above when none is named.
install_debian_packages() {
  local wanted=("$@"); [ ${#wanted[@]} -eq 0 ] && wanted=("${debian_packages[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # npm ships inside nodesource's nodejs where that is installed; Debian's npm would conflict.
  if command -v npm >/dev/null; then
    local keep=(); for p in "${missing[@]}"; do [ "$p" = npm ] || [ "$p" = nodejs ] || keep+=("$p"); done
    missing=("${keep[@]}")
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing Debian packages: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Fetches and unpacks the pinned libsdl3 source package into the folder given; prints the path of
# the unpacked source tree. Shared by the Linux build below and the MinGW build of setup_windows.sh.
fetch_sdl3_source() {
  local work=$1
  mkdir -p "$work/lists/partial" "$work/parts"
  echo "deb-src http://deb.debian.org/debian $SDL3_SUITE main" > "$work/sources.list"
  local aptopts=(-o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts="$work/parts"
                 -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root)
  apt-get "${aptopts[@]}" update -qq >&2
  (cd "$work" && apt-get "${aptopts[@]}" source --download-only -qq "libsdl3=$SDL3_DEBIAN_VERSION" >&2)
  tar xJf "$work"/libsdl3_*.orig.tar.xz -C "$work"
  find "$work" -maxdepth 1 -type d -name 'SDL3-*' | head -n 1
}

# SDL3 is not packaged for Debian 12: fetch the next release's source package through a private apt
# configuration (the machine's own sources stay untouched) and build it once into the cache.
build_sdl3() {
  local prefix="$VZ_CACHE/sdl3-$SDL3_VERSION"
  [ -f "$prefix/.complete" ] && return 0
  log "building SDL3 $SDL3_VERSION into $prefix (about a minute)"
  local work; work=$(mktemp -d)
  local src; src=$(fetch_sdl3_source "$work")
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DSDL_TESTS=OFF -DSDL_EXAMPLES=OFF -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_WAYLAND=OFF \
    -DSDL_INSTALL_DOCS=OFF >/dev/null
  cmake --build "$work/build" --parallel >/dev/null
  cmake --install "$work/build" >/dev/null
  touch "$prefix/.complete"
  rm -rf "$work"
}

# Dawn's prebuilt library from npm, checked against its published integrity. Its sibling package,
# which describes the library's structs and enums, is kept beside it for reference.
fetch_dawn() {
  local dir="$VZ_CACHE/dawn-$DAWN_NPM_VERSION"
  [ -f "$dir/.complete" ] && return 0
  log "fetching Dawn $DAWN_NPM_VERSION from npm"
  local work; work=$(mktemp -d)
  (cd "$work" && npm pack --silent "bun-webgpu-linux-x64@$DAWN_NPM_VERSION" "bun-webgpu@$DAWN_NPM_VERSION" >/dev/null)
  check_integrity "$work/bun-webgpu-linux-x64-$DAWN_NPM_VERSION.tgz" "$DAWN_LIB_INTEGRITY"
  check_integrity "$work/bun-webgpu-$DAWN_NPM_VERSION.tgz" "$DAWN_DESC_INTEGRITY"
  mkdir -p "$dir/lib" "$dir/describe"
  tar xzf "$work/bun-webgpu-linux-x64-$DAWN_NPM_VERSION.tgz" -C "$work"
  cp "$work/package/libwebgpu_wrapper.so" "$dir/lib/"
  rm -rf "$work/package"
  tar xzf "$work/bun-webgpu-$DAWN_NPM_VERSION.tgz" -C "$work"
  cp "$work/package/index.js" "$dir/describe/"
  touch "$dir/.complete"
  rm -rf "$work"
}

check_integrity() {
  local got; got="sha512-$(openssl dgst -sha512 -binary "$1" | base64 -w0)"
  if [ "$got" != "$2" ]; then log "integrity mismatch for $1"; exit 1; fi
}

# Sourced by setup_windows.sh for its functions alone.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  mkdir -p "$VZ_CACHE"
  install_debian_packages
  build_sdl3
  fetch_dawn
fi

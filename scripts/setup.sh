#!/usr/bin/env bash
# Installs everything the build needs on a Debian 12 machine: Debian packages, SDL3 built from
# Debian's own source package, stb's headers from the same place, and the pinned Dawn library from
# npm. Safe to run again: each step checks first and is quick when its result is already in place.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/versions.sh"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
log() { echo "setup: $*" >&2; }

debian_packages=(
  build-essential cmake ninja-build pkg-config git xz-utils ca-certificates openssl python3
  clang libclang-rt-14-dev
  libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxss-dev libxfixes-dev
  libxkbcommon-dev libxtst-dev
  libegl1 libgles2 libegl-mesa0 libgl1-mesa-dri
  xvfb xauth xfonts-base xdotool imagemagick libjpeg-turbo-progs x11-utils fonts-league-spartan fonts-dejavu-core
  openbox iproute2 systemd
  nodejs npm
)

# Installs the packages named, or the list above when none is named.
install_debian_packages() {
  local wanted=("$@"); [ ${#wanted[@]} -eq 0 ] && wanted=("${debian_packages[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = 'install ok installed' ] || missing+=("$p")
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

# Downloads a source package of Debian's $1 suite into the current folder through a private apt
# configuration, so the machine's own sources stay untouched: fetch_debian_source <suite> <package=version>.
fetch_debian_source() {
  local suite=$1 package=$2 conf; conf=$(mktemp -d)
  mkdir -p "$conf/lists/partial" "$conf/parts"
  echo "deb-src http://deb.debian.org/debian $suite main" > "$conf/sources.list"
  local aptopts=(-o Dir::Etc::sourcelist="$conf/sources.list" -o Dir::Etc::sourceparts="$conf/parts"
                 -o Dir::State::Lists="$conf/lists" -o APT::Sandbox::User=root)
  apt-get "${aptopts[@]}" update -qq
  apt-get "${aptopts[@]}" source --download-only -qq "$package"
  rm -rf "$conf"
}

# Fetches and unpacks the pinned libsdl3 source package into the folder given; prints the path of
# the unpacked source tree. Shared by the Linux build below and the MinGW build of setup_windows.sh.
fetch_sdl3_source() {
  local work=$1
  (cd "$work" && fetch_debian_source "$SDL3_SUITE" "libsdl3=$SDL3_DEBIAN_VERSION" >&2)
  tar xJf "$work"/libsdl3_*.orig.tar.xz -C "$work"
  find "$work" -maxdepth 1 -type d -name 'SDL3-*' | head -n 1
}

# Configures, builds and installs a CMake project (Release, Ninja) into a prefix of the cache, then
# marks the prefix complete so the next set-up skips it.
install_cmake_project() {  # <prefix> <source> <build folder> [CMake options...]
  local prefix=$1 source=$2 build=$3
  shift 3
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$build" --parallel 2 >/dev/null
  cmake --install "$build" >/dev/null
  touch "$prefix/.complete"
}

# SDL3's options for both builds of it: the shared library alone.
sdl3_options="-DSDL_TESTS=OFF -DSDL_EXAMPLES=OFF -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_INSTALL_DOCS=OFF"

# SDL3 is not packaged for Debian 12: built once into the cache from the next release's source package.
build_sdl3() {
  local prefix="$VZ_CACHE/sdl3-$SDL3_VERSION"
  [ -f "$prefix/.complete" ] && return 0
  log "building SDL3 $SDL3_VERSION into $prefix (about a minute)"
  local work; work=$(mktemp -d)
  local src; src=$(fetch_sdl3_source "$work")
  install_cmake_project "$prefix" "$src" "$work/build" $sdl3_options -DSDL_WAYLAND=OFF
  rm -rf "$work"
}

# stb from the next release's source package: Debian 12's stb_image hands the JPEG decoder
# uninitialised state. Only the headers the build includes are kept, under include/stb/.
fetch_stb() {
  local dir="$VZ_CACHE/stb-$STB_DEBIAN_VERSION"
  [ -f "$dir/.complete" ] && return 0
  log "fetching stb $STB_DEBIAN_VERSION headers into $dir"
  local work; work=$(mktemp -d)
  (cd "$work" && fetch_debian_source "$STB_SUITE" "libstb=$STB_DEBIAN_VERSION")
  mkdir -p "$work/src" "$dir/include/stb"
  tar xJf "$work"/libstb_*.orig.tar.xz -C "$work/src"
  local header found
  for header in stb_image.h stb_image_write.h stb_truetype.h; do
    found=$(find "$work/src" -name "$header" -type f | head -n 1)
    if [ -z "$found" ]; then log "no $header in libstb $STB_DEBIAN_VERSION"; exit 1; fi
    cp "$found" "$dir/include/stb/"
  done
  touch "$dir/.complete"
  rm -rf "$work"
}

# A Dawn library from npm and the package that describes its structs and enums, both checked against
# their published integrity, unpacked into <dir>/lib and <dir>/describe (the Linux and the Windows
# set-up share this). Leaves the work folder to the caller, which removes it.
# fetch_dawn_packages <work> <dir> <library package> <library file> <version> <library integrity> <describing integrity>
fetch_dawn_packages() {
  local work=$1 dir=$2 package=$3 file=$4 version=$5
  (cd "$work" && npm pack --silent "$package@$version" "bun-webgpu@$version" >/dev/null)
  check_integrity "$work/$package-$version.tgz" "$6"
  check_integrity "$work/bun-webgpu-$version.tgz" "$7"
  mkdir -p "$dir/lib" "$dir/describe"
  tar xzf "$work/$package-$version.tgz" -C "$work"
  cp "$work/package/$file" "$dir/lib/"
  rm -rf "$work/package"
  tar xzf "$work/bun-webgpu-$version.tgz" -C "$work"
  cp "$work/package/index.js" "$dir/describe/"
}

# Dawn's prebuilt library for Linux, with its describing package kept beside it for reference.
fetch_dawn() {
  local dir="$VZ_CACHE/dawn-$DAWN_NPM_VERSION"
  [ -f "$dir/.complete" ] && return 0
  log "fetching Dawn $DAWN_NPM_VERSION from npm"
  local work; work=$(mktemp -d)
  fetch_dawn_packages "$work" "$dir" bun-webgpu-linux-x64 libwebgpu_wrapper.so "$DAWN_NPM_VERSION" \
    "$DAWN_LIB_INTEGRITY" "$DAWN_DESC_INTEGRITY"
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
  fetch_stb
  fetch_dawn
fi

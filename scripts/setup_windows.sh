#!/usr/bin/env bash
# Installs what the Windows cross build needs, apart from the Linux set-up: the MinGW-w64 compilers
# and tools, Wine to run the Windows tests, SDL3 and GoogleTest built with MinGW, and Dawn's Windows
# DLL from npm with an import library made from it. Run by build_windows.sh only; each step is quick
# when its result is already in the cache.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/setup.sh"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"

windows_packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 zip)

# Debian's source package leaves out the precompiled Direct3D shaders of SDL's own renderers and GPU
# API; the client draws through WebGPU and uses neither, so they are left out of the build.
build_sdl3_mingw() {
  local prefix="$VZ_CACHE/sdl3-$SDL3_VERSION-mingw"
  [ -f "$prefix/.complete" ] && return 0
  log "building SDL3 $SDL3_VERSION for Windows into $prefix (a few minutes)"
  local work; work=$(mktemp -d)
  local src; src=$(fetch_sdl3_source "$work")
  install_cmake_project "$prefix" "$src" "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" $sdl3_options \
    -DSDL_RENDER_D3D=OFF -DSDL_RENDER_D3D11=OFF -DSDL_RENDER_D3D12=OFF -DSDL_GPU=OFF
  rm -rf "$work"
}

# GoogleTest from the source Debian's libgtest-dev ships, built with MinGW for the Windows tests.
build_googletest_mingw() {
  local version; version=$(dpkg-query -W -f='${Version}' libgtest-dev)
  local prefix="$VZ_CACHE/googletest-$version-mingw"
  [ -f "$prefix/.complete" ] && return 0
  log "building GoogleTest $version for Windows into $prefix"
  local work; work=$(mktemp -d)
  install_cmake_project "$prefix" /usr/src/googletest "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=OFF
  rm -rf "$work"
}

# Dawn's Windows DLL, checked against its published integrity, with a MinGW import library made from
# its export table (gendef warns about two exported data symbols; the functions are all we call).
# The describing package of the same version is kept beside it for the declaration check.
fetch_dawn_windows() {
  local dir="$VZ_CACHE/dawn-win-$DAWN_WIN_NPM_VERSION"
  [ -f "$dir/.complete" ] && return 0
  log "fetching Dawn $DAWN_WIN_NPM_VERSION for Windows from npm"
  local work; work=$(mktemp -d)
  fetch_dawn_packages "$work" "$dir" bun-webgpu-win32-x64 webgpu_wrapper.dll "$DAWN_WIN_NPM_VERSION" \
    "$DAWN_WIN_LIB_INTEGRITY" "$DAWN_WIN_DESC_INTEGRITY"
  (cd "$work" && gendef - "$dir/lib/webgpu_wrapper.dll" 2>/dev/null > webgpu_wrapper.def)
  grep -q '^wgpuCreateInstance' "$work/webgpu_wrapper.def" || { log "gendef found no wgpuCreateInstance export"; exit 1; }
  x86_64-w64-mingw32-dlltool --input-def "$work/webgpu_wrapper.def" --dllname webgpu_wrapper.dll \
    --output-lib "$dir/lib/libwebgpu_wrapper.dll.a"
  touch "$dir/.complete"
  rm -rf "$work"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  mkdir -p "$VZ_CACHE"
  install_debian_packages
  install_debian_packages "${windows_packages[@]}"
  fetch_stb
  build_sdl3_mingw
  build_googletest_mingw
  fetch_dawn_windows
fi

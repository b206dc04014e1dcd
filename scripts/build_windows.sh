#!/usr/bin/env bash
# Cross-builds the Windows programs and tests with MinGW-w64 into build/windows and packs the client
# with everything it loads into build/windows/vornhalzanthery-windows.zip. Runs the Windows set-up
# first (MinGW, Wine, SDL3 and GoogleTest built for Windows, Dawn's DLL), so a fresh machine needs
# nothing else. Usage: scripts/build_windows.sh [extra CMake options...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"
bash "$here/setup_windows.sh"

build="$root/build/windows"
host="$root/build/windows-host"
gtest_version=$(dpkg-query -W -f='${Version}' libgtest-dev)
mkdir -p "$build"

# The floor maps are made at build time, by the maker built for this machine.
stb="$VZ_CACHE/stb-$STB_DEBIAN_VERSION/include"
cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVZ_HOST_TOOLS_ONLY=ON -DVZ_TESTS=OFF \
  -DVZ_BENCHMARKS=OFF -DVZ_STB_INCLUDE_DIR="$stb" >/dev/null
cmake --build "$host" --parallel 2 --target floor_material_maker >/dev/null


cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DSDL3_DIR="$VZ_CACHE/sdl3-$SDL3_VERSION-mingw/lib/cmake/SDL3" \
  -DGTest_DIR="$VZ_CACHE/googletest-$gtest_version-mingw/lib/cmake/GTest" \
  -DVZ_DAWN_DIR="$VZ_CACHE/dawn-win-$DAWN_WIN_NPM_VERSION/lib" \
  -DVZ_STB_INCLUDE_DIR="$stb" \
  -DVZ_HOST_FLOOR_MATERIAL_MAKER="$host/floor_material_maker" \
  -DVZ_TESTS=ON -DVZ_BENCHMARKS=OFF "$@" >/dev/null
cmake --build "$build" --parallel 2

# The MinGW runtime DLLs that the given programs import, directly or through each other, copied into
# the folder given first.
mingw_dll_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
copy_mingw_runtime() {
  local destination=$1; shift
  local pending=("$@") seen=" " file dll dir
  while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}; pending=("${pending[@]:1}")
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
      case "$seen" in *" $dll "*) continue ;; esac
      seen="$seen$dll "
      for dir in "${mingw_dll_dirs[@]}"; do
        if [ -f "$dir/$dll" ]; then
          cp -u "$dir/$dll" "$destination/"
          pending+=("$dir/$dll")
          break
        fi
      done
    done
  done
}
copy_mingw_runtime "$build" "$build"/*.exe

# The zip: one folder laid out as the client expects beside its executable. The presence server and
# the bots join it whenever the project defines them.
stage="$build/package/vornhalzanthery"
rm -rf "$build/package"
mkdir -p "$stage/floor"
programs=("$build/vornhalzanthery.exe")
for extra in vornhalzanthery-server.exe vornhalzanthery-bots.exe; do
  if [ -f "$build/$extra" ]; then programs+=("$build/$extra"); fi
done
cp "${programs[@]}" "$build/SDL3.dll" "$build/webgpu_wrapper.dll" "$build/coolvetica.otf" "$stage/"
cp "$build"/floor/{base,normal,orm}.jpg "$stage/floor/"
copy_mingw_runtime "$stage" "${programs[@]}" "$stage/SDL3.dll"
# The readme with Windows line ends, for Notepad.
sed "s/@DAWN_WIN_NPM_VERSION@/$DAWN_WIN_NPM_VERSION/g; s/@SDL3_VERSION@/$SDL3_VERSION/g; s/\$/\r/" \
  "$here/windows_readme.txt" > "$stage/README.txt"
zip_file="$build/vornhalzanthery-windows.zip"
rm -f "$zip_file"
(cd "$build/package" && zip -qrX "$zip_file" vornhalzanthery)
echo "build_windows: $zip_file ($(du -k "$zip_file" | cut -f1) KB)"

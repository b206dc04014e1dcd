#!/usr/bin/env bash
# Cross-builds the Windows programs and tests with MinGW-w64 into build/windows and packs the client
# with everything it loads into build/windows/vornhalzanthery-windows.zip. Runs the Windows set-up
# first (MinGW, Wine, SDL3 and GoogleTest built for Windows, Dawn's DLL), so a fresh machine needs
# nothing else. Usage: scripts/build_windows.sh [extra CMake options...]; VZ_WINDOWS_BUILD names another
# build folder (the release command's own).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/versions.sh"
bash "$here/setup_windows.sh"

build=${VZ_WINDOWS_BUILD:-$root/build/windows}
host="$root/build/windows-host"
gtest_version=$(dpkg-query -W -f='${Version}' libgtest-dev)
mkdir -p "$build"

# The floor maps are made at build time, by the maker built for this machine.
stb="$VZ_CACHE/stb-$STB_DEBIAN_VERSION/include"
cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVZ_HOST_TOOLS_ONLY=ON -DVZ_TESTS=OFF \
  -DVZ_BENCHMARKS=OFF -DVZ_STB_INCLUDE_DIR="$stb" >/dev/null
cmake --build "$host" --parallel 2 --target floor_material_maker >/dev/null


# MinGW's C++, GCC and thread runtimes are linked into each program (-static), as is usual for shipped
# MinGW programs: no runtime DLL to ship, and none of another version found first on a user's PATH
# can break them. System DLLs, SDL3 and Dawn stay DLLs. -s drops the symbol tables.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_EXE_LINKER_FLAGS="-static -s" \
  -DSDL3_DIR="$VZ_CACHE/sdl3-$SDL3_VERSION-mingw/lib/cmake/SDL3" \
  -DGTest_DIR="$VZ_CACHE/googletest-$gtest_version-mingw/lib/cmake/GTest" \
  -DVZ_DAWN_DIR="$VZ_CACHE/dawn-win-$DAWN_WIN_NPM_VERSION/lib" \
  -DVZ_STB_INCLUDE_DIR="$stb" \
  -DVZ_HOST_FLOOR_MATERIAL_MAKER="$host/floor_material_maker" \
  -DVZ_TESTS=ON -DVZ_BENCHMARKS=OFF "$@" >/dev/null
cmake --build "$build" --parallel 2
# Runtime DLLs an earlier build copied here would hide a program that still needs one.
rm -f "$build"/{libstdc++-6,libgcc_s_seh-1,libwinpthread-1}.dll

# The zip: one folder laid out as the client expects beside its executable. The presence server and
# the bots join it whenever the project defines them.
stage="$build/package/vornhalzanthery"
rm -rf "$build/package"
work_notices="$build/THIRD-PARTY-NOTICES.txt"
mkdir -p "$stage/floor"
programs=("$build/vornhalzanthery.exe")
for extra in vornhalzanthery-server.exe vornhalzanthery-bots.exe; do
  if [ -f "$build/$extra" ]; then programs+=("$build/$extra"); fi
done
cp "${programs[@]}" "$build/SDL3.dll" "$build/webgpu_wrapper.dll" "$build/coolvetica.otf" "$stage/"
cp "$build"/floor/{base,normal,orm}.jpg "$stage/floor/"
# Our SDL3 build keeps its debug sections; users need none of them (Dawn's DLL comes as published).
x86_64-w64-mingw32-strip --strip-unneeded "$stage/SDL3.dll"
# The readme with Windows line ends, for Notepad.
sed "s/@DAWN_WIN_NPM_VERSION@/$DAWN_WIN_NPM_VERSION/g; s/@SDL3_VERSION@/$SDL3_VERSION/g; s/\$/\r/" \
  "$here/windows_readme.txt" > "$stage/README.txt"
sed 's/$/\r/' "$here/settings.txt" > "$stage/settings.txt"
python3 "$here/notices.py" write windows "$work_notices"
sed 's/$/\r/' "$work_notices" > "$stage/THIRD-PARTY-NOTICES.txt"
rm -f "$work_notices"
python3 "$here/notices.py" check windows "$stage" >/dev/null || { python3 "$here/notices.py" check windows "$stage"; exit 1; }
zip_file="$build/vornhalzanthery-windows.zip"
rm -f "$zip_file"
(cd "$build/package" && zip -qrX "$zip_file" vornhalzanthery)
echo "build_windows: $zip_file ($(du -k "$zip_file" | cut -f1) KB)"

#!/usr/bin/env bash
# Our WebGPU declarations follow the enum values and struct layouts that bun-webgpu 0.1.7 describes
# for the Linux library. The Windows DLL comes from 0.1.5, so this proves they fit it too: the two
# describing packages must list exactly the same enums (names and values), structs (fields in order,
# with their types) and constants, every enum number and flag of our header must be the one 0.1.5
# gives, and the DLL must export every function our header declares.
# Usage: dawn_windows_declarations.sh <0.1.7 index.js> <0.1.5 index.js> <webgpu_dawn.h> <webgpu_wrapper.dll>
set -uo pipefail
linux_description=$1 windows_description=$2 header=$3 dll=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# Every top-level enum, struct and constant definition, whole, in file order; the loader code around
# them is left out.
descriptions() {
  awk '
    /^var [A-Za-z0-9_]+ = (defineEnum|defineStruct)\(/ || /^var [A-Za-z0-9_]+ = \{$/ { inside = 1 }
    /^var WGPU[A-Za-z0-9_]* = [^{]*;$/ { print; next }
    inside { print }
    inside && /^(\}|\]|\})\)?;$/ { inside = 0 }
  ' "$1"
}
descriptions "$linux_description" > "$work/linux"
descriptions "$windows_description" > "$work/windows"

enums=$(grep -c 'defineEnum(' "$work/linux")
structs=$(grep -c 'defineStruct(' "$work/linux")
if [ "$enums" -lt 30 ] || [ "$structs" -lt 50 ]; then
  echo "FAILED: found only $enums enums and $structs structs in $linux_description: the extraction no longer fits"
  failed=1
fi
if diff -u "$work/linux" "$work/windows" > "$work/diff"; then
  echo "ok: $enums enums and $structs structs described alike in both packages"
else
  echo "FAILED: the packages describe different enums or structs:"
  head -n 60 "$work/diff"
  failed=1
fi

# Every enum number and flag of our header against the Windows library's own describing package,
# loader code included (it fixes a status number the descriptions above leave out).
if python3 "$(dirname "${BASH_SOURCE[0]}")/dawn_enum_numbers.py" "$header" "$windows_description" > "$work/enums"; then
  echo "ok: $(head -n 1 "$work/enums" | sed 's/^ok: //')"
else
  grep '^FAILED' "$work/enums"
  failed=1
fi

# Every function our header declares is exported by the DLL under the same C name.
grep -o '\bwgpu[A-Za-z0-9]*(' "$header" | tr -d '(' | sort -u > "$work/declared"
x86_64-w64-mingw32-objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { table = 1; next } table && NF == 0 { table = 0 } table { print $NF }' \
  | sort -u > "$work/exported"
missing=$(comm -23 "$work/declared" "$work/exported")
if [ "$(wc -l < "$work/declared")" -lt 40 ]; then
  echo "FAILED: found only $(wc -l < "$work/declared") declared functions in $header"
  failed=1
elif [ -n "$missing" ]; then
  echo "FAILED: declared but not exported by the DLL: $missing"
  failed=1
else
  echo "ok: all $(wc -l < "$work/declared") declared functions are exported by $(basename "$dll") ($(grep -c '^wgpu' "$work/exported") wgpu exports)"
fi
exit $failed

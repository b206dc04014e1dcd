# The library table (libraries.txt) read into bash, for the layering checks (sourced).
# read_library_table <source root> fills table_folders, bottom to top, and for each folder
# table_kind (pure, device or programs), table_uses (the folders below it that it may use, space
# separated), table_outside and table_holds.

trimmed() { local text=$1; text=${text#"${text%%[![:space:]]*}"}; echo "${text%"${text##*[![:space:]]}"}"; }

read_library_table() {
  local folder kind uses outside holds
  table_folders=()
  declare -gA table_kind=() table_uses=() table_outside=() table_holds=()
  while IFS='|' read -r folder kind uses outside holds; do
    folder=$(trimmed "$folder")
    table_folders+=("$folder")
    table_kind[$folder]=$(trimmed "$kind")
    uses=$(trimmed "$uses")
    table_uses[$folder]=${uses/#-/}
    table_outside[$folder]=$(trimmed "$outside")
    table_holds[$folder]=$(trimmed "$holds")
  done < <(grep -v -E '^[[:space:]]*(#|$)' "$1/libraries.txt")
}

# The README's table of libraries, as the table says it.
library_readme_table() {
  local folder uses used
  echo "| library | folder | kind | holds | may use |"
  echo "|---|---|---|---|---|"
  for folder in "${table_folders[@]}"; do
    [ "${table_kind[$folder]}" = programs ] && continue
    uses=""
    for used in ${table_uses[$folder]}; do uses+="${uses:+, }\`vz_$used\`"; done
    if [ "${table_outside[$folder]}" != - ]; then uses+="${uses:+, }${table_outside[$folder]}"; fi
    echo "| \`vz_$folder\` | \`$folder/\` | ${table_kind[$folder]} | ${table_holds[$folder]} | ${uses:-nothing} |"
  done
}

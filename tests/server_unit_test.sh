#!/usr/bin/env bash
# The presence server's systemd units, the single room and the template of one room per port:
# systemd-analyze finds nothing to say about either (with the built program in place of the installed
# one; the template as one of its instances), each sets its sandbox, its restart and the journal
# exactly once with the value wanted, so no later line undoes one, and both have the same sandbox.
# Usage: server_unit_test.sh <source root> <build folder>
set -uo pipefail
programs="$1/programs"
built="$(cd "$2" && pwd)/vornhalzanthery-server"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# unit file | the name systemd-analyze verifies | its ExecStart
units=(
  "vornhalzanthery-server.service|vornhalzanthery-server.service|ExecStart=/usr/bin/vornhalzanthery-server"
  "vornhalzanthery-server@.service|vornhalzanthery-server@27421.service|ExecStart=/usr/bin/vornhalzanthery-server --port %i"
)
settings=(DynamicUser=yes NoNewPrivileges=yes ProtectSystem=strict ProtectHome=yes RestrictAddressFamilies=AF_INET
          CapabilityBoundingSet= Restart=on-failure StandardOutput=journal WantedBy=multi-user.target)

# The lines of a unit that make its sandbox and its running: all but comments, Description and ExecStart.
sandbox() { grep -Ev '^[[:space:]]*(#|;|$|Description[[:space:]]*=|ExecStart[[:space:]]*=)' "$1"; }

for row in "${units[@]}"; do
  IFS='|' read -r file instance exec_start <<< "$row"
  unit="$programs/$file"
  sed "s|^ExecStart=/usr/bin/vornhalzanthery-server|ExecStart=$built|" "$unit" > "$work/$file"
  said=$(systemd-analyze verify "$work/$instance" 2>&1)
  status=$?
  if [ $status -ne 0 ] || [ -n "$said" ]; then
    echo "FAILED: $file: systemd-analyze verify (exit code $status): $said"; failed=1
  else
    echo "ok: $file: systemd-analyze verify finds nothing to say"
  fi
  for setting in "$exec_start" "${settings[@]}"; do
    key=${setting%%=*}
    times=$(grep -Ec -- "^[[:space:]]*$key[[:space:]]*=" "$unit")
    if [ "$times" = 1 ] && grep -qxF -- "$setting" "$unit"; then
      echo "ok: $file: $setting"
    else
      echo "FAILED: $file sets $key $times time(s); it must set it once, as $setting"; failed=1
    fi
  done
done
if diff <(sandbox "$programs/${units[0]%%|*}") <(sandbox "$programs/${units[1]%%|*}") > "$work/differ"; then
  echo "ok: both units have the same sandbox"
else
  echo "FAILED: the units' sandboxes differ:"; cat "$work/differ"; failed=1
fi
exit $failed

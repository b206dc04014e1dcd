#!/usr/bin/env bash
# The presence server's systemd unit: systemd-analyze finds nothing to say about it (with the built
# program in place of the installed one), and it keeps its sandbox, its restart and the journal.
# Usage: server_unit_test.sh <source root> <build folder>
set -uo pipefail
unit="$1/programs/vornhalzanthery-server.service"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
sed "s|^ExecStart=/usr/local/bin/vornhalzanthery-server|ExecStart=$(cd "$2" && pwd)/vornhalzanthery-server|" "$unit" \
  > "$work/vornhalzanthery-server.service"
said=$(systemd-analyze verify "$work/vornhalzanthery-server.service" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$said" ]; then
  echo "FAILED: systemd-analyze verify (exit code $status): $said"; failed=1
else
  echo "ok: systemd-analyze verify finds nothing to say"
fi
for setting in ExecStart=/usr/local/bin/vornhalzanthery-server DynamicUser=yes NoNewPrivileges=yes ProtectSystem=strict \
               ProtectHome=yes RestrictAddressFamilies=AF_INET CapabilityBoundingSet= Restart=on-failure \
               StandardOutput=journal WantedBy=multi-user.target; do
  if grep -qx -- "$setting" "$unit"; then echo "ok: $setting"; else echo "FAILED: the unit lacks $setting"; failed=1; fi
done
exit $failed

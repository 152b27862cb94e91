#!/usr/bin/env bash
# Runs every benchmark of this folder, one after another.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
for script in "$here"/*.sh; do
  [ "$(basename "$script")" = "run-all.sh" ] && continue
  echo "== $(basename "$script")"
  bash "$script" || status=1
  echo
done
exit $status

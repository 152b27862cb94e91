#!/usr/bin/env bash
# brimlode-cli mail on 500 messages with one 20-entry ZIP each, one process
# per message, in CPU time per message against Python's email package alone
# (parse and write back) and against unzip -l on the attachment. See
# bench/mail.py; goal: mail below the Python round trip.
#
#   bench/mail.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec python3 "$root/bench/mail.py" "${1:-3}" "${BRIMLODE_CLI:-$root/build/brimlode-cli}"

#!/usr/bin/env bash
# The mail-gateway step (rewrite --output-dir --dangerous --report over 1,000
# small archives) in CPU time per archive against unzip -l and against cp +
# rewrite in place. See bench/gateway.py for what is measured; goal: the
# step at or below 1.5x unzip -l.
#
#   bench/gateway.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec python3 "$root/bench/gateway.py" "${1:-3}" "${BRIMLODE_CLI:-$root/build/brimlode-cli}"

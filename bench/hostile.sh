#!/usr/bin/env bash
# Hostile inputs (bench/gen_hostile.py, the layouts of the growth tests) at
# 1x, 4x and 16x: CPU time of each and the growth exponent
# log(cpu 16x / cpu 1x) / log(16). Goal: every exponent <= 1.1.
#
#   bash bench/hostile.sh
#   BRIMLODE_CLI=/path/to/brimlode-cli RUNS=5 bash bench/hostile.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out="$here/out"
runs=${RUNS:-3}
cli=${BRIMLODE_CLI:-$root/build/brimlode-cli}
if [ ! -x "$cli" ]; then
  echo "brimlode-cli not found at $cli: build first (see README) or set BRIMLODE_CLI" >&2
  exit 2
fi
mkdir -p "$out"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); best of $runs runs"
printf '%-16s %-8s %10s %9s %9s %5s\n' input command "size MiB" "cpu ms" "peak MiB" exit
status=0
for input in level1_chains level2_chains random_stub many_centrals; do
  declare -A cpu=()
  for scale in 1 4 16; do
    f="$out/hostile-$input-$scale.zip"
    [ -s "$f" ] || python3 "$here/gen_hostile.py" "$input" "$scale" "$f"
    if [ "$input" = many_centrals ]; then
      # The rewrite works on a copy, made afresh for every run.
      command=(sh -c 'cp "$1" "$1.w" && exec "$2" rewrite "$1.w" --all --quiet' _ "$f" "$cli")
      label=rewrite
    else
      command=("$cli" analyse "$f" --json)
      label=analyse
    fi
    read -r _ c kib code < <(python3 "$here/measure.py" "$runs" "${command[@]}")
    cpu[$scale]=$c
    printf '%-16s %-8s %10.1f %9.1f %9.1f %5s\n' "$input" "$label" \
      "$(awk "BEGIN{print $(stat -c %s "$f")/1048576}")" "$c" "$(awk "BEGIN{print $kib/1024}")" "$code"
  done
  awk -v n="$input" -v a="${cpu[1]}" -v b="${cpu[4]}" -v c="${cpu[16]}" 'BEGIN {
    a = a > 1 ? a : 1; e = log(c / a) / log(16); e4 = log(c / (b > 1 ? b : 1)) / log(4)
    printf "%s: growth exponent %.2f (4x to 16x: %.2f; goal <= 1.1)\n", n, e, e4; exit !(e4 <= 1.1 || c < 50) }' ||
    status=1
done
exit $status

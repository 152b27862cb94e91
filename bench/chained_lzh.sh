#!/usr/bin/env bash
# Hostile input: `brimlode-cli analyse` on level-2 and level-1 LZH archives
# whose extended-header chains run through every later header
# (gen_lzh_chained.py), at 8,000 and 64,000 headers. Goal: time grows at most
# linearly (a ratio of about 8 or less between the two), never with the
# square of the count.
#
#   bash bench/chained_lzh.sh
#   BRIMLODE_CLI=/path/to/brimlode-cli bash bench/chained_lzh.sh
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
printf '%-26s %9s %9s %9s %5s\n' archive "wall ms" "cpu ms" "peak MiB" exit
declare -A cpu
status=0
for level in 2 1; do
  for n in 8000 64000; do
    f="$out/lzh-chained-l$level-$n.lzh"
    [ -s "$f" ] || python3 "$here/gen_lzh_chained.py" "$f" --headers "$n" --level "$level"
    read -r wall c kib code < <(python3 "$here/measure.py" "$runs" "$cli" analyse "$f" --json)
    cpu[$n]=$c
    printf '%-26s %9.0f %9.0f %9.1f %5s\n' "$(basename "$f")" "$wall" "$c" "$(awk "BEGIN{print $kib/1024}")" "$code"
  done
  awk -v l="$level" -v a="${cpu[8000]}" -v b="${cpu[64000]}" \
    'BEGIN { r = b / (a > 1 ? a : 1); printf "level %d: cpu 64,000 / 8,000 = %.1f (linear: <= 8)\n", l, r; exit !(r <= 12) }' ||
    status=1
done
exit $status

#!/usr/bin/env bash
# Listing speed and peak memory: `brimlode-cli analyse --json` against the
# listing commands of unzip, zipinfo, bsdtar and lhasa, on the same archives
# in the same run. Goal: no slower than the fastest peer on each archive.
# Output goes to /dev/null for every tool.
#
#   bash bench/analyse.sh            # best of 3 runs per tool
#   RUNS=5 bash bench/analyse.sh
#   BRIMLODE_CLI=/path/to/brimlode-cli bash bench/analyse.sh
#
# Archives are made once into bench/out/ (delete it to rebuild them).
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
for tool in python3 unzip zipinfo bsdtar lhasa /usr/bin/time awk; do
  command -v "$tool" > /dev/null || { echo "missing: $tool (bash scripts/install-deps.sh)" >&2; exit 2; }
done
mkdir -p "$out"

# ---- Archives ----
make_once() {  # file, generator command...
  local file=$1; shift
  if [ ! -s "$file" ]; then
    echo "making $(basename "$file") ..." >&2
    "$@"
  fi
}
make_once "$out/zip-65535.zip" python3 "$here/gen_zip.py" "$out/zip-65535.zip" --entries 65535
make_once "$out/zip-stub-100MiB.zip" \
  python3 "$here/gen_zip.py" "$out/zip-stub-100MiB.zip" --entries 1000 --stub-bytes $((100 * 1024 * 1024))
for level in 0 1 2; do
  make_once "$out/lzh-level$level-20000.lzh" \
    python3 "$here/gen_lzh.py" "$out/lzh-level$level-20000.lzh" --level "$level" --entries 20000
done

# The generated LZH must be what real readers accept: lhasa skips a header it
# rejects without failing, so count what it tested.
for level in 0 1 2; do
  f="$out/lzh-level$level-20000.lzh"
  tested=$(lhasa t "$f" 2>&1 | grep -c 'Tested' || true)
  if [ "$tested" != 20000 ]; then
    echo "generator fault: lhasa tested $tested of 20000 entries in $f" >&2
    exit 1
  fi
done

# ---- Timing ----
# Best of $runs per tool (bench/measure.py): wall ms, CPU ms, peak KiB, exit.
# The machine may be shared: CPU time is the steadier figure under load.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); best of $runs runs"
printf '%-22s %-14s %9s %9s %9s %5s  %s\n' archive tool "wall ms" "cpu ms" "peak MiB" exit "ours/this (wall, cpu)"
compare() {  # archive, then "label|command" pairs, ours first
  local archive=$1; shift
  local name ours_wall ours_cpu fastest_wall="" fastest_cpu="" fastest_label="" tool r
  name=$(basename "$archive")
  local results=()
  for tool in "$@"; do
    # shellcheck disable=SC2086
    r=$(python3 "$here/measure.py" "$runs" ${tool#*|} "$archive")
    results+=("${tool%%|*}|$r")
  done
  read -r ours_wall ours_cpu _ _ <<< "${results[0]#*|}"
  for r in "${results[@]}"; do
    local label=${r%%|*} wall cpu kib rc ratio="-"
    read -r wall cpu kib rc <<< "${r#*|}"
    if [ "$label" != "brimlode-cli" ]; then
      ratio=$(awk -v a="$ours_wall" -v b="$wall" -v c="$ours_cpu" -v d="$cpu" \
        'BEGIN { printf "%.2f, %.2f", a / b, c / d }')
      if [ -z "$fastest_wall" ] || awk -v a="$wall" -v b="$fastest_wall" 'BEGIN { exit !(a < b) }'; then
        fastest_wall=$wall; fastest_cpu=$cpu; fastest_label=$label
      fi
    fi
    printf '%-22s %-14s %9s %9s %9s %5s  %s\n' "$name" "$label" "$wall" "$cpu" \
      "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')" "$rc" "$ratio"
  done
  awk -v n="$name" -v l="$fastest_label" -v a="$ours_wall" -v b="$fastest_wall" -v c="$ours_cpu" -v d="$fastest_cpu" \
    'BEGIN { printf "%-22s => %.2fx the wall time of the fastest peer (%s), %.2fx its CPU time: %s\n",
             n, a / b, l, c / d, (a <= b ? "ok" : "SLOWER") }'
}

# CP932 names: bsdtar needs the charset, or it stops at the first such name.
for zip in "$out/zip-65535.zip" "$out/zip-stub-100MiB.zip"; do
  compare "$zip" \
    "brimlode-cli|$cli analyse --json" \
    "unzip -l|unzip -l" \
    "zipinfo|zipinfo" \
    "bsdtar -tvf|bsdtar --options hdrcharset=CP932 -tvf"
done
for level in 0 1 2; do
  compare "$out/lzh-level$level-20000.lzh" \
    "brimlode-cli|$cli analyse --json" \
    "lhasa l|lhasa l" \
    "bsdtar -tvf|bsdtar --options hdrcharset=CP932 -tvf"
done

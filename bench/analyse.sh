#!/usr/bin/env bash
# Listing speed and peak memory: `brimlode-cli analyse --json` against the
# listing commands of unzip, zipinfo, bsdtar and lhasa, on the same archives
# in the same run. Goal: no slower than the fastest peer on each archive.
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
for tool in python3 unzip zipinfo bsdtar lhasa /usr/bin/time; do
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
# best_of "label" cmd...: prints "<best ms> <peak KiB of that run> <exit>".
best_of() {
  local best_ms="" best_kib="" rc=0 i start end ms kib
  local memfile
  memfile=$(mktemp)
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$memfile" "$@" > /dev/null 2>&1 && rc=0 || rc=$?
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    kib=$(tail -n 1 "$memfile")
    if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; best_kib=$kib; fi
  done
  rm -f "$memfile"
  echo "$best_ms $best_kib $rc"
}

printf '%-24s %-26s %9s %10s %6s %s\n' archive tool "wall ms" "peak MiB" exit "ours / this"
compare() {  # archive, then "label|command" pairs; ours first
  local archive=$1; shift
  local name ours_ms ours_line fastest_ms="" fastest_label=""
  name=$(basename "$archive")
  local results=()
  for spec in "$@"; do
    local label=${spec%%|*} cmd=${spec#*|}
    # shellcheck disable=SC2086
    local r
    r=$(best_of $cmd "$archive")
    results+=("$label|$r")
  done
  ours_ms=$(echo "${results[0]#*|}" | cut -d' ' -f1)
  for r in "${results[@]}"; do
    local label=${r%%|*} vals=${r#*|}
    local ms kib rc ratio
    read -r ms kib rc <<< "$vals"
    if [ "$label" != "brimlode-cli" ]; then
      if [ -z "$fastest_ms" ] || [ "$ms" -lt "$fastest_ms" ]; then fastest_ms=$ms; fastest_label=$label; fi
      ratio=$(awk -v a="$ours_ms" -v b="$ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    else
      ratio="-"
    fi
    printf '%-24s %-26s %9s %10s %6s %s\n' "$name" "$label" "$ms" \
      "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')" "$rc" "$ratio"
  done
  local verdict="ok"
  [ "$ours_ms" -gt "$fastest_ms" ] && verdict="SLOWER"
  printf '%-24s %-26s %s\n' "$name" "=> vs fastest peer" \
    "$(awk -v a="$ours_ms" -v b="$fastest_ms" 'BEGIN { printf "%.2fx", (b > 0 ? a / b : 0) }') of $fastest_label ($verdict)"
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

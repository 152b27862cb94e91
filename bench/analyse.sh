#!/usr/bin/env bash
# Listing speed and peak memory: `brimlode-cli analyse --json` against the
# listing commands of unzip, zipinfo, bsdtar and lhasa, on the same archives
# in the same run, each compared with the fastest peer on that archive (time
# and peak memory). LZH archives come with CP932 names and with ASCII names
# only: lhasa is slow on CP932 names, which would flatter the comparison.
# Then the text output against the JSON output, and a million-entry ZIP with
# its peak memory per row. Output goes to /dev/null for every tool.
# Goals: 0.6x the fastest peer's time, at most 2x its peak memory; text at
# most 1.2x the JSON time; about 64 bytes per row beyond the names.
#
#   bash bench/analyse.sh            # best of 3 runs per tool
#   RUNS=5 bash bench/analyse.sh
#   TEXT_ONLY=1 bash bench/analyse.sh  # the text output against the JSON output only
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
make_once "$out/zip-1000000.zip" python3 "$here/gen_zip.py" "$out/zip-1000000.zip" --entries 1000000
make_once "$out/zip-1.zip" python3 "$here/gen_zip.py" "$out/zip-1.zip" --entries 1
for level in 0 1 2; do
  make_once "$out/lzh-level$level-20000.lzh" \
    python3 "$here/gen_lzh.py" "$out/lzh-level$level-20000.lzh" --level "$level" --entries 20000
  make_once "$out/lzh-level$level-ascii-20000.lzh" \
    python3 "$here/gen_lzh.py" "$out/lzh-level$level-ascii-20000.lzh" --level "$level" --entries 20000 --ascii
done

# The generated LZH must be what real readers accept: lhasa skips a header it
# rejects without failing, so count what it tested.
for f in "$out"/lzh-level*-20000.lzh; do
  tested=$(lhasa t "$f" 2>&1 | grep -c 'Tested' || true)
  if [ "$tested" != 20000 ]; then
    echo "generator fault: lhasa tested $tested of 20000 entries in $f" >&2
    exit 1
  fi
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# ---- Text output against JSON output ----
# At both sizes of ZIP the goal names, and an LZH archive.
text_against_json() {
  echo
  printf '%-28s %9s %9s %9s %9s %9s  %s\n' archive "size MiB" "json ms" "text ms" "json MiB" "text MiB" \
    "text/json (cpu; goal 1.2x)"
  local archive json_cpu json_kib text_cpu text_kib t
  for archive in "$out/zip-65535.zip" "$out/zip-1000000.zip" "$out/lzh-level2-20000.lzh"; do
    read -r _ json_cpu json_kib _ <<< "$(python3 "$here/measure.py" "$runs" "$cli" analyse --json "$archive")"
    read -r _ text_cpu text_kib _ <<< "$(python3 "$here/measure.py" "$runs" "$cli" analyse "$archive")"
    t=$(ratio "$text_cpu" "$json_cpu")
    printf '%-28s %9.1f %9s %9s %9.1f %9.1f  %sx: %s\n' "$(basename "$archive")" \
      "$(awk -v b="$(stat -c %s "$archive")" 'BEGIN { print b / 1048576 }')" "$json_cpu" "$text_cpu" \
      "$(awk -v k="$json_kib" 'BEGIN { print k / 1024 }')" "$(awk -v k="$text_kib" 'BEGIN { print k / 1024 }')" \
      "$t" "$(awk -v t="$t" 'BEGIN { print (t <= 1.2 ? "met" : "NOT MET") }')"
  done
}
if [ -n "${TEXT_ONLY:-}" ]; then
  text_against_json
  exit 0
fi

# ---- Timing ----
# Best of $runs per tool (bench/measure.py): wall ms, CPU ms, peak KiB, exit.
# The machine may be shared: CPU time is the steadier figure under load.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); best of $runs runs"
printf '%-28s %-14s %9s %9s %9s %5s  %s\n' archive tool "wall ms" "cpu ms" "peak MiB" exit \
  "ours/this (wall, cpu, peak)"
compare() {  # archive, then "label|command" pairs, ours first
  local archive=$1; shift
  local name ours_wall ours_cpu ours_kib fastest_wall="" fastest_cpu="" fastest_kib="" fastest_label="" tool r
  name=$(basename "$archive")
  local results=()
  for tool in "$@"; do
    # shellcheck disable=SC2086
    r=$(python3 "$here/measure.py" "$runs" ${tool#*|} "$archive")
    results+=("${tool%%|*}|$r")
  done
  read -r ours_wall ours_cpu ours_kib _ <<< "${results[0]#*|}"
  for r in "${results[@]}"; do
    local label=${r%%|*} wall cpu kib rc ratios="-"
    read -r wall cpu kib rc <<< "${r#*|}"
    if [ "$label" != "brimlode-cli" ]; then
      ratios="$(ratio "$ours_wall" "$wall"), $(ratio "$ours_cpu" "$cpu"), $(ratio "$ours_kib" "$kib")"
      # The fastest peer by CPU time, the steadier figure on a shared machine.
      if [ -z "$fastest_cpu" ] || awk -v a="$cpu" -v b="$fastest_cpu" 'BEGIN { exit !(a < b) }'; then
        fastest_wall=$wall; fastest_cpu=$cpu; fastest_kib=$kib; fastest_label=$label
      fi
    fi
    printf '%-28s %-14s %9s %9s %9s %5s  %s\n' "$name" "$label" "$wall" "$cpu" \
      "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')" "$rc" "$ratios"
  done
  awk -v n="$name" -v l="$fastest_label" -v a="$ours_wall" -v b="$fastest_wall" -v c="$ours_cpu" \
      -v d="$fastest_cpu" -v m="$ours_kib" -v k="$fastest_kib" \
    'BEGIN { t = c / d; p = m / k
             printf "%-28s => fastest peer %s: %.2fx its wall time, %.2fx its CPU time (goal 0.6x: %s), %.2fx its peak memory (goal 2x: %s)\n",
             n, l, a / b, t, (t <= 0.6 ? "met" : "NOT MET"), p, (p <= 2 ? "met" : "NOT MET") }'
}

# CP932 names: bsdtar needs the charset, or it stops at the first such name.
for zip in "$out/zip-65535.zip" "$out/zip-stub-100MiB.zip"; do
  compare "$zip" \
    "brimlode-cli|$cli analyse --json" \
    "unzip -l|unzip -l" \
    "zipinfo|zipinfo" \
    "bsdtar -tvf|bsdtar --options hdrcharset=CP932 -tvf"
done
for lzh in "$out"/lzh-level?-20000.lzh "$out"/lzh-level?-ascii-20000.lzh; do
  compare "$lzh" \
    "brimlode-cli|$cli analyse --json" \
    "lhasa l|lhasa l" \
    "bsdtar -tvf|bsdtar --options hdrcharset=CP932 -tvf"
done

text_against_json

# ---- A million entries: peak memory per row ----
# The end record's counts stop at 65,535; the local headers list every entry.
# Beyond the names: the peak less that of a one-entry archive and the bytes of
# the names themselves, per row.
million="$out/zip-1000000.zip"
read -r m_wall m_cpu m_kib m_rc <<< "$(python3 "$here/measure.py" 1 "$cli" analyse --json "$million")"
read -r _ _ base_kib _ <<< "$(python3 "$here/measure.py" 1 "$cli" analyse --json "$out/zip-1.zip")"
rows=$("$cli" analyse --json "$million" | awk '/^  "listing": \[/ { on = 1; next } on && /^  \]/ { on = 0 } on { n++ } END { print n + 0 }')
names=$(python3 -B -c "import sys; sys.path.insert(0, '$here'); import gen_zip
print(sum(len(gen_zip.entry_name(i)) for i in range(1000000)))")
echo
awk -v w="$m_wall" -v c="$m_cpu" -v k="$m_kib" -v b="$base_kib" -v r="$rows" -v n="$names" -v rc="$m_rc" \
  'BEGIN { if (r == 0) r = 1; per = (k - b) * 1024 / r; beyond = ((k - b) * 1024 - n) / r
           printf "zip-1000000.zip: exit %d, %.0f ms wall, %.0f ms CPU, peak %.1f MiB (%.1f MiB for one entry), %d listing rows\n", rc, w, c, k / 1024, b / 1024, r
           printf "  %.0f bytes per row, %.0f beyond the names (%.1f bytes of name per row); goal about 64: %s\n",
             per, beyond, n / r, (beyond <= 80 ? "met" : "NOT MET") }'

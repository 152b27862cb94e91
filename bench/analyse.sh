#!/usr/bin/env bash
# Listing speed: `brimlode-cli analyse --json` and the text output against
# `unzip -Z1` (ZIP) and `lhasa l` (LZH), the plainest listing each peer makes,
# on the same archives in the same run. The commands take turns run by run
# (bench/measure.py --turns) and each figure is the median CPU time, so a
# change in the machine's load falls on all of them alike. ZIP names come in
# every encoding a listing meets: ASCII, CP932, UTF-8 without flag bit 11 (as
# Info-ZIP on Linux and macOS writes them) and with it, at 65,535 and a million
# entries, and behind a 100 MiB program stub. LZH archives come with CP932
# names and with ASCII names only: lhasa is slow on CP932 names, which would
# flatter the comparison.
# Then the instructions per entry (callgrind: steadier than time on a shared
# machine), the start of a process against `unzip -l` on a one-entry archive,
# and the peak memory per row of a million-entry ZIP. Output goes to
# /dev/null for every tool.
# Goals: ZIP at most 0.5x unzip -Z1, LZH at most 0.25x lhasa l, the text
# output at most 1.2x the JSON output, a process start at most 1.0x unzip -l
# (bench/gateway.sh measures that on 1,000 archives), 100 MiB of stub at most
# 5 ms more than none, about 64 bytes per row beyond the names.
#
#   bash bench/analyse.sh            # median of 5 runs per command
#   RUNS=9 bash bench/analyse.sh
#   IR=0 bash bench/analyse.sh       # without the callgrind counts
#   TEXT_ONLY=1 bash bench/analyse.sh  # the text output against the JSON output only
#   BRIMLODE_CLI=/path/to/brimlode-cli bash bench/analyse.sh
#
# Archives are made once into bench/out/ (delete it to rebuild them).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out="$here/out"
runs=${RUNS:-5}
cli=${BRIMLODE_CLI:-$root/build/brimlode-cli}
if [ ! -x "$cli" ]; then
  echo "brimlode-cli not found at $cli: build first (see README) or set BRIMLODE_CLI" >&2
  exit 2
fi
for tool in python3 unzip lhasa /usr/bin/time awk; do
  command -v "$tool" > /dev/null || { echo "missing: $tool (bash scripts/install-deps.sh)" >&2; exit 2; }
done
ir=${IR:-1}
if [ "$ir" != 0 ] && ! command -v valgrind > /dev/null; then
  echo "valgrind not found: instruction counts left out (apt-get install valgrind)" >&2
  ir=0
fi
mkdir -p "$out"

# ---- Archives ----
make_once() {  # file, generator command...
  local file=$1; shift
  if [ ! -s "$file" ]; then
    echo "making $(basename "$file") ..." >&2
    "$@"
  fi
}
for entries in 65535 1000000; do
  make_once "$out/zip-$entries.zip" python3 "$here/gen_zip.py" "$out/zip-$entries.zip" --entries $entries
  for names in ascii utf8 utf8-flag; do
    make_once "$out/zip-${names/-/}-$entries.zip" \
      python3 "$here/gen_zip.py" "$out/zip-${names/-/}-$entries.zip" --entries $entries --names $names
  done
done
make_once "$out/zip-65535-stub-100MiB.zip" \
  python3 "$here/gen_zip.py" "$out/zip-65535-stub-100MiB.zip" --entries 65535 --stub-bytes $((100 * 1024 * 1024))
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
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g ? "met" : "NOT MET") }'; }

# name|archive|entries|peer label|peer command|goal against the peer
zips=(zip-ascii zip zip-utf8 zip-utf8flag)
cases=()
for entries in 65535 1000000; do
  for z in "${zips[@]}"; do
    cases+=("$z-$entries|$out/$z-$entries.zip|$entries|unzip -Z1|unzip -Z1|0.5")
  done
done
cases+=("zip-65535-stub-100MiB|$out/zip-65535-stub-100MiB.zip|65535|unzip -Z1|unzip -Z1|0.5")
for level in 0 1 2; do
  for kind in "" -ascii; do
    cases+=("lzh-level$level$kind|$out/lzh-level$level$kind-20000.lzh|20000|lhasa l|lhasa l|0.25")
  done
done

# ---- Text output against JSON output ----
text_against_json() {
  echo
  printf '%-24s %9s %9s  %s\n' archive "json ms" "text ms" "text/json (cpu; goal 1.2x)"
  local c name archive json_cpu text_cpu t
  for c in "${cases[@]}"; do
    IFS='|' read -r name archive _ _ _ _ <<< "$c"
    { read -r _ json_cpu _ _; read -r _ text_cpu _ _; } < <(python3 "$here/measure.py" --turns "$runs" \
      "$cli" analyse --json "$archive" --- "$cli" analyse "$archive")
    t=$(ratio "$text_cpu" "$json_cpu")
    printf '%-24s %9s %9s  %sx: %s\n' "$name" "$json_cpu" "$text_cpu" "$t" "$(verdict "$t" 1.2)"
  done
}
if [ -n "${TEXT_ONLY:-}" ]; then
  text_against_json
  exit 0
fi

# ---- Ratios against the peer ----
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); median of $runs runs, taken in turns"
printf '%-24s %9s %9s %-10s %9s %9s %9s  %s\n' archive "json ms" "text ms" peer "peer ms" "json MiB" "peer MiB" \
  "json/peer, text/json (cpu)"
declare -A json_ms
for c in "${cases[@]}"; do
  IFS='|' read -r name archive entries label peer goal <<< "$c"
  # shellcheck disable=SC2086
  { read -r _ json_cpu json_kib json_rc; read -r _ text_cpu _ _; read -r _ peer_cpu peer_kib _; } < <(
    python3 "$here/measure.py" --turns "$runs" "$cli" analyse --json "$archive" --- "$cli" analyse "$archive" \
      --- $peer "$archive")
  json_ms[$name]=$json_cpu
  r=$(ratio "$json_cpu" "$peer_cpu")
  t=$(ratio "$text_cpu" "$json_cpu")
  printf '%-24s %9s %9s %-10s %9s %9.1f %9.1f  %sx (goal %s: %s), %sx (goal 1.2: %s)%s\n' "$name" "$json_cpu" \
    "$text_cpu" "$label" "$peer_cpu" "$(awk -v k="$json_kib" 'BEGIN { print k / 1024 }')" \
    "$(awk -v k="$peer_kib" 'BEGIN { print k / 1024 }')" "$r" "$goal" "$(verdict "$r" "$goal")" "$t" \
    "$(verdict "$t" 1.2)" "$([ "$json_rc" = 0 ] || echo " (exit $json_rc)")"
done
stub=$(awk -v a="${json_ms[zip-65535-stub-100MiB]}" -v b="${json_ms[zip-65535]}" 'BEGIN { printf "%.1f", a - b }')
echo "100 MiB of stub: ${stub} ms more than none (goal 5 ms: $(verdict "$stub" 5))"

# ---- Instructions per entry ----
# The count of the archive less that of a one-entry one, per entry.
if [ "$ir" != 0 ]; then
  count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null | awk '/Collected/ { print $4 }'; }
  echo
  printf '%-24s %12s %12s %12s\n' archive "json Ir/entry" "text Ir/entry" "peer Ir/entry"
  base_json=$(count "$cli" analyse --json "$out/zip-1.zip")
  base_text=$(count "$cli" analyse "$out/zip-1.zip")
  base_unzip=$(count unzip -Z1 "$out/zip-1.zip")
  for c in "${cases[@]}"; do
    IFS='|' read -r name archive entries _ peer _ <<< "$c"
    [ "$entries" -le 65535 ] || continue  # a million entries take minutes under callgrind
    base_peer=$([ "$peer" = "unzip -Z1" ] && echo "$base_unzip" || echo 0)
    # shellcheck disable=SC2086
    printf '%-24s %12.0f %12.0f %12.0f\n' "$name" \
      "$(awk -v a="$(count "$cli" analyse --json "$archive")" -v b="$base_json" -v n="$entries" 'BEGIN { print (a - b) / n }')" \
      "$(awk -v a="$(count "$cli" analyse "$archive")" -v b="$base_text" -v n="$entries" 'BEGIN { print (a - b) / n }')" \
      "$(awk -v a="$(count $peer "$archive")" -v b="$base_peer" -v n="$entries" 'BEGIN { print (a - b) / n }')"
  done
fi

# ---- The start of a process ----
echo
{ read -r _ version_cpu _ _; read -r _ one_cpu _ _; read -r _ unzip_cpu _ _; } < <(python3 "$here/measure.py" --turns \
  $((runs * 4)) "$cli" --version --- "$cli" analyse "$out/zip-1.zip" --- unzip -l "$out/zip-1.zip")
r=$(ratio "$one_cpu" "$unzip_cpu")
printf 'one-entry archive: analyse %s ms, unzip -l %s ms: %sx (goal 1.0: %s); --version %s ms\n' "$one_cpu" \
  "$unzip_cpu" "$r" "$(verdict "$r" 1.0)" "$version_cpu"
if [ "$ir" != 0 ]; then
  echo "instructions: --version $(count "$cli" --version), analyse $(count "$cli" analyse "$out/zip-1.zip")," \
    "unzip -l $(count unzip -l "$out/zip-1.zip")"
fi


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

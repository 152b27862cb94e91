#!/usr/bin/env bash
# Neutralising entries in place, against writing the same zeros with dd.
#
#   bench/rewrite.sh [RUNS]
#
# Two archives of stored entries: one entry of 1 GiB, and 10,000 entries of
# 4 KiB. Each is rewritten with every entry ticked (brimlode-cli rewrite
# ARCHIVE --all when ./build/brimlode-cli has that command, else the bench
# driver), and the same file then gets the same zero bytes at the same positions from
# dd conv=notrunc (one dd per entry; for the small entries also one dd of
# all their bytes in a row into a scratch copy: the floor for that many
# bytes, without the per-entry seeks and header fields). Best
# of RUNS (default 3) wall-clock seconds; peak memory from /usr/bin/time -v.
# Goal: within 1.5x of dd, peak memory under 64 MiB.
set -euo pipefail

runs=${1:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/bench/out"
work=$(mktemp -d "$root/bench/out/rewrite.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "building the bench driver in $work/build ..." >&2
cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMLODE_GUI=OFF \
  -DBRIMLODE_TESTS=OFF -DBRIMLODE_BENCH=ON >/dev/null
ninja -C "$work/build" rewrite_driver >/dev/null
driver="$work/build/rewrite_driver"

# The command line, when it has the rewrite command; else the driver.
cli="$root/build/brimlode-cli"
tool="bench driver (RewriteZipEntries)"
use_cli=0
if [[ -x $cli ]]; then
  "$driver" make "$work/probe.zip" many 2 16
  if "$cli" rewrite "$work/probe.zip" --all >/dev/null 2>&1; then
    use_cli=1
    tool="brimlode-cli rewrite --all"
  fi
fi
rewrite_cmd() {
  if ((use_cli)); then echo "$cli rewrite $1 --all"; else echo "$driver rewrite $1"; fi
}

# Runs "$@" under /usr/bin/time -v; prints "seconds peak_kib".
measure() {
  local log="$work/time.log"
  /usr/bin/time -v "$@" 2>"$log" >/dev/null
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
              /Maximum resident set size/ { m = $2 }
              END { printf "%.3f %d\n", s, m }' "$log"
}

dd_each() {  # zeros at every "start size" of the ranges file, one dd each
  while read -r start size; do
    dd if=/dev/zero of="$1" bs=1M seek="$start" oflag=seek_bytes count="$size" iflag=count_bytes \
      conv=notrunc status=none
  done <"$2"
}
dd_total() {  # the same number of zero bytes in one run, into a scratch copy
  local start total
  start=$(head -n1 "$2" | cut -d' ' -f1)
  total=$(awk '{ t += $2 } END { print t }' "$2")
  dd if=/dev/zero of="$1" bs=1M seek="$start" oflag=seek_bytes count="$total" iflag=count_bytes \
    conv=notrunc status=none
}
export -f dd_each dd_total

best() { sort -n | head -n1; }

printf 'tool: %s\n' "$tool"
printf '%-24s %-20s %10s %12s\n' scenario what seconds "peak KiB"
for scenario in "one 1073741824" "many 10000 4096"; do
  read -r kind a b <<<"$scenario"
  name="$kind"
  "$driver" make "$work/$name.zip" $scenario
  label=$([[ $kind == one ]] && echo "1 entry of 1 GiB" || echo "10,000 entries of 4 KiB")
  results=()
  for what in rewrite dd_each dd_total; do
    [[ $kind == one && $what == dd_total ]] && continue
    times=()
    for ((r = 0; r < runs; r++)); do
      case $what in
        rewrite) times+=("$(measure $(rewrite_cmd "$work/$name.zip"))") ;;
        dd_each) times+=("$(measure bash -c "dd_each '$work/$name.zip' '$work/$name.zip.ranges'")") ;;
        dd_total)
          cp "$work/$name.zip" "$work/scratch.zip"
          times+=("$(measure bash -c "dd_total '$work/scratch.zip' '$work/$name.zip.ranges'")")
          rm -f "$work/scratch.zip"
          ;;
      esac
    done
    line=$(printf '%s\n' "${times[@]}" | best)
    results+=("$what $line")
    printf '%-24s %-20s %10s %12s\n' "$label" "$what" $line
  done
  rw=$(printf '%s\n' "${results[@]}" | awk '$1 == "rewrite" { print $2 }')
  de=$(printf '%s\n' "${results[@]}" | awk '$1 == "dd_each" { print $2 }')
  awk -v r="$rw" -v d="$de" 'BEGIN { printf "%-24s %-20s %10.2fx\n", "", "rewrite / dd_each", (d > 0 ? r / d : 0) }'
  if [[ $kind == many ]]; then
    dt=$(printf '%s\n' "${results[@]}" | awk '$1 == "dd_total" { print $2 }')
    awk -v r="$rw" -v d="$dt" 'BEGIN { printf "%-24s %-20s %10.2fx\n", "", "rewrite / dd_total", (d > 0 ? r / d : 0) }'
  fi
  unzip -tq "$work/$name.zip" >/dev/null || { echo "unzip -t failed on the rewritten $name.zip" >&2; exit 1; }
  rm -f "$work/$name.zip"
done

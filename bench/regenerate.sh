#!/usr/bin/env bash
# Regeneration against cp of the same bytes, in one run:
#   1. splitting out a 1 GiB stored entry (one output of 1 GiB + 68 + n bytes)
#   2. combining the same 1 GiB entry
#   3. combining 10,000 small entries (and zip's own raw copy, zip -U --out)
# Wall time is the best of $RUNS runs with a warm page cache, each started
# after a sync; peak memory is the maximum resident set size that
# /usr/bin/time -v reports.
# Temporary files go to bench/out/ (about 4 GiB at the peak).
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
BUILD="${BUILD:-$ROOT/build}"
OUT="$HERE/out"
RUNS="${RUNS:-5}"
LARGE_BYTES="${LARGE_BYTES:-1073741824}"
SMALL_COUNT="${SMALL_COUNT:-10000}"

mkdir -p "$OUT"
rm -rf "${OUT:?}"/*

# The command-line program when it offers split/combine; the bench driver
# otherwise.
CLI="$BUILD/brimlode-cli"
if [[ -x "$CLI" ]] && "$CLI" 2>&1 | grep -q combine; then
  ANALYSE=()
  SPLIT=("$CLI" split)
  COMBINE=("$CLI" combine)
  TAIL=(--all)
  DRIVER_NAME="brimlode-cli"
else
  cmake --build "$BUILD" --target brimlode_core > /dev/null
  g++ -O2 -std=c++20 -I "$ROOT/src" "$HERE/regenerate_driver.cpp" "$BUILD/libbrimlode_core.a" \
    -lz -o "$OUT/regenerate_driver"
  ANALYSE=("$OUT/regenerate_driver" analyse)
  SPLIT=("$OUT/regenerate_driver" split)
  COMBINE=("$OUT/regenerate_driver" combine)
  TAIL=()
  DRIVER_NAME="bench driver"
fi

# measure LABEL CLEANUP COMMAND...: best wall seconds and largest peak KiB.
measure() {
  local label="$1" cleanup="$2"
  shift 2
  local best="" peak=0
  for ((i = 0; i < RUNS; i++)); do
    eval "$cleanup"
    sync
    local t0 t1 wall rss
    t0=$(date +%s.%N)
    /usr/bin/time -v -o "$OUT/time.txt" "$@" > /dev/null 2>> "$OUT/driver.log"
    t1=$(date +%s.%N)
    wall=$(awk "BEGIN {print $t1 - $t0}")
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$OUT/time.txt")
    if [[ -z "$best" ]] || awk "BEGIN {exit !($wall < $best)}"; then best="$wall"; fi
    ((rss > peak)) && peak="$rss"
  done
  eval "$cleanup"
  printf '%-50s %8.3f s %10d KiB\n' "$label" "$best" "$peak"
  RESULT_WALL="$best"
}

ratio() { awk "BEGIN {printf \"%.2f\", $1 / $2}"; }

echo "Preparing archives ($DRIVER_NAME)..."
mkdir -p "$OUT/large" "$OUT/small/files"
head -c "$LARGE_BYTES" /dev/urandom > "$OUT/large/big.bin"
(cd "$OUT/large" && zip -q -0 big.zip big.bin && rm big.bin)
for ((i = 0; i < SMALL_COUNT; i++)); do
  head -c $((200 + (i * 37) % 1800)) /dev/urandom > "$OUT/small/files/f$i.dat"
done
(cd "$OUT/small" && zip -q -0 -r small.zip files && rm -rf files)
cat "$OUT/large/big.zip" "$OUT/small/small.zip" > /dev/null  # warm the cache

printf '\n%-50s %10s %14s\n' "case" "wall" "peak RSS"
LARGE="$OUT/large/big.zip"
SMALL="$OUT/small/small.zip"

measure "cp of the 1 GiB archive" "rm -f $OUT/large/copy.zip" cp "$LARGE" "$OUT/large/copy.zip"
CP_LARGE="$RESULT_WALL"
measure "split the 1 GiB entry" "rm -f $OUT/large/big.bin.zip" \
  "${SPLIT[@]}" "$LARGE" "${TAIL[@]}"
SPLIT_LARGE="$RESULT_WALL"
measure "combine the 1 GiB entry" "rm -f $OUT/large/big\(ReCreate*" \
  "${COMBINE[@]}" "$LARGE" "${TAIL[@]}"
COMBINE_LARGE="$RESULT_WALL"

measure "cp of the 10,000-entry archive" "rm -f $OUT/small/copy.zip" cp "$SMALL" "$OUT/small/copy.zip"
CP_SMALL="$RESULT_WALL"
measure "zip -U (raw copy) of the 10,000 entries" "rm -f $OUT/small/zipcopy.zip" \
  zip -q -U "$SMALL" --out "$OUT/small/zipcopy.zip"
if [[ -n "${ANALYSE[*]:-}" ]]; then
  measure "analysis alone of the 10,000 entries (baseline)" ":" "${ANALYSE[@]}" "$SMALL"
fi
measure "combine 10,000 small entries" "rm -f $OUT/small/small\(ReCreate*" \
  "${COMBINE[@]}" "$SMALL" "${TAIL[@]}"
COMBINE_SMALL="$RESULT_WALL"

echo
echo "split 1 GiB / cp:     $(ratio "$SPLIT_LARGE" "$CP_LARGE")x (goal 1.2x)"
echo "combine 1 GiB / cp:   $(ratio "$COMBINE_LARGE" "$CP_LARGE")x (goal 1.2x)"
echo "combine 10,000 / cp:  $(ratio "$COMBINE_SMALL" "$CP_SMALL")x"

rm -rf "${OUT:?}/large" "${OUT:?}/small"

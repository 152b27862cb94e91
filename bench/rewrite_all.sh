#!/usr/bin/env bash
# Neutralising every entry of a large archive against listing it:
# brimlode-cli rewrite ARCHIVE --all --json against analyse ARCHIVE --json,
# on the 65,535-entry ZIP and the 20,000-entry LZH archives of levels 0, 1
# and 2 (the generators of analyse.sh). Each rewrite works on a fresh copy.
# Best of RUNS (default 5) CPU seconds, analyse and rewrite taken in turns
# (the machine may be shared, and wall-clock time then measures the
# neighbours), and the system calls of one rewrite from strace -c -f when
# strace is there.
# Goal: rewrite / analyse at most 3, a handful of system calls per entry.
#
#   bench/rewrite_all.sh [RUNS]
set -euo pipefail

runs=${1:-5}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cli=${BRIMLODE_CLI:-$root/build/brimlode-cli}
out="$here/out"
mkdir -p "$out"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }

make_once() {  # FILE COMMAND...: runs the generator unless FILE exists
  local f=$1
  shift
  [ -s "$f" ] || "$@" >/dev/null
}
make_once "$out/zip-65535.zip" python3 "$here/gen_zip.py" "$out/zip-65535.zip" --entries 65535
for level in 0 1 2; do
  make_once "$out/lzh-level$level-20000.lzh" \
    python3 "$here/gen_lzh.py" "$out/lzh-level$level-20000.lzh" --level "$level" --entries 20000
done

work=$(mktemp -d "$out/rewrite_all.XXXXXX")
trap 'rm -rf "$work"' EXIT

cpu() {  # COMMAND...: CPU seconds (perf's task clock in ms when perf is there)
  if command -v perf >/dev/null; then
    perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { printf "%.3f\n", $1 / 1000 }'
  else
    /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -n1 | awk '{ printf "%.3f\n", $1 + $2 }'
  fi
}
best() { sort -n | head -n1; }

printf '%-24s %10s %10s %7s %10s %10s %9s\n' archive "analyse s" "rewrite s" ratio pread64 pwrite64 "calls/ent"
for archive in "$out/zip-65535.zip" "$out"/lzh-level?-20000.lzh; do
  name=$(basename "$archive")
  entries=$([[ $name == zip-* ]] && echo 65535 || echo 20000)
  # Interleaved, so a busy spell on the machine hits both alike.
  : >"$work/analyse" && : >"$work/rewrite"
  for ((r = 0; r < runs; r++)); do
    cpu "$cli" analyse "$archive" --json >>"$work/analyse"
    cp "$archive" "$work/a"
    cpu "$cli" rewrite "$work/a" --all --json >>"$work/rewrite"
  done
  a=$(best <"$work/analyse")
  w=$(best <"$work/rewrite")
  reads=- writes=- per=-
  if command -v strace >/dev/null; then
    cp "$archive" "$work/a"
    strace -c -f -o "$work/strace" "$cli" rewrite "$work/a" --all --json >/dev/null 2>&1
    reads=$(awk '$NF == "pread64" { print $4 }' "$work/strace")
    writes=$(awk '$NF == "pwrite64" { print $4 }' "$work/strace")
    total=$(awk '$NF == "total" { print $4 }' "$work/strace")
    per=$(awk -v t="${total:-0}" -v n="$entries" 'BEGIN { printf "%.3f", t / n }')
  fi
  ratio=$(awk -v a="$a" -v w="$w" 'BEGIN { printf "%.1f", (a > 0 ? w / a : 0) }')
  printf '%-24s %10s %10s %7s %10s %10s %9s\n' "$name" "$a" "$w" "$ratio" "${reads:-0}" "${writes:-0}" "$per"
done

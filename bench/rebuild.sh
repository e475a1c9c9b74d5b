#!/usr/bin/env bash
# Rebuild throughput of `tarnwick-cli rebuild` against `cp FILE` in the same
# run: the source in the page cache, the outputs on the same file system,
# written into the page cache (the disk is synced before each run, not
# waited for after it, so that the figures are the programs' and not the
# disk's). Each figure is the best of three rounds, the commands taking turns.
# The Read EVO step that the command line runs first is limited to 1 MiB
# (--fast-check 1) and timed on its own, so that the rebuild itself can be
# shown apart from it.
# Usage: bench/rebuild.sh [SIZE_MIB]   (default 1100; build folder: $TARNWICK_BUILD,
#        default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1100}
build=${TARNWICK_BUILD:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tarnwick-cli tarnwick-make-stream >/dev/null
file=/tmp/tarnwick-bench.EVO
[ -f "$file" ] && [ "$(stat -c %s "$file")" -ge $((size << 20)) ] ||
  "$build/bench/tarnwick-make-stream" synth "$file" "$size"
bytes=$(stat -c %s "$file")
out=$(mktemp -d /tmp/tarnwick-rebuild-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
cli="$build/tarnwick-cli"

seconds() {
  local t0 t1
  rm -f "$out"/*
  sync
  t0=$(date +%s.%N)
  "$@" >/dev/null
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
faster() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

cat "$file" >/dev/null # into the page cache
cp_s="" read_s="" all_s="" drop_s=""
for _ in 1 2 3; do
  cp_s=$(faster "$cp_s" "$(seconds cp "$file" "$out/copy.EVO")")
  read_s=$(faster "$read_s" "$(seconds "$cli" read "$file" --fast-check 1 --no-continue -q)")
  all_s=$(faster "$all_s" "$(seconds "$cli" rebuild "$file" --fast-check 1 --no-continue -q -o "$out")")
  drop_s=$(faster "$drop_s" "$(seconds "$cli" rebuild "$file" --fast-check 1 --no-continue -q \
    -o "$out" --streams v0,a00,s00)")
done
rm -f "$out"/*
peak_kb=$(/usr/bin/time -f %M "$cli" rebuild "$file" --fast-check 1 --no-continue -q -o "$out" \
  2>&1 >/dev/null | tail -1)

mbs() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }
ratio() { echo "scale=2; $cp_s / $1" | bc -l; }
printf 'file: %s (%d MiB)\n' "$file" $((bytes >> 20))
printf 'cp:                        %7.3f s  %7s MB/s\n' "$cp_s" "$(mbs "$cp_s")"
printf 'read (first MiB only):     %7.3f s\n' "$read_s"
for run in "all streams kept:$all_s" "one audio stream dropped:$drop_s"; do
  name=${run%%:*} s=${run#*:}
  only=$(echo "$s - $read_s" | bc -l)
  printf 'rebuild, %-25s %7.3f s  %7s MB/s  ratio to cp %s  (rebuild alone %s MB/s, ratio %s)\n' \
    "$name:" "$s" "$(mbs "$s")" "$(ratio "$s")" "$(mbs "$only")" "$(ratio "$only")"
done
printf 'peak memory of rebuild: %s MB\n' "$(echo "scale=1; $peak_kb / 1024" | bc -l)"

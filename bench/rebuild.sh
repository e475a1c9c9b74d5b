#!/usr/bin/env bash
# Rebuild throughput of `tarnwick-cli rebuild` against `cp FILE` into the same
# output folder in the same run, the source in the page cache: once into the
# page cache only, once timed until the output is on the disk. The second is
# the fair one: the rebuilt file starts its disk writes while it is written
# (OutputFile), cp's copy waits in the page cache. The page-cache round runs
# first, before the deleted outputs of the disk round keep the disk busy.
# Each figure is the best of five rounds in which the commands take turns,
# which keeps out most of the disturbance of other work on the machine. Two rebuilds: every stream kept, and one
# of the two audio streams dropped. The Read EVO step that the command line
# runs first is limited to 1 MiB (--fast-check 1) and timed on its own.
# Peak memory by /usr/bin/time (Debian package "time").
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
quick=(--fast-check 1 --no-continue -q)

# Prints the wall-clock seconds.
measure() {
  local t0 t1
  rm -f "$out"/*
  sync
  t0=$(date +%s.%N)
  "$@" >/dev/null
  # Only the files of this run are flushed, not what others wrote meanwhile.
  [ "$durable" = 0 ] || sync "$out"/* 2>/dev/null || true
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
lower() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
run() {
  case $1 in
    cp) measure cp "$file" "$out/copy.EVO" ;;
    read) measure "$cli" read "$file" "${quick[@]}" ;;
    all) measure "$cli" rebuild "$file" "${quick[@]}" -o "$out" ;;
    drop) measure "$cli" rebuild "$file" "${quick[@]}" -o "$out" --streams v0,a00,s00 ;;
  esac
}
mbs() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }

cat "$file" >/dev/null # into the page cache
peak_kb=$(/usr/bin/time -f %M "$cli" rebuild "$file" "${quick[@]}" -o "$out" 2>&1 >/dev/null | tail -1)
printf 'file: %s (%d MiB); peak memory of rebuild %s MB; best of 5 rounds\n' "$file" \
  $((bytes >> 20)) "$(echo "scale=1; $peak_kb / 1024" | bc -l)"
for durable in 0 1; do
  declare -A wall=()
  for _ in 1 2 3 4 5; do
    for n in cp read all drop; do
      wall[$n]=$(lower "${wall[$n]:-}" "$(run "$n")")
    done
  done
  rm -f "$out"/*
  if [ "$durable" = 1 ]; then
    echo "until the output is on the disk:           s       MB/s   vs cp"
  else
    echo "into the page cache:                       s       MB/s   vs cp"
  fi
  line() { # name, key
    local w=${wall[$2]}
    printf '  %-34s %7.3f %10s %7s\n' "$1" "$w" "$(mbs "$w")" "$(ratio "${wall[cp]}" "$w")"
  }
  line "cp" cp
  printf '  %-34s %7.3f\n' "read EVO (first MiB only)" "${wall[read]}"
  line "rebuild, all streams kept" all
  line "rebuild, one audio stream dropped" drop
done

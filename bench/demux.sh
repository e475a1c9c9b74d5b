#!/usr/bin/env bash
# Demux throughput of `tarnwick-cli demux` against `cp FILE` into the same
# output folder in the same run, the source in the page cache: once timed
# until the output is on the disk, once into the page cache only. The Read
# EVO step that the command line runs first (fast check at its default
# 300 MiB) is also timed on its own, so that the demux itself can be shown
# apart from it. Peak memory by
# /usr/bin/time (Debian package "time", see scripts/install-deps.sh).
# Usage: bench/demux.sh [SIZE_MIB]   (default 1100; build folder: $TARNWICK_BUILD,
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
out=$(mktemp -d /tmp/tarnwick-demux-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
cli="$build/tarnwick-cli"

seconds() {
  local t0 t1
  sync
  t0=$(date +%s.%N)
  "$@" >/dev/null
  # The output is not done before its bytes are on the disk; only the files
  # of this run are flushed, not what other programs have written meanwhile.
  [ "$durable" = 0 ] || sync "$out"/* 2>/dev/null || true
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}
best() { # the fastest of three runs
  local b="" s
  for _ in 1 2 3; do
    s=$(seconds "$@")
    rm -f "$out"/*
    if [ -z "$b" ] || [ "$(echo "$s < $b" | bc -l)" = 1 ]; then b=$s; fi
  done
  echo "$b"
}

cat "$file" >/dev/null # into the page cache
"$cli" demux "$file" --no-continue -q -o "$out" >/dev/null
outputs=$(ls "$out" | wc -l)
out_bytes=$(du -cb "$out"/* | tail -1 | cut -f1)
rm -f "$out"/*
peak_kb=$(/usr/bin/time -f %M "$cli" demux "$file" --no-continue -q -o "$out" 2>&1 >/dev/null |
  tail -1)
rm -f "$out"/*

mbs() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }
printf 'file: %s (%d MiB); demux writes %d files, %d MiB; peak memory of demux %s MB\n' \
  "$file" $((bytes >> 20)) "$outputs" $((out_bytes >> 20)) "$(echo "scale=1; $peak_kb / 1024" | bc -l)"
for durable in 1 0; do
  cp_s=$(best cp "$file" "$out/copy.EVO")
  read_s=$(best "$cli" read "$file" --no-continue -q)
  demux_s=$(best "$cli" demux "$file" --no-continue -q -o "$out")
  only=$(echo "$demux_s - $read_s" | bc -l)
  ratio() { echo "scale=2; $cp_s / $1" | bc -l; }
  [ "$durable" = 1 ] && echo "until the output is on the disk:" || echo "into the page cache:"
  printf '  cp:                      %7.3f s  %7s MB/s\n' "$cp_s" "$(mbs "$cp_s")"
  printf '  read (first 300 MiB):    %7.3f s\n' "$read_s"
  printf '  demux (read + demux):    %7.3f s  %7s MB/s  ratio to cp %s\n' "$demux_s" \
    "$(mbs "$demux_s")" "$(ratio "$demux_s")"
  printf '  demux alone:             %7.3f s  %7s MB/s  ratio to cp %s\n' "$only" "$(mbs "$only")" \
    "$(ratio "$only")"
done

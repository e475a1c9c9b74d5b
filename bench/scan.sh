#!/usr/bin/env bash
# Scan throughput of `tarnwick-cli read --no-fast-check` (details and frame
# counting on) against `cat FILE > /dev/null`, the file in the page cache.
# Usage: bench/scan.sh [SIZE_MIB]   (default 1100)
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1100}
build=build/release
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $build --target tarnwick-cli tarnwick-make-stream >/dev/null
file=/tmp/tarnwick-bench.EVO
[ -f "$file" ] && [ "$(stat -c %s "$file")" -ge $((size << 20)) ] ||
  $build/bench/tarnwick-make-stream synth "$file" "$size"
bytes=$(stat -c %s "$file")

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
cat "$file" >/dev/null # into the page cache
cat_s=$(seconds sh -c "cat '$file' > /dev/null")
scan_s=$(seconds $build/tarnwick-cli read "$file" --no-fast-check -q)
peak_kb=$(/usr/bin/time -f %M $build/tarnwick-cli read "$file" --no-fast-check -q 2>&1 >/dev/null | tail -1)

mbs() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }
printf 'file: %s (%d MiB)\n' "$file" $((bytes >> 20))
printf 'cat:  %8.3f s  %8s MB/s\n' "$cat_s" "$(mbs "$cat_s")"
printf 'scan: %8.3f s  %8s MB/s  ratio to cat %s  peak memory %s MB\n' "$scan_s" "$(mbs "$scan_s")" \
  "$(echo "scale=2; $cat_s / $scan_s" | bc -l)" "$(echo "scale=1; $peak_kb / 1024" | bc -l)"

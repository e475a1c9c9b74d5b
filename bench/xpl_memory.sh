#!/usr/bin/env bash
# Peak memory and time of `tarnwick-cli xpl` on a hostile playlist: SIZE_MIB
# of nested "<a>" tags that never close, so that every tag line would carry
# the deepest indentation. Read XPL must stay within a few times the file's
# size and finish in seconds.
# Usage: bench/xpl_memory.sh [SIZE_MIB] [CLI]   (defaults 20, the release build)
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-20}
cli=${2:-}
if [ -z "$cli" ]; then
  build=build/release
  cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build $build --target tarnwick-cli >/dev/null
  cli=$build/tarnwick-cli
fi
file=/tmp/tarnwick-bench-nested.XPL
head -c $((size << 20)) < <(yes '<a>' | tr -d '\n') > "$file"
stats=$(/usr/bin/time -f '%M %e' "$cli" xpl "$file" -q 2>&1 >/dev/null | tail -1)
printf 'playlist: %d MiB of nested tags\n' "$size"
printf 'peak memory: %s MB   time: %s s\n' "$(echo "scale=1; ${stats% *} / 1024" | bc -l)" "${stats#* }"

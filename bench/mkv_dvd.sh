#!/usr/bin/env bash
# `tarnwick-cli mkv` on a DVD title split as DVDs split it (VTS_01_1.VOB of
# 1 GiB, then VTS_01_2.VOB, one MPEG-2 program stream cut at a byte), against
# `mkvmerge -o x.mkv VTS_01_1.VOB` reading the VOBs itself, with the peak disk
# space of the work files taken from the output folder while the MKV is made.
#
# Usage: bench/mkv_dvd.sh [SECONDS]   (default 1350: about 1.5 GiB; ROUNDS
#        (default 3), TARNWICK_BUILD (default build/release) and
#        TARNWICK_BENCH_DIR (default /tmp/tarnwick-bench) from the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1350}
rounds=${ROUNDS:-3}
build=${TARNWICK_BUILD:-build/release}
dir=${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}/dvd-$seconds
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tarnwick-cli >/dev/null
cli="$(pwd)/$build/tarnwick-cli"
mkdir -p "$dir"

# --- the title, made once and kept ------------------------------------------
if [ ! -f "$dir/VTS_01_2.VOB" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=720x576:rate=25:duration=$seconds" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
      -map 0:v -map 1:a -c:v mpeg2video -b:v 9000k -minrate 9000k -maxrate 9000k -bufsize 1835k -g 12 -bf 2 \
      -c:a ac3 -b:a 448k -f vob "$dir/title.vob"
  (cd "$dir" && split -b 1073741824 -d -a 1 title.vob part && mv part0 VTS_01_1.VOB &&
     mv part1 VTS_01_2.VOB && rm title.vob)
fi
ls -l "$dir"/VTS_01_*.VOB

# The largest size the output folder reaches while a command runs.
peak() {
  local folder=$1 pid=$2 most=0 now
  while kill -0 "$pid" 2>/dev/null; do
    now=$(du -sb "$folder" 2>/dev/null | cut -f1)
    [ "${now:-0}" -gt "$most" ] && most=$now
    sleep 0.2
  done
  echo "$most"
}

best_tarnwick=999999 best_mkvmerge=999999 space=0
for round in $(seq "$rounds"); do
  for tool in tarnwick mkvmerge; do
    out="$dir/out-$tool"
    rm -rf "$out" && mkdir -p "$out"
    cat "$dir"/VTS_01_*.VOB >/dev/null # both read from the page cache
    sync
    start=$(date +%s.%N)
    if [ "$tool" = tarnwick ]; then
      "$cli" mkv "$dir/VTS_01_1.VOB" -o "$out" -q &
    else
      mkvmerge -q -o "$out/x.mkv" "$dir/VTS_01_1.VOB" &
    fi
    pid=$!
    most=$(peak "$out" "$pid")
    wait "$pid" || true
    took=$(echo "$(date +%s.%N) - $start" | bc)
    length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out"/*.mkv)
    echo "round $round $tool: $took s, MKV $length s, output folder at most $((most / 1048576)) MiB"
    if [ "$tool" = tarnwick ]; then
      best_tarnwick=$(echo "if ($took < $best_tarnwick) $took else $best_tarnwick" | bc)
      [ "$most" -gt "$space" ] && space=$most
    else
      best_mkvmerge=$(echo "if ($took < $best_mkvmerge) $took else $best_mkvmerge" | bc)
    fi
  done
done
echo "fastest: tarnwick-cli mkv $best_tarnwick s, mkvmerge on the VOBs $best_mkvmerge s;" \
     "tarnwick's output folder peaked at $((space / 1048576)) MiB"

#!/usr/bin/env bash
# The whole benchmark in one table: `tarnwick-cli read --no-fast-check`,
# `demux` and `rebuild` on a >= 1 GiB EVO-style file (tarnwick-make-stream
# synth) and on a >= 1 GiB VOB encoded by ffmpeg (MPEG-2 video, two Dolby
# Digital streams), against `cat` (the read ceiling), `cp` (the write
# ceiling; it copies inside the kernel with copy_file_range, so `dd bs=256K`,
# a copy through user memory in chunks of the engine's size, is shown too)
# and, on the VOB, ffmpeg's pass over the file (-f null) and its stream copy
# into elementary files. The demux also runs without frame counting, to show
# what the counting costs.
#
# All figures come from one run of this script on the same files, in the page
# cache. Each command runs ROUNDS times (default 3), the commands taking
# turns; the fastest round counts. Outputs go to the same file system as the
# source and are removed before each round; the disk is synced before each
# round and not waited for after it, so that the figures are the programs'.
# demux and rebuild run their Read EVO step with --fast-check 1, so that they
# time the demux and the copy themselves. Peak memory is the largest resident
# set of any round (/usr/bin/time); it is also taken on a 128 MiB file to show
# that it does not grow with the file.
#
# Usage: bench/run.sh [SIZE_MIB]   (default 1100; ROUNDS, TARNWICK_BUILD
#        (default build/release) and TARNWICK_BENCH_DIR (default
#        /tmp/tarnwick-bench) from the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1100}
rounds=${ROUNDS:-3}
build=${TARNWICK_BUILD:-build/release}
dir=${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tarnwick-cli tarnwick-make-stream >/dev/null
cli="$build/tarnwick-cli"
mkdir -p "$dir"
out="$dir/out"

# --- the sources, made once and kept ---------------------------------------
evo="$dir/SYNTH.EVO"
small="$dir/SMALL.EVO"
vob="$dir/FFMPEG.VOB"
[ -f "$evo" ] && [ "$(stat -c %s "$evo")" -ge $((size << 20)) ] ||
  "$build/bench/tarnwick-make-stream" synth "$evo" "$size"
[ -f "$small" ] || "$build/bench/tarnwick-make-stream" synth "$small" 128
if ! [ -f "$vob" ] || [ "$(stat -c %s "$vob")" -lt $((size << 20)) ]; then
  # Two minutes encoded once, then looped by stream copy up to the size.
  segment="$dir/segment.vob"
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=720x576:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=48000 \
    -f lavfi -i sine=frequency=880:sample_rate=48000 -t 120 \
    -map 0:v -map 1:a -map 2:a -c:v mpeg2video -b:v 8M -minrate 8M -maxrate 8M -bufsize 1835k \
    -g 12 -bf 2 -c:a ac3 -b:a 448k -f vob "$segment" </dev/null
  loops=$((((size << 20) + $(stat -c %s "$segment") - 1) / $(stat -c %s "$segment")))
  ffmpeg -hide_banner -loglevel fatal -y -stream_loop $((loops - 1)) -i "$segment" \
    -map 0 -c copy -f vob "$vob" </dev/null
  rm -f "$segment"
fi

# --- timing ----------------------------------------------------------------
# run NAME COMMAND...: one round; keeps the fastest time and the largest peak.
declare -A best peak
run() {
  local name=$1 t0 t1 kb
  shift
  rm -rf "$out"
  mkdir -p "$out"
  sync
  t0=$(date +%s.%N)
  /usr/bin/time -f %M -o "$dir/peak" "$@" >/dev/null 2>"$dir/stderr" ||
    { cat "$dir/stderr" >&2; exit 1; }
  t1=$(date +%s.%N)
  kb=$(tail -1 "$dir/peak")
  local s
  s=$(echo "$t1 - $t0" | bc -l)
  if [ -z "${best[$name]:-}" ] || [ "$(echo "$s < ${best[$name]}" | bc -l)" = 1 ]; then
    best[$name]=$s
  fi
  if [ -z "${peak[$name]:-}" ] || [ "$kb" -gt "${peak[$name]}" ]; then peak[$name]=$kb; fi
}

# ffmpeg's stream copy of every stream into an elementary file of its kind.
copy_args=()
ffmpeg_copy_args() {
  local file=$1 index codec
  copy_args=(-hide_banner -loglevel error -y -i "$file")
  while IFS=, read -r index codec _; do
    case $codec in
      mpeg2video) copy_args+=(-map "0:$index" -c copy -f mpeg2video "$out/$index.m2v") ;;
      ac3) copy_args+=(-map "0:$index" -c copy -f ac3 "$out/$index.ac3") ;;
      eac3) copy_args+=(-map "0:$index" -c copy -f eac3 "$out/$index.eac3") ;;
      h264) copy_args+=(-map "0:$index" -c copy -f h264 "$out/$index.264") ;;
    esac
  done < <(ffprobe -v error -show_entries stream=index,codec_name -of csv=p=0 "$file")
}

measure() { # file key
  local file=$1 k=$2
  run "$k cat" sh -c "cat '$file' >/dev/null"
  run "$k cp" cp "$file" "$out/copy"
  run "$k dd" dd if="$file" of="$out/copy" bs=256K status=none
  run "$k read" "$cli" read "$file" --no-fast-check --no-continue -q
  run "$k demux" "$cli" demux "$file" --fast-check 1 --no-continue -q -o "$out"
  run "$k demux, no frame count" "$cli" demux "$file" --fast-check 1 --no-continue -q -o "$out" \
    --no-count-frames
  # Only an .EVO can be rebuilt.
  [ "$k" = EVO ] && run "$k rebuild" "$cli" rebuild "$file" --fast-check 1 --no-continue -q -o "$out"
  if [ "$k" = VOB ]; then
    run "$k ffmpeg pass" ffmpeg -hide_banner -loglevel error -i "$file" -map 0 -c copy -f null -
    ffmpeg_copy_args "$file"
    run "$k ffmpeg copy" ffmpeg "${copy_args[@]}"
  fi
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
cat "$evo" "$vob" "$small" >/dev/null # into the page cache
for _ in $(seq "$rounds"); do
  measure "$evo" EVO
  measure "$vob" VOB
done
run "small read" "$cli" read "$small" --no-fast-check --no-continue -q
run "small demux" "$cli" demux "$small" --fast-check 1 --no-continue -q -o "$out"
run "small rebuild" "$cli" rebuild "$small" --fast-check 1 --no-continue -q -o "$out"
rm -rf "$out"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- the table -------------------------------------------------------------
mbs() { echo "scale=1; $1 / 1048576 / ${best[$2]}" | bc -l; }
ratio() { printf '%.2f' "$(echo "${best[$2]} / ${best[$1]}" | bc -l)"; } # speed of $1 over $2
mb() { echo "scale=1; $1 / 1024" | bc -l; }

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(free -g | awk '/^Mem:/ {print $2}') GiB memory; load average $load_before before, $load_after after"
echo "Fastest of $rounds rounds; MB/s are MiB per second of source read."
echo
for k in EVO VOB; do
  file=$evo
  [ "$k" = VOB ] && file=$vob
  bytes=$(stat -c %s "$file")
  echo "$k: $(basename "$file"), $((bytes >> 20)) MiB"
  echo
  echo "| command | seconds | MB/s | vs cat | vs cp | vs ffmpeg | peak MB |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  for c in cat cp dd read demux "demux, no frame count" rebuild "ffmpeg pass" "ffmpeg copy"; do
    [ -n "${best[$k $c]:-}" ] || continue
    vs_cat="" vs_cp="" vs_ff=""
    case $c in
      read)
        vs_cat=$(ratio "$k read" "$k cat")
        [ -n "${best[$k ffmpeg pass]:-}" ] && vs_ff=$(ratio "$k read" "$k ffmpeg pass")
        ;;
      demux | rebuild | dd | "demux, no frame count")
        vs_cp=$(ratio "$k $c" "$k cp")
        [ "$c" != dd ] && [ -n "${best[$k ffmpeg copy]:-}" ] &&
          vs_ff=$(ratio "$k $c" "$k ffmpeg copy")
        ;;
    esac
    printf '| %s | %.3f | %s | %s | %s | %s | %s |\n' "$c" "${best[$k $c]}" "$(mbs "$bytes" "$k $c")" \
      "$vs_cat" "$vs_cp" "$vs_ff" "$(mb "${peak[$k $c]}")"
  done
  echo
done
echo "Peak memory, 128 MiB file against $((size)) MiB file (MB):"
for c in read demux rebuild; do
  echo "  $c: $(mb "${peak[small $c]}") against $(mb "${peak[EVO $c]}")"
done

#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each in turn for
# SECONDS (default 60), one fuzzer at a time.
#   ./fuzz.sh [SECONDS] [TARGET...]
# Seeds come from the bundled samples and from short ffmpeg encodes; the
# checked-in corpora of fuzz/corpus/<target>/ join them. A finding lands in
# build/fuzz/findings/; copy it to fuzz/corpus/<target>/ once it is fixed, so
# that ./test.sh replays it.
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}
shift || true
all=(engine_scan engine_demux rebuild playlist report_json title_list markup ac3 dts mlp lpcm mpeg2
  h264 vc1)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

scripts/install-packages.sh clang libfuzzer-14-dev ffmpeg python3

build=build/fuzz
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
      -DTARNWICK_FUZZ=ON -DTARNWICK_WINDOW=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build $build --target tarnwick_fuzz_all tarnwick-cli >/dev/null

seeds=$build/seeds
make_seeds() {
  local tmp=$build/seed-work
  rm -rf "$seeds" "$tmp"
  mkdir -p "$tmp"
  for t in "${all[@]}"; do mkdir -p "$seeds/$t"; done
  # Sources: a flag byte (see SourceFlags) in front of the first 48 KiB of a file.
  local n=0
  for f in samples/DISC/HVDVD_TS/FEATURE_1.EVO samples/DISC/HVDVD_TS/FEATURE_2.EVO ../shared/samples/*.vob; do
    [ -f "$f" ] || continue
    for flags in 0x0c 0x1d 0x4e 0x8c; do
      n=$((n + 1))
      { printf "\\x${flags#0x}"; head -c 49152 "$f"; } >"$seeds/engine_scan/$n"
    done
  done
  cp "$seeds"/engine_scan/* "$seeds/engine_demux/"
  cp "$seeds"/engine_scan/* "$seeds/rebuild/"
  cp ../shared/samples/xpl/*.XPL "$seeds/playlist/" 2>/dev/null || true
  cp samples/DISC/ADV_OBJ/VPLST000.XPL "$seeds/playlist/sample.XPL"
  cp "$seeds"/playlist/* "$seeds/title_list/"
  # The JSON report: a source path (a Latin-1 folder) on the first line, the
  # playlist that names its streams after it.
  for f in "$seeds"/playlist/*; do
    { printf '/disc/f\xe9/HVDVD_TS/FEATURE_1.EVO\n'; cat "$f"; } >"$seeds/report_json/${f##*/}"
  done
  printf '%s' '[b]Dolby Digital[/b] audio stream 0 found!' >"$seeds/markup/1"
  printf '%s' '   First PTS = [re]00015F90[/re]  ([re]+500[/re]ms)' >"$seeds/markup/2"
  printf '%s' '[c:FF00]x[/c:FF00][s1][i]y[/i][u]z' >"$seeds/markup/3"
  # Elementary streams: the first 8 KiB of short encodes.
  local lavfi_a=(-f lavfi -i sine=frequency=440:sample_rate=48000 -t 0.3)
  local lavfi_v=(-f lavfi -i testsrc2=size=320x240:rate=25 -t 0.5)
  ff() { ffmpeg -hide_banner -loglevel error -y "$@" </dev/null || true; }
  ff "${lavfi_a[@]}" -c:a ac3 -ac 6 -f ac3 "$tmp/a.ac3"
  ff "${lavfi_a[@]}" -c:a eac3 -f eac3 "$tmp/a.eac3"
  ff "${lavfi_a[@]}" -c:a dca -strict -2 -f dts "$tmp/a.dts"
  ff "${lavfi_a[@]}" -c:a truehd -strict -2 -f truehd "$tmp/a.thd"
  ff "${lavfi_a[@]}" -c:a mlp -strict -2 -f mlp "$tmp/a.mlp"
  ff "${lavfi_v[@]}" -c:v mpeg2video -f mpeg2video "$tmp/v.m2v"
  ff "${lavfi_v[@]}" -c:v libx264 -f h264 "$tmp/v.264"
  cut8() { [ -s "$1" ] && head -c 8192 "$1" >"$2" || true; }
  cut8 "$tmp/a.ac3" "$seeds/ac3/ac3"
  cut8 "$tmp/a.eac3" "$seeds/ac3/eac3"
  cut8 "$tmp/a.dts" "$seeds/dts/dts"
  cut8 "$tmp/a.thd" "$seeds/mlp/truehd"
  cut8 "$tmp/a.mlp" "$seeds/mlp/mlp"
  cut8 "$tmp/v.m2v" "$seeds/mpeg2/m2v"
  cut8 "$tmp/v.264" "$seeds/h264/h264"
  # LPCM: the three header bytes after the sub-stream header (16 bit, 48 kHz,
  # 2 channels), then samples.
  { printf '\xa0\x01\x00\x04\x00\x01\x80'; head -c 4000 /dev/urandom; } >"$seeds/lpcm/1"
  { printf '\xa0\x01\x00\x04\x00\xa9\x85'; head -c 4000 /dev/urandom; } >"$seeds/lpcm/2"
  # VC-1: an Advanced-profile sequence header (1920x1080, display extension),
  # an entry point and a frame start code.
  python3 - "$seeds/vc1/1" <<'EOF'
import sys
bits = ''
def put(v, n):
    global bits
    bits += format(v, '0%db' % n)
put(0x0000010F, 32); put(3, 2); put(3, 3); put(1, 2); put(0, 3); put(31, 5); put(0, 1)
put(959, 12); put(539, 12); put(1, 1); put(0, 1); put(0, 1); put(0, 1); put(1, 1)
put(0, 1); put(1, 1); put(1919, 14); put(1079, 14); put(1, 1); put(1, 4)
put(1, 1); put(0, 1); put(1, 8); put(2, 4); put(0, 1); put(0, 1)
bits += '0' * (-len(bits) % 8)
data = int(bits, 2).to_bytes(len(bits) // 8, 'big')
data += bytes([0, 0, 1, 0x0E, 0x48, 0x00, 0x00, 0x00, 0, 0, 1, 0x0D, 0x12, 0x34])
open(sys.argv[1], 'wb').write(data)
EOF
  rm -rf "$tmp"
}
make_seeds

max_len() {
  case $1 in
    engine_scan | engine_demux | rebuild) echo 65536 ;;
    playlist | report_json | title_list) echo 16384 ;;
    markup) echo 1024 ;;
    *) echo 8192 ;;
  esac
}

mkdir -p $build/findings
status=0
for t in "${targets[@]}"; do
  work=$build/corpus/$t
  mkdir -p "$work" "fuzz/corpus/$t"
  before=$(ls $build/findings | wc -l)
  echo "== $t: ${seconds} s"
  # Inputs the fuzzer made up as file names and outputs go to a scratch
  # folder of its own on tmpfs; removed afterwards.
  set +e
  $build/fuzz/fuzz_$t "$work" "fuzz/corpus/$t" "$seeds/$t" -max_total_time="$seconds" \
    -max_len="$(max_len "$t")" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$t-" 2>"$build/$t.log"
  rc=$?
  set -e
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY|tarnwick fuzz finding)' \
    "$build/$t.log" || tail -5 "$build/$t.log"
  after=$(ls $build/findings | wc -l)
  if [ $rc -ne 0 ] || [ "$after" -gt "$before" ]; then
    echo "!! $t: finding, see $build/$t.log and $build/findings/"
    status=1
  fi
  rm -rf /dev/shm/tarnwick-fuzz-* 2>/dev/null || true
done
exit $status

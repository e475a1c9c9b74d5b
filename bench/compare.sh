#!/usr/bin/env bash
# Two builds of tarnwick-cli against each other on bench/run.sh's files, with
# the commands interleaved: each round runs cat, cp and then every command
# with the one build and at once with the other. On a host whose speed
# changes from minute to minute, only figures taken side by side like this
# can be compared; bench/run.sh's tables, one build at a time, cannot.
#
# Usage: bench/compare.sh OLD_CLI NEW_CLI   (ROUNDS, default 7, and
#        TARNWICK_BENCH_DIR, default /tmp/tarnwick-bench, from the environment;
#        run bench/run.sh once first to make the files)
set -euo pipefail
old=$1
new=$2
dir=${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}
out="$dir/compare-out"
times="$dir/compare-times"
: >"$times"

once() { # NAME COMMAND...: one timed run into $times
  local name=$1 t0 t1
  shift
  rm -rf "$out"
  mkdir -p "$out"
  sync
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  echo "$name|$(echo "$t1 - $t0" | bc -l)" >>"$times"
}

cat "$dir/SYNTH.EVO" "$dir/FFMPEG.VOB" >/dev/null # into the page cache
for _ in $(seq "${ROUNDS:-7}"); do
  for file in "$dir/SYNTH.EVO" "$dir/FFMPEG.VOB"; do
    kind=${file##*.}
    once "$kind cat" sh -c "cat '$file' >/dev/null"
    once "$kind cp" cp "$file" "$out/copy"
    for build in old new; do
      cli=${!build}
      once "$kind read, $build" "$cli" read "$file" --no-fast-check --no-continue -q
      once "$kind demux, $build" "$cli" demux "$file" --fast-check 1 --no-continue -q -o "$out"
      [ "$kind" = EVO ] &&
        once "$kind rebuild, $build" "$cli" rebuild "$file" --fast-check 1 --no-continue -q -o "$out"
    done
  done
done
rm -rf "$out"
python3 - "$times" <<'PY'
import collections, statistics, sys
runs = collections.defaultdict(list)
for line in open(sys.argv[1]):
    name, seconds = line.rstrip("\n").split("|")
    runs[name].append(float(seconds))
print("| command | fastest s | median s | slowest s |")
print("|---|---:|---:|---:|")
for name, seconds in runs.items():
    print("| %s | %.3f | %.3f | %.3f |" % (name, min(seconds), statistics.median(seconds), max(seconds)))
PY

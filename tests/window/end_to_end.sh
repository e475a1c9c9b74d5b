#!/usr/bin/env bash
# The window as a person would use it, on an X display (run under xvfb-run):
# with stored settings that select "Auto Demux" and an output folder,
# `tarnwick FEATURE_1.EVO` reads and demuxes both parts of the feature into
# the output folder; closing the window writes every setting back.
#   end_to_end.sh <tarnwick> <x11_close_window> <tarnwick-cli> <FEATURE_1.EVO>
set -euo pipefail
tarnwick=$1 closer=$2 cli=$3 sample=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
ini=$XDG_CONFIG_HOME/Brackenfold/Tarnwick.ini
mkdir -p "$(dirname "$ini")" "$work/out" "$work/reference"
printf '[General]\nAutoDemux=1\nWorkdir=%s\n' "$work/out" > "$ini"

fail() { echo "end_to_end: $*" >&2; exit 1; }

"$tarnwick" "$sample" &
pid=$!

# The run is over once the output files exist and the program holds neither
# them nor the source files open.
busy() { ls -l "/proc/$pid/fd" 2>/dev/null | grep -q -e "$work/out" -e "FEATURE_"; }
for _ in $(seq 1 1200); do
  kill -0 "$pid" 2>/dev/null || fail "the window ended before it was closed"
  if compgen -G "$work/out/*.mpv" >/dev/null && ! busy; then break; fi
  sleep 0.1
done
compgen -G "$work/out/*.mpv" >/dev/null || fail "no demuxed video"

"$closer" "Tarnwick 0.626" || fail "no window titled Tarnwick 0.626"
wait "$pid" || fail "tarnwick exited with status $?"

# Both parts went into one file per stream, byte for byte as the command line
# demuxes them.
"$cli" demux "$sample" -o "$work/reference" -q >/dev/null
for name in H.264.stream.0.mpv DD.stream.00.mpa DD+.stream.03.mpa Subpicture.00.sup; do
  file=$work/out/FEATURE_1_FEATURE_2.$name
  [ -s "$file" ] || fail "missing $file"
  cmp -s "$file" "$work/reference/FEATURE_1_FEATURE_2.$name" || fail "$name differs"
done

for value in WindowState Top Left Width Height TreeWidth AudioExt VideoExt SubExt Workdir \
             EVOdir XPLdir Continue FastCheck CountFrames Details AutoRead AutoDemux \
             AutoRebuild AutoClear FastSize ADV_PCK MuxMKV; do
  grep -q "^$value=" "$ini" || fail "$value not stored"
done
grep -qx "AutoDemux=1" "$ini" || fail "AutoDemux changed"
grep -qx "Workdir=$work/out" "$ini" || fail "Workdir changed"
echo "end_to_end: passed"

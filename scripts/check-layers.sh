#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own, or
# when a file of the core names a control or handler of the window.
# Layers, lowest first: log; the model (stream ids, titles, requests and
# results as plain data); analysers; engine; commands, playlist, rebuild,
# matroska; the front ends (window, cli).
set -euo pipefail
cd "$(dirname "$0")/.."

layer() {
  case "$1" in
    log/*) echo 0 ;;
    model/*) echo 1 ;;
    analysers/*) echo 2 ;;
    engine/*) echo 3 ;;
    commands/* | playlist/* | rebuild/* | matroska/*) echo 4 ;;
    window/* | cli/*) echo 5 ;;
    *) echo -1 ;;
  esac
}

status=0
while IFS= read -r file; do
  own=$(layer "${file#src/}")
  if [ "$own" -lt 0 ]; then
    echo "layer check: $file lies in no layer's folder" >&2
    status=1
    continue
  fi
  while IFS= read -r included; do
    theirs=$(layer "$included")
    if [ "$theirs" -gt "$own" ]; then
      echo "layer check: $file includes $included from a higher folder" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | grep -v '^src/window/resources/' | sort)

# The window's controls, handlers, own operations and path state: names that
# belong to the window's code. The core speaks of titles, clips, streams,
# selections and output folders instead.
window_names=(
  eEVOfile eXPLfile eVideoExt eAudioExt eSubExt eWorkdir ieFastSize
  bReadEVO bReadXPL bDemux bRebuild bCancel bWriteChaps bClear bbEVO bbXPL bbWorkdir
  cbContinue cbFastCheck cbCountFr cbDetails cbAutoRead cbRBAdvanced cbMuxMKV cbAutoClear
  cbVideo cbAudio cbSub rbNoAuto rbAutoDemux rbAutoRebuild
  reMessage mXPL mChapter tvXPL odEVOfile odXPL odWorkdir
  tsStatus tsVideo tsAudio tsSubpicture tsXPL tsOptions tsAbout PageControl
  bReadEVOClick bReadXPLClick bDemuxClick bRebuildClick bWriteChapsClick bCancelClick
  bbEVOClick bbXPLClick bbWorkdirClick cbVideoClick WMDropFiles FormActivate
  Resetcbs getsecond CutExt EVOadj XPLadj logframes RegRead RegWrite
  EVOdir EVOname EVObase XPLdir XPLname WindowState StreamBoxes
)
pattern="\\b($(IFS='|'; echo "${window_names[*]}"))\\b"
if found=$(grep -rnE "$pattern" src --include='*.h' --include='*.cpp' | grep -v '^src/window/'); then
  echo "$found" | sed 's/^/layer check: a window name outside the window: /' >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "layer check: no file includes from a higher folder, no window name in the core"
exit "$status"

#!/usr/bin/env bash
# Pictures of the window under a real window manager (openbox) on a virtual
# X display: docs/options-page.png (the Options page with its frame) and
# docs/title-bar.png (the frame's title bar).
#   scripts/screenshots.sh [build folder, default build/asan]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/asan}

scripts/install-packages.sh openbox x11-utils xvfb ffmpeg
cmake --build "$build" --target window_screenshot

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x480x24 -nolisten tcp &
xvfb=$!
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$xvfb" 2>/dev/null || true
  rm -rf "${disc:-}"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable &
pids+=($!)
sleep 1
# The sample in a disc's folder, so that the picture shows a path as users see it.
disc=$(mktemp -d)
mkdir -p "$disc/HDDVD/HVDVD_TS"
cp samples/DISC/HVDVD_TS/FEATURE_1.EVO "$disc/HDDVD/HVDVD_TS/"
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb \
  "$build"/tests/window/window_screenshot "$disc/HDDVD/HVDVD_TS/FEATURE_1.EVO" - 5 &
pids+=($!)
for _ in $(seq 100); do
  xwininfo -name "Tarnwick 0.626" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 2 # the read of the sample and the page switch

# The window with its frame: the frame is the parent of the client window.
id=$(xwininfo -name "Tarnwick 0.626" | awk '/Window id:/ {print $4}')
frame=$(xwininfo -children -id "$id" | awk '/Parent window id:/ {print $4}')
read -r x y w h < <(xwininfo -id "$frame" |
  awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
       /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "$((x + w))x$((y + h))" -i "$display" \
  -frames:v 1 -vf "crop=$w:$h:$x:$y" docs/options-page.png
client_y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $4}')
ffmpeg -loglevel error -y -i docs/options-page.png -vf "crop=$w:$((client_y - y)):0:0" \
  docs/title-bar.png
echo "docs/options-page.png (${w}x${h}), docs/title-bar.png"

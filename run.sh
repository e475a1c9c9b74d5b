#!/usr/bin/env bash
# Sets up a fresh machine, builds in Release and runs the main job on the
# bundled sample: the window when a display is available, else the CLI
# (the read, then the disc's playlist).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release
sample=samples/DISC/HVDVD_TS/FEATURE_1.EVO
playlist=samples/DISC/ADV_OBJ/VPLST000.XPL
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/src/window/tarnwick ]; then
  exec build/release/src/window/tarnwick "$sample"
fi
if [ -f "$playlist" ]; then
  build/release/tarnwick-cli read "$sample"
  exec build/release/tarnwick-cli xpl "$playlist" --source "$sample"
fi
exec build/release/tarnwick-cli read "$sample"

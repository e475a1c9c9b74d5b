#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own.
# Layers, lowest first: log; the stream and window model (model/, app/, plain
# data); analysers; engine; commands, playlist, rebuild, matroska; the front ends (app/window, cli).
set -euo pipefail
cd "$(dirname "$0")/.."

layer() {
  case "$1" in
    log/*) echo 0 ;;
    app/window/*) echo 5 ;;
    app/* | model/*) echo 1 ;;
    analysers/*) echo 2 ;;
    engine/*) echo 3 ;;
    commands/* | playlist/* | rebuild/* | matroska/*) echo 4 ;;
    cli/*) echo 5 ;;
    *) echo -1 ;;
  esac
}

status=0
while IFS= read -r file; do
  own=$(layer "${file#src/}")
  [ "$own" -lt 0 ] && continue
  while IFS= read -r included; do
    theirs=$(layer "$included")
    if [ "$theirs" -gt "$own" ]; then
      echo "layer check: $file includes $included from a higher folder" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)
[ "$status" -eq 0 ] && echo "layer check: no file includes from a higher folder"
exit "$status"

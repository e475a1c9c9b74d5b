#!/usr/bin/env bash
# Makes the bundled sample feature DISC/HVDVD_TS/FEATURE_1.EVO + FEATURE_2.EVO:
# H.264 video, Dolby Digital 5.1, Dolby Digital Plus 2.0 and a subpicture
# stream, encoded once with ffmpeg and muxed with tarnwick-make-stream. The disc's
# playlist DISC/ADV_OBJ/VPLST000.XPL is written by hand for these streams.
# Usage: samples/make_samples.sh BUILD_FOLDER   (a build with tarnwick-make-stream)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff="ffmpeg -hide_banner -loglevel error -y"

$ff -f lavfi -i testsrc2=size=1280x720:rate=24000/1001 -t 4 -c:v libx264 -preset veryfast \
    -b:v 1200k -x264-params aud=1:keyint=24:repeat-headers=1 -pix_fmt yuv420p -bsf:v h264_mp4toannexb \
    -f h264 "$work/video.h264"
$ff -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 4 -ac 6 -c:a ac3 -b:a 448k \
    -f ac3 "$work/audio.ac3"
$ff -f lavfi -i "sine=frequency=660:sample_rate=48000" -t 4 -ac 2 -c:a eac3 -b:a 192k \
    -f eac3 "$work/audio.eac3"

# Subpicture units (2-bit run-length DVD subpictures: a striped box that is
# shown and hidden again) as "SP" records (time, 0, unit); ffmpeg has no
# text-to-bitmap subtitle encoder.
python3 - "$work/subs.sup" <<'PY'
import struct, sys

def unit(width, height, x, y, colour_rows, duration_ticks):
    # Every line is one code: run to the end of the line with a colour.
    top = b''.join(bytes([0x00, colour_rows[r % len(colour_rows)]]) for r in range(0, height, 2))
    bottom = b''.join(bytes([0x00, colour_rows[r % len(colour_rows)]]) for r in range(1, height, 2))
    pixels = top + bottom
    first = 4 + len(pixels)
    x2, y2 = x + width - 1, y + height - 1
    show = struct.pack('>HH', 0, 0)  # delay, next (patched)
    show += bytes([0x01])                              # start display
    show += bytes([0x03, 0x32, 0x10])                  # palette
    show += bytes([0x04, 0xFF, 0xF0])                  # contrast
    show += bytes([0x05, x >> 4, ((x & 15) << 4) | (x2 >> 8), x2 & 0xFF,
                   y >> 4, ((y & 15) << 4) | (y2 >> 8), y2 & 0xFF])
    show += bytes([0x06]) + struct.pack('>HH', 4, 4 + len(top))
    show += bytes([0xFF])
    second = first + len(show)
    hide = struct.pack('>HH', duration_ticks, second) + bytes([0x02, 0xFF])
    show = struct.pack('>HH', 0, second) + show[4:]
    body = pixels + show + hide
    return struct.pack('>HH', 4 + len(body), first) + body

out = bytearray()
cues = [(0.5, 1.0), (1.8, 0.6), (2.6, 0.8), (3.5, 0.4)]
for n, (start, length) in enumerate(cues):
    spu = unit(320, 60 + 8 * n, 200, 380, [1, 2, 3], int(length * 100))
    out += b'SP' + struct.pack('<II', int(start * 90000), 0) + spu
open(sys.argv[1], 'wb').write(out)
PY

for part in 1 2; do
  "$build/bench/tarnwick-make-stream" mux "$here/DISC/HVDVD_TS/FEATURE_$part.EVO" --part "$part/2" \
      h264:E2:"$work/video.h264" ac3:80:"$work/audio.ac3" eac3:C3:"$work/audio.eac3" \
      sup:20:"$work/subs.sup"
done
ls -l "$here"/DISC/HVDVD_TS/FEATURE_*.EVO

#pragma once
// Elementary streams encoded by ffmpeg with known parameters, a second or so
// of each. Every stream is encoded once and kept in the temporary folder
// (named after its encoder arguments), so that the test programs and the
// separate test processes that ctest starts share one encode.

#include "support/ps_writer.h"

#include <string>

namespace tarnwick::testing {

// MPEG-2 720x576, 25 fps, 16:9, 6 Mbit/s maximum: 25 pictures.
const Bytes& mpeg2Stream();
// H.264 High profile level 4.1, 1920x1080, 24000/1001 fps, square samples,
// with access unit delimiters and 8x8 transforms (which make x264 write the
// High profile even with its fastest preset): 24 pictures.
const Bytes& h264Stream();
// Dolby Digital 5.1, 48 kHz, 384 kbit/s.
const Bytes& ac3Stream();
// Dolby Digital Plus stereo, 48 kHz, 192 kbit/s.
const Bytes& eac3Stream();
// DTS 5.1, 48 kHz, 1536 kbit/s.
const Bytes& dtsStream();
// Dolby TrueHD 5.1, 48 kHz.
const Bytes& trueHdStream();
// MLP stereo, 48 kHz, 16 bits.
const Bytes& mlpStream();
// Big-endian PCM stereo: 16 bits at 48 kHz, or 24 bits at 96 kHz.
const Bytes& pcm16Stream();
const Bytes& pcm24Stream();

} // namespace tarnwick::testing

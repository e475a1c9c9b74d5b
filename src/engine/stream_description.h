#pragma once
// Which payload a stream is described from: the first that holds its
// sequence header or sync word, so that no field is taken from other bytes.

#include "engine/parse_listener.h"

#include <cstdint>

namespace tarnwick {

// Whether the bytes [0, count - 1) hold the start code 00 00 01 `code` or
// 00 00 01 `alternative` whole.
bool holdsStartCode(const uint8_t* bytes, int count, uint8_t code, uint8_t alternative);

// Whether a payload piece holds what its stream's analyser describes it from:
// the sequence header of a video stream, the sync word of an audio stream.
bool holdsDescription(const PayloadPiece& piece);

} // namespace tarnwick

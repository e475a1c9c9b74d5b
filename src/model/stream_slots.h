#pragma once
// The slots streams are kept in: video 0..7 (only 0 and 1 are ever given),
// audio 0..15, subpicture 0..31, and the short names that scripts and the
// report use for them ("v0", "a03", "s12").

#include "model/stream_ids.h"

#include <string>

namespace tarnwick {

constexpr int VideoSlots = 8;
constexpr int AudioSlots = 16;
constexpr int SubSlots = 32;
// Video slots that hold a stream, are counted and demuxed.
constexpr int UsedVideoSlots = 2;

constexpr int slotCount(StreamKind kind) {
    return kind == StreamKind::Video ? VideoSlots : kind == StreamKind::Audio ? AudioSlots : SubSlots;
}

// "v0", "a03", "s12": one digit for video, two for audio and subpicture.
std::string slotName(StreamKind kind, int slot);

// 'v', 'a' or 's'.
char kindLetter(StreamKind kind);

} // namespace tarnwick

#pragma once
// What the analysers share: the bounds of the bytes they may read, and the
// dynamic-range value of the LPCM and MLP headers.

#include "engine/stream_table.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tarnwick {

// The index one past the valid bytes of the current chunk.
inline int validEnd(const StreamTable& table) {
    return std::clamp(table.ChunkLength, 0, int(table.ChunkBuffer.size()));
}

// The end of a payload range [position, position + count), cut at the valid
// bytes of the chunk, so that a byte scan never leaves them.
inline int64_t rangeEnd(const StreamTable& table, int position, int count) {
    return std::min<int64_t>(int64_t(position) + count, validEnd(table));
}

// A dynamic-range byte (top three bits X, low five bits Y) in decibels:
// 24.082 - 6.0206 X - 0.2007 Y, worked out in ten-thousandths so that the
// shortest form shows the exact value (0.8020, not 0.802000000000003).
std::string dynamicRangeDb(uint8_t byte, const TimeFormat& locale);

} // namespace tarnwick

#pragma once
// What the analysers share: the bounds of the bytes they may read, and the
// dynamic-range value of the LPCM and MLP headers.

#include "analysers/description.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tarnwick {

// The index one past the valid bytes of the chunk.
inline int validEnd(const AnalyserInput& in) {
    return int(std::min<size_t>(in.chunk.size(), size_t(INT32_MAX)));
}

// The end of the payload piece, cut at the valid bytes of the chunk, so that
// a byte scan never leaves them.
inline int64_t rangeEnd(const AnalyserInput& in) {
    return std::min<int64_t>(int64_t(in.start) + in.count, validEnd(in));
}

// A dynamic-range byte (top three bits X, low five bits Y) in decibels:
// 24.082 - 6.0206 X - 0.2007 Y, worked out in ten-thousandths so that the
// shortest form shows the exact value (0.8020, not 0.802000000000003).
double dynamicRangeValue(uint8_t byte);
std::string dynamicRangeDb(uint8_t byte, const TimeFormat& locale);

} // namespace tarnwick

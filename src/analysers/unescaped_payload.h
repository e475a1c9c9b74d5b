#pragma once
// H.264 NAL units and VC-1 encapsulated data units (EBDUs) escape every
// 00 00 0x (x <= 3) as 00 00 03 0x, so that no start code appears inside
// them. Their fields are read from the payload with those 03 bytes removed.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

// The bytes [from, end) of `bytes` with each 03 that follows two 00 bytes
// removed (a removed 03 starts the count of zeros anew).
std::vector<uint8_t> unescapedPayload(const uint8_t* bytes, int from, int end);

} // namespace tarnwick

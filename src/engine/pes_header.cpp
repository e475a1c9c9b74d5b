#include "engine/pes_header.h"

namespace tarnwick {

namespace {

// The 5-byte time stamp at `at`, without its 33rd bit.
uint32_t timeStamp(const uint8_t* b) {
    return (uint32_t((b[0] >> 1) & 3) << 30) | (uint32_t(b[1]) << 22) |
           (uint32_t(b[2] >> 1) << 15) | (uint32_t(b[3]) << 7) | uint32_t(b[4] >> 1);
}

} // namespace

PesHeaderFields walkPesHeader(uint8_t flags2, const uint8_t* data, int length) {
    PesHeaderFields f;
    int at = 0;
    const int timeStamps = flags2 >> 6;
    if (timeStamps >= 2 && at + 5 <= length) {
        f.hasPts = true;
        f.pts = timeStamp(data + at);
        f.ptsHighBit = data[at] & 0x08;
    }
    if (timeStamps == 3 && at + 10 <= length) {
        f.hasDts = true;
        f.dts = timeStamp(data + at + 5);
        f.dtsHighBit = data[at + 5] & 0x08;
    }
    at += timeStamps == 2 ? 5 : timeStamps == 3 ? 10 : 0;
    if (flags2 & 0x20) at += 6; // ESCR
    if (flags2 & 0x10) at += 3; // ES rate
    if (flags2 & 0x08) at += 1; // DSM trick mode
    if (flags2 & 0x04) at += 1; // additional copy info
    if (flags2 & 0x02) at += 2; // previous PES CRC
    if (!(flags2 & 0x01) || at >= length) return f;
    const uint8_t extension = data[at++];
    if (extension & 0x80) at += 16; // PES private data
    if (extension & 0x40) {         // pack header field: its length, then the pack header
        if (at >= length) return f;
        at += 1 + data[at];
    }
    if (extension & 0x20) at += 2; // program packet sequence counter
    if (extension & 0x10) at += 2; // P-STD buffer
    // PES extension 2: the field length, then the stream id extension.
    if ((extension & 0x01) && at + 1 < length) f.streamIdExtensionAt = at + 1;
    return f;
}

} // namespace tarnwick

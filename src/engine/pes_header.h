#pragma once
// The optional fields of a PES header, walked in the order the flags give
// them, for the engine and for Rebuild's pack classification alike.

#include <cstdint>

namespace tarnwick {

struct PesHeaderFields {
    bool hasPts = false;
    bool hasDts = false;
    uint32_t pts = 0; // 90 kHz, the 33rd bit dropped
    uint32_t dts = 0;
    bool ptsHighBit = false; // the 33rd bit of each
    bool dtsHighBit = false;
    // Index in the header data of the stream id extension byte, or -1.
    int streamIdExtensionAt = -1;
};

// Walks the header data (`length` bytes after the header data length byte)
// of a PES packet whose second flags byte is `flags2`: the time stamps,
// ESCR, ES rate, DSM trick mode, additional copy info and previous PES CRC,
// then in the PES extension the private data, the pack header field, the
// program packet sequence counter and the P-STD buffer before the stream id
// extension. A field that does not fit in the header data is not taken.
PesHeaderFields walkPesHeader(uint8_t flags2, const uint8_t* data, int length);

} // namespace tarnwick

#pragma once
// Subpicture units and Demux's "SP" records built in code for the VobSub
// tests.

#include "support/ps_writer.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tarnwick::testing {

// A DVD unit of `pixelBytes` bytes of pixel data and one control sequence
// that sets the display area x1..x2, y1..y2 and starts the display.
inline Bytes dvdUnit(size_t pixelBytes, int x1 = 0, int x2 = 719, int y1 = 400, int y2 = 449) {
    Bytes unit = {0, 0, 0, 0};
    unit.insert(unit.end(), pixelBytes, 0x11);
    const size_t control = unit.size();
    const Bytes sequence = {0x00,
                            0x00,
                            uint8_t(control >> 8),
                            uint8_t(control), // the last sequence names itself
                            0x03,
                            0x32,
                            0x10, // colours
                            0x05,
                            uint8_t(x1 >> 4),
                            uint8_t((x1 & 15) << 4 | x2 >> 8),
                            uint8_t(x2),
                            uint8_t(y1 >> 4),
                            uint8_t((y1 & 15) << 4 | y2 >> 8),
                            uint8_t(y2),
                            0x01,
                            0xFF};
    unit.insert(unit.end(), sequence.begin(), sequence.end());
    unit[0] = uint8_t(unit.size() >> 8);
    unit[1] = uint8_t(unit.size());
    unit[2] = uint8_t(control >> 8);
    unit[3] = uint8_t(control);
    return unit;
}

// A unit of HD DVD's extended layout: two zero bytes, the 32-bit size and
// the 32-bit control sequence offset, then filler.
inline Bytes extendedUnit(uint32_t size) {
    Bytes unit(size, 0x22);
    const uint8_t header[10] = {
        0, 0, uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0,
        0, 10};
    for (size_t k = 0; k < 10 && k < unit.size(); ++k)
        unit[k] = header[k];
    return unit;
}

// A record as Demux writes it: "SP", the time (little-endian), four zero
// bytes, the payload.
inline Bytes spRecord(uint32_t time, const Bytes& payload) {
    Bytes out = {
        'S', 'P', uint8_t(time), uint8_t(time >> 8), uint8_t(time >> 16), uint8_t(time >> 24), 0, 0,
        0,   0};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

inline Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes firstBytes(const Bytes& bytes, size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + long(std::min(count, bytes.size())));
}

// Where a title set's information file keeps its program chain table, its
// first program chain and that chain's palette.
inline constexpr size_t IfoChainTable = 2048; // sector 1
inline constexpr size_t IfoChain = IfoChainTable + 16;
inline constexpr size_t IfoPalette = IfoChain + 0xA4;

inline void putBigEndian32(Bytes& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
}

// A title set's information file (VTS_xx_0.IFO) with one program chain whose colour
// lookup table holds `ycrcb` (Y, Cr, Cb each), the rest of it black.
inline Bytes titleSetInfo(const std::vector<std::array<uint8_t, 3>>& ycrcb) {
    Bytes ifo(2 * 2048, 0);
    std::memcpy(ifo.data(), "DVDVIDEO-VTS", 12);
    putBigEndian32(ifo, 0xCC, 1);                               // the program chain table's sector
    ifo[IfoChainTable + 1] = 1;                                 // one program chain
    putBigEndian32(ifo, IfoChainTable + 4, 16 + 0xA4 + 64 - 1); // the table's last byte
    putBigEndian32(ifo, IfoChainTable + 8, 0x81000000);         // entry: category
    putBigEndian32(ifo, IfoChainTable + 12, uint32_t(IfoChain - IfoChainTable)); // entry: offset
    for (size_t k = 0; k < 16; ++k) {
        const std::array<uint8_t, 3> c =
            k < ycrcb.size() ? ycrcb[k] : std::array<uint8_t, 3>{16, 128, 128};
        ifo[IfoPalette + 4 * k + 1] = c[0];
        ifo[IfoPalette + 4 * k + 2] = c[1];
        ifo[IfoPalette + 4 * k + 3] = c[2];
    }
    return ifo;
}

} // namespace tarnwick::testing

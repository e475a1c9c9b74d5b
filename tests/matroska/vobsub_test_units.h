#pragma once
// Subpicture units, Demux's "SP" records and a title set's IFO built in code
// for the VobSub tests.

#include "support/ps_writer.h"

#include <array>
#include <cstring>

namespace tarnwick::testing {

// A DVD unit: `pixels` bytes of pixel data, then one control sequence (naming
// itself as the next) that sets the display area (columns 0-719, lines y1-y2)
// and starts the display.
inline Bytes dvdUnit(size_t pixels, int y1 = 400, int y2 = 449) {
    const size_t control = 4 + pixels, size = control + 13;
    Bytes u = {uint8_t(size >> 8), uint8_t(size), uint8_t(control >> 8), uint8_t(control)};
    u.insert(u.end(), pixels, 0x11);
    u.insert(u.end(), {0, 0, uint8_t(control >> 8), uint8_t(control), 0x05, 0x00, 0x02, 0xCF,
                       uint8_t(y1 >> 4), uint8_t((y1 & 15) << 4 | y2 >> 8), uint8_t(y2), 1, 0xFF});
    return u;
}

// HD DVD's extended layout: two zero bytes, a 32-bit size, filler.
inline Bytes extendedUnit(uint32_t size) {
    Bytes u(size, 0x22);
    u[0] = u[1] = 0;
    for (int k = 0; k < 4; ++k)
        u[size_t(2 + k)] = uint8_t(size >> (24 - 8 * k));
    return u;
}

inline Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes spRecord(uint32_t time, const Bytes& unit) {
    return joined({{'S', 'P', uint8_t(time), uint8_t(time >> 8), uint8_t(time >> 16),
                    uint8_t(time >> 24), 0, 0, 0, 0},
                   unit});
}

inline Bytes firstBytes(const Bytes& bytes, size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + long(std::min(count, bytes.size())));
}

// A title set's IFO: the program chain table in sector 1, one chain right
// after the table's header and entry, the chain's palette at 0xA4: `ycrcb`,
// then black.
inline constexpr size_t IfoChainTable = 2048;
inline constexpr size_t IfoPalette = IfoChainTable + 16 + 0xA4;
inline Bytes titleSetInfo(const std::vector<std::array<uint8_t, 3>>& ycrcb) {
    Bytes ifo(2 * 2048, 0);
    std::memcpy(ifo.data(), "DVDVIDEO-VTS", 12);
    ifo[0xCF] = 1;
    ifo[IfoChainTable + 1] = 1;
    ifo[IfoChainTable + 15] = 16;
    for (size_t k = 0; k < 16; ++k) {
        const auto c = k < ycrcb.size() ? ycrcb[k] : std::array<uint8_t, 3>{16, 128, 128};
        std::memcpy(&ifo[IfoPalette + 4 * k + 1], c.data(), 3);
    }
    return ifo;
}

} // namespace tarnwick::testing

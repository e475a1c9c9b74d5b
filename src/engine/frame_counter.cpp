#include "engine/engine_call.h"

#include <cstring>

namespace tarnwick {

int countFrameMarkers(const uint8_t* piece, int count, uint8_t marker) {
    // The marker completes a 32-bit window 00 00 01 marker. memchr jumps from
    // one 01 byte to the next (about one byte in 256 of coded video) with
    // vector instructions, so the piece is not walked a byte at a time.
    // Bytes before the piece read as the window's zeros.
    int found = 0;
    const uint8_t* const end = piece + count;
    const uint8_t* p = piece;
    while (p + 1 < end) {
        const void* hit = std::memchr(p, 0x01, static_cast<size_t>(end - 1 - p));
        if (!hit) break;
        const uint8_t* one = static_cast<const uint8_t*>(hit);
        const ptrdiff_t k = one - piece; // index of the 01 byte
        if (one[1] == marker && (k < 1 || one[-1] == 0) && (k < 2 || one[-2] == 0)) ++found;
        p = one + 1;
    }
    return found;
}

} // namespace tarnwick

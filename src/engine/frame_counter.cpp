#include "engine/engine_call.h"

namespace tarnwick {

// Every video byte of a scan passes here. A second copy for processors with
// AVX2 compares 32 positions at a time; the loader picks it where it runs.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
int countFrameMarkers(const uint8_t* piece, int count, uint8_t marker, uint32_t& window) {
    // A marker that ends in the first three bytes of the piece starts in the
    // stream's earlier bytes: those positions go through the window.
    const uint32_t wanted = 0x00000100u | marker;
    int found = 0;
    uint32_t w = window;
    for (int j = 0; j < count && j < 3; ++j) {
        w = (w << 8) | piece[j];
        found += w == wanted;
    }
    // Coded video holds a 01 byte every few dozen bytes, too often for a
    // memchr per 01 byte: the main loop tests every position without a
    // branch, which the compiler turns into vector compares.
    for (int j = 3; j < count; ++j)
        found +=
            (piece[j - 3] == 0) & (piece[j - 2] == 0) & (piece[j - 1] == 1) & (piece[j] == marker);
    window = count >= 4 ? loadBigEndian32(piece + count - 4) : w;
    return found;
}

} // namespace tarnwick

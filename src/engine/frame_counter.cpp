#include "engine/engine_call.h"

namespace tarnwick {

// Every video byte of a scan passes here. A second copy for processors with
// AVX2 compares 32 positions at a time; the loader picks it where it runs.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
int countFrameMarkers(const uint8_t* piece, int count, uint8_t marker) {
    // The marker completes a 32-bit window 00 00 01 marker; bytes before the
    // piece read as the window's zeros. Coded video holds a 01 byte every few
    // dozen bytes, too often for a memchr per 01 byte: the main loop tests
    // every position without a branch, which the compiler turns into vector
    // compares.
    int found = 0;
    for (int j = 1; j < count && j < 3; ++j)
        found += piece[j - 1] == 1 && piece[j] == marker && (j < 2 || piece[j - 2] == 0);
    for (int j = 3; j < count; ++j)
        found +=
            (piece[j - 3] == 0) & (piece[j - 2] == 0) & (piece[j - 1] == 1) & (piece[j] == marker);
    return found;
}

} // namespace tarnwick

#include "engine/engine_call.h"

#include <algorithm>

namespace tarnwick {

namespace {

bool startCodeAt(const uint8_t* b, uint8_t code, uint8_t alternative) {
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && (b[3] == code || b[3] == alternative);
}

} // namespace

// Every video piece of a stream not yet described passes here, and coded
// video holds a 01 byte every few hundred bytes, too often for a memchr per 01
// byte. A start code begins with two zero bytes, which coded video holds
// almost nowhere else: each block of positions is first tested for a zero pair
// without a branch, which the compiler turns into vector compares, and only a
// block that holds one is searched byte by byte. A second copy for processors
// with AVX2 compares 32 positions at a time; the loader picks it where it runs.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
bool holdsStartCode(const uint8_t* bytes, int count, uint8_t code, uint8_t alternative) {
    constexpr int Block = 256;
    const int positions = count - 4; // the code ends before the last byte
    if (positions < Block) {
        for (int j = 0; j < positions; ++j)
            if (startCodeAt(bytes + j, code, alternative)) return true;
        return false;
    }
    // The last block is moved back to end at the last position, overlapping
    // the one before, so that every block is tested whole.
    for (int start = 0;; start += Block) {
        start = std::min(start, positions - Block);
        const uint8_t* b = bytes + start;
        uint8_t least = 0xFF;
        for (int j = 0; j < Block; ++j)
            least = std::min<uint8_t>(least, b[j] | b[j + 1]);
        if (least == 0)
            for (int j = 0; j < Block; ++j)
                if (startCodeAt(b + j, code, alternative)) return true;
        if (start == positions - Block) return false;
    }
}

} // namespace tarnwick

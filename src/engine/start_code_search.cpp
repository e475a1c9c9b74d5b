#include "engine/cpu_features.h"
#include "engine/stream_description.h"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr int Block = 256;

bool startCodeAt(const uint8_t* b, uint8_t code, uint8_t alternative) {
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && (b[3] == code || b[3] == alternative);
}

// Whether a zero pair, the start of every start code, begins at one of the
// block's positions: tested without a branch, which the compiler turns into
// vector compares.
inline bool zeroPairIn(const uint8_t* b) {
    uint8_t least = 0xFF;
    for (int j = 0; j < Block; ++j)
        least = std::min<uint8_t>(least, b[j] | b[j + 1]);
    return least == 0;
}

#ifdef TARNWICK_X86_VECTORS
// The same with AVX2, 32 positions at a time, where the processor has it.
__attribute__((target("avx2"))) bool zeroPairInAvx2(const uint8_t* b) {
    return zeroPairIn(b);
}

bool zeroPairInBlock(const uint8_t* b) {
    return hasAvx2() ? zeroPairInAvx2(b) : zeroPairIn(b);
}
#else
bool zeroPairInBlock(const uint8_t* b) {
    return zeroPairIn(b);
}
#endif

} // namespace

// Every video piece of a stream not yet described passes here, and coded
// video holds a 01 byte every few hundred bytes, too often for a memchr per 01
// byte. Coded video holds a zero pair almost nowhere but in start codes: only
// a block that holds one is searched byte by byte.
bool holdsStartCode(const uint8_t* bytes, int count, uint8_t code, uint8_t alternative) {
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
        if (zeroPairInBlock(b))
            for (int j = 0; j < Block; ++j)
                if (startCodeAt(b + j, code, alternative)) return true;
        if (start == positions - Block) return false;
    }
}

} // namespace tarnwick

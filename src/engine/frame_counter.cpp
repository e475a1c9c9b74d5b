#include "engine/cpu_features.h"
#include "engine/engine_call.h"

#ifdef TARNWICK_X86_VECTORS
#include <immintrin.h>
#endif

namespace tarnwick {

namespace {

#ifdef TARNWICK_X86_VECTORS
// The markers 00 00 01 <marker> ending at positions [j, j + 32): four
// shifted loads compared at once, the hits counted from one bit mask.
// Coded video holds a 01 byte every few dozen bytes, too often for a memchr
// per 01 byte, so every position is tested without a branch.
__attribute__((target("avx2"))) inline __m256i load32(const uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

inline __m128i load16(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

__attribute__((target("avx2,popcnt"))) int countBlocksAvx2(const uint8_t* piece, int& j, int count,
                                                           uint8_t marker) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i wanted = _mm256_set1_epi8(char(marker));
    int found = 0;
    for (; j + 32 <= count; j += 32) {
        const __m256i zeros =
            _mm256_cmpeq_epi8(_mm256_or_si256(load32(piece + j - 3), load32(piece + j - 2)), zero);
        const __m256i hits =
            _mm256_and_si256(_mm256_and_si256(zeros, _mm256_cmpeq_epi8(load32(piece + j - 1), one)),
                             _mm256_cmpeq_epi8(load32(piece + j), wanted));
        found += __builtin_popcount(uint32_t(_mm256_movemask_epi8(hits)));
    }
    return found;
}

// The same 16 positions at a time with SSE2, which every x86-64 has.
int countBlocksSse2(const uint8_t* piece, int& j, int count, uint8_t marker) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    const __m128i wanted = _mm_set1_epi8(char(marker));
    int found = 0;
    for (; j + 16 <= count; j += 16) {
        const __m128i zeros =
            _mm_cmpeq_epi8(_mm_or_si128(load16(piece + j - 3), load16(piece + j - 2)), zero);
        const __m128i hits =
            _mm_and_si128(_mm_and_si128(zeros, _mm_cmpeq_epi8(load16(piece + j - 1), one)),
                          _mm_cmpeq_epi8(load16(piece + j), wanted));
        found += __builtin_popcount(uint32_t(_mm_movemask_epi8(hits)));
    }
    return found;
}
#endif

} // namespace

// Every video byte of a scan passes here.
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
    int j = 3;
#ifdef TARNWICK_X86_VECTORS
    found += hasAvx2() ? countBlocksAvx2(piece, j, count, marker)
                       : countBlocksSse2(piece, j, count, marker);
#endif
    for (; j < count; ++j)
        found +=
            (piece[j - 3] == 0) & (piece[j - 2] == 0) & (piece[j - 1] == 1) & (piece[j] == marker);
    window = count >= 4 ? loadBigEndian32(piece + count - 4) : w;
    return found;
}

} // namespace tarnwick

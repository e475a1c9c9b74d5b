#include "engine/frame_counter.h"

#include "engine/clip_parse.h"
#include "engine/cpu_features.h"

#include <cstring>

namespace tarnwick {

namespace {

// The markers 00 00 01 <marker> ending at positions [j, j + Width) tested at
// once with four shifted loads: coded video holds a 01 byte every few dozen
// bytes, too often for a memchr per 01 byte, so every position is tested
// without a branch. A hit lane is all ones; subtracting it counts the hit in
// the lane's byte, which is added up before it can overflow. Written once for
// any vector width; each caller's instruction set decides the instructions.
typedef uint8_t Lanes16 __attribute__((vector_size(16)));
typedef uint8_t Lanes32 __attribute__((vector_size(32)));

template <class Lanes>
inline int countBlocks(const uint8_t* piece, int& next, int count, uint8_t marker) {
    constexpr int Width = sizeof(Lanes);
    int j = next; // a local, which the byte loads cannot alias
    int found = 0;
    while (j + Width <= count) {
        Lanes counts = {};
        // 255 steps at most: a lane's byte counts up to 255 hits.
        for (int step = 0; step < 255 && j + Width <= count; ++step, j += Width) {
            Lanes third, second, last, at;
            std::memcpy(&third, piece + j - 3, Width);
            std::memcpy(&second, piece + j - 2, Width);
            std::memcpy(&last, piece + j - 1, Width);
            std::memcpy(&at, piece + j, Width);
            const auto hits = ((third | second) == 0) & (last == 1) & (at == marker);
            counts -= reinterpret_cast<const Lanes&>(hits);
        }
        for (int lane = 0; lane < Width; ++lane)
            found += counts[lane];
    }
    next = j;
    return found;
}

#ifdef TARNWICK_X86_VECTORS
// 32 positions at a time with AVX2, where the processor has it: the loop is
// compiled into this function with its instructions.
__attribute__((target("avx2"), flatten)) int countBlocksAvx2(const uint8_t* piece, int& j,
                                                             int count, uint8_t marker) {
    return countBlocks<Lanes32>(piece, j, count, marker);
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
    if (hasAvx2()) found += countBlocksAvx2(piece, j, count, marker);
#endif
    found += countBlocks<Lanes16>(piece, j, count, marker); // SSE2, which every x86-64 has
    for (; j < count; ++j)
        found +=
            (piece[j - 3] == 0) & (piece[j - 2] == 0) & (piece[j - 1] == 1) & (piece[j] == marker);
    window = count >= 4 ? loadBigEndian32(piece + count - 4) : w;
    return found;
}

uint8_t frameMarker(StreamCodec codec) {
    switch (codec) {
    case StreamCodec::H264: return 0x09; // access unit delimiter
    case StreamCodec::VC1: return 0x0D;  // frame start code
    default: return 0x00;                // MPEG-2 picture start code
    }
}

void FrameCounter::payload(const PayloadPiece& piece) {
    if (piece.kind != StreamKind::Video || piece.slot >= UsedVideoSlots) return;
    if (selection_ && !selection_->selected(StreamKind::Video, piece.slot)) return;
    const auto slot = size_t(piece.slot);
    counts[slot] +=
        countFrameMarkers(piece.bytes(), piece.count, frameMarker(piece.codec), windows_[slot]);
}

} // namespace tarnwick

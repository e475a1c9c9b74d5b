// Which payload a stream is described from: the first that holds its
// sequence header or sync word, so that no field is taken from other bytes.

#include "engine/stream_description.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarnwick {

namespace {

// True when the bytes [0, count - 1) hold `pattern` whole, as the audio
// analysers' searches, which stop one byte short of the range's end, find it.
// Audio streams are mostly described from their first payload, which holds
// a sync word near its start.
bool holds(const uint8_t* bytes, int count, const uint8_t* pattern, int length,
           uint8_t lastAlternative) {
    const int end = count - 1;
    for (int k = 0; k + length <= end; ++k) {
        const void* hit = std::memchr(bytes + k, pattern[0], size_t(end - length + 1 - k));
        if (!hit) return false;
        k = int(static_cast<const uint8_t*>(hit) - bytes);
        const uint8_t* at = bytes + k;
        if (std::memcmp(at, pattern, size_t(length - 1)) == 0 &&
            (at[length - 1] == pattern[length - 1] || at[length - 1] == lastAlternative))
            return true;
    }
    return false;
}

// As the video analysers' searches, which stop one byte short of the range's
// end, find the header.
bool holdsVideoHeader(StreamCodec codec, const uint8_t* bytes, int count) {
    switch (codec) {
    case StreamCodec::MPEG2: return holdsStartCode(bytes, count, 0xB3, 0xB3);
    case StreamCodec::H264: return holdsStartCode(bytes, count, 0x67, 0x27); // nal_ref_idc 3 or 1
    case StreamCodec::VC1: return holdsStartCode(bytes, count, 0x0F, 0x0F);
    default: return true;
    }
}

bool holdsAudioSync(const PayloadPiece& p, const uint8_t* bytes, int count) {
    static const uint8_t ac3[] = {0x0B, 0x77};
    static const uint8_t dts[] = {0x7F, 0xFE, 0x80, 0x01};
    static const uint8_t mlp[] = {0xF8, 0x72, 0x6F, 0xBA}; // or 0xBB: standard MLP
    switch (p.codec) {
    case StreamCodec::DolbyDigital:
    case StreamCodec::DolbyDigitalPlus: return holds(bytes, count, ac3, 2, 0x77);
    case StreamCodec::DTS: return holds(bytes, count, dts, 4, 0x01);
    case StreamCodec::TrueHD: return holds(bytes, count, mlp, 4, 0xBB);
    case StreamCodec::LPCM:
        // LPCM is described from its sub-stream header; MLP in a DVD-Audio
        // file from its major sync.
        return !p.mlp || holds(bytes, count, mlp, 4, 0xBB);
    default: return true;
    }
}

} // namespace

bool holdsDescription(const PayloadPiece& p) {
    const int end = std::min(p.offset + p.count, int(p.chunk.size()));
    const uint8_t* bytes = p.bytes();
    const int count = end - p.offset;
    if (p.kind == StreamKind::Video) return holdsVideoHeader(p.codec, bytes, count);
    if (p.kind == StreamKind::Audio) return holdsAudioSync(p, bytes, count);
    return true;
}

} // namespace tarnwick

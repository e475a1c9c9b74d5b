#include "matroska/frame_index.h"

#include "engine/frame_counter.h"

#include <cstring>

namespace tarnwick {

FrameIndex::FrameIndex(const std::vector<std::pair<StreamKind, int>>& streams,
                       const StreamSelection& selection)
    : selection_(selection) {
    for (const auto& [kind, slot] : streams)
        streams_.push_back(StreamIndex{kind, slot});
}

StreamIndex* FrameIndex::find(StreamKind kind, int slot) {
    for (StreamIndex& s : streams_)
        if (s.kind == kind && s.slot == slot) return &s;
    return nullptr;
}

const StreamIndex* FrameIndex::stream(StreamKind kind, int slot) const {
    return const_cast<FrameIndex*>(this)->find(kind, slot);
}

void FrameIndex::clipStarts(size_t clip) {
    clip_ = uint32_t(clip);
    for (StreamIndex& s : streams_)
        s.clipStarts.resize(clip + 1, s.bytes);
}

void FrameIndex::payload(const PayloadPiece& piece) {
    if (!selection_.selected(piece.kind, piece.slot)) return;
    StreamIndex* s = find(piece.kind, piece.slot);
    if (!s) return;
    s->codec = piece.codec;
    s->mlp = piece.mlp;
    if (piece.pts) s->packets.push_back({s->bytes, clip_, *piece.pts});
    switch (piece.kind) {
    case StreamKind::Video: video(*s, piece); break;
    case StreamKind::Audio: audio(*s, piece); break;
    default: break;
    }
    s->bytes += piece.count;
}

// Each frame marker (00 00 01 marker) starts a frame; the PES time stamp
// belongs to the first frame that starts in its packet.
void FrameIndex::video(StreamIndex& s, const PayloadPiece& piece) {
    const uint8_t marker = frameMarker(piece.codec);
    const uint32_t wanted = 0x00000100u | marker;
    const uint8_t* bytes = piece.bytes();
    bool timed = piece.pts.has_value();
    uint32_t w = s.window;
    auto frameAt = [&](int end) { // the marker's last byte is at `end`
        IndexedFrame f;
        f.offset = s.bytes + end - 3;
        f.clip = clip_;
        if (timed) f.pts = piece.pts;
        timed = false;
        s.frames.push_back(f);
    };
    const int count = piece.count;
    int k = 0;
    for (; k < count && k < 3; ++k) {
        w = (w << 8) | bytes[k];
        if (w == wanted) frameAt(k);
    }
    // From here on, the 01 of a marker ending at k lies at k - 1.
    int from = 2;
    while (from < count - 1) {
        const void* hit = std::memchr(bytes + from, 0x01, size_t(count - 1 - from));
        if (!hit) break;
        const int one = int(static_cast<const uint8_t*>(hit) - bytes);
        if (one >= 2 && bytes[one - 1] == 0 && bytes[one - 2] == 0 && bytes[one + 1] == marker)
            frameAt(one + 1);
        from = one + 1;
    }
    if (count >= 4)
        s.window = (uint32_t(bytes[count - 4]) << 24) | (uint32_t(bytes[count - 3]) << 16) |
                   (uint32_t(bytes[count - 2]) << 8) | bytes[count - 1];
    else
        s.window = w;
}

void FrameIndex::finish() {
    for (StreamIndex& s : streams_) {
        if (!s.finder) continue;
        found_.clear();
        s.finder->finish(found_);
        addFrames(s);
        s.finder.reset();
    }
}

void FrameIndex::addFrames(StreamIndex& s) {
    for (const AudioFrame& f : found_) {
        // A frame reported late belongs to the clip its first byte was read in.
        uint32_t clip = 0;
        while (clip + 1 < s.clipStarts.size() && s.clipStarts[clip + 1] <= f.offset)
            ++clip;
        s.frames.push_back({f.offset, clip, f.samples, f.sampleRate, std::nullopt});
    }
}

void FrameIndex::audio(StreamIndex& s, const PayloadPiece& piece) {
    if (piece.codec == StreamCodec::LPCM && !piece.mlp) return; // samples, no frames
    if (!s.finder) s.finder = std::make_unique<AudioFrameFinder>(piece.codec, piece.mlp);
    found_.clear();
    s.finder->feed(piece.bytes(), size_t(piece.count), found_);
    addFrames(s);
}

} // namespace tarnwick

#pragma once
// What the Matroska step learns of each stream while Demux writes it: every
// video frame and audio frame with its place in the stream's file and the
// PES time stamp it starts with, every packet time stamp, and where each
// clip's bytes begin. Demux hands it every piece before writing it.

#include "engine/parse_listener.h"
#include "matroska/audio_frames.h"
#include "model/stream_selection.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tarnwick {

struct IndexedFrame {
    int64_t offset = 0;    // in the stream's file
    uint32_t clip = 0;     // the title's clip it was read in
    int32_t samples = 0;   // audio: its length at `sampleRate`; video: 0
    int32_t sampleRate = 0;
    std::optional<TimeStamp> pts; // of the PES packet the frame starts in, when it starts one
};

// A PES packet with a time stamp: where its payload begins in the file.
struct IndexedPacket {
    int64_t offset = 0;
    uint32_t clip = 0;
    TimeStamp pts = 0;
};

struct StreamIndex {
    StreamKind kind;
    int slot;
    StreamCodec codec = StreamCodec::MPEG2;
    bool mlp = false;
    int64_t bytes = 0;                  // written so far
    std::vector<int64_t> clipStarts{};  // the file's size when each clip began
    std::vector<IndexedFrame> frames{}; // in file order (video: decode order)
    std::vector<IndexedPacket> packets{};

    // The finders' state between pieces.
    uint32_t window = 0xFFFFFFFF;
    std::unique_ptr<AudioFrameFinder> finder{};
};

class FrameIndex : public ParseListener {
public:
    // Indexes the streams given, while the selection selects them (as Demux
    // writes them).
    FrameIndex(const std::vector<std::pair<StreamKind, int>>& streams,
               const StreamSelection& selection);

    void clipStarts(size_t clip) override;
    void payload(const PayloadPiece& piece) override;
    // After the last clip: the frames the audio finders still hold (a frame
    // is known whole only once the next one begins).
    void finish();

    const StreamIndex* stream(StreamKind kind, int slot) const;

private:
    StreamIndex* find(StreamKind kind, int slot);
    void video(StreamIndex& s, const PayloadPiece& piece);
    void audio(StreamIndex& s, const PayloadPiece& piece);
    void addFrames(StreamIndex& s);

    std::vector<StreamIndex> streams_;
    const StreamSelection& selection_;
    uint32_t clip_ = 0;
    std::vector<AudioFrame> found_; // scratch for the audio finders
};

} // namespace tarnwick

#pragma once
// What the parser hands out while it reads a clip: the streams it meets, each
// payload piece as a unit with its stream and its packet's time stamps, and
// the navigation data. The scan report, the frame counter, the demux writer
// and the time-stamp index are listeners; the parser itself neither reports,
// counts nor writes.

#include "model/scan_report.h"
#include "model/stream_ids.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

// A stream met for the first time in the clip (its slot's first stream).
struct FoundStream {
    StreamKind kind;
    int slot;
    int32_t id;
    const StreamIdRange* range;
    bool mlp = false; // a DVD-Audio object's MLP in the second LPCM sub-stream
};

// A 90 kHz time stamp with all 33 bits.
using TimeStamp = uint64_t;
inline uint32_t low32(TimeStamp t) {
    return uint32_t(t);
}

// One piece of a stream's payload: the bytes of a PES packet that lie in
// one chunk. A packet cut by a chunk boundary gives two pieces.
struct PayloadPiece {
    StreamKind kind;
    int slot;
    int32_t id;
    StreamCodec codec;
    bool mlp = false; // a DVD-Audio object's MLP in the second LPCM sub-stream
    // The chunk's valid bytes; the piece is [offset, offset + count) in them.
    std::span<const uint8_t> chunk;
    int offset = 0;
    int count = 0;
    int64_t position = 0; // of the piece's first byte in the clip
    // The time stamps of the piece's PES packet, on the packet's first piece.
    std::optional<TimeStamp> pts;
    std::optional<TimeStamp> dts;
    // The time stamp a stream is reported with at its first payload: the
    // video's latest presentation time, an audio or subpicture stream's time
    // when it was met.
    uint32_t reportPts = 0;

    const uint8_t* bytes() const { return chunk.data() + offset; }
};

// The system header of the clip's first pack.
struct SystemHeaderInfo {
    int videoBound = 0;
    int audioBound = 0;
    bool audioObject = false; // a DVD-Audio object: its counts are not reported
};

class ParseListener {
public:
    virtual ~ParseListener() = default;
    // Before the title's clip with this index is read.
    virtual void clipStarts(size_t) {}
    virtual void streamFound(const FoundStream&) {}
    virtual void payload(const PayloadPiece&) {}
    virtual void systemHeader(const SystemHeaderInfo&) {}
    virtual void copyControl(const CopyControlReport&) {}
    virtual void dataSearchInfo(const DsiReport&) {}
};

// Hands every event to each listener in turn.
class ParseListeners : public ParseListener {
public:
    ParseListeners(std::initializer_list<ParseListener*> listeners);
    void add(ParseListener* listener);
    void clipStarts(size_t clip) override;
    void streamFound(const FoundStream& s) override;
    void payload(const PayloadPiece& p) override;
    void systemHeader(const SystemHeaderInfo& h) override;
    void copyControl(const CopyControlReport& c) override;
    void dataSearchInfo(const DsiReport& d) override;

private:
    std::vector<ParseListener*> listeners_;
};

} // namespace tarnwick

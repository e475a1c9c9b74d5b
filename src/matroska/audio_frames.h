#pragma once
// The frames of an audio elementary stream as mkvmerge makes blocks of them
// when it reads the stream's file, found while the stream is written, so
// that a timestamp file can give each of mkvmerge's frames its time on the
// disc's clock: one line per frame, no more, no less.
//
// What one of mkvmerge's frames holds:
// - AC-3 and E-AC-3: an independent sync frame (an AC-3 frame, or E-AC-3
//   strmtyp 0 or 2, whatever its substreamid) with the dependent frames
//   (strmtyp 1) that follow it, even across skipped bytes; a dependent frame
//   with no frame before it starts one. 1536 samples per AC-3 frame, 256 per
//   E-AC-3 audio block.
// - DTS: a core frame with the one extension substream that starts right
//   where it ends; an extension substream anywhere else is a frame of its
//   own. (NBLKS + 1) * 32 samples at the core's SFREQ.
// - TrueHD and MLP: one access unit, 40 samples at 48 or 44.1 kHz (1/1200 s
//   at 48 kHz), 80 or 160 at twice or four times the rate, as the latest
//   major sync says. Access units before the first major sync are left out.
// Damaged streams are read the way mkvmerge reads them: a header is taken at
// its word wherever a sync word stands, even if its frame runs into the next
// one; bytes up to the next usable sync are skipped; a frame cut short by the
// end of the stream is dropped. Two of mkvmerge's habits carry over:
// - DTS: a core header whose FSIZE gives fewer than 96 bytes, or whose PCMR
//   is 4 or 7, stops mkvmerge reading the stream (stalledAt()); nothing after
//   it becomes a frame.
// - TrueHD: an access unit shorter than 8 bytes sends mkvmerge to the next
//   major sync, where it cuts a frame of that short length (reported with 0
//   samples) and carries on reading access unit lengths right after it;
//   after a major sync access unit of length 0 it reads past the next major
//   sync's access unit instead, without a frame.

#include "model/stream_ids.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

struct AudioFrame {
    int64_t offset = 0;     // the first byte of its first sync frame or access unit
    int32_t bytes = 0;      // stream bytes in mkvmerge's frame (dependent parts included)
    int32_t samples = 0;    // its length in samples at sampleRate; 0: no audio of its own
    int32_t sampleRate = 0; // 0: unknown (a DTS extension substream without static fields)
    bool operator==(const AudioFrame&) const = default;
};

// A streaming finder: bytes arrive in pieces cut anywhere, and each frame is
// appended to `found` once its last byte has arrived and nothing that
// follows can still join it: an AC-3 frame when the next independent frame
// starts, a DTS core when the bytes after it show no extension substream; so
// a frame may be reported a piece later, and finish() reports the last one.
// Memory is constant: only the header bytes that a piece boundary cuts are
// carried.
class AudioFrameFinder {
public:
    // DolbyDigital and DolbyDigitalPlus, DTS, TrueHD; LPCM with `mlp` for the
    // MLP of a DVD-Audio object. Other codecs raise std::invalid_argument.
    explicit AudioFrameFinder(StreamCodec codec, bool mlp = false);

    void feed(const uint8_t* bytes, size_t count, std::vector<AudioFrame>& found);
    // The end of the stream: the frame still held, if whole; a frame cut
    // short is dropped. Nothing is fed after it.
    void finish(std::vector<AudioFrame>& found);

    int64_t position() const { return position_ + int64_t(carried_); } // bytes fed
    // Bytes in no frame: before the first sync, between frames, a frame cut
    // short at the end, and everything after a stall.
    int64_t skippedBytes() const { return skipped_; }
    // DTS: where mkvmerge stops reading the stream; -1 while it reads on.
    int64_t stalledAt() const { return stalledAt_; }

private:
    enum class Family : uint8_t { Ac3, Dts, TrueHd };
    // What a part taken at the cursor is.
    enum class Part : uint8_t {
        Independent,
        Dependent,
        Core,
        CoreSubstream,
        Substream,
        Unit,
        Passed, // read past without a frame
    };
    enum class Verdict : uint8_t { More, Skip, Take, Again, Stop };
    struct Step {
        Verdict verdict;
        int32_t size = 0; // Take: the part's bytes
    };

    void run(const uint8_t* piece, size_t count, bool end, std::vector<AudioFrame>& found);
    Step examine(const uint8_t* p, size_t avail, bool end, std::vector<AudioFrame>& found);
    Step examineAc3(const uint8_t* p, size_t avail);
    Step examineDts(const uint8_t* p, size_t avail, bool end, std::vector<AudioFrame>& found);
    Step examineTrueHd(const uint8_t* p, size_t avail);
    void readMajorSync(const uint8_t* p);
    // The first byte from `from` on where a header can start.
    const uint8_t* nextCandidate(const uint8_t* from, const uint8_t* end) const;
    void partDone(std::vector<AudioFrame>& found);
    void flushHeld(std::vector<AudioFrame>& found);

    static constexpr size_t MaxHeader = 16; // the most bytes a header decision reads

    Family family_;
    int64_t position_ = 0; // stream offset of the cursor
    int64_t skipped_ = 0;
    int64_t stalledAt_ = -1;
    bool finished_ = false;

    // Header bytes cut by the end of the last piece.
    uint8_t carry_[MaxHeader] = {};
    size_t carried_ = 0;

    // The part being read: bytes still to come, and what it adds up to.
    int64_t remaining_ = 0;
    bool inPart_ = false;
    Part part_ = Part::Independent;
    AudioFrame partFrame_;

    // A frame waiting for the parts that may join it (E-AC-3 dependent
    // frames, a DTS extension substream).
    AudioFrame held_;
    bool holding_ = false;
    bool afterCore_ = false; // DTS: the held core just ended at the cursor

    // TrueHD and MLP.
    bool synced_ = false;
    // What mkvmerge does at the next major sync after a short access unit:
    // cut a frame of pending_ bytes, read past the access unit found there
    // without a frame, or read past pending_ bytes without a frame.
    enum class Pending : uint8_t { None, Cut, PassUnit, PassLength };
    Pending pendingAction_ = Pending::None;
    int32_t pending_ = 0;
    int32_t unitRate_ = 48000;
    int32_t unitSamples_ = 40; // 1/1200 s at the 48 kHz family's base rate
};

} // namespace tarnwick

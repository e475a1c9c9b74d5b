#pragma once
// Counts the frames of video slots 0 and 1: the frame markers (00 00 01
// marker) in the pieces that the slot's file receives, so that a count equals
// the markers in that file.

#include "engine/parse_listener.h"
#include "model/stream_selection.h"

#include <array>
#include <cstdint>

namespace tarnwick {

// A frame-counting window that no frame marker can complete before three
// new bytes have shifted in.
constexpr uint32_t NoFrameWindow = 0xFFFFFFFFu;

// Counts the frame markers (00 00 01 marker) in one video piece. `window`
// holds the stream's last four bytes before the piece, so that a marker split
// between pieces counts once, and is left holding the last four after it.
int countFrameMarkers(const uint8_t* piece, int count, uint8_t marker, uint32_t& window);

// The marker that starts a frame of the codec.
uint8_t frameMarker(StreamCodec codec);

class FrameCounter : public ParseListener {
public:
    // Counts every video stream, or with a selection only those it selects
    // at the time of each piece. One counter goes on over all the clips of a
    // title: a marker cut by the join counts once.
    explicit FrameCounter(const StreamSelection* selection = nullptr) : selection_(selection) {}
    void payload(const PayloadPiece& piece) override;

    std::array<int64_t, UsedVideoSlots> counts{};

private:
    const StreamSelection* selection_;
    std::array<uint32_t, UsedVideoSlots> windows_{NoFrameWindow, NoFrameWindow};
};

} // namespace tarnwick

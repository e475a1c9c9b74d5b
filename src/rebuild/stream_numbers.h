#pragma once
// The identifiers that the kept streams get in a rebuilt EVO. A number is
// given once per command, at a navigation pack, in slot order, and kept for
// the rest of the command (also across the second source file).

#include "model/stream_ids.h"
#include "rebuild/rebuild_streams.h"

#include <array>
#include <bitset>
#include <cstdint>

namespace tarnwick {

inline constexpr uint8_t NoNumber = 0xFF;

struct StreamNumbers {
    StreamNumbers() {
        map.fill(NoNumber);
        for (auto& space : unnumbered)
            space.fill(Undecided);
    }

    static constexpr int16_t Undecided = -1;
    static constexpr int16_t Dropped = -2;

    // By source identifier: the identifier written for it.
    std::array<uint8_t, 256> map;
    uint8_t video = 0;
    uint8_t audio = 0;
    uint8_t subpicture = 0;

    // Streams that got no number (missing from the identifier tables, or not
    // ticked yet outside the tested ranges) keep their identifier when it is
    // free, else take a free one of their kind; Dropped when none is free.
    std::array<std::array<int16_t, 256>, 3> unnumbered;
    // The identifiers already written for some stream, per space.
    std::array<std::bitset<256>, 3> taken;
};

// The selected streams of each kind, as the navigation pack counts them.
struct TickedCounts {
    int video = 0;
    int audio = 0;
    int subpicture = 0;
};

// Gives every selected slot's stream that has none yet its number, in slot
// order: video, audio, then subpicture.
TickedCounts assignNumbers(StreamNumbers& n, const RebuildStreams& streams);

// The identifier to write for a source identifier of a kept packet, or -1 when
// no identifier of its kind is free and the packet must be left out.
int outputIdentifier(StreamNumbers& n, uint8_t id, IdSpace space, const RebuildStreams& streams);

} // namespace tarnwick

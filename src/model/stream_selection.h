#pragma once
// Which streams a demux writes and a rebuild keeps. A selection may change
// while a command runs (the window lets a stream be ticked during a pump), so
// commands ask it afresh for every payload piece instead of copying it.

#include "model/stream_slots.h"

#include <bitset>

namespace tarnwick {

class StreamSelection {
public:
    virtual ~StreamSelection() = default;
    virtual bool selected(StreamKind kind, int slot) const = 0;
};

// A selection held as plain data.
class SelectionSet : public StreamSelection {
public:
    bool selected(StreamKind kind, int slot) const override;
    void select(StreamKind kind, int slot, bool on = true);
    bool any() const { return video_.any() || audio_.any() || subpicture_.any(); }

private:
    std::bitset<VideoSlots> video_;
    std::bitset<AudioSlots> audio_;
    std::bitset<SubSlots> subpicture_;
};

} // namespace tarnwick

#pragma once
// Which slot a private-stream-1 sub-stream takes in its identifier table.

#include <array>
#include <cstdint>

namespace tarnwick {

// A sub-stream keeps the slot it was given for the whole feature: `ids` holds
// the sub-stream id of each slot over both files. A new sub-stream takes its
// own slot (the one its id maps to) unless another sub-stream holds it
// already, as LPCM 0xA0, DTS 0x88 and Dolby Digital 0x80 all map to audio
// slot 0 in files of some DVD muxers. It then takes the first free slot
// counting down from `collisionStart`, which the caller derives from the id,
// so that the slot does not depend on the order in which the colliding
// streams are met; high slots stand least in the way of streams still to
// come. With every slot taken it gets its own slot, whose file the writer
// keeps for the stream that holds it.
template <size_t Slots>
int subStreamSlot(std::array<int32_t, Slots>& ids, int own, int collisionStart, int32_t id) {
    for (size_t k = 0; k < Slots; ++k)
        if (ids[k] == id) return int(k);
    if (ids[own] < 0) {
        ids[own] = id;
        return own;
    }
    for (size_t step = 0; step < Slots; ++step) {
        const size_t k = (size_t(collisionStart) + Slots - step) % Slots;
        if (ids[k] < 0) {
            ids[k] = id;
            return int(k);
        }
    }
    return own;
}

} // namespace tarnwick

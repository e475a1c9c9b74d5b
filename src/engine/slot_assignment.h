#pragma once
// Which slot a private-stream-1 sub-stream takes in its identifier table.

#include <array>
#include <cstdint>

namespace tarnwick {

// A sub-stream takes its own slot (the one its id maps to) unless another
// sub-stream holds it already, as LPCM 0xA0 and Dolby Digital 0x80 both map
// to audio slot 0 in files of some DVD muxers. It then takes the highest free
// slot, where it stands least in the way of streams still to come, and so
// keeps a box and a file of its own instead of being mixed into the other
// stream's. With every slot taken it gets its own slot, whose file the
// writer keeps for the stream that holds it.
template <size_t Slots>
int subStreamSlot(const std::array<int32_t, Slots>& ids, int own, int32_t id) {
    if (ids[own] == id || ids[own] < 0) return own;
    for (size_t k = 0; k < Slots; ++k)
        if (ids[k] == id) return int(k);
    for (size_t k = Slots; k-- > 0;)
        if (ids[k] < 0) return int(k);
    return own;
}

} // namespace tarnwick

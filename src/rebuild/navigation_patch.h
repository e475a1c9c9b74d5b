#pragma once
// A navigation pack made to match the kept streams: the stream bounds of its
// system header and, in its DSI, the title's first and last video times and
// the entries of the streams that are gone.

#include "app/window_state.h"
#include "engine/stream_table.h"
#include "rebuild/stream_numbers.h"

#include <cstdint>

namespace tarnwick {

// Also gives the ticked streams their numbers. The pack is 2048 bytes.
void patchNavigationPack(uint8_t* pack, StreamNumbers& numbers, const StreamTable& t,
                         const StreamBoxes& boxes);

} // namespace tarnwick

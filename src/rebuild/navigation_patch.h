#pragma once
// A navigation pack made to match the kept streams: the stream bounds of its
// system header and, in its DSI, the title's first and last video times and
// the entries of the streams that are gone.

#include "rebuild/rebuild_streams.h"
#include "rebuild/stream_numbers.h"

#include <cstdint>

namespace tarnwick {

// Also gives the selected streams their numbers. The pack is 2048 bytes.
void patchNavigationPack(uint8_t* pack, StreamNumbers& numbers, const RebuildStreams& streams);

} // namespace tarnwick

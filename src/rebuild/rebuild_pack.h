#pragma once
// What happens to one 2048-byte pack of the source on its way to the rebuilt
// EVO, and the copy loop over a whole clip.

#include "engine/files.h"
#include "model/run_host.h"
#include "rebuild/rebuild_streams.h"
#include "rebuild/stream_numbers.h"

#include <cstdint>

namespace tarnwick {

// Patches a navigation pack, tests whether the pack is kept and renumbers the
// identifiers of a kept pack, all in place. `pack` holds 2048 readable bytes
// (a short last block is followed by zeros). Returns whether it is written;
// `changed`, when given, tells whether its bytes may differ from the source's.
bool rebuildPack(uint8_t* pack, StreamNumbers& numbers, const RebuildStreams& streams,
                 bool* changed = nullptr);

// Copies `in` from its position to its end into the rebuilt EVO `out`, pack
// by pack; stops after the pack during which Cancel was pressed.
void rebuildClip(SourceFile& in, StreamNumbers& numbers, const RebuildStreams& streams,
                 OutputFile& out, RunContext& run);

} // namespace tarnwick

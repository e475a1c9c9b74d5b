#pragma once
// Which packs of a rebuilt EVO are left out: those of unticked streams and,
// unless "Rebuild ADV_PCKs" is ticked, the advanced packs.

#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_streams.h"

namespace tarnwick {

// Slot lookups: the first slot holding the identifier is not selected. An
// identifier found in no slot gives false, so its packs are kept.
bool videoSlotUnselected(int id, const RebuildStreams& s);
bool audioSlotUnselected(int id, const RebuildStreams& s);
bool subpictureSlotUnselected(int id, const RebuildStreams& s);

bool keepPack(const PackClass& c, const RebuildStreams& s);

} // namespace tarnwick

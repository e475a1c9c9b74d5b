#pragma once
// Which packs of a rebuilt EVO are left out: those of unticked streams and,
// unless "Rebuild ADV_PCKs" is ticked, the advanced packs.

#include "app/window_state.h"
#include "engine/stream_table.h"
#include "rebuild/pack_layout.h"

namespace tarnwick {

// Slot lookups: the first slot holding the identifier has its box unticked.
// An identifier found in no slot gives false, so its packs are kept.
bool videoSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes);
bool audioSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes);
bool subpictureSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes);

bool keepPack(const PackClass& c, const StreamTable& t, const WindowState& w);

} // namespace tarnwick

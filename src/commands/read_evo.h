#pragma once

#include "engine/session.h"

namespace tarnwick {

// "Read EVO": scans the source (and a feature's second file), fills the
// stream boxes and writes the frame summary. Returns false when a file could
// not be opened. The Options page's automatic step (Demux or Rebuild) is the
// window's to run after it.
bool bReadEVOClick(Session& s);

// Fills the boxes from the identifier tables of the last scan.
void fillStreamBoxes(Session& s);

} // namespace tarnwick

#pragma once

#include "engine/session.h"

namespace tarnwick {

// "Read XPL": reads the playlist named by the playlist field into tag lines,
// the tree, the stream boxes and the chapter lines. Returns false when the
// playlist could not be opened (reported with the error box).
bool bReadXPLClick(Session& s);

} // namespace tarnwick

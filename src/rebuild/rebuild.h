#pragma once

#include "engine/session.h"

namespace tarnwick {

// "Rebuild": writes a new EVO with only the ticked streams. Returns false on
// a failure (reported with the error box).
bool bRebuildClick(Session& s);

} // namespace tarnwick

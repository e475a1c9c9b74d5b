#pragma once

#include "engine/session.h"

namespace tarnwick {

// "Write chapters": writes the chapter lines of the last Read XPL run to
// EVObase + ".chapters.txt" in the output folder. Returns false on failure.
bool bWriteChapsClick(Session& s);

} // namespace tarnwick

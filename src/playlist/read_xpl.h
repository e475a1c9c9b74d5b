#pragma once

#include "app/session.h"

namespace tarnwick {

// "Read XPL": reads the playlist named by the playlist field into tag lines,
// the tree, the stream boxes and the chapter lines. Returns false when the
// playlist could not be opened (reported with the error box). The title shown
// is the one whose clip matches the source's name, or, when titleNumber is
// not 0, the title with that number.
bool bReadXPLClick(Session& s, int titleNumber = 0);

} // namespace tarnwick

#pragma once

#include "app/session.h"

namespace tarnwick {

// "Demux": writes every ticked stream to a file of its own in the output
// folder. Returns false when an error was logged.
bool bDemuxClick(Session& s);

} // namespace tarnwick

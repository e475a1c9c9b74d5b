#include "commands/demux_command.h"

namespace tarnwick {

bool bDemuxClick(Session&) { return true; }

} // namespace tarnwick

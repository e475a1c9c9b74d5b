#include "rebuild/rebuild.h"

namespace tarnwick {

bool bRebuildClick(Session&) { return true; }

} // namespace tarnwick

#include "playlist/read_xpl.h"

namespace tarnwick {

bool bReadXPLClick(Session&) { return true; }

} // namespace tarnwick

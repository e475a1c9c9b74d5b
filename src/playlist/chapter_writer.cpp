#include "playlist/chapter_writer.h"

namespace tarnwick {

bool bWriteChapsClick(Session&) { return true; }

} // namespace tarnwick

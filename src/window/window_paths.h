#pragma once
// The folders and names that a chosen source or playlist file implies.

#include "window/window_state.h"

namespace tarnwick {

// After the source field changed: path state, playlist field, read buttons.
void EVOadj(WindowState& w);
// After the playlist field changed.
void XPLadj(WindowState& w);

} // namespace tarnwick

#pragma once
// Shows the window state in the widgets: texts, ticks, captions, hints,
// enabled states, the page shown and the playlist views.

#include "window/window_state.h"
#include "controls.h"

namespace tarnwick {

// What the playlist widgets show, so that they are refilled only when the
// state holds something new.
struct ShownPlaylist {
    std::vector<std::string> mXPL;
    std::vector<TreeNode> tvXPL;
    std::vector<std::string> mChapter;
    bool filled = false;
};

// While a command runs, no other command can be started from the window; only
// "Cancel", the options and the stream boxes stay usable.
void showState(const Controls& c, const WindowState& w, bool commandRunning, ShownPlaylist& shown);

} // namespace tarnwick

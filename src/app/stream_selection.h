#pragma once
// The 56 stream check boxes: their reset and the rule that enables "Demux"
// and "Rebuild".

#include "app/window_state.h"

namespace tarnwick {

inline constexpr const char* VideoPageHint = "Check the desired video stream";
inline constexpr const char* AudioPageHint = "Check the desired audio streams";
inline constexpr const char* SubPageHint = "Check the desired subpicture streams";

// Every box disabled, unticked, with its page's reset caption; then the rule.
void Resetcbs(WindowState& w);

// The selection rule, run after every change of a box's ticked state.
void cbVideoClick(WindowState& w);

bool anyBoxTicked(const StreamBoxes& boxes);

} // namespace tarnwick

#pragma once
// What the tag lines of one Title element show: the tree, the stream boxes
// with their identifier marks and log lines, and the chapter lines.

#include "engine/session.h"
#include "playlist/line_rules.h"

namespace tarnwick {

// Rebuilds the tree from the title's tag lines in the playlist memo, marks
// and ticks the streams the title plays and appends its chapter lines. The
// identifier tables must hold -1 for every stream not listed yet.
void showTitle(Session& s, const PlaylistHeader& header);

// A stream label made fit to be a box caption, which Demux puts into an
// output file name: a path delimiter from the playlist's description must
// not lead the file into another folder.
std::string captionFromLabel(const std::string& label);

} // namespace tarnwick

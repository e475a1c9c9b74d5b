#pragma once
// What the tag lines of one Title element show: the tree, the streams it
// names with their log lines, and the chapter lines.

#include "model/run_host.h"
#include "playlist/line_rules.h"
#include "playlist/read_xpl.h"

namespace tarnwick {

// Builds the tree, the streams and the chapter lines of the title's tag
// lines in the result.
void showTitle(PlaylistResult& result, const PlaylistHeader& header, LogSink& log);

// A stream label made fit to be a caption, which Demux puts into an output
// file name: a path delimiter from the playlist's description must not lead
// the file into another folder.
std::string captionFromLabel(const std::string& label);

} // namespace tarnwick

#pragma once

#include "engine/session.h"

#include <string>
#include <vector>

namespace tarnwick {

// "Demux": writes every ticked stream to a file of its own in the output
// folder. Returns false when an error was logged; the messages of those
// errors are added to `errors` when given (the command line repeats them on
// standard error).
bool bDemuxClick(Session& s, std::vector<std::string>* errors = nullptr);

// The name of a stream's output file: path base + "." + caption + "." +
// extension. A caption holding the path delimiter (a playlist's description)
// cannot reach another folder: the delimiter becomes "_".
std::string outputFileName(const std::string& pathBase, const std::string& caption,
                           const std::string& extension);

} // namespace tarnwick

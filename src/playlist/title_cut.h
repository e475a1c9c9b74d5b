#pragma once
// Narrows the playlist's tag lines to the Title element that plays the
// source file.

#include <string>
#include <vector>

namespace tarnwick {

// Finds the first line holding base (case-sensitive) and keeps only the
// lines from the nearest "<Title " at or above it to the first "</Title"
// after that. Leaves the lines untouched and returns false when no line but
// the first holds base, or when no Title element opens above it (the clip
// of a FirstPlayTitle, for one).
bool cutToTitle(std::vector<std::string>& lines, const std::string& base);

} // namespace tarnwick

#pragma once
// A title without a playlist: the source and the parts that the file-name
// rule of "Continue with second  EVO" finds beside it. A feature's parts
// (FEATURE_1.EVO, FEATURE_2.EVO, ...; L0_ and L1_) are clips of their own; a
// DVD title's VTS_xx_1..n.VOB parts (and a DVD-Audio title's AOB parts) are
// one byte stream cut anywhere, and so one clip.

#include "engine/file_identity.h"
#include "model/title.h"

#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

using FileExistsTest = std::function<bool(const std::string&)>;

// The source followed by the parts found after it, in order.
std::vector<std::string> featureParts(const std::string& source, const FileExistsTest& exists);

// The title of a source: with `continueParts`, its parts as well.
Title titleOfSource(const std::string& source, bool continueParts);
Title titleOfSource(const std::string& source, bool continueParts, const FileExistsTest& exists);

// The files a command over the title reads, for the check that no output is
// one of them: the title's sources and the playlists named.
std::vector<ReadFile> titleReads(const Title& title, const std::vector<std::string>& playlists);

// Whether a file's parts are one byte stream (DVD VOB and AOB parts).
bool partsAreOneStream(const std::string& source);

} // namespace tarnwick

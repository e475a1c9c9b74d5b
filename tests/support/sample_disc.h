#pragma once
// Copies of the bundled disc with a playlist edited in code, stand-ins for
// mkvmerge, and what the tests look for in an output folder afterwards.

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::testing {

// A text replacement in the playlist, or the new name of one of its EVOs.
struct DiscEdit {
    std::string from;
    std::string to;
};

// Copies samples/DISC into `folder` (which must exist) as `folder`/DISC with
// each playlist edit made (every occurrence) and each EVO renamed; returns
// the disc folder.
std::string copySampleDisc(const std::string& folder, const std::vector<DiscEdit>& playlist = {},
                           const std::vector<DiscEdit>& renames = {});

// A shell script at `path` that stands in for mkvmerge. It runs in the work
// folder, as mkvmerge does; $OPTIONS is its option file there.
std::string standInMkvmerge(const std::string& path, const std::string& body);

// The names in a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);

// The names of a folder that a run makes for itself (hidden, ending in
// ".tarnwick~"), sorted.
std::vector<std::string> ownEntries(const std::string& folder);

// The whole file as text (empty when it cannot be read).
std::string fileText(const std::string& path);

// A playlist time "HH:MM:SS:FF" (sixtieths) of a number of frames.
std::string playlistTime(int frames);

} // namespace tarnwick::testing

#pragma once
// What the Matroska step works on: the EVO or VOB to read, the playlist that
// names its streams and the playlist title it plays, worked out from a disc
// folder or a source file and the --title and --playlist choices.

#include "matroska/disc_titles.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct MkvSourceRequest {
    std::string input;                   // a feature's first EVO or VOB, or a disc folder
    std::optional<int> title;            // a titleNumber of the playlist
    std::optional<std::string> playlist; // instead of the disc's own
};

struct MkvSource {
    std::string source;                 // the file to scan (its second part follows)
    std::string playlist;               // empty: no playlist
    std::optional<PlaylistTitle> title; // the playlist's title of the source
};

// Works the request out; on failure returns nothing and a message in `error`.
std::optional<MkvSource> resolveMkvSource(const MkvSourceRequest& request, std::string& error);

// The titles as the `titles` command lists them, a few lines each.
std::vector<std::string> titleListing(const std::vector<PlaylistTitle>& titles);

// A display name as a file name: no folder delimiter, control character or
// leading dot or blank; cut to a length every file system takes. Empty when
// nothing usable is left.
std::string safeFileName(const std::string& name);

} // namespace tarnwick

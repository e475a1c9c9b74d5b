#pragma once
// A disc folder and the titles of its playlist, as the Matroska step needs
// them: where the playlist lies, which title to take and which EVO plays it.

#include "playlist/title_list.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The folders of a disc, as they are named on it (either case).
struct DiscFolders {
    std::string videoFolder; // .../HVDVD_TS
    std::string playlist;    // .../ADV_OBJ/VPLST000.XPL, empty when the disc has none
};

// The disc of a folder that holds HVDVD_TS/, or of HVDVD_TS/ itself; nothing
// for any other folder.
std::optional<DiscFolders> discFolders(const std::string& folder);

// The title with the given titleNumber, else (no number) the longest, the
// first of equally long ones; nothing when there is no such title.
const PlaylistTitle* chooseTitle(const std::vector<PlaylistTitle>& titles,
                                 std::optional<int> number);

// The EVO that plays the title's first primary clip, as named in the video
// folder; empty when the title has no clip or the file is not there.
std::string titleSource(const DiscFolders& disc, const PlaylistTitle& title);

} // namespace tarnwick

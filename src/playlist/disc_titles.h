#pragma once
// A disc folder, the titles of its playlist, and a playlist title as the
// title model the commands read: its clips' EVOs found on the disc, their
// places on the title's timeline, its streams' names and languages and its
// chapters.

#include "model/title.h"
#include "playlist/title_list.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The folders of a disc, as they are named on it (any case).
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

// The title whose primary clips include the source's .MAP file (its name
// compared without regard to case), or nothing.
const PlaylistTitle* titlePlaying(const std::vector<PlaylistTitle>& titles,
                                  const std::string& source);

// The EVO that a clip's .MAP file names, as it is named in the video folder
// (its name compared without regard to case); empty when it is not there.
std::string clipSource(const std::string& videoFolder, const std::string& map);

struct DiscTitle {
    Title title;
    std::vector<std::string> missingClips; // the EVOs of clips not found, as the playlist names them
    std::vector<std::string> warnings;     // what of the playlist was left out
};

// The title model of a playlist title: a clip for each primary clip, in
// play order.
DiscTitle discTitle(const PlaylistTitle& title, const std::string& videoFolder,
                    const std::string& playlist);

} // namespace tarnwick

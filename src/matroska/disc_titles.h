#pragma once
// A disc folder and the titles of its playlist, as the Matroska step needs
// them: which EVO plays a title, the title's streams with their descriptions
// and languages, its chapter count.

#include <cstdint>
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

// An Audio or Subtitle element of a title, with the langcode that the
// title's TrackNavigationList gives its track ("fr:01"; empty when none).
struct TitleStream {
    int track = 0;
    int streamNumber = 0; // 1-based: stream number n is slot n - 1
    std::string description;
    std::string langcode;
};

struct DiscTitle {
    int number = 0;
    std::string name;     // displayName
    std::string duration; // titleDuration, "HH:MM:SS:FF"
    int64_t durationMs = 0;
    std::vector<std::string> clips; // the clips' .MAP file names, in order
    std::vector<TitleStream> audio;
    std::vector<TitleStream> subtitles;
    int chapters = 0;
};

// The Title elements of a playlist (FirstPlayTitle and commented-out tags
// left out). Raises FileError when the playlist cannot be read.
std::vector<DiscTitle> readDiscTitles(const std::string& playlistPath);

// The title with the given titleNumber, else (no number) the longest, the
// first of equally long ones; nothing when there is no such title.
const DiscTitle* chooseTitle(const std::vector<DiscTitle>& titles, std::optional<int> number);

// The EVO that plays the title's first clip, as named in the video folder;
// empty when the title has no clip or the file is not there.
std::string titleSource(const DiscFolders& disc, const DiscTitle& title);

// Milliseconds of a playlist time "HH:MM:SS:FF" whose frame field counts
// sixtieths of a second; -1 when the text is not such a time.
int64_t playlistTimeMs(const std::string& time);

} // namespace tarnwick

#pragma once
// The JSON documents of tarnwick-cli (keys in docs/json.md; keys are only
// ever added): the report of the last Read EVO, the titles of a playlist and
// what the Matroska step wrote.

#include "matroska/language_codes.h"
#include "matroska/mkv_command.h"
#include "model/playlist_view.h"
#include "model/scan_report.h"
#include "model/title.h"
#include "playlist/title_list.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

struct ReportJsonInput {
    const ScanReport& report;
    std::string tool;
    std::string version;
    // The playlist's streams when a playlist was read, else nothing.
    const std::vector<PlaylistStreamName>* playlist = nullptr;
    // The title read: its number, name, playlist, playing time, chapters and
    // the names and langcodes of its streams; nothing: a bare source.
    const Title* title = nullptr;
    // The ISO 639-2 codes; nothing when the table could not be read (the
    // languages of named streams are then null).
    const LanguageTable* languages = nullptr;
};

// The document, indented by two blanks, with a final newline.
std::string reportJson(const ReportJsonInput& input);

// The titles of a playlist as `titles --json` prints them.
std::string titlesJson(const std::vector<PlaylistTitle>& titles, const std::string& playlist,
                       const std::string& tool, const std::string& version,
                       const LanguageTable* languages);

// What `mkv --json` prints: the MKV, its tracks and chapters, the title it
// holds and the warnings of the run.
std::string matroskaJson(const MatroskaResult& result, const Title& title, const std::string& tool,
                         const std::string& version);

// The delay of a stream's first time stamp after the first video stream's,
// in milliseconds, rounded half away from zero; nothing without video.
std::optional<int64_t> delayMilliseconds(const ScanReport& report, const StreamReport& stream);

// A video stream's frame rate as a fraction in lowest terms (24000/1001),
// from the exact fields where the codec gives them; nothing without a rate.
std::optional<std::pair<int64_t, int64_t>> frameRateFraction(const StreamReport& stream);

// The playing time of a clip in seconds: the navigation packs' when they
// give one, else the frames counted in a title's only clip read to its end
// at its first video stream's rate; nothing when neither is known.
std::optional<double> clipSeconds(const ScanReport& report, size_t clip);

// The title's playing time: the playlist's, else the sum of its clips'.
std::optional<double> titleSeconds(const Title& title);

} // namespace tarnwick

#pragma once
// The titles a playlist holds, read from its tag lines: what a user needs to
// pick one.

#include <string>
#include <vector>

namespace tarnwick {

struct PlaylistTitle {
    int number = 0; // titleNumber, else the title's place in the playlist
    std::string name;
    std::string duration;
    std::vector<std::string> clips; // the clip files' names without extension
    int videoTracks = 0;
    int audioStreams = 0;
    int subtitleStreams = 0;
    int chapters = 0;
    size_t firstLine = 0; // the "<Title " line
    size_t lastLine = 0;  // the "</Title" line, or the last line
};

std::vector<PlaylistTitle> listTitles(const std::vector<std::string>& lines);

// "1\tMain Movie\t01:43:53:24\tFEATURE_1, FEATURE_2\t1 video, 1 audio,
// 1 subtitle\t10 chapters"
std::string titleSummary(const PlaylistTitle& title);

// Keeps only the lines of the title with that number; false (lines untouched)
// when the playlist has no such title.
bool cutToTitleNumber(std::vector<std::string>& lines, int number);

} // namespace tarnwick

#pragma once
// The titles a playlist holds, read from its tag lines: what a user needs to
// pick one, and what the Matroska step takes from it (the clips that play
// it, its streams with their descriptions and languages, its chapters).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A disc's title has at most a few hundred chapters: more are not kept.
constexpr size_t MaxChaptersPerTitle = 999;
// What the titles of one playlist may keep in memory, all of them together
// (their names, clips, streams and chapters): far more than a disc needs,
// and a bound on what a playlist of nothing but tags can cost.
constexpr size_t MaxTitleListBytes = size_t{32} << 20;

// An Audio or Subtitle element of a title, with the langcode that the
// title's TrackNavigationList gives its track ("fr:01"; empty when none).
struct TitleStream {
    int track = 0;
    int streamNumber = 0; // 1-based: stream number n is slot n - 1
    std::string description;
    std::string langcode;
};

// A primary clip of a title: its .MAP file and where it plays on the title's
// timeline ("HH:MM:SS:FF"; empty when not given).
struct PlaylistClip {
    std::string map;
    std::string titleTimeBegin;
    std::string titleTimeEnd;
};

struct PlaylistChapter {
    std::string name;
    std::string titleTimeBegin;
};

struct PlaylistTitle {
    int number = 0; // titleNumber, else the title's place in the playlist
    std::string name;
    std::string duration; // titleDuration, "HH:MM:SS:FF"
    int64_t durationMs = 0;
    std::vector<std::string> clips;             // the clip files' names without extension
    std::vector<std::string> primaryClips;      // the primary clips' .MAP file names, in order
    std::vector<PlaylistClip> primaryClipTimes; // the same clips with their title times
    int videoTracks = 0;
    std::vector<TitleStream> audio; // each stream number once
    std::vector<TitleStream> subtitles;
    int chapters = 0; // all the title lists
    std::vector<PlaylistChapter> chapterList;
    size_t firstLine = 0; // the "<Title " line
    size_t lastLine = 0;  // the "</Title" line, or the last line
};

// The titles of the TitleSet, or of all the lines when they hold no TitleSet
// (the lines of one title cut from a playlist); commented-out tags are none.
std::vector<PlaylistTitle> listTitles(const std::vector<std::string>& lines);

// Asked between the chunks of a playlist being read: true stops the reading
// (Ctrl+C in the CLI).
using StopReading = std::function<bool()>;

// The titles of a playlist file, read in chunks. Raises FileError when the
// file cannot be read. When `stop` says so, the titles read so far.
std::vector<PlaylistTitle> readPlaylistTitles(const std::string& path,
                                              const StopReading& stop = {});

struct PlaylistTitles {
    std::vector<PlaylistTitle> titles;
    bool complete = true; // false: MaxTitleListBytes reached, later entries left out
    bool cancelled = false;
};

// The same, saying whether the list is whole: `stop` is asked after each
// chunk, and when it answers true the reading stops with the titles read so
// far.
PlaylistTitles readTitleList(const std::string& path, const StopReading& stop);

// "1\tMain Movie\t01:43:53:24\tFEATURE_1, FEATURE_2\t1 video, 1 audio,
// 1 subtitle\t10 chapters"
std::string titleSummary(const PlaylistTitle& title);

// Keeps only the lines of the title with that number; false (lines untouched)
// when the playlist has no such title.
bool cutToTitleNumber(std::vector<std::string>& lines, int number);

// Milliseconds of a playlist time "HH:MM:SS:FF" whose frame field counts
// sixtieths of a second; -1 when the text is not such a time.
int64_t playlistTimeMs(const std::string& time);
// The same time in 90 kHz ticks; -1 when the text is not such a time.
int64_t playlistTimeTicks(const std::string& time);

} // namespace tarnwick

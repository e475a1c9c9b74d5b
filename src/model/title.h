#pragma once
// A title: what plays, in order. Its clips are the sources read one after
// the other; a clip is one byte stream (an HD DVD EVO, or a DVD title's
// VTS_xx_1..n.VOB parts, which are one stream cut anywhere). From a playlist
// it also has its name, each stream's name and language, the clips' places
// on the title's timeline and the chapters. Every command takes the files it
// reads from here; after Read EVO, `scan` holds what was found in each clip.

#include "model/scan_report.h"
#include "model/stream_slots.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// Title times are 90 kHz ticks from the start of the title.
constexpr int64_t TicksPerSecond = 90000;

struct Clip {
    std::vector<std::string> files; // in play order; one but for DVD title parts
    // Where the clip plays on the title's timeline, from the playlist.
    std::optional<int64_t> titleBegin;
    std::optional<int64_t> titleEnd;

    const std::string& path() const { return files.front(); }
};

// A stream as the playlist names it.
struct StreamName {
    StreamKind kind = StreamKind::Audio;
    int slot = 0;
    std::string description; // "English 5.1"
    std::string langcode;    // the playlist's language code ("en:01"); empty when none
};

struct Chapter {
    int64_t begin = 0; // title time
    std::string name;
};

struct Title {
    int number = 0;   // the playlist's title number; 0 without a playlist
    std::string name; // the playlist's display name; empty without one
    // The name the outputs are given: the clips' file names without their
    // extensions, joined by "_" ("FEATURE_1_FEATURE_2").
    std::string baseName;
    std::vector<Clip> clips;
    std::vector<StreamName> streams;
    std::vector<Chapter> chapters;
    std::optional<int64_t> duration; // from the playlist
    std::string playlist;            // the playlist the title was read from; never written

    ScanReport scan; // after Read EVO: clip k's findings are scan.clips[k]

    bool empty() const { return clips.empty(); }
    const std::string& firstFile() const { return clips.front().path(); }
};

// Every file the title reads, clip after clip.
std::vector<std::string> titleFiles(const Title& title);

// The playlist's name of a stream, or nothing.
const StreamName* streamName(const Title& title, StreamKind kind, int slot);

// The output base name of a list of files: their names without extension,
// joined by "_".
std::string baseNameOf(const std::vector<std::string>& files);

} // namespace tarnwick

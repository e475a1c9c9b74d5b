#pragma once
// The Matroska step: a title's selected streams demuxed into a work folder
// inside the output folder, LPCM wrapped as WAV, and one mkvmerge run that
// gives each track its name, language and start, the title and the
// chapters of the playlist.

#include "commands/demux_command.h"
#include "matroska/frame_index.h"
#include "model/run_host.h"
#include "model/stream_selection.h"
#include "model/title.h"

#include <string>
#include <vector>

namespace tarnwick {

struct MatroskaRequest {
    // Scanned; with a playlist, its name, stream names, languages and
    // chapters go into the MKV.
    const Title& title;
    std::vector<DemuxStream> streams; // what goes in, in track order
    const StreamSelection& selection;
    std::string outputFolder{}; // empty: the current folder
    // The MKV's name without ".mkv"; empty: the title's name, else its base
    // name.
    std::string name{};
    bool keepStreams = false; // keep the work folder
    // An MKV of the same name already there is replaced; without, the run
    // fails rather than replace it.
    bool overwrite = true;
    std::string mkvmerge = "mkvmerge";
    // After Cancel, how long mkvmerge may take to stop before it is killed.
    int mkvmergeStopGraceMilliseconds = 5000;
    std::vector<std::string> playlists{}; // never to be written
    // The files a Demux of this title has just written, and the index of
    // their frames it made: muxed as they are instead of demuxing again.
    const DemuxResult* demuxed = nullptr;
    const FrameIndex* index = nullptr;
};

// The streams a Matroska step indexes: video, audio and subpictures.
std::vector<std::pair<StreamKind, int>> indexedStreams(const std::vector<DemuxStream>& streams);

struct MatroskaTrack {
    StreamKind kind;
    int slot;
    std::string codec;
    std::string name;
    std::string language;
    int64_t startMs = 0;
    bool isDefault = false;
};

struct MatroskaResult {
    std::string path; // the MKV, once it is in place
    std::vector<MatroskaTrack> tracks;
    size_t chapters = 0;
    int64_t durationMs = 0; // the title's end on the MKV's timeline
    std::vector<std::string> warnings;
    bool cancelled = false;
    std::vector<std::string> errors; // logged in red as they happened

    bool ok() const { return errors.empty(); }
};

MatroskaResult muxTitle(const MatroskaRequest& request, RunContext& run);

// The MKV a request writes: the output folder, the name (else the title's
// name, else its base name) made a file name, ".mkv".
std::string matroskaPath(const Title& title, const std::string& outputFolder,
                         const std::string& name);

// Whether the muxer program can be started (checked before a long demux).
bool mkvmergeFound(const std::string& program);
// The message when it cannot.
std::string mkvmergeMissingMessage(const std::string& program);

// A display name as a file name: no folder delimiter, control character or
// leading dot or blank; cut to a length every file system takes (at a
// character). Empty when nothing usable is left.
std::string safeFileName(const std::string& name);

} // namespace tarnwick

#pragma once
// "Demux": writes every selected stream of a title to a file of its own in
// the output folder, one file per stream over all the clips.

#include "engine/parse_listener.h"
#include "model/run_host.h"
#include "model/stream_selection.h"
#include "model/title.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

// The output folder and the extensions of the stream files.
struct OutputNaming {
    std::string folder; // empty: the current folder
    std::string videoExtension = "mpv";
    std::string audioExtension = "mpa";
    std::string subpictureExtension = "sup";
    // Files named by the stream's box name alone ("a03.mpa"): names of the
    // program's own, for a work folder, instead of the title's base name and
    // the stream's caption.
    bool slotNames = false;

    const std::string& extension(StreamKind kind) const;
};

// A stream to write and the caption its file is named after.
struct DemuxStream {
    StreamKind kind;
    int slot;
    std::string caption;
};

struct DemuxRequest {
    // Its clips are read in order; its base name and each stream's caption
    // name the files; its scan gives the frame rates and the time origin of
    // the subpicture records.
    const Title& title;
    // One file is made for each of these; a piece is written while the
    // selection selects its stream, so a stream deselected during the run
    // stops being written.
    std::vector<DemuxStream> streams;
    const StreamSelection& selection;
    OutputNaming output;
    bool countFrames = true;
    // Files never to be written besides the title's own (the playlist).
    std::vector<std::string> playlists;
    // Hears every piece too (the Matroska step's time stamps), or nothing.
    ParseListener* listener = nullptr;
};

// A file Demux wrote, under its final name (after a failed run: its
// partial name), and where each clip's bytes begin in it.
struct DemuxedFile {
    StreamKind kind;
    int slot;
    std::string path;
    int64_t bytes = 0;
    std::vector<int64_t> clipStarts; // one per clip read
};

struct DemuxResult {
    std::vector<DemuxedFile> files;
    FrameSummary frames;
    bool cancelled = false;
    std::vector<std::string> errors; // logged as they happened, in red

    bool ok() const { return errors.empty(); }
    const DemuxedFile* file(StreamKind kind, int slot) const;
};

DemuxResult demuxTitle(const DemuxRequest& request, RunContext& run);

// The name of a stream's output file: path base + "." + caption + suffix +
// "." + extension, the base and caption cut so that the name fits a file
// system (MaxOutputNameBytes). A caption holding the path delimiter (a
// playlist's description) cannot reach another folder: the delimiter becomes
// "_".
std::string outputFileName(const std::string& pathBase, const std::string& caption,
                           const std::string& extension, const std::string& suffix = {});

} // namespace tarnwick

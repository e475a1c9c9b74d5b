#pragma once
// The Matroska step: the ticked streams of the last Read EVO demuxed into a
// work folder inside the output folder, LPCM wrapped as WAV, and one
// mkvmerge run that gives each track its name, language and delay, the
// title and the chapters of the playlist; subpictures stay beside the MKV.

#include "engine/session.h"
#include "matroska/mkv_source.h"

#include <string>
#include <vector>

namespace tarnwick {

struct MkvSettings {
    bool keepStreams = false; // keep the work folder
    std::string mkvmerge = "mkvmerge";
};

// Runs after Read EVO and, when the source has a playlist, Read XPL. The MKV
// is written under a temporary name and gets its own name only when mkvmerge
// succeeded. Returns false when an error was logged; the messages are added
// to `errors` when given.
bool muxMkv(Session& s, const MkvSource& source, const MkvSettings& settings,
            std::vector<std::string>* errors = nullptr);

// The window's Matroska step after Demux, for "Mux into MKV after Demux": the
// same ticked streams, named by the playlist title that Read XPL shows (none
// when no playlist was read or none of its titles plays the source). Nothing
// happens after a cancelled Demux.
bool muxAfterDemux(Session& s, const MkvSettings& settings = {},
                   std::vector<std::string>* errors = nullptr);

} // namespace tarnwick

#pragma once
// A demuxed subpicture file (Demux's "SP" records) made into a VobSub track,
// in constant memory: one pass over the records for the picture size when
// the video's size is not known, one pass that writes the units.

#include "matroska/subpicture_records.h"
#include "matroska/vobsub.h"

#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

struct VobSubRequest {
    std::string records; // the demuxed subpicture file
    std::string idxPath;
    std::string subPath;
    // The video's picture size when known; otherwise it is worked out from
    // the display areas of the units that are written (subpictureFrameSize).
    std::optional<FrameSize> videoSize;
    SubpicturePalette palette = defaultSubpicturePalette(); // titleSetPalette()
    std::string language;                                   // ISO 639 code, or empty
    int streamIndex = 0;
    // The title time in milliseconds at which a record's unit is shown,
    // worked out by the caller from the record's time (90 kHz, counted from
    // the title's origin) and its offset in the file (which clip it came
    // from); none leaves the unit out.
    std::function<std::optional<int64_t>(const SubpictureRecord&)> titleTimeMs;
    // Asked now and then; when it answers true, no file is made.
    std::function<bool()> stopped{};
};

struct VobSubResult {
    FrameSize frame;
    int units = 0;            // written
    int cutUnits = 0;         // cut short or without a size: left out
    int otherUnits = 0;       // not a whole DVD unit (the extended layout, too large): left out
    int untimedUnits = 0;     // no title time, or a negative one: left out
    int64_t skippedBytes = 0; // in no record
    bool stopped = false;     // Cancel: no file was made
};

// Raises FileError; std::invalid_argument for a request without titleTimeMs
// or with a stream index outside 0 to 31. Both files take their names only
// when all went well.
VobSubResult writeVobSubFromRecords(const VobSubRequest& request);

} // namespace tarnwick

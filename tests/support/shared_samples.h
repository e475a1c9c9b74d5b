#pragma once
// The third-party samples in ../shared/samples beside the source tree. A
// clone of the project alone has none of them: checks on a playlist from
// there are skipped naming the missing file, and the DVD program streams are
// made again with ffmpeg, with the same streams, when they are missing.

#include <string>

namespace tarnwick::testing {

// The path of `name` (e.g. "xpl/VPLST002.XPL") in ../shared/samples.
std::string sharedSamplePath(const std::string& name);

// "" when the shared sample `name` is there; otherwise why a check on it is
// skipped, naming the missing file.
std::string missingSharedSample(const std::string& name);

struct SampleFile {
    std::string path;       // empty when the sample cannot be had
    std::string skipReason; // why, when `path` is empty
};

// "dvd_mpeg2_ac3.vob" or "dvd_ntsc_lpcm_ac3.vob": the shared file when it is
// there, otherwise one written by ffmpeg's DVD muxer and kept in the build
// folder for the next runs.
SampleFile dvdSample(const std::string& name);

} // namespace tarnwick::testing

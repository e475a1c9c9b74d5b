#pragma once
// The report of the last Read EVO as one JSON document (keys in
// docs/json.md; keys are only ever added).

#include "model/playlist_view.h"
#include "model/scan_report.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct ReportJsonInput {
    const ScanReport& report;
    std::string tool;
    std::string version;
    // The playlist's streams when a playlist was read, else nothing.
    const std::vector<PlaylistStreamName>* playlist = nullptr;
};

// The document, indented by two blanks, with a final newline.
std::string reportJson(const ReportJsonInput& input);

// The delay of a stream's first time stamp after the first video stream's,
// in milliseconds, rounded half away from zero; nothing without video.
std::optional<int64_t> delayMilliseconds(const ScanReport& report, const StreamReport& stream);

} // namespace tarnwick

#pragma once
// "Read EVO": scans every clip of a title, logs what it finds and returns it
// as data: the streams by slot with their captions, their time stamps per
// clip and their descriptions, and the frame summary.

#include "model/run_host.h"
#include "model/title.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct ScanOptions {
    // Each clip is read up to the chunk that passes this many bytes; nothing:
    // to its end.
    std::optional<int64_t> fastCheckBytes = int64_t(300) << 20;
    bool countFrames = true;
    // The streams' first time stamps and descriptions are logged.
    bool logDetails = true;
};

struct ScanRequest {
    Title title;
    ScanOptions options;
};

struct ScanResult {
    Title title; // the request's title; `title.scan` holds what was found
    FrameSummary frames;
    bool cancelled = false;
    // A file that could not be opened or read: the scan ends there and the
    // streams found so far are not given captions.
    std::vector<std::string> errors;

    bool ok() const { return errors.empty(); }
};

ScanResult readEvo(const ScanRequest& request, RunContext& run);

} // namespace tarnwick

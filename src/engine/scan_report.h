#pragma once
// What a scan learns, as data: per source file its navigation data, per
// stream slot its identity, first time stamps and the analyser's fields.
// The log lines tell the same; scripts and later steps read this.

#include "analysers/description.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The first copy-control packet of a file.
struct CopyControlReport {
    bool encrypted = false;
    std::string generation;       // "Copy Never" ...; empty when not signalled
    std::string analogProtection; // "APS2 is ON" ...; empty when not signalled
    bool ict = false;             // constrained analog output
    bool dot = false;             // no analog output
};

// The first data search information of a file.
struct DsiReport {
    uint32_t vobNumber = 0;
    int videoCount = 0;
    int audioCount = 0;
    int subpictureCount = 0;
    uint32_t firstVideoPtm = 0;
    uint32_t lastVideoPtm = 0;
    double durationSeconds = 0;
};

struct SourceReport {
    std::string path;
    int64_t size = 0;
    std::optional<DsiReport> dsi;
    std::optional<CopyControlReport> copyControl;
};

struct StreamReport {
    int32_t id = -1;     // the stream id, stream id extension or sub-stream id; -1: none
    std::string caption; // the caption of the stream's box
    // First time stamp of the stream per source file (index as in sources);
    // nothing where the file did not hold the stream or it was not reported.
    std::vector<std::optional<uint32_t>> firstPts;
    std::vector<Field> details; // the analyser's fields of the first file
    // Video slots 0 and 1: frames counted (nothing when not counted) and
    // worked out from the playing time and frame rate (nothing without a rate).
    std::optional<int64_t> countedFrames;
    std::optional<int64_t> calculatedFrames;
};

struct ScanReport {
    bool audioObject = false; // the source is a DVD-Audio AOB
    std::vector<SourceReport> sources;
    std::array<StreamReport, 8> video;
    std::array<StreamReport, 16> audio;
    std::array<StreamReport, 32> subpicture;
};

} // namespace tarnwick

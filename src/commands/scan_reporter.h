#pragma once
// Read EVO's listener: the log lines of a scan ("found!" lines, first time
// stamps, the analysers' descriptions, navigation data) and the same as data
// in the scan report. Every stream is described and its time stamps kept;
// "Detailed info" only decides whether the details are logged.

#include "engine/clip_parser.h"
#include "engine/parse_listener.h"
#include "model/run_host.h"
#include "model/scan_report.h"

#include <array>

namespace tarnwick {

class ScanReporter : public ParseListener {
public:
    ScanReporter(ScanReport& report, RunContext& run, bool logDetails);

    // Before and after each clip, in title order.
    void startClip(size_t clip);
    void endClip(ClipEnd end);

    void streamFound(const FoundStream& stream) override;
    void payload(const PayloadPiece& piece) override;
    void systemHeader(const SystemHeaderInfo& header) override;
    void copyControl(const CopyControlReport& report) override;
    void dataSearchInfo(const DsiReport& dsi) override;

private:
    struct Shown {
        bool reported = false;  // its first payload was reported in this clip
        bool described = false; // its description was found in this clip
    };
    Shown& shown(StreamKind kind, int slot);
    void firstPayload(const PayloadPiece& piece, Shown& shown);
    void describe(const PayloadPiece& piece, Shown& shown, bool firstPayload);
    void detail(const std::string& line);

    ScanReport& report_;
    RunContext& run_;
    bool logDetails_;
    size_t clip_ = 0;
    uint32_t firstVideoPtm_ = 0; // of the scan's first data search information
    std::array<Shown, VideoSlots> video_{};
    std::array<Shown, AudioSlots> audio_{};
    std::array<Shown, SubSlots> subpicture_{};
};

// The log lines of a clip's first copy-control packet (Read EVO and Demux
// log them alike).
void logCopyControl(const CopyControlReport& report, LogSink& log);

// A demux's listener for the same lines, and nothing else of the navigation
// packs.
class CopyControlLog : public ParseListener {
public:
    explicit CopyControlLog(LogSink& log) : log_(log) {}
    void copyControl(const CopyControlReport& report) override { logCopyControl(report, log_); }

private:
    LogSink& log_;
};

} // namespace tarnwick

#pragma once
// The frame summary written at the end of Read EVO and Demux, and the tally
// it is made from: frames counted, playing time from the navigation packs.

#include "engine/frame_counter.h"
#include "log/log_sink.h"
#include "log/time_format.h"
#include "model/scan_report.h"

namespace tarnwick {

// Counts frames (when asked to) and adds up the clips' playing times.
class FrameTally : public ParseListener {
public:
    FrameTally(bool countFrames, const StreamSelection* selection = nullptr)
        : counting_(countFrames), counter_(selection) {}
    void payload(const PayloadPiece& piece) override {
        if (counting_) counter_.payload(piece);
    }
    void dataSearchInfo(const DsiReport& dsi) override { totalSeconds_ += dsi.durationSeconds; }

    // The summary with the frame rates the scan's descriptions gave; a
    // cancelled run counts nothing.
    FrameSummary summary(const std::array<double, UsedVideoSlots>& rates, bool cancelled) const;

private:
    bool counting_;
    FrameCounter counter_;
    double totalSeconds_ = 0;
};

// The frames of a video slot worked out from the playing time and its rate.
int64_t calculatedFrames(const FrameSummary& summary, int videoSlot);

// `showTotal`: the title has more than one file, so the playing time of all
// of them is shown.
void logFrameSummary(const FrameSummary& summary, LogSink& log, const TimeFormat& locale,
                     bool showTotal);

} // namespace tarnwick

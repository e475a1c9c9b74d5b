#include "commands/frame_summary.h"

#include "log/text_format.h"

#include <cmath>
#include <string>

namespace tarnwick {

FrameSummary FrameTally::summary(const std::array<double, UsedVideoSlots>& rates,
                                 bool cancelled) const {
    FrameSummary s;
    if (!cancelled) s.counted = counter_.counts;
    s.rate = rates;
    s.totalSeconds = totalSeconds_;
    return s;
}

int64_t calculatedFrames(const FrameSummary& s, int videoSlot) {
    // Halves round to the even neighbour.
    return static_cast<int64_t>(std::nearbyint(s.totalSeconds * s.rate[size_t(videoSlot)]));
}

void logFrameSummary(const FrameSummary& s, LogSink& log, const TimeFormat& locale,
                     bool showTotal) {
    for (int v = 0; v < UsedVideoSlots; ++v) {
        const std::string tail = " in video stream " + std::to_string(v) + ".";
        const int64_t count = s.counted[size_t(v)];
        const double rate = s.rate[size_t(v)];
        if (count > 0) {
            if (rate > 0) {
                const double days = double(count) / rate / 86400.0;
                log.log(std::to_string(count) + " counted frames ([b]" +
                        formatTimeOfDay(days, TimePattern::HMSDotMillis, locale) + "[/b])" + tail);
            } else {
                log.log(std::to_string(count) + " frames count" + tail);
            }
        }
        if (rate > 0) {
            std::string line = std::to_string(calculatedFrames(s, v)) + " calculated frames";
            if (showTotal)
                line += " ([b]" +
                        formatTimeOfDay(s.totalSeconds / 86400.0, TimePattern::HMSColonMillis,
                                        locale) +
                        "[/b])";
            log.log(line + tail);
        }
    }
    if (s.counted[0] + s.counted[1] > 0) log.log("");
}

} // namespace tarnwick

#include "commands/frame_summary.h"

#include "log/text_format.h"

#include <cmath>
#include <string>

namespace tarnwick {

int64_t calculatedFrames(const StreamTable& t, int videoSlot) {
    // Halves round to the even neighbour.
    return static_cast<int64_t>(std::nearbyint(t.TotalSeconds * t.FrameRate[videoSlot]));
}

void logframes(const StreamTable& t, LogSink& log, bool showTotal) {
    for (int v = 0; v < 2; ++v) {
        const std::string tail = " in video stream " + std::to_string(v) + ".";
        const int32_t count = t.FrameCount[v];
        const double rate = t.FrameRate[v];
        if (count > 0) {
            if (rate > 0) {
                const double days = count / rate / 86400.0;
                log.log(std::to_string(count) + " counted frames ([b]" +
                        formatTimeOfDay(days, TimePattern::HMSDotMillis, t.TimeFormatSettings) +
                        "[/b])" + tail);
            } else {
                log.log(std::to_string(count) + " frames count" + tail);
            }
        }
        if (rate > 0) {
            std::string line = std::to_string(calculatedFrames(t, v)) + " calculated frames";
            if (showTotal)
                line += " ([b]" +
                        formatTimeOfDay(t.TotalSeconds / 86400.0, TimePattern::HMSColonMillis,
                                        t.TimeFormatSettings) +
                        "[/b])";
            log.log(line + tail);
        }
    }
    if (int64_t(t.FrameCount[0]) + t.FrameCount[1] > 0) log.log("");
}

} // namespace tarnwick

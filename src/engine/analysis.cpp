#include "engine/analysis.h"

#include <algorithm>

namespace tarnwick {

AnalyserInput analyserInput(const StreamTable& t, int position, int count) {
    const size_t valid = size_t(std::clamp(t.ChunkLength, 0, int(t.ChunkBuffer.size())));
    return {std::span<const uint8_t>(t.ChunkBuffer.data(), valid), position, count,
            t.TimeFormatSettings};
}

void logDescription(Analysis& a, const Description& description, int videoSlot) {
    for (const std::string& line : descriptionLines(description))
        a.log.log(line);
    if (description.frameRate && videoSlot >= 0 && videoSlot < int(a.table.FrameRate.size()))
        a.table.FrameRate[videoSlot] = *description.frameRate;
}

} // namespace tarnwick

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

void AnalyseAC3(Analysis& a, int position, int count, int audioSlot) {
    logDescription(a, describeAC3(analyserInput(a.table, position, count), audioSlot));
}

void AnalyseDTS(Analysis& a, int position, int count) {
    logDescription(a, describeDTS(analyserInput(a.table, position, count)));
}

void AnalyseMLP(Analysis& a, int position, int count) {
    logDescription(a, describeMLP(analyserInput(a.table, position, count)));
}

void AnalyseLPCM(Analysis& a, int position, int count) {
    logDescription(a, describeLPCM(analyserInput(a.table, position, count)));
}

void AnalyseMPEG2(Analysis& a, int position, int count, uint32_t videoPts, int videoSlot) {
    logDescription(a, describeMPEG2(analyserInput(a.table, position, count), videoPts), videoSlot);
}

void AnalyseH264(Analysis& a, int position, int count, int videoSlot) {
    logDescription(a, describeH264(analyserInput(a.table, position, count)), videoSlot);
}

void AnalyseVC1(Analysis& a, int position, int count, int videoSlot) {
    logDescription(a, describeVC1(analyserInput(a.table, position, count)), videoSlot);
}

} // namespace tarnwick

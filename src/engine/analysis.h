#pragma once
// The analysers run on the engine's chunk buffer: each writes its lines to
// the log and, for video, the slot's frame rate for the frame summary.

#include "analysers/analysers.h"
#include "engine/stream_table.h"
#include "log/log_sink.h"

#include <cstdint>

namespace tarnwick {

struct Analysis {
    StreamTable& table;
    LogSink& log;
};

// The chunk's valid bytes, the piece [position, position + count) in them.
AnalyserInput analyserInput(const StreamTable& table, int position, int count);

// Logs the description's lines; a video slot takes its frame rate.
void logDescription(Analysis& a, const Description& description, int videoSlot = -1);

void AnalyseAC3(Analysis& a, int position, int count, int audioSlot);
void AnalyseDTS(Analysis& a, int position, int count);
void AnalyseMLP(Analysis& a, int position, int count);
void AnalyseLPCM(Analysis& a, int position, int count);
void AnalyseMPEG2(Analysis& a, int position, int count, uint32_t videoPts, int videoSlot);
void AnalyseH264(Analysis& a, int position, int count, int videoSlot);
void AnalyseVC1(Analysis& a, int position, int count, int videoSlot);

} // namespace tarnwick

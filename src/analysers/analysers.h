#pragma once
// The codec analysers, called by the engine on the first payload of each
// stream in scan mode with "Detailed info" ticked. Each reads the payload
// from the chunk buffer at [position, position + count), may read further
// into the chunk, writes log lines and, for video, the slot's frame rate.
// None changes the engine's state or reads outside the chunk buffer.

#include "engine/stream_table.h"
#include "log/log_sink.h"

#include <cstdint>

namespace tarnwick {

struct Analysis {
    StreamTable& table;
    LogSink& log;
};

void AnalyseAC3(Analysis& a, int position, int count, int audioSlot);
void AnalyseDTS(Analysis& a, int position, int count);
void AnalyseMLP(Analysis& a, int position, int count);
void AnalyseLPCM(Analysis& a, int position, int count);
void AnalyseMPEG2(Analysis& a, int position, int count, uint32_t videoPts, int videoSlot);
void AnalyseH264(Analysis& a, int position, int count, int videoSlot);
void AnalyseVC1(Analysis& a, int position, int count, int videoSlot);

} // namespace tarnwick

#pragma once
// The analysers run on the engine's chunk buffer: a description's lines go
// to the log and, for video, its frame rate to the slot for the frame summary.

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

} // namespace tarnwick

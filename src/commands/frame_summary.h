#pragma once
// The frame summary written at the end of Read EVO and Demux.

#include "engine/stream_table.h"
#include "log/log_sink.h"

namespace tarnwick {

// The frames of a video slot worked out from the playing time and its rate.
int64_t calculatedFrames(const StreamTable& table, int videoSlot);

void logframes(const StreamTable& table, LogSink& log, bool showTotal);

} // namespace tarnwick

#pragma once
// The frame summary written at the end of Read EVO and Demux.

#include "engine/stream_table.h"
#include "log/log_sink.h"

namespace tarnwick {

void logframes(const StreamTable& table, LogSink& log, bool showTotal);

} // namespace tarnwick

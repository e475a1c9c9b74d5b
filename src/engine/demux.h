#pragma once
// The program-stream engine: one call reads the open source file from its
// position to its end in 262144-byte chunks and parses it as 2048-byte packs.

#include "engine/session.h"
#include "engine/stream_outputs.h"

#include <cstdint>
#include <string>

namespace tarnwick {

enum class EngineMode { Scan = 0, Demux = 1 };

// `continuesFeature`: the file is the second part of the feature read by the
// previous call, whose streams keep their slots and go on being counted. A
// demux writes each ticked slot's stream into its file of `outputs`.
void demux(EngineMode mode, Session& s, bool continuesFeature = false,
           StreamOutputs* outputs = nullptr);

} // namespace tarnwick

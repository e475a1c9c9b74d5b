#pragma once
// The codec analysers, called by the engine on the first payload of each
// stream in scan mode with "Detailed info" ticked. Each reads the payload
// piece of the chunk's valid bytes, may read further into them, and returns
// what it found as a description whose lines the log shows. None reads
// outside the valid bytes.

#include "analysers/description.h"

#include <cstdint>

namespace tarnwick {

Description describeAC3(const AnalyserInput& in, int audioSlot);
Description describeDTS(const AnalyserInput& in);
Description describeMLP(const AnalyserInput& in);
Description describeLPCM(const AnalyserInput& in);
Description describeMPEG2(const AnalyserInput& in, uint32_t videoPts);
Description describeH264(const AnalyserInput& in);
Description describeVC1(const AnalyserInput& in);
// The run-length coding of a subpicture unit.
Description describeSubpicture(const AnalyserInput& in);

} // namespace tarnwick

#pragma once
// The files a demux writes, one per selected slot. The command that demuxes
// owns them: it creates them before the engine runs and closes them after.

#include "engine/files.h"
#include "model/stream_slots.h"

#include <array>
#include <memory>
#include <string>

namespace tarnwick {

struct StreamOutputs {
    std::array<std::unique_ptr<OutputFile>, UsedVideoSlots> video;
    std::array<std::unique_ptr<OutputFile>, AudioSlots> audio;
    std::array<std::unique_ptr<OutputFile>, SubSlots> subpicture;

    // The slot's file, or nullptr.
    OutputFile* file(StreamKind kind, int slot) const;
    std::unique_ptr<OutputFile>* entry(StreamKind kind, int slot);
};

// Closes and drops every output file; returns the first close error's message
// (empty when all closed cleanly). Every file is closed whatever happens;
// after a failed run, a file into which nothing was written is discarded
// instead, so that the failure leaves no empty file behind.
std::string closeOutputFiles(StreamOutputs& outputs, bool runFailed = false);

} // namespace tarnwick

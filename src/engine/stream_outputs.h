#pragma once
// The files a demux writes, one per selected slot. The command that demuxes
// owns them: it creates them before the engine runs and closes them after.

#include "engine/files.h"
#include "model/stream_slots.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

struct StreamOutputs {
    std::array<std::unique_ptr<OutputFile>, UsedVideoSlots> video;
    std::array<std::unique_ptr<OutputFile>, AudioSlots> audio;
    std::array<std::unique_ptr<OutputFile>, SubSlots> subpicture;

    // The slot's file, or nullptr.
    OutputFile* file(StreamKind kind, int slot) const;
    std::unique_ptr<OutputFile>* entry(StreamKind kind, int slot);
};

// What became of one output file when it was closed.
struct ClosedOutput {
    StreamKind kind;
    int slot;
    std::string path;  // where its bytes are; empty when nothing was kept
    int64_t bytes = 0; // handed to it
    bool partial = false;
};

struct ClosedOutputs {
    std::vector<ClosedOutput> files;
    std::string firstError; // of the closes; empty when all closed cleanly
};

// Closes and drops every output file, whatever happens. After a failed run
// no file takes its name: each keeps what was written under its partial
// name, and one into which nothing was written is discarded.
ClosedOutputs closeOutputFiles(StreamOutputs& outputs, bool runFailed = false);

} // namespace tarnwick

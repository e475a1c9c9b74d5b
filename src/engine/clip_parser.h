#pragma once
// The program-stream engine: one call reads a clip from its position to its
// end in 262144-byte chunks and parses it as 2048-byte packs, handing what it
// finds to a listener. Progress, the pump, repaint, the fast check and Cancel
// are the read loop's, once per chunk.

#include "engine/files.h"
#include "engine/parse_listener.h"
#include "engine/parser_state.h"
#include "model/run_host.h"

#include <cstdint>
#include <optional>

namespace tarnwick {

constexpr int ChunkSize = 262144;
// Zero bytes after the chunk: analysers that read a little past the valid
// data see zeros instead of leaving the buffer.
constexpr int ChunkSlack = 4096;

struct ClipRead {
    // The read stops after the chunk that passes this many bytes; nothing:
    // the clip is read to its end.
    std::optional<int64_t> fastCheckBytes;
    // Chunks read ahead, and the threads that read them.
    int depth = 4;
    int readers = 1;
};

// A scan reads with two threads and eight chunks ahead, which keep ahead of
// the parse where one thread does not; a demux reads with one, as its
// writing thread needs the other processor.
inline const ClipRead ScanReading{std::nullopt, 8, 2};
inline const ClipRead DemuxReading{std::nullopt, 4, 1};

enum class ClipEnd { Complete, FastCheck, Cancelled };

// Reads the clip. `slots` carries the audio and subpicture slots from the
// title's earlier clips. Raises FileError on a read error.
ClipEnd parseClip(SourceFile& clip, TitleSlots& slots, ParseListener& listener, RunContext& run,
                  const ClipRead& read);

} // namespace tarnwick

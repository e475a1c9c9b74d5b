#pragma once
// One engine call: its host, the stream table, the outputs of a demux, the
// mode and the parser state, shared by the byte step, the navigation decodes
// and the output writer.

#include "engine/demux.h"
#include "engine/engine_host.h"
#include "engine/parser_state.h"
#include "engine/stream_outputs.h"
#include "engine/stream_table.h"

namespace tarnwick {

struct EngineCall {
    EngineHost host;
    StreamTable& t;
    StreamOutputs& outputs; // a demux's, one file per ticked slot
    EngineMode mode;
    ParserState p;

    bool scanning() const { return mode == EngineMode::Scan; }
    const uint8_t* chunk() const { return t.ChunkBuffer.data(); }
};

// Parses chunk bytes [0, n) of the current chunk.
void parseChunk(EngineCall& c);

// Navigation packets (private stream 2): the byte step hands the byte over
// in the navigation stages.
void navigationStep(EngineCall& c, uint8_t b);

// The payload step's writer in demux mode.
void writePayloadPiece(EngineCall& c, int position, int count);

// Counts the frame markers (00 00 01 marker) in one video piece. `window`
// holds the stream's last four bytes before the piece, so that a marker split
// between pieces counts once, and is left holding the last four after it.
int countFrameMarkers(const uint8_t* piece, int count, uint8_t marker, uint32_t& window);
// Whether the bytes [0, count - 1) hold the start code 00 00 01 `code` or
// 00 00 01 `alternative` whole.
bool holdsStartCode(const uint8_t* bytes, int count, uint8_t code, uint8_t alternative);

// Whether a payload piece holds what its stream's analyser describes it from:
// the sequence header of a video stream, the sync word of an audio stream.
bool holdsDescription(const ParserState& p, const uint8_t* bytes, int count);
// At the end of a scan, one line for each stream met whose payloads held
// none.
void reportUndescribedStreams(EngineCall& c);

// Big-endian 32-bit word at an index.
inline uint32_t loadBigEndian32(const uint8_t* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           uint32_t(bytes[3]);
}

} // namespace tarnwick

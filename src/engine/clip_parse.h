#pragma once
// One clip's parse as the byte step, the payload step and the navigation
// decodes share it: the parser state, the title's slots, the listener and
// the chunk being parsed.

#include "engine/parse_listener.h"
#include "engine/parser_state.h"

#include <cstdint>
#include <vector>

namespace tarnwick {

struct ClipParse {
    ParserState p;
    TitleSlots& slots;
    ParseListener& listener;
    std::vector<uint8_t>& buffer; // the chunk being parsed, zeros after its data

    const uint8_t* chunk() const { return buffer.data(); }
};

// Parses chunk bytes [0, n) of the current chunk.
void parseChunk(ClipParse& c);

// Navigation packets (private stream 2): the byte step hands the byte over
// in the navigation stages.
void navigationStep(ClipParse& c, uint8_t b);

// Big-endian 32-bit word at an index.
inline uint32_t loadBigEndian32(const uint8_t* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           uint32_t(bytes[3]);
}

} // namespace tarnwick

#pragma once
// Cuts the playlist's bytes into one text line per tag, indented two blanks
// per nesting level. The state lives in TagScanner, so the bytes can arrive
// in chunks cut anywhere.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tarnwick {

// Playlists nest a handful of levels; a binary file picked by mistake can
// open millions of "tags" and would otherwise ask for indentation of
// quadratic total size.
constexpr int64_t MaxIndentLevels = 64;
// A tag line stops growing here (the closing ">" is still added): only a
// binary file without ">" gets near it, and attributes are read from the
// start of a tag.
constexpr size_t MaxTagLineLength = size_t{16} << 20;

struct TagScanner {
    bool inTag = false;
    int64_t depth = 0;
    std::string line;
    uint8_t previous = 0;
    uint8_t beforePrevious = 0;
};

using TagLineHandler = std::function<void(std::string&& line)>;

// Feeds bytes to the scanner; every ">" completes a line and hands it over.
void scanTags(TagScanner& scanner, const uint8_t* bytes, size_t count,
              const TagLineHandler& onLine);

} // namespace tarnwick

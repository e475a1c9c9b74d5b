#pragma once
// A logged message turned into what the log view shows: the visible text
// (every tag removed) and the formatted runs over it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Colours use the 0x00BBGGRR layout: lowest byte red.
constexpr uint32_t WindowTextColour = 0xFF000000; // stands for the system's window-text colour
constexpr uint32_t BlueColour = 0xFF0000;
constexpr uint32_t RedColour = 0x0000FF;
constexpr int DefaultPointSize = 8;

struct CharAttributes {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    uint32_t colour = WindowTextColour;
    int pointSize = DefaultPointSize;

    bool operator==(const CharAttributes&) const = default;
};

// A range of the visible text, in bytes of its UTF-8 form.
struct TextRun {
    size_t start = 0;
    size_t length = 0;
    CharAttributes attributes;

    bool operator==(const TextRun&) const = default;
};

struct LogLine {
    std::string visible;
    std::vector<TextRun> runs;
};

// Parses a marked-up message: "[b]..[/b]", "[i]", "[u]", "[s1]", "[s2]",
// "[c:hex]", "[bl]", "[re]"; any other tag name resets the attributes.
LogLine parseMarkup(std::string_view message);

// The visible text alone: everything from a "[" to the next "]" removed.
std::string visibleText(std::string_view message);

// Attributes of the text enclosed by a tag of the given name.
CharAttributes tagAttributes(std::string_view name);

} // namespace tarnwick

#include "playlist/tag_scanner.h"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr size_t IndentUnit = 2;

void startLine(TagScanner& s) {
    const int64_t levels = std::clamp<int64_t>(s.depth, 0, MaxIndentLevels);
    s.line.assign(static_cast<size_t>(levels) * IndentUnit, ' ');
}

void appendTagByte(std::string& line, uint8_t c) {
    if (line.size() >= MaxTagLineLength && c != '>') return;
    if (c >= 32) {
        line.push_back(static_cast<char>(c));
    } else if (line.empty() || line.back() != ' ') {
        line.push_back(' '); // line breaks and tabs inside a tag
    }
}

// A closing tag stands one level left of its element's content. Only
// indentation is taken away: with more closing than opening tags the line
// has none, and its "</" must stay.
void removeIndentUnit(std::string& line) {
    size_t blanks = 0;
    while (blanks < IndentUnit && blanks < line.size() && line[blanks] == ' ')
        ++blanks;
    line.erase(0, blanks);
}

} // namespace

void scanTags(TagScanner& s, const uint8_t* bytes, size_t count, const TagLineHandler& onLine) {
    for (size_t k = 0; k < count; ++k) {
        const uint8_t c = bytes[k];
        if (c == '<') {
            s.inTag = true;
            ++s.depth;
        }
        if (s.inTag) appendTagByte(s.line, c);
        if (c == '/' && s.previous == '<') {
            s.depth -= 2;
            removeIndentUnit(s.line);
        }
        if (c == '>') {
            s.inTag = false;
            onLine(std::move(s.line));
            // Empty-element tags, processing instructions and comments
            // close themselves.
            if (s.previous == '/' || s.previous == '?' ||
                (s.previous == '-' && s.beforePrevious == '-'))
                --s.depth;
            startLine(s);
        }
        s.beforePrevious = s.previous;
        s.previous = c;
    }
}

} // namespace tarnwick

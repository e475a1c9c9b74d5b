#include "log/log_line.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {

namespace {

uint32_t colourFromHexDigits(std::string_view digits) {
    uint32_t value = 0;
    for (char c : digits) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (u >= '0' && u <= '9')
            value = value * 16 + static_cast<uint32_t>(u - '0');
        else if (u >= 'A' && u <= 'F')
            value = value * 16 + static_cast<uint32_t>(u - 'A' + 10);
    }
    return value;
}

} // namespace

CharAttributes tagAttributes(std::string_view name) {
    CharAttributes a;
    if (name == "b")
        a.bold = true;
    else if (name == "i")
        a.italic = true;
    else if (name == "u")
        a.underline = true;
    else if (name == "s1")
        a.pointSize = 10;
    else if (name == "s2")
        a.pointSize = 12;
    else if (name.substr(0, 2) == "c:")
        a.colour = colourFromHexDigits(name.substr(2));
    else if (name == "bl")
        a.colour = BlueColour;
    else if (name == "re")
        a.colour = RedColour;
    return a; // any other name: the reset attributes
}

namespace {

struct TagSpan {
    size_t open;  // the "["
    size_t close; // the "]"
};

bool knownTagName(std::string_view name) {
    return name == "b" || name == "i" || name == "u" || name == "s1" || name == "s2" ||
           name.substr(0, 2) == "c:" || name == "bl" || name == "re";
}

// The tags of a message. File names inserted into messages may hold square
// brackets ("Movie [2006].EVO", "odd[name.EVO"): a bracketed name is a tag
// when it is one of the markup's own names, a closing tag, or an other name
// whose closing tag follows; every other bracket is shown as it stands.
std::vector<TagSpan> findTags(std::string_view message) {
    std::vector<TagSpan> tags;
    size_t pos = 0;
    for (;;) {
        const size_t open = message.find('[', pos);
        if (open == std::string_view::npos) break;
        const size_t close = message.find(']', open);
        if (close == std::string_view::npos) break;
        const std::string_view name = message.substr(open + 1, close - open - 1);
        const bool tag =
            name.find('[') == std::string_view::npos &&
            (knownTagName(name) || name.substr(0, 1) == "/" ||
             message.find("[/" + std::string(name) + "]", close) != std::string_view::npos);
        if (tag) {
            tags.push_back({open, close});
            pos = close + 1;
        } else {
            pos = open + 1;
        }
    }
    return tags;
}

} // namespace

std::string visibleText(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    size_t pos = 0;
    for (const TagSpan& tag : findTags(message)) {
        out.append(message.substr(pos, tag.open - pos));
        pos = tag.close + 1;
    }
    out.append(message.substr(pos));
    return out;
}

LogLine parseMarkup(std::string_view message) {
    LogLine line;
    const std::vector<TagSpan> tags = findTags(message);
    size_t pos = 0;
    for (const TagSpan& tag : tags) {
        line.visible.append(message.substr(pos, tag.open - pos));
        pos = tag.close + 1;
    }
    line.visible.append(message.substr(pos));

    // Visible characters of the message range [from, to).
    auto visibleLength = [&](size_t from, size_t to) {
        size_t length = to - from;
        for (const TagSpan& tag : tags) {
            const size_t a = std::max(tag.open, from);
            const size_t b = std::min(tag.close + 1, to);
            if (a < b) length -= b - a;
        }
        return length;
    };
    size_t q = 0;
    auto emit = [&](size_t from, size_t to, const CharAttributes& attributes) {
        const size_t length = from < to ? visibleLength(from, to) : 0;
        if (length > 0) line.runs.push_back(TextRun{q, length, attributes});
        q += length;
    };

    size_t cursor = 0;
    for (const TagSpan& tag : tags) {
        if (tag.open < cursor) continue; // inside a run already taken
        const std::string_view name = message.substr(tag.open + 1, tag.close - tag.open - 1);
        if (name.substr(0, 1) == "/") continue; // a closing tag without its opening one
        emit(cursor, tag.open, CharAttributes{});
        const std::string closing = "[/" + std::string(name) + "]";
        const size_t end = message.find(closing, tag.close + 1);
        if (end == std::string_view::npos) {
            // An opening tag without its closing tag formats the rest of the line.
            emit(tag.close + 1, message.size(), tagAttributes(name));
            cursor = message.size();
            break;
        }
        emit(tag.close + 1, end, tagAttributes(name));
        cursor = end + closing.size();
    }
    emit(cursor, message.size(), CharAttributes{});
    return line;
}

} // namespace tarnwick

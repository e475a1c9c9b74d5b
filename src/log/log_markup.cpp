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

std::string visibleText(std::string_view message) {
    // A "[" without a "]" after it (a bracket in a file name) is shown as it
    // stands rather than looping on it.
    std::string out;
    out.reserve(message.size());
    size_t pos = 0;
    while (pos < message.size()) {
        const size_t open = message.find('[', pos);
        if (open == std::string_view::npos) break;
        const size_t close = message.find(']', open);
        if (close == std::string_view::npos) break;
        out.append(message.substr(pos, open - pos));
        pos = close + 1;
    }
    out.append(message.substr(std::min(pos, message.size())));
    return out;
}

LogLine parseMarkup(std::string_view message) {
    LogLine line;
    line.visible = visibleText(message);
    const size_t total = line.visible.size();
    size_t q = 0;
    auto addRun = std::back_inserter(line.runs);
    // Run lengths are counted in visible characters, so a run never reaches
    // past the line even when tags are nested or left open.
    auto emit = [&](std::string_view text, const CharAttributes& attributes) {
        const size_t length = std::min(visibleText(text).size(), total - q);
        if (length > 0) *addRun = TextRun{q, length, attributes};
        q += length;
    };

    std::string_view rest = message;
    for (;;) {
        const size_t open = rest.find('[');
        if (open == std::string_view::npos) break;
        const size_t close = rest.find(']', open);
        if (close == std::string_view::npos) break;
        emit(rest.substr(0, open), CharAttributes{});
        const std::string_view name = rest.substr(open + 1, close - open - 1);
        rest = rest.substr(close + 1);
        const std::string closing = "[/" + std::string(name) + "]";
        const size_t end = rest.find(closing);
        if (end == std::string_view::npos) {
            // An opening tag without its closing tag formats the rest of the line.
            emit(rest, tagAttributes(name));
            rest = {};
            break;
        }
        emit(rest.substr(0, end), tagAttributes(name));
        rest = rest.substr(end + closing.size());
    }
    emit(rest, CharAttributes{});
    return line;
}

} // namespace tarnwick

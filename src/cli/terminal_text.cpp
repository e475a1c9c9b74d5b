#include "cli/terminal_text.h"

#include "model/utf8_text.h"

#include <cstdint>

namespace tarnwick {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

} // namespace

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto c = static_cast<uint8_t>(text[at]);
        if (c < 0x20 || c == 0x7F) {
            out += Replacement;
            ++at;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (const size_t length = utf8SequenceLength(text, at); length > 0) {
            // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
            if (c == 0xC2 && static_cast<uint8_t>(text[at + 1]) <= 0x9F)
                out += Replacement; // a C1 control, encoded
            else
                out += text.substr(at, length);
            at += length;
            continue;
        }
        // A byte that is not part of valid UTF-8: a C1 control is replaced,
        // other bytes (text in a one-byte encoding) pass.
        if (c <= 0x9F)
            out += Replacement;
        else
            out += static_cast<char>(c);
        ++at;
    }
    return out;
}

} // namespace tarnwick

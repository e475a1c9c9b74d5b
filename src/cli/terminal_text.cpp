#include "cli/terminal_text.h"

#include <cstdint>

namespace tarnwick {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at `at` and its code point, or 0
// when the bytes there are not one.
size_t utf8Sequence(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[at + k]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(k) & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

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
        uint32_t codePoint = 0;
        if (const size_t length = utf8Sequence(text, at, codePoint); length > 0) {
            if (codePoint <= 0x9F)
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

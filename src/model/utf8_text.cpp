#include "model/utf8_text.h"

namespace tarnwick {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

} // namespace

size_t utf8SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;  // no overlong form
        if (lead == 0xED) high = 0x9F; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;  // no overlong form
        if (lead == 0xF4) high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
    return length;
}

std::string validUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            valid.append(Replacement);
            ++at;
        } else {
            valid.append(text.substr(at, length));
            at += length;
        }
    }
    return valid;
}

void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text.push_back(char(c));
    } else if (c < 0x800) {
        text.push_back(char(0xC0 | (c >> 6)));
        text.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        text.push_back(char(0xE0 | (c >> 12)));
        text.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        text.push_back(char(0x80 | (c & 0x3F)));
    } else {
        text.push_back(char(0xF0 | (c >> 18)));
        text.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        text.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        text.push_back(char(0x80 | (c & 0x3F)));
    }
}

} // namespace tarnwick

#include "playlist/xml_references.h"

#include "model/utf8_text.h"

#include <array>
#include <utility>

namespace tarnwick {

namespace {

// A reference is short; a longer run up to a ";" is no reference.
constexpr size_t LongestReference = 12;

constexpr std::array<std::pair<std::string_view, char>, 5> Entities = {
    {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};

int digitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code point of "#233" or "#xE9"; -1 when it is not one.
int64_t codePointOf(std::string_view body) {
    if (body.size() < 2 || body[0] != '#') return -1;
    const int base = body[1] == 'x' ? 16 : 10;
    const std::string_view digits = body.substr(base == 16 ? 2 : 1);
    if (digits.empty()) return -1;
    int64_t value = 0;
    for (const char c : digits) {
        const int d = digitValue(c, base);
        if (d < 0) return -1;
        value = value * base + d;
        if (value > 0x10FFFF) return -1;
    }
    return value;
}

// Appends what the reference body (between "&" and ";") stands for; false
// when it stands for nothing.
bool appendReference(std::string& out, std::string_view body) {
    for (const auto& [name, c] : Entities)
        if (body == name) {
            out.push_back(c);
            return true;
        }
    const int64_t c = codePointOf(body);
    if (c <= 0 || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) return false;
    if (c < 0x20 || c == 0x7F) {
        out.push_back(' ');
        return true;
    }
    appendUtf8(out, char32_t(c));
    return true;
}

} // namespace

std::string decodeReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const size_t amp = text.find('&', at);
        out.append(text.substr(at, amp - at));
        if (amp == std::string_view::npos) break;
        const size_t semicolon = text.substr(amp, LongestReference).find(';');
        if (semicolon != std::string_view::npos &&
            appendReference(out, text.substr(amp + 1, semicolon - 1))) {
            at = amp + semicolon + 1;
        } else {
            out.push_back('&');
            at = amp + 1;
        }
    }
    return out;
}

} // namespace tarnwick

#include "playlist/attributes.h"

#include "playlist/xml_references.h"

#include <algorithm>
#include <charconv>

namespace tarnwick {

namespace {

char upperByte(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

size_t findIgnoringCase(std::string_view text, std::string_view name) {
    if (name.empty()) return 0;
    const auto at = std::search(text.begin(), text.end(), name.begin(), name.end(),
                                [](char a, char b) { return upperByte(a) == upperByte(b); });
    return at == text.end() ? std::string_view::npos : static_cast<size_t>(at - text.begin());
}

// Drops everything up to and including the first `mark`; keeps all without one.
std::string_view after(std::string_view text, char mark) {
    const size_t at = text.find(mark);
    return at == std::string_view::npos ? text : text.substr(at + 1);
}

} // namespace

std::optional<std::string> GetAttr(std::string_view line, std::string_view name) {
    const size_t at = findIgnoringCase(line, name);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = line.substr(at + name.size(), AttributeWindow);
    rest = after(after(rest, '='), '"');
    return decodeReferences(rest.substr(0, rest.find('"')));
}

int32_t decimalValue(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return 0;
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

int32_t GetAttrInt(std::string_view line, std::string_view name) {
    const auto value = GetAttr(line, name);
    return value ? decimalValue(*value) : 0;
}

std::string ZeroPad(int64_t n, int width) {
    std::string text = std::to_string(n);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<size_t>(width) - text.size(), '0');
    return text;
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    return findIgnoringCase(text, word) != std::string_view::npos;
}

} // namespace tarnwick

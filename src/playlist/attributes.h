#pragma once
// Attribute values read from one tag line by substring search: the playlist
// is never parsed as XML.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The longest stretch of a tag line after an attribute name that is looked at.
constexpr size_t AttributeWindow = 255;

// The value after the first occurrence of `name` in `line` (ASCII case
// ignored, also inside another word): the text after the first "=" and the
// next double quote, up to the following double quote or the end of the
// window, its XML references decoded. Nothing when the name does not occur,
// so that a caller can keep the value it had.
std::optional<std::string> GetAttr(std::string_view line, std::string_view name);

// The same value as a signed 32-bit number; 0 when the name is missing or the
// value is empty, not a decimal number, or out of range.
int32_t GetAttrInt(std::string_view line, std::string_view name);

// A decimal number as text, an optional sign and digits only; 0 otherwise.
int32_t decimalValue(std::string_view text);

// The decimal text of n with "0" put in front until it is width long.
std::string ZeroPad(int64_t n, int width);

// Whether text holds word, ASCII letters compared in upper case (bytes of
// 128 and more compare as they are).
bool containsIgnoringCase(std::string_view text, std::string_view word);

} // namespace tarnwick

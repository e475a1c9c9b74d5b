#pragma once
// Text from files as valid UTF-8: what a reader of UTF-8 (the muxer's chapter
// reader, a JSON document) takes without failing.

#include <string>
#include <string_view>

namespace tarnwick {

// The text with every byte that does not belong to a well-formed UTF-8
// sequence (a stray continuation byte, a cut or overlong sequence, a
// surrogate, a code point past U+10FFFF) replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence at `at` (1 for ASCII), or 0
// when the bytes there are not one.
size_t utf8SequenceLength(std::string_view text, size_t at);

// Appends the UTF-8 form of a code point (which must be a valid one).
void appendUtf8(std::string& text, char32_t codePoint);

} // namespace tarnwick

#pragma once
// The character and entity references of XML text ("&amp;", "&#233;",
// "&#x2013;"), decoded once where the playlist's attribute values are read,
// so that titles, stream names and file names carry the characters the disc
// means.

#include <string>
#include <string_view>

namespace tarnwick {

// The text with each reference replaced by its character: the five entities
// of XML (amp, lt, gt, quot, apos) and decimal and hexadecimal character
// references. What a reference yields is not read again ("&amp;lt;" gives
// "&lt;"). A reference to a control character (a line break, a tab) gives a
// blank, as such a byte in a tag does; a reference to no character (0, a
// surrogate, past U+10FFFF), an unknown entity and an "&" without its ";"
// stay as they are written.
std::string decodeReferences(std::string_view text);

} // namespace tarnwick

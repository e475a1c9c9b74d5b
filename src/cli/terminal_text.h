#pragma once
// Text from files (playlist lines, captions, file names) on its way to a
// terminal: control bytes could move the cursor, change colours or send the
// terminal commands, so they are shown as a visible replacement instead.

#include <string>
#include <string_view>

namespace tarnwick {

// `text` with every control character (0x00-0x1F, 0x7F, the C1 controls
// 0x80-0x9F, whether as lone bytes or encoded in UTF-8) replaced by U+FFFD.
// Valid UTF-8 and other bytes pass unchanged.
std::string terminalText(std::string_view text);

} // namespace tarnwick

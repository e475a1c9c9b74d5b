#pragma once
// What a playlist says about itself, picked up from each tag line as the
// scanner completes it.

#include "model/playlist_view.h"

#include <string>
#include <string_view>

namespace tarnwick {

// Playlist-wide values, empty at the start of every Read XPL run.
struct PlaylistHeader {
    std::string displayName;
    std::string timeBase;
    std::string tickBase;
};

// The Playlist and TitleSet values, and the codec texts of the video, audio
// and subpicture attribute items (by item index 1..8).
void applyLineRules(std::string_view line, PlaylistHeader& header, PlaylistCodecs& codecs);

// The codec text of an attribute item index, empty for an index outside 1..8.
const std::string& codecEntry(const std::array<std::string, 8>& codecs, int32_t index);

} // namespace tarnwick

#pragma once
// What Read XPL shows of a playlist's title, as plain data: the tree, the
// streams it names with their texts, the chapter lines, and the attribute
// items' codec texts that name the streams.

#include "model/stream_slots.h"

#include <array>
#include <string>
#include <vector>

namespace tarnwick {

struct TreeNode {
    std::string text;
    std::vector<std::string> children;
};

// A stream the playlist names, with its texts as the playlist gives them.
struct PlaylistStreamName {
    StreamKind kind = StreamKind::Audio;
    int slot = 0;
    std::string label; // "AC-3.s00.English 5.1"
    std::string description;
    std::string language;
};

// The codec texts of the playlist's video, audio and subpicture attribute
// items, by item index - 1. An item that a later playlist does not list keeps
// its text.
struct PlaylistCodecs {
    std::array<std::string, 8> video;
    std::array<std::string, 8> audio;
    std::array<std::string, 8> subpicture;
};

// The empty tree shown before any title.
std::vector<TreeNode> emptyPlaylistTree();

} // namespace tarnwick

#include "commands/stream_kinds.h"

#include <cstdio>

namespace tarnwick {

namespace {

// Identifier ranges of each stream kind, with the caption's kind name and
// the report's codec name.
struct KindRange {
    int32_t first, last;
    const char* kindName;
    const char* codecName;
};

constexpr KindRange VideoKinds[] = {{0x55, 0x56, "VC-1.stream", "VC-1"},
                                    {0xE0, 0xE1, "MPEG-2.stream", "MPEG-2"},
                                    {0xE2, 0xE3, "H.264.stream", "H.264"}};
constexpr KindRange AudioKinds[] = {{0x80, 0x87, "DD.stream", "AC-3"},
                                    {0x88, 0x8F, "DTSHD.stream", "DTS"},
                                    {0xA0, 0xA7, "LPCM.stream", "LPCM"},
                                    {0xB0, 0xB7, "MLP.stream", "TrueHD"},
                                    {0xC0, 0xCF, "DD+.stream", "E-AC-3"}};
constexpr KindRange SubpictureKinds[] = {{0x20, 0x3F, "Subpicture", "Subpicture"},
                                         {0x60, 0x7F, "Ext.Subpicture", "Extended subpicture"}};

template <size_t N> const KindRange* kindOf(const KindRange (&kinds)[N], int32_t id) {
    for (const KindRange& kind : kinds)
        if (id >= kind.first && id <= kind.last) return &kind;
    return nullptr;
}

template <size_t N> std::string kindName(const KindRange (&kinds)[N], int32_t id) {
    const KindRange* kind = kindOf(kinds, id);
    return kind ? kind->kindName : "";
}

template <size_t N> std::string codecName(const KindRange (&kinds)[N], int32_t id) {
    const KindRange* kind = kindOf(kinds, id);
    return kind ? kind->codecName : "";
}

} // namespace

std::string videoKindName(int32_t id) {
    return kindName(VideoKinds, id);
}
std::string audioKindName(int32_t id) {
    return kindName(AudioKinds, id);
}
std::string subpictureKindName(int32_t id) {
    return kindName(SubpictureKinds, id);
}
std::string videoCodecName(int32_t id) {
    return codecName(VideoKinds, id);
}

std::string audioCodecName(int32_t id, bool audioObject) {
    // A DVD-Audio object carries MLP in the second LPCM sub-stream.
    if (id == 0xA1 && audioObject) return "MLP";
    return codecName(AudioKinds, id);
}

std::string subpictureCodecName(int32_t id) {
    return codecName(SubpictureKinds, id);
}

namespace {

std::string twoDigits(int slot) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", slot);
    return text;
}

} // namespace

std::string videoCaption(int32_t id, int slot) {
    return videoKindName(id) + "." + std::to_string(slot);
}

std::string audioCaption(int32_t id, int slot) {
    return audioKindName(id) + "." + twoDigits(slot);
}

std::string subpictureCaption(int32_t id, int slot) {
    return subpictureKindName(id) + "." + twoDigits(slot);
}

} // namespace tarnwick

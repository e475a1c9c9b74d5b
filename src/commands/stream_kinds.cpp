#include "commands/stream_kinds.h"

#include <cstdio>

namespace tarnwick {

std::string videoKindName(int32_t id) {
    if (id >= 0x55 && id <= 0x56) return "VC-1.stream";
    if (id >= 0xE0 && id <= 0xE1) return "MPEG-2.stream";
    if (id >= 0xE2 && id <= 0xE3) return "H.264.stream";
    return {};
}

std::string audioKindName(int32_t id) {
    if (id >= 0x80 && id <= 0x87) return "DD.stream";
    if (id >= 0x88 && id <= 0x8F) return "DTSHD.stream";
    if (id >= 0xA0 && id <= 0xA7) return "LPCM.stream";
    if (id >= 0xB0 && id <= 0xB7) return "MLP.stream";
    if (id >= 0xC0 && id <= 0xCF) return "DD+.stream";
    return {};
}

std::string subpictureKindName(int32_t id) {
    if (id >= 0x20 && id <= 0x3F) return "Subpicture";
    if (id >= 0x60 && id <= 0x7F) return "Ext.Subpicture";
    return {};
}

std::string videoCodecName(int32_t id) {
    if (id >= 0x55 && id <= 0x56) return "VC-1";
    if (id >= 0xE0 && id <= 0xE1) return "MPEG-2";
    if (id >= 0xE2 && id <= 0xE3) return "H.264";
    return {};
}

std::string audioCodecName(int32_t id, bool audioObject) {
    if (id >= 0x80 && id <= 0x87) return "AC-3";
    if (id >= 0x88 && id <= 0x8F) return "DTS";
    if (id == 0xA1 && audioObject) return "MLP";
    if (id >= 0xA0 && id <= 0xA7) return "LPCM";
    if (id >= 0xB0 && id <= 0xB7) return "TrueHD";
    if (id >= 0xC0 && id <= 0xCF) return "E-AC-3";
    return {};
}

std::string subpictureCodecName(int32_t id) {
    if (id >= 0x20 && id <= 0x3F) return "Subpicture";
    if (id >= 0x60 && id <= 0x7F) return "Extended subpicture";
    return {};
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

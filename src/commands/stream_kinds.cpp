#include "commands/stream_kinds.h"

#include "model/stream_ids.h"

#include <cstdio>

namespace tarnwick {

namespace {

std::string captionName(StreamKind kind, int32_t id) {
    const StreamIdRange* r = findSlotStream(kind, id);
    return r ? r->captionName : "";
}

std::string codecName(StreamKind kind, int32_t id) {
    const StreamIdRange* r = findSlotStream(kind, id);
    return r ? r->codecName : "";
}

} // namespace

std::string videoKindName(int32_t id) {
    return captionName(StreamKind::Video, id);
}
std::string audioKindName(int32_t id) {
    return captionName(StreamKind::Audio, id);
}
std::string subpictureKindName(int32_t id) {
    return captionName(StreamKind::Subpicture, id);
}
std::string videoCodecName(int32_t id) {
    return codecName(StreamKind::Video, id);
}

std::string audioCodecName(int32_t id, bool audioObject) {
    // A DVD-Audio object carries MLP in the second LPCM sub-stream.
    if (id == 0xA1 && audioObject) return "MLP";
    return codecName(StreamKind::Audio, id);
}

std::string subpictureCodecName(int32_t id) {
    return codecName(StreamKind::Subpicture, id);
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

#pragma once
// The kind names that caption the stream boxes and name the output files.

#include <cstdint>
#include <string>

namespace tarnwick {

std::string videoKindName(int32_t id);
std::string audioKindName(int32_t id);
std::string subpictureKindName(int32_t id);

// The stable codec name of a stream id ("MPEG-2", "AC-3", "Subpicture", ...);
// sub-stream 0xA1 of an audio object holds MLP, not LPCM.
std::string videoCodecName(int32_t id);
std::string audioCodecName(int32_t id, bool audioObject);
std::string subpictureCodecName(int32_t id);

// Kind name + "." + slot: one digit for video, two for audio and subpicture.
std::string videoCaption(int32_t id, int slot);
std::string audioCaption(int32_t id, int slot);
std::string subpictureCaption(int32_t id, int slot);

} // namespace tarnwick

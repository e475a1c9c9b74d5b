#pragma once
// Where Rebuild looks in a 2048-byte HD DVD pack, and what it finds there.

#include "model/navigation_layout.h"

#include <cstddef>
#include <cstdint>

namespace tarnwick {

inline constexpr size_t PackSize = 2048;

namespace pack_offset {
// The system header of a navigation pack: audio_bound (bits 7..2) with the
// fixed and CSPS flags, then the two lock flags, a marker and video_bound
// (bits 4..0).
inline constexpr size_t AudioBound = 0x17;
inline constexpr size_t VideoBound = 0x18;
// The first packet of a pack: its stream id, the first payload byte of a
// private-stream-2 packet, the PES flags and header data length.
inline constexpr size_t StreamId = 0x11;
inline constexpr size_t PrivateStream2SubId = 0x14;
inline constexpr size_t PesFlags2 = 0x15;
inline constexpr size_t HeaderDataLength = 0x16;
inline constexpr size_t HeaderData = 0x17;
// The DSI packet of a navigation pack: 00 00 01 BF 02 F3 01 at 0x507, then
// its fields up to the end of the pack.
inline constexpr size_t DsiHeader = dsi::EvoPackFields - 5; // 01 BF 02 F3 01
inline constexpr size_t DsiFirstVideoPtm = dsi::EvoPackFields + dsi::FirstVideoPtm;
inline constexpr size_t DsiLastVideoPtm = dsi::EvoPackFields + dsi::LastVideoPtm;
inline constexpr size_t DsiAudioEntries = dsi::EvoPackFields + dsi::EvoEntries.audioEntries;
inline constexpr size_t DsiSubpictureEntries =
    dsi::EvoPackFields + dsi::EvoEntries.subpictureEntries;
} // namespace pack_offset

// The packet that decides a pack's fate: the classifying stream id at 0x11
// (0 when the pack header is not an HD DVD one), its secondary identifier and
// where that identifier lies.
struct PackClass {
    uint8_t streamId = 0;
    uint8_t subId = 0;      // sub-stream id, stream id extension, or private-stream-2 sub-stream
    size_t subIdOffset = 0; // 0: the pack has no renumbered secondary identifier
};

bool startsWithPackStartCode(const uint8_t* pack);
// Reads only inside the first 0x117 bytes of the pack.
PackClass classifyPack(const uint8_t* pack);

} // namespace tarnwick

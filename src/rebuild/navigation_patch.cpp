#include "rebuild/navigation_patch.h"

#include "rebuild/pack_layout.h"

#include <cstring>

namespace tarnwick {

namespace {

void putBigEndian32(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

// 01 BF 02 F3 01: a private-stream-2 packet of length 0x2F3 holding
// sub-stream 1, the DSI, which ends exactly at the end of the pack.
bool hasDsi(const uint8_t* pack) {
    static constexpr uint8_t header[] = {0x01, 0xBF, 0x02, 0xF3, 0x01};
    return std::memcmp(pack + pack_offset::DsiHeader, header, sizeof header) == 0;
}

} // namespace

void patchNavigationPack(uint8_t* pack, StreamNumbers& numbers, const RebuildStreams& streams) {
    const TickedCounts ticked = assignNumbers(numbers, streams);
    uint8_t& videoBound = pack[pack_offset::VideoBound];
    videoBound = uint8_t((videoBound & 0xE0) + ticked.video);
    uint8_t& audioBound = pack[pack_offset::AudioBound];
    audioBound = uint8_t((audioBound & 0x03) + 4 * ticked.audio);
    const int audioCount = audioBound >> 2;
    const int subpictureCount = ticked.subpicture;
    if (!hasDsi(pack)) return;

    putBigEndian32(pack + pack_offset::DsiFirstVideoPtm, streams.firstVideoPtm);
    putBigEndian32(pack + pack_offset::DsiLastVideoPtm, streams.lastVideoPtm);
    // The entries of the kept streams stay where they were; only those of the
    // numbers past the kept count are cleared.
    for (int k = audioCount; k < dsi::AudioEntryCount; ++k)
        std::memset(pack + pack_offset::DsiAudioEntries + 2 * size_t(k), 0, 2);
    for (int k = subpictureCount; k < dsi::SubpictureEntryCount; ++k)
        std::memset(pack + pack_offset::DsiSubpictureEntries + 4 * size_t(k), 0, 4);
}

} // namespace tarnwick

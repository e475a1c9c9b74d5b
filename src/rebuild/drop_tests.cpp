#include "rebuild/drop_tests.h"

namespace tarnwick {

namespace {

template <size_t Slots>
bool slotUnselected(int id, const std::array<int32_t, Slots>& ids, const RebuildStreams& s,
                    StreamKind kind) {
    for (size_t k = 0; k < Slots; ++k)
        if (ids[k] == id) return !s.selected(kind, int(k));
    return false;
}

bool inRange(int value, int first, int last) {
    return value >= first && value <= last;
}

// The sub-stream ids of audio that are tested: Dolby Digital and DTS, LPCM,
// TrueHD, and Dolby Digital Plus only up to 0xC8.
bool testedAudioSubStream(int s) {
    return inRange(s, 0x80, 0x8F) || inRange(s, 0xA0, 0xAF) || inRange(s, 0xB0, 0xB7) ||
           inRange(s, 0xC0, 0xC8);
}

// Subpictures and extended subpictures of the first sixteen numbers only.
bool testedSubpictureSubStream(int s) {
    return inRange(s, 0x20, 0x2F) || inRange(s, 0x60, 0x6F);
}

} // namespace

bool videoSlotUnselected(int id, const RebuildStreams& s) {
    return slotUnselected(id, s.videoIds, s, StreamKind::Video);
}

bool audioSlotUnselected(int id, const RebuildStreams& s) {
    return slotUnselected(id, s.audioIds, s, StreamKind::Audio);
}

bool subpictureSlotUnselected(int id, const RebuildStreams& s) {
    return slotUnselected(id, s.subIds, s, StreamKind::Subpicture);
}

bool keepPack(const PackClass& c, const RebuildStreams& streams) {
    const int b = c.streamId;
    const int s = c.subId;
    if (b == 0xBD && testedAudioSubStream(s) && audioSlotUnselected(s, streams)) return false;
    if (b == 0xBD && testedSubpictureSubStream(s) && subpictureSlotUnselected(s, streams))
        return false;
    if (b == 0xFD && inRange(s, 0x55, 0x56) && videoSlotUnselected(s, streams)) return false;
    if (inRange(b, 0xE0, 0xE3) && videoSlotUnselected(b, streams)) return false;
    // MPEG audio stream ids are looked up among the audio sub-stream ids.
    if (inRange(b, 0xC0, 0xDF) && audioSlotUnselected(b, streams)) return false;
    if (b == 0xBF && s == 0x80) return streams.advancedPacks; // an advanced pack
    return true;
}

} // namespace tarnwick

#include "rebuild/drop_tests.h"

namespace tarnwick {

namespace {

template <size_t Slots, size_t Boxes>
bool slotUnticked(int id, const std::array<int32_t, Slots>& ids,
                  const std::array<StreamBox, Boxes>& boxes, size_t slots) {
    for (size_t k = 0; k < slots; ++k)
        if (ids[k] == id) return !boxes[k].ticked;
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

bool videoSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes) {
    return slotUnticked(id, t.VideoIds, boxes.cbVideo, 2);
}

bool audioSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes) {
    return slotUnticked(id, t.AudioIds, boxes.cbAudio, AudioSlots);
}

bool subpictureSlotUnticked(int id, const StreamTable& t, const StreamBoxes& boxes) {
    return slotUnticked(id, t.SubIds, boxes.cbSub, SubSlots);
}

bool keepPack(const PackClass& c, const StreamTable& t, const WindowState& w) {
    const StreamBoxes& boxes = w.boxes;
    const int b = c.streamId;
    const int s = c.subId;
    if (b == 0xBD && testedAudioSubStream(s) && audioSlotUnticked(s, t, boxes)) return false;
    if (b == 0xBD && testedSubpictureSubStream(s) && subpictureSlotUnticked(s, t, boxes))
        return false;
    if (b == 0xFD && inRange(s, 0x55, 0x56) && videoSlotUnticked(s, t, boxes)) return false;
    if (inRange(b, 0xE0, 0xE3) && videoSlotUnticked(b, t, boxes)) return false;
    // MPEG audio stream ids are looked up among the audio sub-stream ids.
    if (inRange(b, 0xC0, 0xDF) && audioSlotUnticked(b, t, boxes)) return false;
    if (b == 0xBF && s == 0x80) return w.options.cbRBAdvanced; // an advanced pack
    return true;
}

} // namespace tarnwick

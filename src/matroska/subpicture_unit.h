#pragma once
// What a subpicture unit tells about itself: whether it is a DVD unit (2-bit
// run-length coded pixels) or one of HD DVD's extended layout (8-bit, whose
// first two bytes are zero), and where on the picture a DVD unit is shown,
// from which the picture size of a VobSub track is worked out.
//
// A DVD unit: its size (16 bits, big-endian), the offset of its first
// display control sequence (16 bits), the pixel data, then the display
// control sequences. Each sequence: a delay (16 bits), the offset of the
// next sequence (16 bits; its own offset in the last one) and commands up to
// the end command 0xFF.

#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick {

// A whole DVD unit: at least its header, its size field giving exactly the
// bytes held, its control sequence offset inside it, and not the two zero
// bytes that start the extended layout.
bool isDvdSubpictureUnit(std::span<const uint8_t> unit);

// The first display area command (SET_DAREA, 0x05) of a DVD unit's control
// sequences: columns x1..x2, lines y1..y2, both ends counted. None when the
// unit has none or its sequences cannot be followed to one inside the unit.
struct DisplayArea {
    int x1 = 0;
    int x2 = 0;
    int y1 = 0;
    int y2 = 0;
};
std::optional<DisplayArea> displayArea(std::span<const uint8_t> unit);

struct FrameSize {
    int width = 0;
    int height = 0;
};

// What the units of a track reach on the picture, gathered unit by unit.
struct SubpictureReach {
    int lowestLine = -1; // the greatest y2 of all display areas; -1: none seen
    int units = 0;       // units with a display area
};
void widenReach(SubpictureReach& reach, std::span<const uint8_t> unit);

// The picture a DVD subpicture track is drawn on: the video's size when the
// caller knows it; else 720x576 (PAL) when any unit reaches below line 480,
// the last line of an NTSC picture, and 720x480 (NTSC) otherwise, so that an
// NTSC track whose units all lie within 480 lines keeps its size.
FrameSize subpictureFrameSize(const SubpictureReach& reach,
                              std::optional<FrameSize> video = std::nullopt);

} // namespace tarnwick

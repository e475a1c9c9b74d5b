#include "matroska/subpicture_unit.h"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr size_t DvdUnitHeaderBytes = 4;
constexpr size_t SequenceHeaderBytes = 4; // delay, next sequence
constexpr int NtscLines = 480;
constexpr FrameSize Ntsc{720, 480};
constexpr FrameSize Pal{720, 576};

// Display control commands and the bytes of their arguments.
constexpr uint8_t ForcedStartDisplay = 0x00;
constexpr uint8_t StartDisplay = 0x01;
constexpr uint8_t StopDisplay = 0x02;
constexpr uint8_t SetColour = 0x03;
constexpr uint8_t SetContrast = 0x04;
constexpr uint8_t SetDisplayArea = 0x05;
constexpr uint8_t SetPixelAddresses = 0x06;
constexpr uint8_t ChangeColourContrast = 0x07; // a 16-bit size of its own
constexpr uint8_t EndOfCommands = 0xFF;

uint16_t bigEndian16(std::span<const uint8_t> b, size_t at) {
    return uint16_t(b[at] << 8 | b[at + 1]);
}

// The argument bytes of a command; -1 for one that cannot be passed over.
int argumentBytes(uint8_t command) {
    switch (command) {
    case ForcedStartDisplay:
    case StartDisplay:
    case StopDisplay: return 0;
    case SetColour:
    case SetContrast: return 2;
    case SetDisplayArea: return 6;
    case SetPixelAddresses: return 4;
    default: return -1;
    }
}

DisplayArea decodeDisplayArea(std::span<const uint8_t> a) {
    // Four 12-bit values: x1, x2, y1, y2.
    DisplayArea area;
    area.x1 = a[0] << 4 | a[1] >> 4;
    area.x2 = (a[1] & 0x0F) << 8 | a[2];
    area.y1 = a[3] << 4 | a[4] >> 4;
    area.y2 = (a[4] & 0x0F) << 8 | a[5];
    return area;
}

// The display area command of one control sequence, or none; `ok` false
// when the sequence runs out of the unit or holds an unknown command.
std::optional<DisplayArea> sequenceArea(std::span<const uint8_t> unit, size_t at, bool& ok) {
    ok = false;
    size_t k = at + SequenceHeaderBytes;
    while (k < unit.size()) {
        const uint8_t command = unit[k++];
        if (command == EndOfCommands) {
            ok = true;
            return std::nullopt;
        }
        if (command == ChangeColourContrast) {
            // Its size counts the size field itself.
            if (k + 2 > unit.size()) return std::nullopt;
            const size_t size = bigEndian16(unit, k);
            if (size < 2) return std::nullopt;
            k += size;
            continue;
        }
        const int bytes = argumentBytes(command);
        if (bytes < 0 || k + size_t(bytes) > unit.size()) return std::nullopt;
        if (command == SetDisplayArea) {
            ok = true;
            return decodeDisplayArea(unit.subspan(k, size_t(bytes)));
        }
        k += size_t(bytes);
    }
    return std::nullopt;
}

} // namespace

bool isDvdSubpictureUnit(std::span<const uint8_t> unit) {
    if (unit.size() < DvdUnitHeaderBytes) return false;
    if (unit[0] == 0 && unit[1] == 0) return false; // the extended layout
    const size_t control = bigEndian16(unit, 2);
    return bigEndian16(unit, 0) == unit.size() && control >= DvdUnitHeaderBytes &&
           control + SequenceHeaderBytes <= unit.size();
}

std::optional<DisplayArea> displayArea(std::span<const uint8_t> unit) {
    if (!isDvdSubpictureUnit(unit)) return std::nullopt;
    // Sequences are followed forward only: a next offset that does not lie
    // after the current one ends the chain, so a unit cannot make this loop.
    size_t at = bigEndian16(unit, 2);
    while (at + SequenceHeaderBytes <= unit.size()) {
        bool ok = false;
        if (const auto area = sequenceArea(unit, at, ok)) return area;
        if (!ok) return std::nullopt;
        const size_t next = bigEndian16(unit, at + 2);
        if (next <= at) return std::nullopt;
        at = next;
    }
    return std::nullopt;
}

void widenReach(SubpictureReach& reach, std::span<const uint8_t> unit) {
    const auto area = displayArea(unit);
    if (!area) return;
    reach.lowestLine = std::max(reach.lowestLine, area->y2);
    ++reach.units;
}

FrameSize subpictureFrameSize(const SubpictureReach& reach, std::optional<FrameSize> video) {
    if (video && video->width > 0 && video->height > 0) return *video;
    return reach.lowestLine >= NtscLines ? Pal : Ntsc;
}

} // namespace tarnwick

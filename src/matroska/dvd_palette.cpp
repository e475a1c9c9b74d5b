#include "matroska/dvd_palette.h"

#include "engine/files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace tarnwick {

namespace {

// The layout of a title set's information file, as far as the palette:
// the file starts with its identifier; the title set information table
// (VTSI_MAT) gives at 0xCC the sector, counted from the file's start in
// sectors of 2048 bytes, of the program chain information table
// (VTS_PGCIT). That table starts with the number of program chains (16
// bits), 2 reserved bytes and the table's last byte (32 bits); then 8 bytes
// per chain: its category (32 bits) and its offset from the table's start
// (32 bits). A program chain keeps its colour lookup table at 0xA4: 16
// entries of 4 bytes, each a zero byte, Y, Cr and Cb.
constexpr char TitleSetIdentifier[] = "DVDVIDEO-VTS";
constexpr int64_t ProgramChainTableSectorAt = 0xCC;
constexpr int64_t SectorBytes = 2048;
constexpr int64_t ProgramChainTableHeaderBytes = 8;
constexpr int64_t ProgramChainOffsetInEntry = 4;
constexpr int64_t PaletteInProgramChain = 0xA4;
constexpr int64_t PaletteBytes = 16 * 4;

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Reads bytes [at, at + count) of the file, or nothing when they do not all
// lie inside it.
bool readInside(const SourceFile& file, int64_t at, void* out, int64_t count) {
    if (at < 0 || count < 0 || at > file.size() || count > file.size() - at) return false;
    return file.readAt(out, size_t(count), at) == size_t(count);
}

uint8_t clampedByte(double value) {
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

std::optional<SubpicturePalette> readPalette(const SourceFile& ifo) {
    char identifier[sizeof TitleSetIdentifier - 1];
    if (!readInside(ifo, 0, identifier, sizeof identifier) ||
        std::memcmp(identifier, TitleSetIdentifier, sizeof identifier) != 0)
        return std::nullopt;
    uint8_t field[4];
    if (!readInside(ifo, ProgramChainTableSectorAt, field, 4)) return std::nullopt;
    const int64_t table = int64_t(bigEndian32(field)) * SectorBytes;
    uint8_t header[ProgramChainTableHeaderBytes];
    if (table == 0 || !readInside(ifo, table, header, sizeof header)) return std::nullopt;
    if ((header[0] << 8 | header[1]) == 0) return std::nullopt; // no program chain
    if (!readInside(ifo, table + ProgramChainTableHeaderBytes + ProgramChainOffsetInEntry, field,
                    4))
        return std::nullopt;
    const int64_t chain = table + int64_t(bigEndian32(field));
    uint8_t entries[PaletteBytes];
    if (!readInside(ifo, chain + PaletteInProgramChain, entries, PaletteBytes)) return std::nullopt;
    SubpicturePalette palette{};
    for (size_t k = 0; k < palette.size(); ++k) {
        const uint8_t* e = entries + 4 * k;
        palette[k] = rgbFromYCrCb(e[1], e[2], e[3]);
    }
    return palette;
}

bool sameLetters(const std::string& name, size_t at, const char* upper) {
    for (size_t k = 0; upper[k]; ++k)
        if (at + k >= name.size() || std::toupper(uint8_t(name[at + k])) != upper[k]) return false;
    return true;
}

// "VTS_nn_m.VOB" -> "VTS_nn_0.<extension>", the extension in the VOB's case.
std::string infoPath(const std::string& vobPath, const char* extension) {
    const size_t slash = vobPath.find_last_of('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = vobPath.substr(start);
    const auto digit = [&](size_t k) { return std::isdigit(uint8_t(name[k])) != 0; };
    if (name.size() != 12 || !sameLetters(name, 0, "VTS_") || !digit(4) || !digit(5) ||
        name[6] != '_' || !digit(7) || !sameLetters(name, 8, ".VOB"))
        return {};
    const bool lower = std::islower(uint8_t(name[9])) != 0;
    std::string ext = extension;
    if (lower)
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](char c) { return char(std::tolower(uint8_t(c))); });
    return vobPath.substr(0, start) + name.substr(0, 7) + "0." + ext;
}

} // namespace

SubpicturePalette defaultSubpicturePalette() {
    constexpr uint32_t greys[4] = {0x000000, 0xFFFFFF, 0x808080, 0x404040};
    SubpicturePalette palette{};
    for (size_t k = 0; k < palette.size(); ++k)
        palette[k] = greys[k % 4];
    return palette;
}

uint32_t rgbFromYCrCb(uint8_t y, uint8_t cr, uint8_t cb) {
    const double luma = 1.164 * (double(y) - 16);
    const double red = double(cr) - 128;
    const double blue = double(cb) - 128;
    const uint8_t r = clampedByte(luma + 1.596 * red);
    const uint8_t g = clampedByte(luma - 0.813 * red - 0.391 * blue);
    const uint8_t b = clampedByte(luma + 2.018 * blue);
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

std::optional<SubpicturePalette> readTitleSetPalette(const std::string& ifoPath) {
    try {
        const SourceFile ifo(ifoPath);
        return readPalette(ifo);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

std::string titleSetInfoPath(const std::string& vobPath) {
    return infoPath(vobPath, "IFO");
}

PaletteChoice titleSetPalette(const std::string& vobPath) {
    PaletteChoice choice;
    for (const char* extension : {"IFO", "BUP"}) {
        const std::string path = infoPath(vobPath, extension);
        if (path.empty()) break;
        if (const auto palette = readTitleSetPalette(path)) {
            choice.colours = *palette;
            choice.source = path;
            break;
        }
    }
    return choice;
}

} // namespace tarnwick

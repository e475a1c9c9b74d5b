#pragma once
// A VobSub track, the pair of files mkvmerge reads as an S_VOBSUB track: the
// .sub file holds the DVD subpicture units as an MPEG-2 program stream, each
// unit in PES packets of private stream 1 (sub-stream 0x20 + the stream's
// index), one packet per 2048-byte pack, the first packet of a unit carrying
// its PTS; the .idx file is text: the picture size, the 16-colour palette,
// the language and, for each unit, its time and the offset of its first
// pack in the .sub file.

#include "matroska/dvd_palette.h"
#include "matroska/subpicture_unit.h"

#include "engine/files.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr size_t VobSubPackBytes = 2048;
inline constexpr int VobSubStreamCount = 32; // sub-streams 0x20 to 0x3F

struct VobSubTrack {
    FrameSize frame{720, 480};
    SubpicturePalette palette = defaultSubpicturePalette();
    // An ISO 639 code of two or three letters ("en", "ger"); anything else
    // (empty included) is written as "--", no language.
    std::string language;
    int streamIndex = 0; // 0 to 31
};

// The text of the .idx file in front of the units' lines.
std::string vobSubIndexHeader(const VobSubTrack& track);

// The .idx line of a unit shown at `timeMs` whose first pack starts at
// `filePosition` of the .sub file: "timestamp: HH:MM:SS:mmm, filepos: 9 hex".
std::string vobSubTimestampLine(int64_t timeMs, int64_t filePosition);

// The packs that carry one unit, 2048 bytes each: a pack header, a PES
// packet of private stream 1 with the unit's bytes (the first with a PTS of
// `timeMs`) and a padding packet, or stuffing bytes in the PES header where
// the room left is too small for a padding packet.
std::vector<uint8_t> vobSubPacks(std::span<const uint8_t> unit, int64_t timeMs, int streamIndex);

// Writes the two files through OutputFile, one unit at a time. The files
// take their names at close(); a writer destroyed before close() leaves
// both names as they were.
class VobSubWriter {
public:
    // Raises FileError; std::invalid_argument for a stream index outside
    // 0 to 31.
    VobSubWriter(const std::string& idxPath, const std::string& subPath, const VobSubTrack& track);
    ~VobSubWriter();
    VobSubWriter(const VobSubWriter&) = delete;
    VobSubWriter& operator=(const VobSubWriter&) = delete;

    // Appends a unit shown at `timeMs` of the title, as given. Returns false
    // and writes nothing for bytes that are not a whole DVD unit
    // (isDvdSubpictureUnit) or a negative time. Raises FileError.
    bool add(int64_t timeMs, std::span<const uint8_t> unit);
    void close();

    int units() const { return units_; }

private:
    OutputFile idx_;
    OutputFile sub_;
    int streamIndex_;
    int units_ = 0;
    bool closed_ = false;
};

} // namespace tarnwick

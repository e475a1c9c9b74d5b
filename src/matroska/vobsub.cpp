#include "matroska/vobsub.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace tarnwick {

namespace {

constexpr size_t IndexBufferBytes = 64 * 1024; // a line per unit
constexpr size_t PackHeaderBytes = 14;
constexpr size_t PesHeaderBytes = 9; // start code, stream id, length, two flag bytes, data length
constexpr size_t PtsBytes = 5;
constexpr size_t SubStreamIdBytes = 1;
constexpr size_t PaddingHeaderBytes = 6;
constexpr uint8_t PrivateStream1 = 0xBD;
constexpr uint8_t PaddingStream = 0xBE;
constexpr uint8_t FirstSubpictureSubStream = 0x20;
constexpr uint64_t TicksPerMs = 90;                  // PTS and SCR count 90 kHz
constexpr uint64_t TimeStampMask = (1ull << 33) - 1; // both are 33 bits

// The program mux rate of a DVD: 25200 units of 50 bytes/s.
constexpr uint8_t DvdMuxRate[3] = {0x01, 0x89, 0xC3};

void putPackHeader(std::vector<uint8_t>& out, uint64_t scr) {
    // '01', the SCR base in three parts between marker bits, a zero SCR
    // extension, the mux rate and no pack stuffing.
    out.insert(out.end(), {0x00, 0x00, 0x01, 0xBA});
    out.push_back(uint8_t(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    out.push_back(uint8_t(scr >> 20));
    out.push_back(uint8_t(((scr >> 12) & 0xF8) | 0x04 | ((scr >> 13) & 0x03)));
    out.push_back(uint8_t(scr >> 5));
    out.push_back(uint8_t(((scr << 3) & 0xF8) | 0x04));
    out.insert(out.end(), {0x01, DvdMuxRate[0], DvdMuxRate[1], DvdMuxRate[2], 0xF8});
}

void putPts(std::vector<uint8_t>& out, uint64_t pts) {
    out.push_back(uint8_t(0x21 | ((pts >> 29) & 0x0E))); // '0010', PTS only
    out.push_back(uint8_t(pts >> 22));
    out.push_back(uint8_t(((pts >> 14) & 0xFE) | 1));
    out.push_back(uint8_t(pts >> 7));
    out.push_back(uint8_t(((pts << 1) & 0xFE) | 1));
}

void putPaddingPacket(std::vector<uint8_t>& out, size_t size) {
    const size_t length = size - PaddingHeaderBytes;
    out.insert(out.end(), {0x00, 0x00, 0x01, PaddingStream, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), length, 0xFF);
}

// One pack holding `chunk` of a unit; `pts` only on the unit's first pack.
void putPack(std::vector<uint8_t>& out, std::span<const uint8_t> chunk, uint64_t scr,
             std::optional<uint64_t> pts, int streamIndex) {
    const size_t start = out.size();
    putPackHeader(out, scr);
    const size_t room = VobSubPackBytes - PackHeaderBytes - PesHeaderBytes - (pts ? PtsBytes : 0) -
                        SubStreamIdBytes;
    const size_t left = room - chunk.size();
    // A padding packet needs 6 bytes; less is stuffed into the PES header.
    const size_t stuffing = left < PaddingHeaderBytes ? left : 0;
    const size_t headerData = (pts ? PtsBytes : 0) + stuffing;
    const size_t length = 3 + headerData + SubStreamIdBytes + chunk.size();
    out.insert(out.end(),
               {0x00, 0x00, 0x01, PrivateStream1, uint8_t(length >> 8), uint8_t(length)});
    // '10' marker and original; the PTS flag; the header data's length.
    out.insert(out.end(), {0x81, uint8_t(pts ? 0x80 : 0x00), uint8_t(headerData)});
    if (pts) putPts(out, *pts);
    out.insert(out.end(), stuffing, 0xFF);
    out.push_back(uint8_t(FirstSubpictureSubStream + streamIndex));
    out.insert(out.end(), chunk.begin(), chunk.end());
    if (left >= PaddingHeaderBytes) putPaddingPacket(out, left);
    if (out.size() - start != VobSubPackBytes) throw std::logic_error("VobSub pack size");
}

std::string languageId(const std::string& language) {
    const bool letters = (language.size() == 2 || language.size() == 3) &&
                         std::all_of(language.begin(), language.end(),
                                     [](char c) { return std::isalpha(uint8_t(c)) != 0; });
    if (!letters) return "--";
    std::string id = language;
    std::transform(id.begin(), id.end(), id.begin(),
                   [](char c) { return char(std::tolower(uint8_t(c))); });
    return id;
}

void writeText(OutputFile& out, const std::string& text) {
    out.write(text.data(), text.size());
}

} // namespace

std::string vobSubIndexHeader(const VobSubTrack& track) {
    char line[160];
    std::string text = "# VobSub index file, v7 (do not modify this line!)\n"
                       "#\n"
                       "# The picture the subpictures are drawn on, and how they are placed.\n";
    std::snprintf(line, sizeof line, "size: %dx%d\n", track.frame.width, track.frame.height);
    text += line;
    text += "org: 0, 0\n"
            "scale: 100%, 100%\n"
            "alpha: 100%\n"
            "smooth: OFF\n"
            "fadein/out: 0, 0\n"
            "align: OFF at LEFT TOP\n"
            "time offset: 0\n"
            "forced subs: OFF\n"
            "\n"
            "# The title set's 16 colours, RGB.\n"
            "palette: ";
    for (size_t k = 0; k < track.palette.size(); ++k) {
        std::snprintf(line, sizeof line, "%s%06x", k ? ", " : "", track.palette[k] & 0xFFFFFF);
        text += line;
    }
    text += "\n"
            "custom colors: OFF, tridx: 0000, colors: 000000, 000000, 000000, 000000\n"
            "\n";
    std::snprintf(line, sizeof line, "langidx: %d\n\nid: %s, index: %d\n", track.streamIndex,
                  languageId(track.language).c_str(), track.streamIndex);
    text += line;
    return text;
}

std::string vobSubTimestampLine(int64_t timeMs, int64_t filePosition) {
    const int64_t ms = std::max<int64_t>(timeMs, 0);
    char line[96];
    std::snprintf(line, sizeof line, "timestamp: %02lld:%02lld:%02lld:%03lld, filepos: %09llx\n",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000),
                  static_cast<unsigned long long>(filePosition));
    return line;
}

std::vector<uint8_t> vobSubPacks(std::span<const uint8_t> unit, int64_t timeMs, int streamIndex) {
    const uint64_t pts = (uint64_t(std::max<int64_t>(timeMs, 0)) * TicksPerMs) & TimeStampMask;
    std::vector<uint8_t> out;
    size_t at = 0;
    do {
        const bool first = at == 0;
        const size_t room = VobSubPackBytes - PackHeaderBytes - PesHeaderBytes -
                            (first ? PtsBytes : 0) - SubStreamIdBytes;
        const size_t take = std::min(room, unit.size() - at);
        putPack(out, unit.subspan(at, take), pts, first ? std::optional(pts) : std::nullopt,
                streamIndex);
        at += take;
    } while (at < unit.size());
    return out;
}

VobSubWriter::VobSubWriter(const std::string& idxPath, const std::string& subPath,
                           const VobSubTrack& track)
    : idx_(idxPath, IndexBufferBytes), sub_(subPath), streamIndex_(track.streamIndex) {
    if (track.streamIndex < 0 || track.streamIndex >= VobSubStreamCount)
        throw std::invalid_argument("VobSub stream index " + std::to_string(track.streamIndex) +
                                    " is not between 0 and 31");
    writeText(idx_, vobSubIndexHeader(track));
}

VobSubWriter::~VobSubWriter() {
    if (closed_) return;
    idx_.discard();
    sub_.discard();
}

bool VobSubWriter::add(int64_t timeMs, std::span<const uint8_t> unit) {
    if (timeMs < 0 || !isDvdSubpictureUnit(unit)) return false;
    writeText(idx_, vobSubTimestampLine(timeMs, sub_.written()));
    const std::vector<uint8_t> packs = vobSubPacks(unit, timeMs, streamIndex_);
    sub_.write(packs.data(), packs.size());
    ++units_;
    return true;
}

void VobSubWriter::close() {
    // An index is only put at its name beside the packs it points into.
    try {
        sub_.close();
    } catch (...) {
        closed_ = true;
        idx_.discard();
        throw;
    }
    closed_ = true;
    idx_.close();
}

} // namespace tarnwick

// MPEG-2 video: the first sequence header (size, aspect ratio, frame rate,
// bit rate), the progressive flag of the first sequence extension, illegal
// picture types and the first video time stamp of the payload.

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "log/log_line.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

// aspect_ratio_information of the sequence header.
const char* aspectRatioLine(int code) {
    switch (code) {
    case 0: return "   Aspect ratio = forbidden";
    case 1: return "   Aspect ratio = [bl]1:1[/bl] (square samples)";
    case 2: return "   Aspect ratio = [bl]4:3[/bl]";
    case 3: return "   Aspect ratio = [bl]16:9[/bl]";
    case 4: return "   Aspect ratio = [bl]2.21:1[/bl]";
    default: return "   Aspect ratio = reserved";
    }
}

// frame_rate_code of the sequence header: the line and the rate the frame
// summary works with (1 where the code gives none).
struct FrameRateCode {
    const char* line;
    double rate;
};
const FrameRateCode FrameRateCodes[16] = {
    {"   Frame rate = forbidden", 1.0},
    {"   Frame rate = [bl]23.976[/bl] fps", 24000.0 / 1001.0},
    {"   Frame rate = [bl]24[/bl] fps", 24.0},
    {"   Frame rate = [bl]25[/bl] fps", 25.0},
    {"   Frame rate = [bl]29.97[/bl] fps", 30000.0 / 1001.0},
    {"   Frame rate = [bl]30[/bl] fps", 30.0},
    {"   Frame rate = [bl]50[/bl] fps", 50.0},
    {"   Frame rate = [bl]59.94[/bl] fps", 60000.0 / 1001.0},
    {"   Frame rate = [bl]60[/bl] fps", 60.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
    {"   Frame rate = reserved", 1.0},
};

constexpr uint32_t PictureStartCode = 0x00000100;
constexpr uint32_t SequenceHeaderCode = 0x000001B3;
constexpr uint32_t ExtensionStartCode = 0x000001B5;

struct Mpeg2Scan {
    uint32_t r = 0;
    bool seqSeen = false;
    bool extSeen = false;
    int picturesBefore = 0;
    int ptsStage = 0;
    int sequenceHeaderLeft = 0;
    int pictureHeaderLeft = 0;
    int extensionIdLeft = 0;
    int pictureCodingExtensionLeft = 0;
    int sequenceExtensionLeft = 0;
};

// Byte k (1..7) after the sequence header code; bytes 1..k are in the low
// bytes of the register.
void sequenceHeaderByte(Description& d, Mpeg2Scan& s, int k, uint8_t b) {
    if (k == 3) {
        const uint32_t horizontal = (s.r >> 12) & 0xFFF; // horizontal_size_value
        const uint32_t vertical = s.r & 0xFFF;           // vertical_size_value
        d.add("width", int64_t(horizontal),
              "   size = [bl]" + std::to_string(horizontal) + "[/bl]x[bl]" +
                  std::to_string(vertical) + "[/bl]");
        d.also("height", int64_t(vertical));
    } else if (k == 4) {
        const char* aspect = aspectRatioLine(b >> 4);
        d.add("aspect_ratio", visibleText(aspect).substr(std::string("   Aspect ratio = ").size()),
              aspect);
        const int rateCode = b & 0x0F;
        const FrameRateCode& code = FrameRateCodes[rateCode];
        if (rateCode >= 1 && rateCode <= 8)
            d.add("frame_rate", code.rate, code.line);
        else
            d.line(code.line);
        d.frameRate = code.rate;
    } else if (k == 7) {
        const uint32_t bitRateValue = (s.r >> 6) & 0x3FFFF; // in units of 400 bit/s
        d.add("bit_rate", int64_t(bitRateValue) * 400,
              "  Sequence header bitrate = [bl]" +
                  std::to_string(uint64_t(bitRateValue) * 400 / 1000) + "[/bl] kbps");
    }
}

} // namespace

Description describeMPEG2(const AnalyserInput& in, uint32_t videoPts) {
    Description d;
    Mpeg2Scan s;
    const int64_t end = rangeEnd(in);
    for (int64_t i = std::max(in.start, 0); i < end; ++i) {
        const uint8_t b = in.chunk[i];
        s.r = (s.r << 8) | b;
        if (s.r == PictureStartCode) {
            s.pictureHeaderLeft = 2;
        } else if (s.r == SequenceHeaderCode) {
            s.sequenceHeaderLeft = 7;
            if (s.seqSeen) {
                s.picturesBefore = 0;
            } else {
                d.line("   Sequence Header found");
                if (s.picturesBefore > 0)
                    d.add("frames_before_sequence_header", int64_t(s.picturesBefore),
                          "   " + std::to_string(s.picturesBefore) +
                              " frames before first Sequence Header");
                s.seqSeen = true;
                s.picturesBefore = 0;
                s.ptsStage = 2;
            }
        } else if (s.sequenceHeaderLeft > 0) {
            const int k = 8 - s.sequenceHeaderLeft--;
            if (!s.extSeen) sequenceHeaderByte(d, s, k, b);
        } else if (s.pictureHeaderLeft > 0) {
            if (--s.pictureHeaderLeft == 0) {
                // temporal_reference (10 bits), then picture_coding_type (3)
                const int type = (b >> 3) & 7;
                if (type == 0 || type > 3)
                    d.add("illegal_picture_coding_type", int64_t(type),
                          "   illegal picture_coding_type = " + std::to_string(type));
            }
        } else if (s.r == ExtensionStartCode) {
            s.extensionIdLeft = 1;
        } else if (s.extensionIdLeft > 0) {
            s.extensionIdLeft = 0;
            if ((b & 0xF0) == 0x80) { // picture coding extension
                ++s.picturesBefore;
                if (s.seqSeen) s.pictureCodingExtensionLeft = 5;
            } else if ((b >> 4) == 1) { // sequence extension
                s.sequenceExtensionLeft = 1;
            }
        } else if (s.pictureCodingExtensionLeft > 0) {
            // The fourth byte after the identifier: the first picture after
            // the sequence header arms the report, the second makes it.
            if (--s.pictureCodingExtensionLeft == 1) {
                if (s.ptsStage == 2) {
                    s.ptsStage = 1;
                } else if (s.ptsStage == 1) {
                    d.add("first_video_pts", int64_t(videoPts),
                          "   First Video PTS = " + hex8(videoPts));
                    s.ptsStage = 0;
                }
            }
        } else if (s.sequenceExtensionLeft > 0) {
            s.sequenceExtensionLeft = 0;
            if (!s.extSeen) {
                // profile_and_level_indication (low 4 bits), progressive_sequence
                d.add("progressive", int64_t((b >> 3) & 1),
                      std::string("   Progressive Sequence = ") + ((b & 0x08) ? "1" : "0"));
                s.extSeen = true;
            }
        }
    }
    return d;
}

} // namespace tarnwick

// VC-1 video (Advanced profile): the sequence header with its display
// extension; the frame rate goes to the slot for the frame summary.

#include "analysers/analysers.h"
#include "analysers/bit_reader.h"
#include "analysers/chunk_range.h"
#include "analysers/unescaped_payload.h"
#include "analysers/label_tables.h"
#include "log/log_line.h"
#include "log/text_format.h"

#include <cmath>
#include <string>
#include <vector>

namespace tarnwick {

namespace {

// FRAMERATENR 1..7 and FRAMERATEDR 1..2.
const int32_t Vc1RateNumerators[8] = {0, 24000, 25000, 30000, 50000, 60000, 48000, 72000};
const int32_t Vc1RateDenominators[3] = {0, 1000, 1001};

constexpr uint32_t SequenceHeaderStartCode = 0x0000010F;

// A frame-rate code: 0 is forbidden (value 0), codes beyond the table are
// reserved and keep the code itself as the value.
int32_t rateValue(Description& d, uint32_t code, const int32_t* table, uint32_t tableSize) {
    if (code == 0) {
        d.line("   Forbidden Frame Rate!");
        return 0;
    }
    if (code >= tableSize) {
        d.line("   Reserved Frame Rate!");
        return int32_t(code);
    }
    return table[code];
}

void frameRate(Description& d, BitReader& r, bool pulldown, const TimeFormat& locale) {
    if (r.ReadBits(1)) { // FRAMERATEIND: the rate in 1/32 frames per second
        const double rate = (r.ReadBits(16) + 1) / 32.0;
        d.add("frame_rate", rate, "   Frame Rate = [bl]" + formatReal(rate, locale) + "[/bl]");
        d.frameRate = rate;
        return;
    }
    int32_t numerator = rateValue(d, r.ReadBits(8), Vc1RateNumerators, 8);
    const int32_t denominator = rateValue(d, r.ReadBits(4), Vc1RateDenominators, 3);
    if (pulldown && numerator == 30000) numerator = 24000;
    // A forbidden denominator forms no rate; the slot keeps what it had.
    if (denominator == 0) return;
    const double rate = double(numerator) / double(denominator);
    const double shown = std::nearbyint(rate * 1000.0) / 1000.0;
    d.add("frame_rate", shown,
          "   Frame Rate = [bl]" + formatReal(shown, locale) + "[/bl] (" +
              std::to_string(numerator) + "/" + std::to_string(denominator) + ")");
    d.also("frame_rate_numerator", int64_t(numerator));
    d.also("frame_rate_denominator", int64_t(denominator));
    d.frameRate = rate;
}

void displayExtension(Description& d, BitReader& r, bool pulldown, const TimeFormat& locale) {
    const uint32_t horizontal = r.ReadBits(14); // DISP_HORIZ_SIZE
    const uint32_t vertical = r.ReadBits(14);   // DISP_VERT_SIZE
    d.add("display_width", int64_t(horizontal) + 1,
          "   Display size = [bl]" + std::to_string(horizontal + 1) + "[/bl]x[bl]" +
              std::to_string(vertical + 1) + "[/bl]");
    d.also("display_height", int64_t(vertical) + 1);
    if (r.ReadBits(1)) { // ASPECT_RATIO_FLAG
        const uint32_t code = r.ReadBits(4);
        if (code == 15) {
            const uint32_t h = r.ReadBits(8); // ASPECT_HORIZ_SIZE
            const uint32_t v = r.ReadBits(8); // ASPECT_VERT_SIZE
            const std::string ratio = std::to_string(h) + ":" + std::to_string(v);
            d.add("aspect_ratio", ratio, "   Aspect ratio = " + ratio);
        } else {
            const std::string label(AspectRatioLabels[code]);
            d.add("aspect_ratio", visibleText(label), "   Aspect ratio = " + label);
        }
    }
    if (r.ReadBits(1)) frameRate(d, r, pulldown, locale); // FRAMERATE_FLAG
    if (r.ReadBits(1)) r.SkipBits(24);                    // COLOR_PRIM, TRANSFER_CHAR, MATRIX_COEF
}

} // namespace

Description describeVC1(const AnalyserInput& in) {
    Description d;
    BitReader search(in.chunk.data(), validEnd(in));
    search.position = in.start;
    search.LoadWord();
    // Past the valid bytes the window only holds zeros and cannot match.
    const int64_t searchEnd =
        std::min<int64_t>(int64_t(in.start) + in.count - 1, int64_t(validEnd(in)) + 4);
    while (search.position < searchEnd && search.window != SequenceHeaderStartCode)
        search.SkipBits(8);
    // The fields follow the start code, read without the emulation-prevention
    // bytes of the rest of the chunk's valid data.
    const std::vector<uint8_t> header =
        unescapedPayload(in.chunk.data(), search.position, validEnd(in));
    BitReader r(header.data(), int(header.size()));
    r.LoadWord();

    const bool advanced = r.ReadBits(2) == 3;
    d.add("profile", std::string(advanced ? "Advanced" : "Reserved"),
          advanced ? "   Profile = Advanced" : "   Profile = Reserved");
    const uint32_t level = r.ReadBits(3);
    if (level < 5)
        d.add("level", int64_t(level), "   Level = " + std::to_string(level));
    else
        d.line("   Level = Reserved");
    const bool chroma420 = r.ReadBits(2) == 1;
    d.add("chroma_format", std::string(chroma420 ? "4:2:0" : "Reserved"),
          chroma420 ? "   Chroma Format = [bl]4:2:0[/bl]" : "   Chroma Format = Reserved");
    r.SkipBits(3 + 5 + 1);                  // FRMRTQ_POSTPROC, BITRTQ_POSTPROC, POSTPROCFLAG
    const uint32_t width = r.ReadBits(12);  // MAX_CODED_WIDTH
    const uint32_t height = r.ReadBits(12); // MAX_CODED_HEIGHT
    d.add("width", int64_t(width) * 2 + 2,
          "   Size = [bl]" + std::to_string(width * 2 + 2) + "[/bl]x[bl]" +
              std::to_string(height * 2 + 2) + "[/bl]");
    d.also("height", int64_t(height) * 2 + 2);
    const bool pulldown = r.ReadBits(1);
    r.SkipBits(4);     // INTERLACE, TFCNTRFLAG, FINTERPFLAG, reserved
    if (r.ReadBits(1)) // PSF
        d.add("progressive_segmented_frames", int64_t(1), "  Progressive segmented frames.");
    if (r.ReadBits(1)) displayExtension(d, r, pulldown, in.locale);
    return d;
}

} // namespace tarnwick

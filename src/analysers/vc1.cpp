// VC-1 video (Advanced profile): the sequence header with its display
// extension; the frame rate goes to the slot for the frame summary.

#include "analysers/analysers.h"
#include "analysers/bit_reader.h"
#include "analysers/chunk_range.h"
#include "analysers/unescaped_payload.h"
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
int32_t rateValue(LogSink& log, uint32_t code, const int32_t* table, uint32_t tableSize) {
    if (code == 0) {
        log.log("   Forbidden Frame Rate!");
        return 0;
    }
    if (code >= tableSize) {
        log.log("   Reserved Frame Rate!");
        return int32_t(code);
    }
    return table[code];
}

void storeRate(StreamTable& t, int slot, double rate) {
    if (slot >= 0 && slot < int(t.FrameRate.size())) t.FrameRate[slot] = rate;
}

void frameRate(Analysis& a, BitReader& r, bool pulldown, int slot) {
    LogSink& log = a.log;
    const TimeFormat& locale = a.table.TimeFormatSettings;
    if (r.ReadBits(1)) { // FRAMERATEIND: the rate in 1/32 frames per second
        const double rate = (r.ReadBits(16) + 1) / 32.0;
        log.log("   Frame Rate = [bl]" + formatReal(rate, locale) + "[/bl]");
        storeRate(a.table, slot, rate);
        return;
    }
    int32_t numerator = rateValue(log, r.ReadBits(8), Vc1RateNumerators, 8);
    const int32_t denominator = rateValue(log, r.ReadBits(4), Vc1RateDenominators, 3);
    if (pulldown && numerator == 30000) numerator = 24000;
    // A forbidden denominator forms no rate; the slot keeps what it had.
    if (denominator == 0) return;
    const double rate = double(numerator) / double(denominator);
    log.log("   Frame Rate = [bl]" + formatReal(std::nearbyint(rate * 1000.0) / 1000.0, locale) +
            "[/bl] (" + std::to_string(numerator) + "/" + std::to_string(denominator) + ")");
    storeRate(a.table, slot, rate);
}

void displayExtension(Analysis& a, BitReader& r, bool pulldown, int slot) {
    LogSink& log = a.log;
    const uint32_t horizontal = r.ReadBits(14); // DISP_HORIZ_SIZE
    const uint32_t vertical = r.ReadBits(14);   // DISP_VERT_SIZE
    log.log("   Display size = [bl]" + std::to_string(horizontal + 1) + "[/bl]x[bl]" +
            std::to_string(vertical + 1) + "[/bl]");
    if (r.ReadBits(1)) { // ASPECT_RATIO_FLAG
        const uint32_t code = r.ReadBits(4);
        if (code == 15) {
            const uint32_t h = r.ReadBits(8); // ASPECT_HORIZ_SIZE
            const uint32_t v = r.ReadBits(8); // ASPECT_VERT_SIZE
            log.log("   Aspect ratio = " + std::to_string(h) + ":" + std::to_string(v));
        } else {
            log.log("   Aspect ratio = " + a.table.AspectRatioLabels[code]);
        }
    }
    if (r.ReadBits(1)) frameRate(a, r, pulldown, slot); // FRAMERATE_FLAG
    if (r.ReadBits(1)) r.SkipBits(24);                  // COLOR_PRIM, TRANSFER_CHAR, MATRIX_COEF
}

} // namespace

void AnalyseVC1(Analysis& a, int position, int count, int videoSlot) {
    LogSink& log = a.log;
    BitReader search(a.table);
    search.position = position;
    search.LoadWord();
    // Past the valid bytes the window only holds zeros and cannot match.
    const int64_t searchEnd =
        std::min<int64_t>(int64_t(position) + count - 1, int64_t(validEnd(a.table)) + 4);
    while (search.position < searchEnd && search.window != SequenceHeaderStartCode)
        search.SkipBits(8);
    // The fields follow the start code, read without the emulation-prevention
    // bytes of the rest of the chunk's valid data.
    const std::vector<uint8_t> header =
        unescapedPayload(a.table.ChunkBuffer.data(), search.position, validEnd(a.table));
    BitReader r(header.data(), int(header.size()));
    r.LoadWord();

    log.log(r.ReadBits(2) == 3 ? "   Profile = Advanced" : "   Profile = Reserved");
    const uint32_t level = r.ReadBits(3);
    log.log(level < 5 ? "   Level = " + std::to_string(level) : "   Level = Reserved");
    log.log(r.ReadBits(2) == 1 ? "   Chroma Format = [bl]4:2:0[/bl]"
                               : "   Chroma Format = Reserved");
    r.SkipBits(3 + 5 + 1);                  // FRMRTQ_POSTPROC, BITRTQ_POSTPROC, POSTPROCFLAG
    const uint32_t width = r.ReadBits(12);  // MAX_CODED_WIDTH
    const uint32_t height = r.ReadBits(12); // MAX_CODED_HEIGHT
    log.log("   Size = [bl]" + std::to_string(width * 2 + 2) + "[/bl]x[bl]" +
            std::to_string(height * 2 + 2) + "[/bl]");
    const bool pulldown = r.ReadBits(1);
    r.SkipBits(4); // INTERLACE, TFCNTRFLAG, FINTERPFLAG, reserved
    if (r.ReadBits(1)) log.log("  Progressive segmented frames."); // PSF
    if (r.ReadBits(1)) displayExtension(a, r, pulldown, videoSlot);
}

} // namespace tarnwick

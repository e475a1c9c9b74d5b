// LPCM: the private header in front of the first audio data (frame headers,
// first access unit pointer, emphasis, mute, frame number, word length,
// sampling frequency, channels, dynamic range).

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr int LpcmHeaderSize = 7;

const char* onOff(bool on) {
    return on ? "on" : "off";
}

} // namespace

void AnalyseLPCM(Analysis& a, int position, int count) {
    LogSink& log = a.log;
    const StreamTable& t = a.table;
    // A header that began in the previous chunk is no longer in the buffer;
    // what is left of it in front of the data is not the whole header.
    if (position < LpcmHeaderSize || position > validEnd(t)) return;
    const uint8_t* h = t.ChunkBuffer.data() + position; // h[-7] .. h[-1]: the header
    const int64_t walkEnd = int64_t(position) + count - 1;
    for (int offset = -LpcmHeaderSize + 1; offset <= -1; ++offset) {
        if (position + offset >= walkEnd) return;
        const uint8_t b = h[offset];
        switch (offset) {
        case -6: log.log("   Number of frame headers = " + std::to_string(b)); break;
        case -4:
            log.log("   First acces unit pointer = " + hex((uint32_t(h[-5]) << 8) | b, 4));
            break;
        case -3:
            log.log(std::string("   Emphasis = ") + onOff(b & 0x80) +
                    ", mute = " + onOff(b & 0x40));
            log.log("   Frame number = " + std::to_string(b & 0x1F));
            break;
        case -2:
            log.log("   Quantization length = [bl]" + t.BitDepthLabels[b >> 6] + "[/bl] bits");
            log.log("   Sampling frequency = [bl]" + t.SampleRateLabels[(b >> 4) & 3] +
                    "[/bl] kHz");
            log.log("   Number of audio channels = [bl]" + std::to_string((b & 3) + 1) + "[/bl]");
            break;
        case -1:
            if (b != 0x80)
                log.log("   Dynamic range = " + dynamicRangeDb(b, t.TimeFormatSettings) + " dB");
            break;
        }
    }
}

} // namespace tarnwick

// LPCM: the private header in front of the first audio data (frame headers,
// first access unit pointer, emphasis, mute, frame number, word length,
// sampling frequency, channels, dynamic range).

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "analysers/label_tables.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr int LpcmHeaderSize = 7;

const char* onOff(bool on) {
    return on ? "on" : "off";
}

} // namespace

Description describeLPCM(const AnalyserInput& in) {
    Description d;
    const int position = in.start;
    // A header that began in the previous chunk is no longer in the buffer;
    // what is left of it in front of the data is not the whole header.
    if (position < LpcmHeaderSize || position > validEnd(in)) return d;
    const uint8_t* h = in.chunk.data() + position; // h[-7] .. h[-1]: the header
    const int64_t walkEnd = int64_t(position) + in.count - 1;
    for (int offset = -LpcmHeaderSize + 1; offset <= -1; ++offset) {
        if (position + offset >= walkEnd) return d;
        const uint8_t b = h[offset];
        switch (offset) {
        case -6:
            d.add("frame_headers", int64_t(b), "   Number of frame headers = " + std::to_string(b));
            break;
        case -4: {
            const uint32_t pointer = (uint32_t(h[-5]) << 8) | b;
            d.add("first_access_unit", int64_t(pointer),
                  "   First acces unit pointer = " + hex(pointer, 4));
            break;
        }
        case -3:
            d.add("emphasis", int64_t((b >> 7) & 1),
                  std::string("   Emphasis = ") + onOff(b & 0x80) + ", mute = " + onOff(b & 0x40));
            d.also("mute", int64_t((b >> 6) & 1));
            d.add("frame_number", int64_t(b & 0x1F),
                  "   Frame number = " + std::to_string(b & 0x1F));
            break;
        case -2:
            d.add("bits_per_sample", int64_t(BitDepths[b >> 6]),
                  "   Quantization length = [bl]" + std::string(BitDepthLabels[b >> 6]) +
                      "[/bl] bits");
            d.add("sample_rate", int64_t(SampleRates[(b >> 4) & 3]),
                  "   Sampling frequency = [bl]" + std::string(SampleRateLabels[(b >> 4) & 3]) +
                      "[/bl] kHz");
            // number_of_audio_channels: the low three bits, channels - 1.
            d.add("channels", int64_t((b & 7) + 1),
                  "   Number of audio channels = [bl]" + std::to_string((b & 7) + 1) + "[/bl]");
            break;
        case -1:
            if (b != 0x80)
                d.add("dynamic_range", dynamicRangeValue(b),
                      "   Dynamic range = " + dynamicRangeDb(b, in.locale) + " dB");
            break;
        }
    }
    return d;
}

} // namespace tarnwick

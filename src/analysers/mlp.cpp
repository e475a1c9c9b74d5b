// Dolby TrueHD and standard MLP: every major sync of the payload and the
// format information that follows its sync word.

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "analysers/label_tables.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr uint32_t TrueHdMajorSync = 0xF8726FBA;
constexpr uint32_t MlpMajorSync = 0xF8726FBB;

// The labels of the set bits of a channel assignment, lowest bit first.
template <size_t N>
std::string channelList(uint32_t assignment, const std::array<std::string_view, N>& labels) {
    std::string out;
    for (size_t bit = 0; bit < N && bit < 32; ++bit) {
        if (!(assignment & (uint32_t(1) << bit))) continue;
        if (!out.empty()) out += ", ";
        out += labels[bit];
    }
    return out;
}

std::string text(std::string_view label) {
    return std::string(label);
}

// Bytes 5 and 6 after the sync word; 0x80 in byte 5 means no values.
void dynamicRangeLine(Description& d, uint32_t r, const TimeFormat& locale) {
    const uint8_t byte5 = uint8_t(r >> 8);
    const uint8_t byte6 = uint8_t(r);
    if (byte5 == 0x80) return;
    d.add("dynamic_range_min", dynamicRangeValue(byte5),
          "   Dynamic range control = " + dynamicRangeDb(byte5, locale) + " dB .. " +
              dynamicRangeDb(byte6, locale) + " dB");
    d.also("dynamic_range_max", dynamicRangeValue(byte6));
}

struct TrueHdChannels {
    int stereoModifier = 0;
    int sixModifier = 0;
    uint32_t sixAssignment = 0;
    int eightModifier = 0;
};

void sampleRate(Description& d, uint8_t code) {
    d.add("sample_rate", int64_t(SampleRates[code]),
          "   Sampling frequency = [bl]" + text(SampleRateLabels[code]) + "[/bl] kHz");
}

// Byte k (1..6) after a standard MLP major sync.
void mlpByte(Description& d, int k, uint8_t b, uint32_t r, const TimeFormat& locale) {
    switch (k) {
    case 1:
        d.add("bits_per_sample", int64_t(BitDepths[b >> 4]),
              "   Quantization length = [bl]" + text(BitDepthLabels[b >> 4]) + "[/bl] bits");
        break;
    case 2: sampleRate(d, b >> 4); break;
    case 4:
        d.add("channel_arrangement", text(ChannelArrangements[b & 0x1F]),
              "   Channel arrangement = [bl]" + text(ChannelArrangements[b & 0x1F]) + "[/bl]");
        break;
    case 6: dynamicRangeLine(d, r, locale); break;
    }
}

// Byte k (1..6) after a TrueHD major sync.
void trueHdByte(Description& d, int k, uint8_t b, uint32_t r, TrueHdChannels& c,
                const TimeFormat& locale) {
    switch (k) {
    case 1: sampleRate(d, b >> 4); break;
    case 2:
        c.stereoModifier = b >> 6;
        c.sixModifier = (b >> 4) & 3;
        c.sixAssignment = (b & 0x0F) * 2;
        break;
    case 3: {
        c.sixAssignment += b >> 7;
        c.eightModifier = (b >> 5) & 3;
        d.line("   2 ch. decoder");
        d.add("stereo_modifier", text(StereoModeLabels[c.stereoModifier]),
              "      channel modifier = " + text(StereoModeLabels[c.stereoModifier]));
        d.line("   6 ch. decoder");
        d.add("six_channel_modifier", text(StereoModeLabels[c.sixModifier]),
              "      channel modifier = " + text(StereoModeLabels[c.sixModifier]));
        const std::string six = channelList(c.sixAssignment, ChannelGroupLabels);
        d.add("six_channel_arrangement", six, "      channel arrangement = [bl]" + six + "[/bl]");
        break;
    }
    case 4: {
        d.line("   8 ch. decoder");
        d.add("eight_channel_modifier", text(StereoModeLabels[c.eightModifier]),
              "      channel modifier = " + text(StereoModeLabels[c.eightModifier]));
        const std::string eight = channelList(r & 0x1FFF, ChannelGroupLabels2);
        d.add("eight_channel_arrangement", eight,
              "      channel arrangement = [bl]" + eight + "[/bl]");
        break;
    }
    case 6: dynamicRangeLine(d, r, locale); break;
    }
}

} // namespace

Description describeMLP(const AnalyserInput& in) {
    Description d;
    uint32_t r = 0;
    int trueHdLeft = 0;
    int mlpLeft = 0;
    TrueHdChannels channels;
    // Every byte of the range but its last.
    const int64_t end = std::min<int64_t>(int64_t(in.start) + in.count - 1, validEnd(in));
    for (int64_t i = std::max(in.start, 0); i < end; ++i) {
        const uint8_t b = in.chunk[i];
        r = (r << 8) | b;
        if (r == TrueHdMajorSync) {
            d.add("format", std::string("TrueHD"), "   [b]TrueHD[/b] stream (up to 8 channels)");
            trueHdLeft = 6;
        } else if (r == MlpMajorSync) {
            d.add("format", std::string("MLP"),
                  "   [b]Standard MLP[/b] stream (up to 6 channels) ");
            mlpLeft = 6;
        } else if (mlpLeft > 0) {
            --mlpLeft;
            mlpByte(d, 6 - mlpLeft, b, r, in.locale);
        } else if (trueHdLeft > 0) {
            const int v = trueHdLeft--;
            trueHdByte(d, 7 - v, b, r, channels, in.locale);
        }
    }
    return d;
}

} // namespace tarnwick

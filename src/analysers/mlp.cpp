// Dolby TrueHD and standard MLP: every major sync of the payload and the
// format information that follows its sync word.

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr uint32_t TrueHdMajorSync = 0xF8726FBA;
constexpr uint32_t MlpMajorSync = 0xF8726FBB;

// The labels of the set bits of a channel assignment, lowest bit first.
template <size_t N>
std::string channelList(uint32_t assignment, const std::array<std::string, N>& labels) {
    std::string out;
    for (size_t bit = 0; bit < N && bit < 32; ++bit) {
        if (!(assignment & (uint32_t(1) << bit))) continue;
        if (!out.empty()) out += ", ";
        out += labels[bit];
    }
    return out;
}

// Bytes 5 and 6 after the sync word; 0x80 in byte 5 means no values.
void dynamicRangeLine(Analysis& a, uint32_t r) {
    const uint8_t byte5 = uint8_t(r >> 8);
    const uint8_t byte6 = uint8_t(r);
    if (byte5 == 0x80) return;
    const TimeFormat& locale = a.table.TimeFormatSettings;
    a.log.log("   Dynamic range control = " + dynamicRangeDb(byte5, locale) + " dB .. " +
              dynamicRangeDb(byte6, locale) + " dB");
}

struct TrueHdChannels {
    int stereoModifier = 0;
    int sixModifier = 0;
    uint32_t sixAssignment = 0;
    int eightModifier = 0;
};

// Byte k (1..6) after a standard MLP major sync.
void mlpByte(Analysis& a, int k, uint8_t b, uint32_t r) {
    const StreamTable& t = a.table;
    switch (k) {
    case 1:
        a.log.log("   Quantization length = [bl]" + t.BitDepthLabels[b >> 4] + "[/bl] bits");
        break;
    case 2:
        a.log.log("   Sampling frequency = [bl]" + t.SampleRateLabels[b >> 4] + "[/bl] kHz");
        break;
    case 4:
        a.log.log("   Channel arrangement = [bl]" + t.ChannelArrangements[b & 0x1F] + "[/bl]");
        break;
    case 6: dynamicRangeLine(a, r); break;
    }
}

// Byte k (1..6) after a TrueHD major sync.
void trueHdByte(Analysis& a, int k, uint8_t b, uint32_t r, TrueHdChannels& c) {
    const StreamTable& t = a.table;
    LogSink& log = a.log;
    switch (k) {
    case 1:
        log.log("   Sampling frequency = [bl]" + t.SampleRateLabels[b >> 4] + "[/bl] kHz");
        break;
    case 2:
        c.stereoModifier = b >> 6;
        c.sixModifier = (b >> 4) & 3;
        c.sixAssignment = (b & 0x0F) * 2;
        break;
    case 3:
        c.sixAssignment += b >> 7;
        c.eightModifier = (b >> 5) & 3;
        log.log("   2 ch. decoder");
        log.log("      channel modifier = " + t.StereoModeLabels[c.stereoModifier]);
        log.log("   6 ch. decoder");
        log.log("      channel modifier = " + t.StereoModeLabels[c.sixModifier]);
        log.log("      channel arrangement = [bl]" +
                channelList(c.sixAssignment, t.ChannelGroupLabels) + "[/bl]");
        break;
    case 4:
        log.log("   8 ch. decoder");
        log.log("      channel modifier = " + t.StereoModeLabels[c.eightModifier]);
        log.log("      channel arrangement = [bl]" +
                channelList(r & 0x1FFF, t.ChannelGroupLabels2) + "[/bl]");
        break;
    case 6: dynamicRangeLine(a, r); break;
    }
}

} // namespace

void AnalyseMLP(Analysis& a, int position, int count) {
    const uint8_t* chunk = a.table.ChunkBuffer.data();
    uint32_t r = 0;
    int trueHdLeft = 0;
    int mlpLeft = 0;
    TrueHdChannels channels;
    // Every byte of the range but its last.
    const int64_t end = std::min<int64_t>(int64_t(position) + count - 1, validEnd(a.table));
    for (int64_t i = std::max(position, 0); i < end; ++i) {
        const uint8_t b = chunk[i];
        r = (r << 8) | b;
        if (r == TrueHdMajorSync) {
            a.log.log("   [b]TrueHD[/b] stream (up to 8 channels)");
            trueHdLeft = 6;
        } else if (r == MlpMajorSync) {
            a.log.log("   [b]Standard MLP[/b] stream (up to 6 channels) ");
            mlpLeft = 6;
        } else if (mlpLeft > 0) {
            --mlpLeft;
            mlpByte(a, 6 - mlpLeft, b, r);
        } else if (trueHdLeft > 0) {
            const int v = trueHdLeft--;
            trueHdByte(a, 7 - v, b, r, channels);
        }
    }
}

} // namespace tarnwick

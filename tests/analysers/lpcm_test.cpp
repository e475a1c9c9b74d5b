#include "analyser_bench.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

// The seven header bytes, then audio data; the analyser gets the data.
Lines analyse(AnalyserBench& bench, const Bytes& header, int dataLength = 32,
              TimeFormat locale = {}) {
    Bytes payload = header;
    payload.insert(payload.end(), size_t(dataLength), 0x11);
    bench.locale = locale;
    const int at = bench.place(payload) + 7;
    logDescription(bench,
                   describeLPCM(analyserInput(bench, at, dataLength)));
    return bench.lines();
}

TEST(LpcmAnalyser, HeaderFieldsInFrontOfTheData) {
    AnalyserBench bench;
    EXPECT_EQ(analyse(bench, {0xA0, 0x01, 0x00, 0x04, 0x05, 0x11, 0x80}),
              (Lines{"   Number of frame headers = 1", "   First acces unit pointer = 0004",
                     "   Emphasis = off, mute = off", "   Frame number = 5",
                     "   Quantization length = [bl]16[/bl] bits",
                     "   Sampling frequency = [bl]96[/bl] kHz",
                     "   Number of audio channels = [bl]2[/bl]"}));
    AnalyserBench other;
    const Lines lines = analyse(other, {0xA3, 0xC8, 0x12, 0xAB, 0xDF, 0xA7, 0x00});
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 6),
              (Lines{"   Number of frame headers = 200", "   First acces unit pointer = 12AB",
                     "   Emphasis = on, mute = on", "   Frame number = 31",
                     "   Quantization length = [bl]24[/bl] bits",
                     "   Sampling frequency = [bl]192[/bl] kHz"}));
    // number_of_audio_channels is three bits, channels - 1: 8, and 5.1.
    EXPECT_EQ(lines.at(6), "   Number of audio channels = [bl]8[/bl]");
    AnalyserBench surround;
    EXPECT_EQ(analyse(surround, {0xA0, 1, 0, 4, 5, 0x15, 0x80}).back(),
              "   Number of audio channels = [bl]6[/bl]");
}

TEST(LpcmAnalyser, DynamicRangeInDecibels) {
    AnalyserBench zero;
    EXPECT_EQ(analyse(zero, {0xA0, 1, 0, 4, 5, 0x11, 0x00}).back(), "   Dynamic range = 24.082 dB");
    AnalyserBench full;
    EXPECT_EQ(analyse(full, {0xA0, 1, 0, 4, 5, 0x11, 0xFF}).back(),
              "   Dynamic range = -24.2839 dB");
    // Values near 0 print their exact four decimals.
    AnalyserBench small;
    EXPECT_EQ(analyse(small, {0xA0, 1, 0, 4, 5, 0x11, 0x7A}).back(), "   Dynamic range = 0.802 dB");
    AnalyserBench negative;
    EXPECT_EQ(analyse(negative, {0xA0, 1, 0, 4, 5, 0x11, 0x80 | 0x00 | 0x01}).back(),
              "   Dynamic range = -0.2011 dB");
}

TEST(LpcmAnalyser, EmptyLabelsAndTheThreeChannelBits) {
    AnalyserBench bench;
    const Lines lines = analyse(bench, {0xA0, 1, 0, 4, 5, 0xF5, 0x80});
    EXPECT_EQ(
        Lines(lines.end() - 3, lines.end()),
        (Lines{"   Quantization length = [bl][/bl] bits", "   Sampling frequency = [bl][/bl] kHz",
               "   Number of audio channels = [bl]6[/bl]"}));
}

TEST(LpcmAnalyser, ShortRangesEndTheWalkEarly) {
    // The walk stops one byte before the end of the range.
    AnalyserBench none;
    EXPECT_EQ(analyse(none, {0xA0, 1, 0, 4, 5, 0x11, 0x00}, 0).size(), 7u);
    AnalyserBench one;
    EXPECT_EQ(analyse(one, {0xA0, 1, 0, 4, 5, 0x11, 0x00}, 1).size(), 8u);
}

TEST(LpcmAnalyser, HeaderBegunInThePreviousChunkIsNotRead) {
    // The data starts less than seven bytes into the chunk: the header's
    // start is gone with the previous chunk, and nothing before the buffer
    // may be read.
    for (int at = 0; at < 7; ++at) {
        AnalyserBench bench;
        Bytes chunk(64, 0x11);
        bench.place(chunk, 0);
        logDescription(bench, describeLPCM(analyserInput(bench, at, 32)));
        EXPECT_TRUE(bench.lines().empty()) << at;
    }
    AnalyserBench exact;
    const Bytes header = {0xA0, 1, 0, 4, 5, 0x11, 0x80};
    Bytes chunk = header;
    chunk.resize(64, 0x11);
    exact.place(chunk, 0);
    logDescription(exact, describeLPCM(analyserInput(exact, 7, 32)));
    EXPECT_EQ(exact.lines().size(), 7u);
}

} // namespace
} // namespace tarnwick::testing

#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Lines analyse(AnalyserBench& bench, Bytes payload, int tail = 8) {
    payload.insert(payload.end(), size_t(tail), 0x00);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeMLP(analyserInput(bench, at, int(payload.size()))));
    return bench.lines();
}

TEST(MlpAnalyser, TrueHdFormatInformation) {
    AnalyserBench bench;
    EXPECT_EQ(analyse(bench, trueHdSync(0, 0, 1, 0b01011, 2, 0b10)),
              (Lines{"   [b]TrueHD[/b] stream (up to 8 channels)",
                     "   Sampling frequency = [bl]48[/bl] kHz", "   2 ch. decoder",
                     "      channel modifier = Stereo", "   6 ch. decoder",
                     "      channel modifier = Lt/Rt",
                     "      channel arrangement = [bl]Main (Left,Right), Centre, Surrounds "
                     "(Ls/Rs)[/bl]",
                     "   8 ch. decoder", "      channel modifier = Lbin/Rbin",
                     "      channel arrangement = [bl]Centre[/bl]"}));
}

TEST(MlpAnalyser, EightChannelListCoversAllThirteenBits) {
    AnalyserBench bench;
    const Lines lines = analyse(bench, trueHdSync(8, 3, 3, 0b11111, 3, 0x1FFF));
    EXPECT_EQ(lines[1], "   Sampling frequency = [bl]44.1[/bl] kHz");
    EXPECT_EQ(lines[3], "      channel modifier = Mono");
    EXPECT_EQ(lines[6], "      channel arrangement = [bl]Main (Left,Right), Centre, LFE, "
                        "Surrounds (Ls/Rs), Highs (Lvh/Rvh)[/bl]");
    EXPECT_EQ(lines[9],
              "      channel arrangement = [bl]Main (Left,Right), Centre, LFE, Surrounds "
              "(Ls/Rs), Front Highs (Lvh/Rvh), Inner fronts (Lc/Rc), Rears (Lrs/Rrs), Centre "
              "surround (Cs), Top (Ts), Surround Directs (Lsd/Rsd), Front Wide (Lw/Rw), Centre "
              "Front High (Cvh), LFE2[/bl]");
    AnalyserBench empty;
    EXPECT_EQ(analyse(empty, trueHdSync(0, 0, 0, 0, 0, 0))[9],
              "      channel arrangement = [bl][/bl]");
}

TEST(MlpAnalyser, StandardMlpFormatInformation) {
    AnalyserBench bench;
    EXPECT_EQ(analyse(bench, mlpSync(2, 9, 20)),
              (Lines{"   [b]Standard MLP[/b] stream (up to 6 channels) ",
                     "   Quantization length = [bl]24[/bl] bits",
                     "   Sampling frequency = [bl]88.2[/bl] kHz",
                     "   Channel arrangement = [bl]Lf + Rf + Ls + Rs + C + LFE[/bl]"}));
    for (int arrangement : {21, 31}) {
        AnalyserBench reserved;
        EXPECT_EQ(analyse(reserved, mlpSync(0, 0, arrangement))[3],
                  "   Channel arrangement = [bl][/bl]");
    }
}

TEST(MlpAnalyser, SampleRateLabelsKeepTheirPoint) {
    const std::pair<int, std::string> rates[] = {{0, "48"}, {1, "96"},   {2, "192"},  {3, ""},
                                                 {7, ""},   {8, "44.1"}, {9, "88.2"}, {10, "176.4"},
                                                 {11, ""},  {15, ""}};
    for (const auto& [nibble, text] : rates) {
        AnalyserBench bench;
        bench.locale.decimalSeparator = ',';
        EXPECT_EQ(analyse(bench, trueHdSync(nibble, 0, 0, 1, 0, 1))[1],
                  "   Sampling frequency = [bl]" + text + "[/bl] kHz");
    }
}

TEST(MlpAnalyser, DynamicRangeControl) {
    AnalyserBench zeros;
    Lines lines = analyse(zeros, mlpSync(0, 0, 1, 0x00, 0x00));
    EXPECT_EQ(lines.back(), "   Dynamic range control = 24.082 dB .. 24.082 dB");
    AnalyserBench values;
    values.locale.decimalSeparator = ',';
    lines = analyse(values, trueHdSync(0, 0, 0, 1, 0, 1, 0xFF, 0x21));
    EXPECT_EQ(lines.back(), "   Dynamic range control = -24,2839 dB .. 17,8607 dB");
    AnalyserBench none;
    lines = analyse(none, trueHdSync(0, 0, 0, 1, 0, 1, 0x80, 0x21));
    EXPECT_EQ(lines.size(), 10u);
}

TEST(MlpAnalyser, EverySyncIsReportedAndTheLastByteIsNot) {
    AnalyserBench bench;
    Bytes payload = mlpSync(0, 0, 1);
    const Bytes second = trueHdSync(0, 0, 0, 1, 0, 1);
    payload.insert(payload.end(), second.begin(), second.end());
    const Lines lines = analyse(bench, payload);
    EXPECT_EQ(lines.size(), 4u + 10u);
    EXPECT_EQ(lines[4], "   [b]TrueHD[/b] stream (up to 8 channels)");

    // A sync word whose last byte is the last byte of the range is not seen.
    AnalyserBench edge;
    const Bytes sync = {0x00, 0xF8, 0x72, 0x6F, 0xBA};
    int at = edge.place(sync);
    logDescription(edge,
                   describeMLP(analyserInput(edge, at, int(sync.size()))));
    EXPECT_TRUE(edge.lines().empty());
    logDescription(edge,
                   describeMLP(analyserInput(edge, at, int(sync.size()) + 1)));
    EXPECT_EQ(edge.lines().size(), 1u);
}

TEST(MlpAnalyser, AnMlpSyncHoldsBackATrueHdHeaderBeingRead) {
    // A standard MLP sync completed inside a TrueHD header: its six bytes are
    // read first, then the TrueHD countdown goes on where it stopped.
    AnalyserBench bench;
    Bytes payload = {0xF8, 0x72, 0x6F, 0xBA};
    const Bytes mlp = mlpSync(1, 1, 3);
    payload.insert(payload.end(), mlp.begin(), mlp.end());
    const Lines lines = analyse(bench, payload);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], "   [b]TrueHD[/b] stream (up to 8 channels)");
    EXPECT_EQ(lines[6], "      channel arrangement = [bl]LFE[/bl]");
    EXPECT_EQ(lines[7], "   [b]Standard MLP[/b] stream (up to 6 channels) ");
    EXPECT_EQ(lines[8], "   Quantization length = [bl]20[/bl] bits");
    EXPECT_EQ(lines[10], "   Channel arrangement = [bl]Lf + Rf + Ls + Rs[/bl]");
    EXPECT_EQ(lines[11], "   8 ch. decoder");
    EXPECT_EQ(lines[12], "      channel modifier = Mono");
}

} // namespace
} // namespace tarnwick::testing

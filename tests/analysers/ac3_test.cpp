#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Bytes frames(std::initializer_list<Bytes> headers) {
    Bytes out = {0x00, 0x0B}; // a lone sync byte before the first frame
    for (const Bytes& h : headers) {
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), 40, 0x5A);
    }
    return out;
}

Lines analyse(AnalyserBench& bench, const Bytes& payload, int slot = 2) {
    const int at = bench.place(payload);
    logDescription(bench,
                   describeAC3(analyserInput(bench, at, int(payload.size())), slot));
    return bench.lines();
}

TEST(Ac3Analyser, DolbyDigitalFrame) {
    AnalyserBench bench;
    EXPECT_EQ(
        analyse(bench, frames({ac3Header(0, 0x1C, 8, 0, 7), ac3Header(1, 0x1C, 8, 0, 2)})),
        (Lines{"   Stream 2 is [b]Dolby Digital[/b]", "   Sampling frequency = [bl]48[/bl] kHz",
               "   Transmission bitrate = [bl]384[/bl] kbit/s",
               "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0"}));
}

TEST(Ac3Analyser, SampleRatesInKilohertz) {
    AnalyserBench point;
    EXPECT_EQ(analyse(point, frames({ac3Header(1, 0x0A, 6, 1, 1)}))[1],
              "   Sampling frequency = [bl]44.1[/bl] kHz");
    AnalyserBench low;
    EXPECT_EQ(
        analyse(low, frames({ac3Header(2, 0x00, 8, 0, 0)})),
        (Lines{"   Stream 2 is [b]Dolby Digital[/b]", "   Sampling frequency = [bl]32[/bl] kHz",
               "   Transmission bitrate = [bl]32[/bl] kbit/s",
               "   Channel arrangement = [bl]dual mono[/bl], bsid = 8, bsmod =0"}));
}

TEST(Ac3Analyser, DolbyDigitalPlusFrame) {
    AnalyserBench bench;
    EXPECT_EQ(analyse(bench, frames({eac3Header(767, 0, 3, 7, 1, 16)}), 11),
              (Lines{"   Stream 11 is [b]Dolby Digital Plus[/b]",
                     "   frame size = 1536 bytes, number of blocks per frame = 6",
                     "   Sampling frequency = [bl]48[/bl] kHz",
                     "   Transmission bitrate = [bl]384[/bl] kbit/s",
                     "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 16",
                     "   LFE channel = [bl]present[/bl]"}));
    AnalyserBench oneBlock;
    const Lines lines = analyse(oneBlock, frames({eac3Header(127, 0, 0, 2, 0, 11)}));
    EXPECT_EQ(lines[1], "   frame size = 256 bytes, number of blocks per frame = 1");
    EXPECT_EQ(lines[3], "   Transmission bitrate = [bl]384[/bl] kbit/s");
    EXPECT_EQ(lines[5], "   LFE channel = [bl]not present[/bl]");
}

TEST(Ac3Analyser, SyntaxFollowsBsidNotTheSubStream) {
    AnalyserBench bench;
    EXPECT_EQ(analyse(bench, frames({ac3Header(0, 0x10, 6, 3, 2)}))[0],
              "   Stream 2 is [b]Dolby Digital[/b]");
    AnalyserBench plus;
    EXPECT_EQ(analyse(plus, frames({eac3Header(383, 0, 3, 2, 0, 16)}), 0)[0],
              "   Stream 0 is [b]Dolby Digital Plus[/b]");
    // bsid 10 and 17 are outside the Dolby Digital Plus range.
    for (int bsid : {10, 17}) {
        AnalyserBench other;
        EXPECT_EQ(analyse(other, frames({ac3Header(0, 0x10, bsid, 0, 2)}))[0],
                  "   Stream 2 is [b]Dolby Digital[/b]");
    }
}

TEST(Ac3Analyser, InvalidHeadersAreReportedAndTheNextOneToo) {
    AnalyserBench bench;
    const Lines lines =
        analyse(bench, frames({ac3Header(3, 0x1C, 8, 0, 7), ac3Header(0, 0x1C, 8, 0, 7),
                               ac3Header(0, 0x0A, 8, 0, 2)}));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "   Sampling frequency = [bl]0[/bl] kHz");
    EXPECT_EQ(lines[5], "   Sampling frequency = [bl]48[/bl] kHz");
    EXPECT_EQ(lines[7],
              "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0");

    // frmsizecod 38..63 lies beyond the bit-rate table: bit rate 0, disarmed.
    AnalyserBench beyond;
    const Lines invalid = analyse(
        beyond,
        frames({ac3Header(0, 38, 8, 0, 2), ac3Header(0, 63, 8, 0, 2), ac3Header(0, 37, 8, 0, 2)}));
    ASSERT_EQ(invalid.size(), 12u);
    EXPECT_EQ(invalid[2], "   Transmission bitrate = [bl]0[/bl] kbit/s");
    EXPECT_EQ(invalid[6], "   Transmission bitrate = [bl]0[/bl] kbit/s");
    EXPECT_EQ(invalid[10], "   Transmission bitrate = [bl]640[/bl] kbit/s");

    AnalyserBench plusZero;
    const Lines plus = analyse(
        plusZero, frames({eac3Header(767, 3, 3, 7, 1, 16), eac3Header(767, 0, 3, 7, 1, 16)}));
    EXPECT_EQ(plus.size(), 12u);
}

TEST(Ac3Analyser, SyncWordInsideAHeaderIsNotAHeaderByte) {
    // 0B 77 as crc1: not a restart, and the countdown does not advance on it.
    AnalyserBench bench;
    const Bytes payload = {0x0B, 0x77, 0x0B, 0x77, 0x00, 0x1C, 0x40, 0xE0, 0x00, 0x00};
    EXPECT_EQ(
        analyse(bench, payload),
        (Lines{"   Stream 2 is [b]Dolby Digital[/b]", "   Sampling frequency = [bl]48[/bl] kHz",
               "   Transmission bitrate = [bl]384[/bl] kbit/s",
               "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0"}));
}

TEST(Ac3Analyser, OneReportPerPayloadAndTheLastByteCounts) {
    AnalyserBench bench;
    EXPECT_EQ(
        analyse(bench, frames({ac3Header(0, 0x1C, 8, 0, 7), ac3Header(0, 0x1C, 8, 0, 7)})).size(),
        4u);
    // The fifth header byte is the last byte of the range.
    AnalyserBench edge;
    const Bytes header = ac3Header(0, 0x1C, 8, 0, 7);
    const int at = edge.place(header);
    logDescription(edge,
                   describeAC3(analyserInput(edge, at, int(header.size())), 0));
    EXPECT_EQ(edge.lines().size(), 4u);
    edge.clear();
    logDescription(edge,
                   describeAC3(analyserInput(edge, at, int(header.size()) - 1), 0));
    EXPECT_TRUE(edge.lines().empty());
}

} // namespace
} // namespace tarnwick::testing

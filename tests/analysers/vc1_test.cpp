#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Lines analyse(AnalyserBench& bench, const Vc1SequenceHeader& h, int slot = 0) {
    Bytes payload = {0x00, 0x00, 0x01, 0x0E, 0x12}; // an entry point stand-in first
    const Bytes header = vc1SequenceHeader(h);
    payload.insert(payload.end(), header.begin(), header.end());
    payload.insert(payload.end(), 32, 0x33);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeVC1(analyserInput(bench, at, int(payload.size()))), slot);
    return bench.lines();
}

std::string lineStarting(const Lines& lines, const std::string& start) {
    for (const std::string& l : lines)
        if (l.rfind(start, 0) == 0) return l;
    return "(none)";
}

TEST(Vc1Analyser, AdvancedProfileHeaderLines) {
    AnalyserBench bench;
    Vc1SequenceHeader h;
    h.psf = true;
    EXPECT_EQ(analyse(bench, h, 1),
              (Lines{"   Profile = Advanced", "   Level = 3", "   Chroma Format = [bl]4:2:0[/bl]",
                     "   Size = [bl]1920[/bl]x[bl]1080[/bl]", "  Progressive segmented frames.",
                     "   Display size = [bl]1920[/bl]x[bl]1080[/bl]",
                     "   Aspect ratio = [bl]1:1[/bl] (square samples)",
                     "   Frame Rate = [bl]23.976[/bl] (24000/1001)"}));
    EXPECT_DOUBLE_EQ(bench.frameRate[1], 24000.0 / 1001.0);
}

TEST(Vc1Analyser, FieldsAreReadWithoutTheEmulationPreventionBytes) {
    // A coded size of 2x4 makes the bytes 00 00 01 after the first two
    // header bytes, which the encoder writes as 00 00 03 01.
    AnalyserBench bench;
    Vc1SequenceHeader h;
    h.codedWidth = 0;
    h.codedHeight = 1;
    const Bytes escaped = vc1SequenceHeader(h);
    ASSERT_EQ(Bytes(escaped.begin() + 6, escaped.begin() + 10), (Bytes{0, 0, 3, 1}));
    const Lines lines = analyse(bench, h);
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]2[/bl]x[bl]4[/bl]");
    EXPECT_EQ(lineStarting(lines, "   Display size"),
              "   Display size = [bl]1920[/bl]x[bl]1080[/bl]");
    EXPECT_EQ(lines.back(), "   Frame Rate = [bl]23.976[/bl] (24000/1001)");
}

TEST(Vc1Analyser, ReservedProfileLevelAndChroma) {
    AnalyserBench bench;
    Vc1SequenceHeader h;
    h.profile = 1;
    h.level = 5;
    h.chroma = 2;
    h.displayExtension = false;
    EXPECT_EQ(analyse(bench, h),
              (Lines{"   Profile = Reserved", "   Level = Reserved", "   Chroma Format = Reserved",
                     "   Size = [bl]1920[/bl]x[bl]1080[/bl]"}));
    EXPECT_EQ(bench.frameRate[0], 0.0);
}

TEST(Vc1Analyser, FrameRateFromNumeratorAndDenominator) {
    struct Case {
        int nr, dr;
        bool pulldown;
        std::string line;
        double rate;
    };
    const Case cases[] = {
        {2, 1, false, "   Frame Rate = [bl]25[/bl] (25000/1000)", 25.0},
        {3, 2, true, "   Frame Rate = [bl]23.976[/bl] (24000/1001)", 24000.0 / 1001.0},
        {3, 2, false, "   Frame Rate = [bl]29.97[/bl] (30000/1001)", 30000.0 / 1001.0},
        {5, 2, true, "   Frame Rate = [bl]59.94[/bl] (60000/1001)", 60000.0 / 1001.0},
        {7, 1, false, "   Frame Rate = [bl]72[/bl] (72000/1000)", 72.0},
    };
    for (const Case& c : cases) {
        AnalyserBench bench;
        Vc1SequenceHeader h;
        h.frameRateNr = c.nr;
        h.frameRateDr = c.dr;
        h.pulldown = c.pulldown;
        const Lines lines = analyse(bench, h);
        EXPECT_EQ(lines.back(), c.line);
        EXPECT_EQ(bench.frameRate[0], c.rate);
    }
}

TEST(Vc1Analyser, ForbiddenAndReservedFrameRateCodes) {
    AnalyserBench reserved;
    Vc1SequenceHeader h;
    h.frameRateNr = 200;
    h.frameRateDr = 4;
    Lines lines = analyse(reserved, h);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"   Reserved Frame Rate!", "   Reserved Frame Rate!",
                     "   Frame Rate = [bl]50[/bl] (200/4)"}));
    EXPECT_EQ(reserved.frameRate[0], 50.0);

    // A forbidden denominator forms no rate: no line, the slot keeps its rate.
    AnalyserBench forbidden;
    forbidden.frameRate[0] = 12.5;
    h.frameRateNr = 2;
    h.frameRateDr = 0;
    lines = analyse(forbidden, h);
    EXPECT_EQ(lines.back(), "   Forbidden Frame Rate!");
    EXPECT_EQ(lineStarting(lines, "   Frame Rate"), "(none)");
    EXPECT_EQ(forbidden.frameRate[0], 12.5);

    AnalyserBench zeroNumerator;
    h.frameRateNr = 0;
    h.frameRateDr = 1;
    lines = analyse(zeroNumerator, h);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"   Forbidden Frame Rate!", "   Frame Rate = [bl]0[/bl] (0/1000)"}));
}

TEST(Vc1Analyser, FrameRateExponentAndAspectRatios) {
    AnalyserBench bench;
    Vc1SequenceHeader h;
    h.frameRateExp = 767;
    h.aspectRatio = 14; // reserved in VC-1, a label of the shared table
    h.codedWidth = 959;
    h.codedHeight = 539;
    const Lines lines = analyse(bench, h);
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    EXPECT_EQ(lineStarting(lines, "   Aspect"), "   Aspect ratio = [bl]4:3[/bl]");
    EXPECT_EQ(lines.back(), "   Frame Rate = [bl]24[/bl]");
    EXPECT_EQ(bench.frameRate[0], 24.0);

    AnalyserBench custom;
    h.aspectRatio = 15;
    h.aspectHorizontal = 64;
    h.aspectVertical = 45;
    h.frameRateExp = 799; // 25 fps
    const Lines customLines = analyse(custom, h);
    EXPECT_EQ(lineStarting(customLines, "   Aspect"), "   Aspect ratio = 64:45");
    EXPECT_EQ(custom.frameRate[0], 25.0);
}

TEST(Vc1Analyser, MissingStartCodeReadsFromWhereTheSearchStopped) {
    AnalyserBench bench;
    const Bytes payload(40, 0x00);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeVC1(analyserInput(bench, at, int(payload.size()))), 0);
    EXPECT_EQ(bench.lines(),
              (Lines{"   Profile = Reserved", "   Level = 0", "   Chroma Format = Reserved",
                     "   Size = [bl]2[/bl]x[bl]2[/bl]"}));
}

} // namespace
} // namespace tarnwick::testing

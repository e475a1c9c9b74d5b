#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    out.insert(out.end(), 64, 0x55); // slice data stand-in
    return out;
}

Lines analyse(AnalyserBench& bench, const Bytes& payload, int slot = 0, uint32_t pts = 110000) {
    const int at = bench.place(payload);
    logDescription(bench,
                   describeMPEG2(analyserInput(bench, at, int(payload.size())), pts),
                   slot);
    return bench.lines();
}

TEST(Mpeg2Analyser, SequenceHeaderAndExtensionLinesInStreamOrder) {
    AnalyserBench bench;
    const Bytes payload = join({sequenceHeader({}), sequenceExtension(true), gopHeader(),
                                picture(1), pictureCodingExtension()});
    EXPECT_EQ(
        analyse(bench, payload, 1),
        (Lines{"   Sequence Header found", "   size = [bl]720[/bl]x[bl]576[/bl]",
               "   Aspect ratio = [bl]16:9[/bl]", "   Frame rate = [bl]25[/bl] fps",
               "  Sequence header bitrate = [bl]6000[/bl] kbps", "   Progressive Sequence = 1"}));
    EXPECT_EQ(bench.frameRate[1], 25.0);
    EXPECT_EQ(bench.frameRate[0], 0.0);

    AnalyserBench interlaced;
    const Lines lines = analyse(interlaced, join({sequenceHeader({}), sequenceExtension(false)}));
    EXPECT_EQ(lines.back(), "   Progressive Sequence = 0");
}

TEST(Mpeg2Analyser, PicturesBeforeTheFirstSequenceHeaderAreCounted) {
    AnalyserBench bench;
    const Bytes payload =
        join({picture(2), pictureCodingExtension(), picture(3), pictureCodingExtension(),
              sequenceHeader({}), sequenceExtension(true)});
    const Lines lines = analyse(bench, payload);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "   Sequence Header found");
    EXPECT_EQ(lines[1], "   2 frames before first Sequence Header");
}

TEST(Mpeg2Analyser, FrameRateCodesAndTheRatesStored) {
    struct Case {
        int code;
        std::string line;
        double rate;
    };
    const Case cases[] = {
        {0, "   Frame rate = forbidden", 1.0},
        {1, "   Frame rate = [bl]23.976[/bl] fps", 24000.0 / 1001.0},
        {4, "   Frame rate = [bl]29.97[/bl] fps", 30000.0 / 1001.0},
        {7, "   Frame rate = [bl]59.94[/bl] fps", 60000.0 / 1001.0},
        {8, "   Frame rate = [bl]60[/bl] fps", 60.0},
        {9, "   Frame rate = reserved", 1.0},
        {15, "   Frame rate = reserved", 1.0},
    };
    for (const Case& c : cases) {
        AnalyserBench bench;
        SequenceHeader s;
        s.frameRateCode = c.code;
        const Lines lines = analyse(bench, join({sequenceHeader(s)}));
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[3], c.line);
        EXPECT_EQ(bench.frameRate[0], c.rate) << c.code;
    }
    EXPECT_NEAR(60000.0 / 1001.0, 59.94005994, 1e-8);
}

TEST(Mpeg2Analyser, AspectRatioAndTheLargestBitRate) {
    const std::pair<int, std::string> aspects[] = {
        {0, "   Aspect ratio = forbidden"},
        {1, "   Aspect ratio = [bl]1:1[/bl] (square samples)"},
        {2, "   Aspect ratio = [bl]4:3[/bl]"},
        {4, "   Aspect ratio = [bl]2.21:1[/bl]"},
        {5, "   Aspect ratio = reserved"}};
    for (const auto& [code, line] : aspects) {
        AnalyserBench bench;
        SequenceHeader s;
        s.aspect = code;
        s.bitRateValue = 0x3FFFF;
        s.width = 1920;
        s.height = 1080;
        const Lines lines = analyse(bench, join({sequenceHeader(s)}));
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[1], "   size = [bl]1920[/bl]x[bl]1080[/bl]");
        EXPECT_EQ(lines[2], line);
        EXPECT_EQ(lines[4], "  Sequence header bitrate = [bl]104857[/bl] kbps");
    }
}

TEST(Mpeg2Analyser, IllegalPictureCodingTypes) {
    AnalyserBench bench;
    const Lines lines = analyse(
        bench, join({picture(1), picture(2), picture(3), picture(4), picture(0), picture(7)}));
    EXPECT_EQ(lines,
              (Lines{"   illegal picture_coding_type = 4", "   illegal picture_coding_type = 0",
                     "   illegal picture_coding_type = 7"}));
}

TEST(Mpeg2Analyser, FirstVideoPtsNeedsASecondPictureAfterTheSequenceHeader) {
    AnalyserBench one;
    const Lines single = analyse(one, join({sequenceHeader({}), sequenceExtension(true), picture(1),
                                            pictureCodingExtension()}));
    EXPECT_EQ(single.back(), "   Progressive Sequence = 1");

    AnalyserBench two;
    const Lines lines =
        analyse(two, join({sequenceHeader({}), sequenceExtension(true), picture(1),
                           pictureCodingExtension(), picture(2), pictureCodingExtension(),
                           picture(3), pictureCodingExtension()}));
    EXPECT_EQ(lines.back(), "   First Video PTS = 0001ADB0");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), lines.back()), 1);
}

TEST(Mpeg2Analyser, OnlyTheFirstSequenceHeaderIsReportedOnce) {
    // Headers repeated before the first extension report their fields again;
    // after it they are quiet. A payload without any header leaves the rate.
    AnalyserBench bench;
    SequenceHeader second;
    second.frameRateCode = 2;
    const Lines lines =
        analyse(bench, join({sequenceHeader({}), sequenceHeader(second), sequenceExtension(true),
                             sequenceHeader({}), sequenceExtension(false)}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "   Sequence Header found"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "   size = [bl]720[/bl]x[bl]576[/bl]"), 2);
    EXPECT_EQ(lines.back(), "   Progressive Sequence = 1");
    EXPECT_EQ(bench.frameRate[0], 24.0);

    AnalyserBench none;
    none.frameRate[0] = 50.0;
    EXPECT_TRUE(analyse(none, join({gopHeader(), picture(1)})).empty());
    EXPECT_EQ(none.frameRate[0], 50.0);
}

TEST(Mpeg2Analyser, RangeEndingInsideTheHeaderStopsThere) {
    AnalyserBench bench;
    const Bytes payload = sequenceHeader({});
    const int at = bench.place(payload);
    logDescription(bench, describeMPEG2(analyserInput(bench, at, 7), 0),
                   0); // start code and bytes 1..3
    EXPECT_EQ(bench.lines(),
              (Lines{"   Sequence Header found", "   size = [bl]720[/bl]x[bl]576[/bl]"}));
    EXPECT_EQ(bench.frameRate[0], 0.0);
}

} // namespace
} // namespace tarnwick::testing

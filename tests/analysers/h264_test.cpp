#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

#include <optional>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Lines analyse(AnalyserBench& bench, const Sps& s, int slot = 0) {
    Bytes payload = {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0}; // access unit delimiter
    const Bytes header = sps(s);
    payload.insert(payload.end(), header.begin(), header.end());
    const Bytes pps = {0x00, 0x00, 0x00, 0x01, 0x68, 0xEB, 0xE3, 0xCB, 0x22, 0xC0};
    payload.insert(payload.end(), pps.begin(), pps.end());
    const int at = bench.place(payload);
    logDescription(bench,
                   describeH264(analyserInput(bench, at, int(payload.size()))),
                   slot);
    return bench.lines();
}

std::string lineStarting(const Lines& lines, const std::string& start) {
    for (const std::string& l : lines)
        if (l.rfind(start, 0) == 0) return l;
    return "(none)";
}

TEST(H264Analyser, HighProfileSequenceParameterSet) {
    AnalyserBench bench;
    Sps s;
    s.videoFormat = 2;
    EXPECT_EQ(analyse(bench, s, 1),
              (Lines{"   Profile = High", "   Level = 4.1",
                     "   Chroma format = [bl]4:2:0[/bl]  (l, c) = 8, 8 bit",
                     "   Size = [bl]1920[/bl]x[bl]1080[/bl]",
                     "   Aspect ratio = [bl]1:1[/bl] (square samples)", "   Video format = NTSC",
                     "   Time scale = 0 MHz", "   Frame rate = 23.976 fps"}));
    EXPECT_DOUBLE_EQ(bench.frameRate[1], 24000.0 / 1001.0);
}

TEST(H264Analyser, FieldCodedAndMainProfilePicturesAreCropped) {
    AnalyserBench fields;
    Sps s;
    s.heightMapUnits = 34;
    s.frameMbsOnly = false;
    s.cropBottom = 2;
    EXPECT_EQ(lineStarting(analyse(fields, s), "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");

    AnalyserBench main;
    Sps m;
    m.profile = 77;
    m.level = 40;
    const Lines lines = analyse(main, m);
    EXPECT_EQ(lines[0], "   Profile = Main");
    EXPECT_EQ(lines[1], "   Level = 4.0");
    EXPECT_EQ(lineStarting(lines, "   Chroma"), "(none)");
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");

    // 4:2:2 and monochrome count the cropped lines one to one.
    AnalyserBench bench422;
    Sps c;
    c.profile = 122;
    c.chromaFormat = 2;
    c.lumaMinus8 = 2;
    c.chromaMinus8 = 2;
    c.cropBottom = 8;
    const Lines chroma422 = analyse(bench422, c);
    EXPECT_EQ(lineStarting(chroma422, "   Chroma"),
              "   Chroma format = [bl]4:2:2[/bl]  (l, c) = 10, 10 bit");
    EXPECT_EQ(lineStarting(chroma422, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    AnalyserBench mono;
    c.chromaFormat = 0;
    EXPECT_EQ(lineStarting(analyse(mono, c), "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
}

TEST(H264Analyser, ProfilesThatCarryTheChromaFields) {
    const std::pair<int, std::string> cases[] = {{44, "   Profile = Unknown"},
                                                 {110, "   Profile = High 10"},
                                                 {144, "   Profile = High 4:4:4"},
                                                 {244, "   Profile = Unknown"}};
    for (const auto& [profile, line] : cases) {
        AnalyserBench bench;
        Sps s;
        s.profile = profile;
        const Lines lines = analyse(bench, s);
        EXPECT_EQ(lines[0], line);
        EXPECT_EQ(lines[2], "   Chroma format = [bl]4:2:0[/bl]  (l, c) = 8, 8 bit") << profile;
        EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    }
    AnalyserBench baseline;
    Sps b;
    b.profile = 66;
    const Lines lines = analyse(baseline, b);
    EXPECT_EQ(lines[0], "   Profile = Baseline ");
    EXPECT_EQ(lineStarting(lines, "   Chroma"), "(none)");
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
}

TEST(H264Analyser, LevelOneB) {
    AnalyserBench oneB;
    Sps s;
    s.profile = 66;
    s.level = 11;
    s.constraintSet3 = true;
    EXPECT_EQ(analyse(oneB, s)[1], "   Level = 1b");
    AnalyserBench oneOne;
    s.constraintSet3 = false;
    EXPECT_EQ(analyse(oneOne, s)[1], "   Level = 1.1");
    AnalyserBench low;
    s.level = 9;
    EXPECT_EQ(analyse(low, s)[1], "   Level = 0.9");
}

TEST(H264Analyser, ScalingListsAreSkippedSoLaterFieldsReadRight) {
    // Lists of 16 and 64 entries, full ones and ones that end early.
    AnalyserBench bench;
    Sps s;
    s.scalingLists = {16, -1, 5, -1, -1, 16, 64, 3};
    EXPECT_EQ(lineStarting(analyse(bench, s), "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    // 4:4:4 has twelve list flags.
    AnalyserBench chroma444;
    s.profile = 244;
    s.chromaFormat = 3;
    s.cropBottom = 8; // 4:4:4 crops in whole lines
    s.scalingLists = {-1, -1, -1, -1, -1, -1, -1, -1, 64, -1, -1, 2};
    const Lines lines = analyse(chroma444, s);
    EXPECT_EQ(lineStarting(lines, "   Chroma"),
              "   Chroma format = [bl]4:4:4[/bl]  (l, c) = 8, 8 bit");
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    EXPECT_EQ(lines.back(), "   Frame rate = 23.976 fps");
}

TEST(H264Analyser, PictureOrderCountTypes) {
    for (int type : {1, 2}) {
        AnalyserBench bench;
        Sps s;
        s.pocType = type;
        EXPECT_EQ(lineStarting(analyse(bench, s), "   Size"),
                  "   Size = [bl]1920[/bl]x[bl]1080[/bl]")
            << type;
    }
}

TEST(H264Analyser, TimingAspectRatioAndTheStoredRate) {
    AnalyserBench pal;
    Sps s;
    s.timing = std::make_pair(1u, 50u);
    s.aspectIdc = 255;
    s.sarWidth = 4;
    s.sarHeight = 3;
    Lines lines = analyse(pal, s);
    EXPECT_EQ(lineStarting(lines, "   Aspect"), "   Aspect ratio = 4:3");
    EXPECT_EQ(lines.back(), "   Frame rate = 25 fps");
    EXPECT_DOUBLE_EQ(pal.frameRate[0], 24000.0 / 1001.0);

    AnalyserBench big;
    s.aspectIdc = 100; // reserved: no line
    s.timing = std::make_pair(1001u, 120000000u);
    lines = analyse(big, s);
    EXPECT_EQ(lineStarting(lines, "   Aspect"), "(none)");
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"   Time scale = 120 MHz", "   Frame rate = 59940.06 fps"}));

    // A tick of 0 forms no rate.
    AnalyserBench zero;
    s.timing = std::make_pair(0u, 48000u);
    lines = analyse(zero, s);
    EXPECT_EQ(lines.back(), "   Time scale = 0 MHz");
}

TEST(H264Analyser, FieldsAreReadWithoutTheEmulationPreventionBytes) {
    // Widths of different code lengths, with and without the 29 bits of the
    // video signal type, move the timing fields across the byte alignments;
    // where 1001 or 48000 meet one, the encoder escapes it.
    int escaped = 0;
    for (bool signalType : {false, true}) {
        for (int widthMbs : {1, 2, 4, 8, 16, 32, 64, 120}) {
            Sps s;
            s.videoFormat = signalType ? 5 : -1;
            s.widthMbs = widthMbs;
            escaped += sps(s).size() > spsBits(s).size();
            AnalyserBench bench;
            const Lines lines = analyse(bench, s);
            EXPECT_EQ(lineStarting(lines, "   Size"),
                      "   Size = [bl]" + std::to_string(widthMbs * 16) + "[/bl]x[bl]1080[/bl]")
                << widthMbs << signalType;
            EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
                      (Lines{"   Time scale = 0 MHz", "   Frame rate = 23.976 fps"}))
                << widthMbs << signalType;
        }
    }
    EXPECT_GT(escaped, 0);
}

TEST(H264Analyser, InvalidChromaFormatHasNoNameAndNoDivision) {
    AnalyserBench bench;
    Sps s;
    s.chromaFormat = 7;
    s.cropBottom = 4;
    const Lines lines = analyse(bench, s);
    EXPECT_EQ(lineStarting(lines, "   Chroma"), "   Chroma format = [bl][/bl]  (l, c) = 8, 8 bit");
    EXPECT_EQ(lineStarting(lines, "   Size"), "   Size = [bl]1920[/bl]x[bl]1084[/bl]");
}

TEST(H264Analyser, NoParameterSetStillSetsTheRate) {
    AnalyserBench bench;
    bench.frameRate[0] = 25.0;
    const Bytes payload(64, 0xFF);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeH264(analyserInput(bench, at, int(payload.size()))), 0);
    EXPECT_DOUBLE_EQ(bench.frameRate[0], 24000.0 / 1001.0);
    ASSERT_FALSE(bench.lines().empty());
    EXPECT_EQ(bench.lines()[0], "   Profile = Unknown");
}

} // namespace
} // namespace tarnwick::testing

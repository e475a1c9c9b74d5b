#include "commands/read_evo.h"
#include "commands/stream_kinds.h"
#include "log/log_line.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

const std::string Sample1 = std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO";

// The command's and the engine's lines, without the analysers' details.
std::vector<std::string> commandLines(const TestSession& t) {
    std::vector<std::string> out;
    for (const std::string& line : t.visibleLines()) {
        const bool detail = line.rfind("   ", 0) == 0 && line.rfind("   First PTS", 0) != 0 &&
                            line.rfind("   Substream id", 0) != 0;
        if (!detail) out.push_back(line);
    }
    return out;
}

TEST(ReadEvo, SampleFeatureIsReadAsOneTitle) {
    TestSession t;
    t.chooseSource(Sample1);
    t.window.buttons.bReadXPL = true;
    ASSERT_TRUE(bReadEVOClick(t.session));
    const std::vector<std::string> expected = {
        "Opening file FEATURE_1.EVO",
        "Reading...",
        "File size: 0 Mbytes.",
        "It contains 1 video stream and 2 audio streams.",
        "VOB number 1 contains 1 video , 2 audio and 1 subpicture streams.",
        "PTM of first video frame = 00015F90",
        "PTM of last video frame = 000412E0",
        "Duration = 0:00:01.966",
        "H.264 (AVC) video stream 0 found!",
        "   First PTS = 00015F90",
        "   Substream id = E2",
        "Dolby Digital audio stream 0 found!",
        "   First PTS = 00015F90",
        "   Substream id = 80",
        "Dolby Digital Plus audio stream 3 found!",
        "   First PTS = 00015F90",
        "   Substream id = C3",
        "Subpicture stream 0 found!",
        "   First PTS = 00020F58  (+500ms)",
        "   Substream id = 20",
        "",
        "Continue on FEATURE_2.EVO",
        "Reading...",
        "It contains 1 video stream and 2 audio streams.",
        "VOB number 1 contains 1 video , 2 audio and 1 subpicture streams.",
        "PTM of first video frame = 000412E1",
        "PTM of last video frame = 0006DDCF",
        "Duration = 0:00:02.034",
        "H.264 (AVC) video stream 0 found!",
        "   First PTS = 000412E1  (+1966ms)",
        "   Substream id = E2",
        "Dolby Digital audio stream 0 found!",
        "   First PTS = 00042450  (+2016ms)",
        "   Substream id = 80",
        "Dolby Digital Plus audio stream 3 found!",
        "   First PTS = 00042450  (+2016ms)",
        "   Substream id = C3",
        "Subpicture stream 0 found!",
        "   First PTS = 0004F1A0  (+2600ms)",
        "   Substream id = 20",
        // FEATURE_2.EVO starts, as a feature's second part does, at an IDR
        // picture with its parameter sets: its video is described at once.
        "Done.",
        "",
    };
    std::vector<std::string> lines = commandLines(t);
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + long(expected.size())),
              expected);
    // The frame summary follows: 96 frames counted over both files.
    EXPECT_EQ(lines[expected.size()].substr(0, 17), "96 counted frames");

    const WindowState& w = t.window;
    EXPECT_EQ(w.paths.EVObase, "FEATURE_1_FEATURE_2");
    EXPECT_EQ(w.boxes.cbVideo[0].caption, "H.264.stream.0");
    EXPECT_EQ(w.boxes.cbAudio[0].caption, "DD.stream.00");
    EXPECT_EQ(w.boxes.cbAudio[3].caption, "DD+.stream.03");
    EXPECT_EQ(w.boxes.cbSub[0].caption, "Subpicture.00");
    EXPECT_TRUE(w.boxes.cbAudio[3].ticked && w.boxes.cbAudio[3].enabled);
    EXPECT_FALSE(w.boxes.cbAudio[1].enabled);
    EXPECT_EQ(w.boxes.cbAudio[1].caption, "No audio stream");
    EXPECT_EQ(w.boxes.cbVideo[1].caption, "No video stream");
    EXPECT_TRUE(w.buttons.bReadEVO && w.buttons.bReadXPL && w.buttons.bDemux && w.buttons.bRebuild);
    EXPECT_TRUE(w.buttons.bbEVO && w.buttons.bbXPL);
    EXPECT_FALSE(w.buttons.bCancel);
    EXPECT_EQ(t.sink.panels[0], "Ready");
    EXPECT_EQ(t.sink.panels[1], "");
    const ScanReport& scan = t.scan();
    ASSERT_EQ(scan.clips.size(), 2u);
    EXPECT_EQ(scan.clips[0].dsi->firstVideoPtm, 0x15F90u);
    EXPECT_EQ(scan.clips[1].dsi->lastVideoPtm, 0x6DDCFu);
    EXPECT_EQ(scan.minFirstPts, 0x15F90u);
    EXPECT_EQ(scan.video[0].countedFrames, 96);
}

TEST(ReadEvo, WithoutContinueOnlyTheFirstFileAndNoTotal) {
    TestSession t;
    t.chooseSource(Sample1);
    t.window.options.cbContinue = false;
    ASSERT_TRUE(bReadEVOClick(t.session));
    EXPECT_EQ(t.window.paths.EVObase, "FEATURE_1");
    ASSERT_GT(t.scan().frameRates[0], 0) << "the H.264 analyser gives the frame rate";
    const auto lines = commandLines(t);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Continue on FEATURE_2.EVO"), 0);
    for (const auto& line : lines) {
        if (line.find("calculated frames") != std::string::npos) {
            EXPECT_EQ(line.find('('), std::string::npos) << line;
        }
    }
}

TEST(ReadEvo, NoStreamsLeavesEveryBoxAndDemuxDisabled) {
    TestSession t;
    const std::string path = scratchFolder("nostreams") + "EMPTY.EVO";
    writeFile(path, Bytes(5000, 0xFF));
    t.chooseSource(path);
    ASSERT_TRUE(bReadEVOClick(t.session));
    for (const auto& box : t.window.boxes.cbAudio)
        EXPECT_FALSE(box.enabled || box.ticked);
    EXPECT_FALSE(t.window.buttons.bDemux);
    EXPECT_FALSE(t.window.buttons.bRebuild);
    EXPECT_EQ(commandLines(t), (std::vector<std::string>{"Opening file EMPTY.EVO", "Reading...",
                                                         "File size: 0 Mbytes.", "Done.", ""}));
}

TEST(ReadEvo, AFileThatCannotBeOpenedGivesTheSystemsMessage) {
    TestSession t;
    t.chooseSource("/nonexistent/FEATURE_1.EVO");
    t.window.buttons.bReadXPL = true;
    EXPECT_FALSE(bReadEVOClick(t.session));
    ASSERT_EQ(t.ui.errors.size(), 1u);
    EXPECT_NE(t.ui.errors[0].find("No such file or directory"), std::string::npos);
    // The window stays usable.
    EXPECT_TRUE(t.window.buttons.bReadEVO && t.window.buttons.bReadXPL && t.window.buttons.bbEVO);
    EXPECT_EQ(commandLines(t), (std::vector<std::string>{"Opening file FEATURE_1.EVO"}));
}

TEST(ReadEvo, CancelInTheFirstFileSkipsTheSecondButKeepsTheTotal) {
    const std::string folder = scratchFolder("cancelled");
    PackWriter w;
    NavigationPackInfo nav;
    nav.firstPtm = 90000;
    nav.lastPtm = 90000 + 90000 * 10;
    w.navigation(nav);
    // An MPEG-2 sequence header (1280x720, 25 fps) so that the frame rate is known.
    PesHeader h;
    h.pts = 90000;
    w.pack(pesPacket(
        0xE0, h,
        {0, 0, 1, 0xB3, 0x50, 0x02, 0xD0, 0x13, 0xFF, 0xFF, 0xE0, 0x18, 0, 0, 1, 0, 0, 0}));
    const Bytes data(PackWriter::payloadRoom({}, 0), 0x22);
    while (w.bytes().size() < 6u * 1048576)
        w.pack(pesPacket(0xE0, {}, data));
    writeFile(folder + "FEATURE_1.EVO", w.bytes());
    writeFile(folder + "FEATURE_2.EVO", w.bytes());
    TestSession t;
    t.chooseSource(folder + "FEATURE_1.EVO");
    t.window.options.cbFastCheck = false;
    t.ui.onPump = [&] { bCancelClick(t.session); };
    ASSERT_TRUE(bReadEVOClick(t.session));
    const auto lines = commandLines(t);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Continue on FEATURE_2.EVO"), 0);
    EXPECT_EQ(t.scan().video[0].countedFrames, 0);
    EXPECT_EQ(t.window.paths.EVObase, "FEATURE_1_FEATURE_2");
    ASSERT_GT(t.scan().frameRates[0], 0) << "the MPEG-2 analyser gives the frame rate";
    EXPECT_EQ(lines.back(), "250 calculated frames (0:00:10:000) in video stream 0.");
}

TEST(ReadEvo, CaptionsFollowTheIdentifiers) {
    EXPECT_EQ(videoCaption(0x56, 1), "VC-1.stream.1");
    EXPECT_EQ(audioCaption(0x42, 2), ".02"); // an identifier of no known kind
    EXPECT_EQ(audioCaption(0xB5, 5), "MLP.stream.05");
    EXPECT_EQ(subpictureCaption(0x7F, 31), "Ext.Subpicture.31");
    // The window's boxes take the captions of the streams found.
    ScanReport scan;
    scan.subpicture[31].id = 0x7F;
    scan.subpicture[31].caption = subpictureCaption(0x7F, 31);
    TestSession t;
    fillStreamBoxes(t.window.boxes, scan);
    EXPECT_EQ(t.window.boxes.cbSub[31].caption, "Ext.Subpicture.31");
    EXPECT_TRUE(t.window.boxes.cbSub[31].ticked);
    EXPECT_FALSE(t.window.boxes.cbSub[30].enabled);
}

} // namespace
} // namespace tarnwick

#include "window/stream_boxes.h"
#include "window/window_state.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(StreamSelection, ResetGivesResetCaptionsAndDisablesDemux) {
    WindowState w;
    EXPECT_EQ(w.boxes.cbVideo[0].caption, "Video stream"); // the layout's caption
    w.boxes.cbAudio[3] = {true, true, "DD+.stream.03", ""};
    w.buttons.bDemux = true;
    Resetcbs(w);
    for (const auto& box : w.boxes.cbVideo)
        EXPECT_EQ(box.caption, "No video stream");
    for (const auto& box : w.boxes.cbAudio) {
        EXPECT_EQ(box.caption, "No audio stream");
        EXPECT_FALSE(box.ticked);
        EXPECT_FALSE(box.enabled);
    }
    for (const auto& box : w.boxes.cbSub) {
        EXPECT_EQ(box.caption, "No subpicture");
        EXPECT_EQ(box.hint, "Check the desired subpicture streams");
    }
    EXPECT_FALSE(w.buttons.bDemux);
}

TEST(StreamSelection, RebuildFollowsDemuxForEvoSourcesOnly) {
    WindowState w;
    w.eEVOfile = "/d/FEATURE_1.EVO";
    Resetcbs(w);
    w.boxes.cbAudio[0].ticked = true;
    cbVideoClick(w);
    EXPECT_TRUE(w.buttons.bDemux);
    EXPECT_TRUE(w.buttons.bRebuild);
    w.boxes.cbAudio[0].ticked = false;
    cbVideoClick(w);
    EXPECT_FALSE(w.buttons.bDemux);
    EXPECT_FALSE(w.buttons.bRebuild);

    WindowState v;
    v.eEVOfile = "/d/vts_01_1.vob";
    Resetcbs(v);
    v.boxes.cbVideo[0].ticked = true;
    cbVideoClick(v);
    EXPECT_TRUE(v.buttons.bDemux);
    EXPECT_FALSE(v.buttons.bRebuild);

    WindowState last;
    Resetcbs(last);
    last.boxes.cbSub[31].ticked = true;
    cbVideoClick(last);
    EXPECT_TRUE(last.buttons.bDemux);
}

TEST(Options, DefaultsOfTheOptionsPage) {
    const Options o;
    EXPECT_EQ(o.eVideoExt, "mpv");
    EXPECT_EQ(o.eAudioExt, "mpa");
    EXPECT_EQ(o.eSubExt, "sup");
    EXPECT_EQ(o.eWorkdir, "");
    EXPECT_TRUE(o.cbContinue && o.cbFastCheck && o.cbCountFr && o.cbDetails && o.cbAutoRead);
    EXPECT_FALSE(o.cbRBAdvanced);
    EXPECT_EQ(intEditValue(o.ieFastSize), 300);
    EXPECT_EQ(autoStep(o), AutoStep::None);
    Options p;
    selectAutoStep(p, AutoStep::Demux);
    EXPECT_TRUE(p.rbAutoDemux);
    EXPECT_FALSE(p.rbNoAuto || p.rbAutoRebuild);
}

TEST(Options, IntegerFieldReadsNumbersOrZero) {
    EXPECT_EQ(intEditValue("300"), 300);
    EXPECT_EQ(intEditValue("+7"), 7);
    EXPECT_EQ(intEditValue("-12"), -12);
    EXPECT_EQ(intEditValue(""), 0);
    EXPECT_EQ(intEditValue("-"), 0);
    EXPECT_EQ(intEditValue("1-2"), 0);
    EXPECT_EQ(intEditValue("2147483647"), 2147483647);
    EXPECT_EQ(intEditValue("2147483648"), 0);
    EXPECT_EQ(intEditValue("99999999999999999999999"), 0);
    for (char key : std::string("0123456789+-\b\r"))
        EXPECT_TRUE(intEditAccepts(key));
    for (char key : std::string("aZ .,"))
        EXPECT_FALSE(intEditAccepts(key));
}

} // namespace
} // namespace tarnwick

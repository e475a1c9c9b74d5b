#include "playlist/playlist_text.h"
#include "playlist/read_xpl.h"
#include "support/shared_samples.h"
#include "support/written_playlists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(ReadXpl, RetailPlaylistShowsTheFeatureTitleItsStreamsAndChapters) {
    if (const std::string missing = missingSharedSample("xpl/VPLST002.XPL"); !missing.empty())
        GTEST_SKIP() << missing;
    XplSession t("xpl_retail");
    ASSERT_TRUE(t.readFile(sharedSamplePath("xpl/VPLST002.XPL")));
    EXPECT_EQ(t.visibleLines(),
              (Lines{"Open VPLST002.XPL", "Filesize: 3212 bytes", "VC-1.s0 found!",
                     "DD+.s00.English 5.1 found!", "8bitRLC.s00.English found!", "Done.", ""}));
    const PlaylistView& view = t.window.playlist;
    Lines tree = {"Info",
                  "Info/Name: Main Movie",
                  "Info/Duration: 01:43:53:24",
                  "Info/TimeBase: 60fps",
                  "Info/TickBase: 24fps",
                  "Video",
                  "Video/VC-1.s0",
                  "Audio",
                  "Audio/DD+.s00.English 5.1",
                  "Subtitle",
                  "Subtitle/8bitRLC.s00.English",
                  "Chapter"};
    const char* begins[] = {"00:00:00:00", "00:05:24:57", "00:18:27:07", "00:30:36:30",
                            "00:39:46:05", "01:03:21:10", "01:09:49:30", "01:19:54:30",
                            "01:29:31:45", "01:36:01:12"};
    for (int k = 0; k < 10; ++k)
        tree.push_back("Chapter/Chapter " + std::string(k < 9 ? " " : "") + std::to_string(k + 1) +
                       ": " + begins[k]);
    EXPECT_EQ(treeLines(view), tree);

    ASSERT_EQ(view.mChapter.size(), 20u);
    EXPECT_EQ(view.mChapter[0], "CHAPTER01=00:00:00.000");
    EXPECT_EQ(view.mChapter[1], "CHAPTER01NAME=Chapter  1");
    EXPECT_EQ(view.mChapter[2], "CHAPTER02=00:05:24.950");
    EXPECT_EQ(view.mChapter[4], "CHAPTER03=00:18:27.116");
    EXPECT_EQ(view.mChapter[16], "CHAPTER09=01:29:31.750");
    EXPECT_EQ(view.mChapter[18], "CHAPTER10=01:36:01.200");
    EXPECT_EQ(view.mChapter[19], "CHAPTER10NAME=Chapter 10");

    // The memo holds just the title element, as indented by the scanner.
    ASSERT_EQ(view.mXPL.size(), 28u);
    EXPECT_EQ(view.mXPL.front().substr(0, 35), "    <Title titleNumber=\"1\" titleDur");
    EXPECT_EQ(view.mXPL[2], "        <Video track=\"1\" mediaAttr=\"1\"/>");
    EXPECT_EQ(view.mXPL.back(), "    </Title>");

    const StreamBoxes& b = t.window.boxes;
    EXPECT_TRUE(b.cbVideo[0].enabled && b.cbVideo[0].ticked);
    EXPECT_EQ(b.cbVideo[0].caption, "VC-1.s0");
    EXPECT_EQ(b.cbAudio[0].caption, "DD+.s00.English 5.1");
    EXPECT_EQ(b.cbAudio[0].hint, "DD+.s00.English 5.1");
    EXPECT_TRUE(b.cbSub[0].ticked);
    EXPECT_EQ(b.cbSub[0].hint, "8bitRLC.s00.English");
    EXPECT_FALSE(b.cbVideo[1].enabled || b.cbAudio[1].enabled || b.cbSub[1].enabled);
    EXPECT_EQ(b.cbAudio[1].caption, "No audio stream");

    EXPECT_TRUE(listed(t, StreamKind::Video, 0));
    EXPECT_FALSE(listed(t, StreamKind::Video, 1));
    EXPECT_TRUE(listed(t, StreamKind::Audio, 0));
    EXPECT_TRUE(listed(t, StreamKind::Subpicture, 0));
    EXPECT_FALSE(listed(t, StreamKind::Subpicture, 31));

    const Buttons& buttons = t.window.buttons;
    EXPECT_TRUE(buttons.bReadXPL && buttons.bReadEVO && buttons.bbEVO && buttons.bbXPL);
    EXPECT_TRUE(buttons.bWriteChaps);
    EXPECT_TRUE(buttons.bDemux && buttons.bRebuild);
    EXPECT_EQ(t.window.page, Page::XPL);
    EXPECT_EQ(t.sink.panels[0], "Ready");
    EXPECT_EQ(t.sink.panels[1], "");
}

TEST(ReadXpl, TestDiscPlaylistPicksTheTitleOfEachSource) {
    if (const std::string missing = missingSharedSample("xpl/VPLST000.XPL"); !missing.empty())
        GTEST_SKIP() << missing;
    // No attribute items and no mediaAttr: the labels have no codec.
    XplSession feature("xpl_test_disc", "PEVOB3.EVO");
    ASSERT_TRUE(feature.readFile(sharedSamplePath("xpl/VPLST000.XPL")));
    const PlaylistView& view = feature.window.playlist;
    EXPECT_EQ(feature.window.boxes.cbVideo[0].caption, ".s0");
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(feature.window.boxes.cbAudio[k].ticked);
        EXPECT_EQ(feature.window.boxes.cbAudio[k].caption, ".s0" + std::to_string(k) + ".");
    }
    EXPECT_FALSE(feature.window.boxes.cbAudio[8].enabled);
    ASSERT_EQ(view.mChapter.size(), 32u);
    EXPECT_EQ(view.mChapter[30], "CHAPTER16=00:53:46.000");
    EXPECT_EQ(view.mChapter[31], "CHAPTER16NAME=Chapter 16");
    EXPECT_EQ(view.tvXPL[0].children,
              (Lines{"Name: feature", "Duration: 00:58:06:00", "TimeBase: 60fps", "TickBase: "}));

    // Chapters without a displayName get an empty name.
    XplSession menu("xpl_test_disc_menu", "PEVOB2.EVO");
    ASSERT_TRUE(menu.readFile(sharedSamplePath("xpl/VPLST000.XPL")));
    EXPECT_EQ(menu.window.playlist.mChapter, (Lines{"CHAPTER01=00:00:00.000", "CHAPTER01NAME="}));
    EXPECT_EQ(menu.window.playlist.tvXPL[4].children, (Lines{": 00:00:00:00"}));
    // The comment holding two ApplicationResource tags ends in a line of
    // blanks and leaves the depth as it was.
    const Lines& memo = menu.window.playlist.mXPL;
    EXPECT_EQ(memo.back(), "    </Title>");
    EXPECT_NE(std::find(memo.begin(), memo.end(), std::string(10, ' ')), memo.end());

    // The first-play clip belongs to no Title element: nothing is picked.
    XplSession firstPlay("xpl_test_disc_first_play", "PEVOB1.EVO");
    ASSERT_TRUE(firstPlay.readFile(sharedSamplePath("xpl/VPLST000.XPL")));
    EXPECT_EQ(firstPlay.window.playlist.mXPL.size(), 106u);
    EXPECT_TRUE(firstPlay.window.playlist.mChapter.empty());
    EXPECT_FALSE(firstPlay.window.boxes.cbVideo[0].enabled);
    EXPECT_FALSE(firstPlay.window.buttons.bWriteChaps);
}

TEST(ReadXpl, WrittenRetailPlaylistShowsTheFeatureTitleItsStreamsAndChapters) {
    XplSession t("xpl_written_retail");
    const std::string text = retailFeaturePlaylist();
    ASSERT_TRUE(t.read(text));
    const std::string french = "AC-3.s00.Fran\xC3\xA7"
                               "ais";
    const std::string german = "DD+.s01.Deutsch 5.1";
    const std::string japanese = "8bitRLC.s02.\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
    EXPECT_EQ(t.visibleLines(),
              (Lines{"Open VPLST000.XPL", "Filesize: " + std::to_string(text.size()) + " bytes",
                     "VC-1.s0 found!", german + " found!", french + " found!", japanese + " found!",
                     "Done.", ""}));
    const std::string street = "Stra\xC3\x9F"
                               "e";
    const std::string summer = "Nuit d\xE2\x80\x99\xC3\xA9t\xC3\xA9";
    const PlaylistView& view = t.window.playlist;
    EXPECT_EQ(treeLines(view),
              (Lines{"Info", "Info/Name: Der Film", "Info/Duration: 02:01:10:50",
                     "Info/TimeBase: 60fps", "Info/TickBase: 24fps", "Video", "Video/VC-1.s0",
                     "Audio", "Audio/" + german, "Audio/" + french, "Subtitle",
                     "Subtitle/" + japanese, "Chapter", "Chapter/Anfang  1: 00:00:00:00",
                     "Chapter/" + street + ": 00:04:10:57", "Chapter/" + summer + ": 00:20:30:07",
                     "Chapter/Zwei Zeilen: 01:00:00:59", "Chapter/Ende: 01:59:59:50"}));
    EXPECT_EQ(view.mChapter,
              (Lines{"CHAPTER01=00:00:00.000", "CHAPTER01NAME=Anfang  1", "CHAPTER02=00:04:10.950",
                     "CHAPTER02NAME=" + street, "CHAPTER03=00:20:30.116", "CHAPTER03NAME=" + summer,
                     "CHAPTER04=01:00:00.983", "CHAPTER04NAME=Zwei Zeilen",
                     "CHAPTER05=01:59:59.833", "CHAPTER05NAME=Ende"}));

    // The memo holds just the title element. A tag over two lines is one
    // line: the line break becomes a blank, the next line's indent stays.
    const Lines& memo = view.mXPL;
    EXPECT_EQ(memo.front().substr(0, 35), "    <Title titleNumber=\"1\" titleDur");
    EXPECT_EQ(memo.back(), "    </Title>");
    EXPECT_NE(std::find(memo.begin(), memo.end(),
                        "        <Chapter displayName=\"Zwei Zeilen\"" + std::string(26, ' ') +
                            "titleTimeBegin=\"01:00:00:59\" />"),
              memo.end());
    EXPECT_EQ(std::count(memo.begin(), memo.end(),
                         "        <Audio track=\"2\" streamNumber=\"1\"" + std::string(24, ' ') +
                             "mediaAttr=\"1\" description=\"Fran\xC3\xA7"
                             "ais\"/>"),
              2);

    const StreamBoxes& b = t.window.boxes;
    EXPECT_TRUE(b.cbVideo[0].enabled && b.cbVideo[0].ticked);
    EXPECT_EQ(b.cbVideo[0].caption, "VC-1.s0");
    EXPECT_EQ(b.cbAudio[0].caption, french);
    EXPECT_EQ(b.cbAudio[1].hint, german);
    EXPECT_TRUE(b.cbAudio[0].ticked && b.cbAudio[1].ticked && b.cbSub[2].ticked);
    EXPECT_EQ(b.cbSub[2].hint, japanese);
    EXPECT_FALSE(b.cbVideo[1].enabled || b.cbAudio[2].enabled || b.cbSub[0].enabled);
    EXPECT_TRUE(listed(t, StreamKind::Audio, 0));
    EXPECT_TRUE(listed(t, StreamKind::Audio, 1));
    EXPECT_FALSE(listed(t, StreamKind::Audio, 2));
    EXPECT_TRUE(listed(t, StreamKind::Subpicture, 2));
    EXPECT_FALSE(listed(t, StreamKind::Subpicture, 0));
    EXPECT_TRUE(t.window.buttons.bWriteChaps && t.window.buttons.bDemux);
    EXPECT_EQ(t.window.page, Page::XPL);
}

TEST(ReadXpl, WrittenTestDiscPlaylistPicksTheTitleOfEachSource) {
    const std::string text = testDiscPlaylist();
    // No attribute items and no mediaAttr: the labels have no codec.
    XplSession feature("xpl_written_test_disc", "PEVOB3.EVO");
    ASSERT_TRUE(feature.read(text));
    const PlaylistView& view = feature.window.playlist;
    EXPECT_EQ(feature.window.boxes.cbVideo[0].caption, ".s0");
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(feature.window.boxes.cbAudio[k].ticked);
        EXPECT_EQ(feature.window.boxes.cbAudio[k].caption, ".s0" + std::to_string(k) + ".");
    }
    EXPECT_FALSE(feature.window.boxes.cbAudio[4].enabled);
    EXPECT_EQ(view.mChapter, (Lines{"CHAPTER01=00:00:00.000", "CHAPTER01NAME=Chapter 1",
                                    "CHAPTER02=00:12:34.850", "CHAPTER02NAME=Chapter 2",
                                    "CHAPTER03=00:40:00.000", "CHAPTER03NAME=Chapter 3"}));
    EXPECT_EQ(view.tvXPL[0].children,
              (Lines{"Name: feature", "Duration: 00:42:00:00", "TimeBase: 60fps", "TickBase: "}));

    // A chapter without a displayName gets an empty name.
    XplSession menu("xpl_written_test_disc_menu", "PEVOB2.EVO");
    ASSERT_TRUE(menu.read(text));
    EXPECT_EQ(menu.window.playlist.mChapter, (Lines{"CHAPTER01=00:00:00.000", "CHAPTER01NAME="}));
    EXPECT_EQ(menu.window.playlist.tvXPL[4].children, (Lines{": 00:00:00:00"}));
    // The comment holding two tags ends in a line of blanks and leaves the
    // depth as it was.
    const Lines& memo = menu.window.playlist.mXPL;
    EXPECT_EQ(memo.back(), "    </Title>");
    EXPECT_NE(std::find(memo.begin(), memo.end(), std::string(10, ' ')), memo.end());

    // The first-play clip belongs to no Title element: nothing is picked and
    // the memo holds the whole playlist.
    XplSession firstPlay("xpl_written_test_disc_first_play", "PEVOB1.EVO");
    ASSERT_TRUE(firstPlay.read(text));
    EXPECT_EQ(firstPlay.window.playlist.mXPL.front(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(firstPlay.window.playlist.mXPL.back(), "</Playlist>");
    EXPECT_TRUE(firstPlay.window.playlist.mChapter.empty());
    EXPECT_FALSE(firstPlay.window.boxes.cbVideo[0].enabled);
    EXPECT_FALSE(firstPlay.window.buttons.bWriteChaps);
}

std::string featurePlaylist() {
    const std::string items =
        "    <VideoAttributeItem index=\"1\" codec=\"VC-1\"/>\r\n"
        "    <AudioAttributeItem index=\"1\" codec=\"DD+\" channels=\"6\"/>\r\n"
        "    <AudioAttributeItem index=\"2\" codec=\"AC-3\" channels=\"2\"/>\r\n"
        "    <SubpictureAttributeItem index=\"1\" codec=\"8bitRLC\"/>\r\n";
    const std::string trailer =
        titleText("Trailer", "TRAILER.MAP",
                  {"        <Video track=\"1\" mediaAttr=\"1\"/>\r\n"
                   "        <Audio track=\"1\" streamNumber=\"5\" mediaAttr=\"2\"/>\r\n"},
                  chapterText("Trailer", "00:00:00:00"), "Trailer");
    const std::string clip1 = "        <Video track=\"1\" mediaAttr=\"1\"/>\r\n"
                              "        <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" "
                              "description=\"English\"/>\r\n"
                              "        <Audio track=\"2\" streamNumber=\"3\" mediaAttr=\"2\"\r\n"
                              "\tdescription=\"Fran\xC3\xA7"
                              "ais\"/>\r\n"
                              "        <Subtitle track=\"1\" streamNumber=\"2\" mediaAttr=\"1\" "
                              "description=\"\xE6\x97\xA5\xE6\x9C\xAC\"/>\r\n";
    // The second clip repeats the streams of the first.
    const std::string clip2 =
        "        <Video track=\"1\" mediaAttr=\"1\"/>\r\n"
        "        <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"2\" description=\"Other\"/>\r\n";
    const std::string chapters = chapterText("Anfang", "00:00:00:00") +
                                 chapterText("Zweite Szene \xE2\x80\x94 \xC3\xBC", "00:01:30:30") +
                                 chapterText("Ende", "00:01:30:59");
    return playlistText(
        items,
        trailer + titleText("MainMovie", "FEATURE_1.MAP", {clip1, clip2}, chapters) +
            titleText("Extras", "EXTRAS_1.MAP", {}, chapterText("X", "00:00:01:00")),
        "Caf\xC3\xA9 Disc");
}

TEST(ReadXpl, FeatureTitleTicksOnlyItsOwnStreamsOnceWithUtf8TextUnchanged) {
    XplSession t("xpl_feature");
    ASSERT_TRUE(t.read(featurePlaylist()));
    EXPECT_EQ(t.visibleLines(),
              (Lines{"Open VPLST000.XPL",
                     "Filesize: " + std::to_string(featurePlaylist().size()) + " bytes",
                     "VC-1.s0 found!", "DD+.6ch.s00.English found!",
                     "AC-3.2ch.s02.Fran\xC3\xA7"
                     "ais found!",
                     "8bitRLC.s01.\xE6\x97\xA5\xE6\x9C\xAC found!", "Done.", ""}));
    const StreamBoxes& b = t.window.boxes;
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(b.cbAudio[k].ticked, k == 0 || k == 2) << k;
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(b.cbSub[k].ticked, k == 1) << k;
    EXPECT_EQ(b.cbAudio[2].caption, "AC-3.2ch.s02.Fran\xC3\xA7"
                                    "ais");
    EXPECT_FALSE(listed(t, StreamKind::Audio, 4)); // the trailer's stream

    const PlaylistView& view = t.window.playlist;
    EXPECT_EQ(view.tvXPL[0].children,
              (Lines{"Title: Caf\xC3\xA9 Disc", "Name: Main Movie", "Duration: 01:43:53:24",
                     "TimeBase: 60fps", "TickBase: 24fps"}));
    EXPECT_EQ(view.tvXPL[4].children,
              (Lines{"Anfang: 00:00:00:00", "Zweite Szene \xE2\x80\x94 \xC3\xBC: 00:01:30:30",
                     "Ende: 00:01:30:59"}));
    EXPECT_EQ(view.mChapter,
              (Lines{"CHAPTER01=00:00:00.000", "CHAPTER01NAME=Anfang", "CHAPTER02=00:01:30.500",
                     "CHAPTER02NAME=Zweite Szene \xE2\x80\x94 \xC3\xBC", "CHAPTER03=00:01:30.983",
                     "CHAPTER03NAME=Ende"}));
    // The tag spread over two lines is one tag line.
    EXPECT_NE(std::find(view.mXPL.begin(), view.mXPL.end(),
                        "        <Audio track=\"2\" streamNumber=\"3\" mediaAttr=\"2\" "
                        "description=\"Fran\xC3\xA7"
                        "ais\"/>"),
              view.mXPL.end());
    EXPECT_EQ(view.mXPL.front().substr(0, 11), "    <Title ");
    EXPECT_EQ(view.mXPL.back(), "    </Title>");
}

TEST(ReadXpl, ChaptersAreNumberedWithTwoDigitsUpToNinetyNine) {
    std::string chapters;
    for (int k = 1; k <= 100; ++k)
        chapters += chapterText("C" + std::to_string(k), "00:00:10:00");
    XplSession t("xpl_hundred_chapters");
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {""}, chapters))));
    const Lines& memo = t.window.playlist.mChapter;
    ASSERT_EQ(memo.size(), 200u);
    EXPECT_EQ(memo[16], "CHAPTER09=00:00:10.000");
    EXPECT_EQ(memo[18], "CHAPTER10=00:00:10.000");
    EXPECT_EQ(memo[198], "CHAPTER100=00:00:10.000");
    EXPECT_EQ(memo[199], "CHAPTER100NAME=C100");
}

TEST(ReadXpl, WithoutTheSourcesTitleAllLinesShowAndNothingIsPicked) {
    XplSession t("xpl_no_title");
    ASSERT_TRUE(t.read(featurePlaylist()));
    const std::vector<TreeNode> tree = t.window.playlist.tvXPL;

    t.chooseSource(t.folder + "HVDVD_TS/OTHER_1.EVO");
    ASSERT_TRUE(t.readFile(t.folder + "VPLST000.XPL"));
    const PlaylistView& view = t.window.playlist;
    const size_t allLines = view.mXPL.size();
    EXPECT_EQ(view.mXPL.front(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(view.mXPL.back(), "</Playlist>");
    EXPECT_TRUE(view.mChapter.empty());
    EXPECT_EQ(view.tvXPL.size(), tree.size());
    EXPECT_EQ(view.tvXPL[4].children, tree[4].children);
    EXPECT_FALSE(t.window.boxes.cbVideo[0].enabled || t.window.boxes.cbAudio[0].enabled);
    EXPECT_FALSE(t.window.buttons.bWriteChaps);
    EXPECT_FALSE(t.window.buttons.bDemux);
    EXPECT_TRUE(view.streams.empty());

    // No source at all, and a name found only in the first line.
    t.chooseSource("");
    ASSERT_TRUE(t.readFile(t.folder + "VPLST000.XPL"));
    EXPECT_TRUE(view.mChapter.empty());
    t.chooseSource(t.folder + "HVDVD_TS/UTF-8.EVO");
    ASSERT_TRUE(t.readFile(t.folder + "VPLST000.XPL"));
    EXPECT_EQ(view.mXPL.size(), allLines);
    EXPECT_TRUE(view.mChapter.empty());
}

TEST(ReadXpl, AttributeItemsOfAnEarlierPlaylistStayForTheNextRun) {
    XplSession t("xpl_kept_items");
    ASSERT_TRUE(t.read(featurePlaylist()));
    const std::string clip = "<Audio streamNumber=\"1\" mediaAttr=\"2\" description=\"x\"/>";
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {clip}, ""))));
    EXPECT_EQ(t.window.boxes.cbAudio[0].caption, "AC-3.2ch.s00.x");
}

TEST(ReadXpl, PathDelimitersInADescriptionStayOutOfTheCaption) {
    const std::string clip = "<Audio streamNumber=\"2\" description=\"5.1/../../../etc/x\"/>";
    XplSession t("xpl_caption");
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {clip}, ""))));
    EXPECT_EQ(t.window.boxes.cbAudio[1].caption, ".s01.5.1_.._.._.._etc_x");
    EXPECT_EQ(t.window.boxes.cbAudio[1].hint, ".s01.5.1/../../../etc/x");
    EXPECT_EQ(t.window.playlist.tvXPL[2].children, (Lines{".s01.5.1/../../../etc/x"}));
}

// Keeps every status text, to see the progress after each chunk.
struct PanelHistory : RecordingSink {
    void slog(const std::string& text, int panel) override {
        RecordingSink::slog(text, panel);
        if (panel == 1) progress.push_back(text);
    }
    Lines progress;
};

TEST(ReadXpl, TagCutByTheChunkBoundaryIsReadWhole) {
    const std::string head =
        "<?xml version=\"1.0\"?>\r\n<Playlist>\r\n <TitleSet timeBase=\"60fps\">\r\n"
        "  <Title displayName=\"M\" titleDuration=\"00:10:00:00\">\r\n"
        "   <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">\r\n"
        "   </PrimaryAudioVideoClip>\r\n   <ChapterList>\r\n";
    const std::string chapter =
        "<Chapter\r\n\tdisplayName=\"Across\"\r\n\ttitleTimeBegin=\"00:02:03:45\"/>";
    // Blanks between tags are not kept; they move the chapter tag so that
    // the boundary falls inside its displayName.
    const std::string padding(262144 - head.size() - 14, ' ');
    const std::string tail =
        "\r\n   </ChapterList>\r\n  </Title>\r\n </TitleSet>\r\n</Playlist>\r\n";
    const std::string text = head + padding + chapter + tail;

    XplSession t("xpl_chunk_boundary");
    PanelHistory sink;
    WindowSession session{t.window, sink, t.ui};
    const std::string path = t.folder + "VPLST000.XPL";
    std::ofstream(path, std::ios::binary) << text;
    t.window.eXPLfile = path;
    XPLadj(t.window);
    ASSERT_TRUE(bReadXPLClick(session));
    const std::string size = std::to_string(text.size());
    EXPECT_EQ(sink.progress,
              (Lines{"262144/" + size + " bytes", size + "/" + size + " bytes", ""}));
    EXPECT_EQ(t.window.playlist.mChapter,
              (Lines{"CHAPTER01=00:02:03.750", "CHAPTER01NAME=Across"}));
    EXPECT_EQ(t.window.playlist.mXPL[4],
              "        <Chapter displayName=\"Across\" titleTimeBegin=\"00:02:03:45\"/>");
}

TEST(ReadXpl, UnopenablePlaylistShowsTheSystemsMessageAndLeavesTheWindowUsable) {
    XplSession t("xpl_missing");
    ASSERT_TRUE(t.read(featurePlaylist()));
    const Lines memo = t.window.playlist.mXPL;
    t.sink.lines.clear();
    EXPECT_FALSE(t.readFile(t.folder + "absent/VPLST000.XPL"));
    ASSERT_EQ(t.ui.errors.size(), 1u);
    EXPECT_NE(t.ui.errors[0].find("No such file or directory"), std::string::npos);
    EXPECT_TRUE(t.sink.lines.empty());
    EXPECT_EQ(t.window.playlist.mXPL, memo);
    const Buttons& b = t.window.buttons;
    EXPECT_TRUE(b.bReadXPL && b.bReadEVO && b.bbEVO && b.bbXPL);
}

} // namespace
} // namespace tarnwick::testing

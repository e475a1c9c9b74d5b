#include "playlist/title_list.h"

#include "playlist/read_xpl.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

// Tag lines as the scanner gives them: two titles sharing a clip, the second
// without a titleNumber, and a clip listing the same audio stream twice.
const std::vector<std::string> Lines = {
    "<TitleSet timeBase=\"60fps\">",
    "  <Title titleNumber=\"7\" titleDuration=\"00:10:00:00\" displayName=\"Trailer\">",
    "    <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/TRAILER.MAP\">",
    "      <Video track=\"1\" mediaAttr=\"1\"/>",
    "      <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\"/>",
    "    </PrimaryAudioVideoClip>",
    "  </Title>",
    "  <Title titleDuration=\"01:00:00:00\" displayName=\"Feature\">",
    "    <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
    "      <Video track=\"1\" mediaAttr=\"1\"/>",
    "      <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\"/>",
    "      <Audio track=\"2\" streamNumber=\"2\" mediaAttr=\"1\"/>",
    "      <Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\"/>",
    "    </PrimaryAudioVideoClip>",
    "    <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/TRAILER.MAP\">",
    "      <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\"/>",
    "      <AudioTrack track=\"1\" langcode=\"en:01\"/>",
    "    </PrimaryAudioVideoClip>",
    "    <Chapter displayName=\"One\" titleTimeBegin=\"00:00:00:00\" />",
    "  </Title>",
    "</TitleSet>"};

TEST(TitleList, ListsEachTitleWithItsClipsStreamsAndChapters) {
    const std::vector<PlaylistTitle> titles = listTitles(Lines);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titleSummary(titles[0]),
              "7\tTrailer\t00:10:00:00\tTRAILER\t1 video, 1 audio, 0 subtitles\t0 chapters");
    EXPECT_EQ(titleSummary(titles[1]), "2\tFeature\t01:00:00:00\tFEATURE_1, TRAILER\t1 video, 2 "
                                       "audio, 1 subtitle\t1 chapter");
    EXPECT_EQ(titles[1].firstLine, 7u);
    EXPECT_EQ(titles[1].lastLine, 19u);

    // A playlist listing more streams than a disc can hold keeps a bounded
    // number of them, so that it is read in time proportional to its size.
    std::vector<std::string> many = {"<Title titleNumber=\"1\">"};
    for (int k = 1; k <= 1000; ++k)
        many.push_back("<Audio track=\"1\" streamNumber=\"" + std::to_string(k) + "\"/>");
    const std::vector<PlaylistTitle> crowded = listTitles(many);
    ASSERT_EQ(crowded.size(), 1u);
    EXPECT_EQ(crowded[0].audio.size(), 256u);
    EXPECT_EQ(crowded[0].audio.back().streamNumber, 256);
    // And so do titles and clips: what a playlist costs does not grow with
    // the file.
    std::vector<std::string> titleTags;
    for (int k = 1; k <= 3000; ++k) {
        titleTags.push_back("<Title titleNumber=\"" + std::to_string(k) + "\">");
        if (k == 1)
            for (int c = 0; c < 3000; ++c)
                titleTags.push_back("<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/F" +
                                    std::to_string(c) + ".MAP\"/>");
    }
    const std::vector<PlaylistTitle> listed = listTitles(titleTags);
    ASSERT_EQ(listed.size(), 1024u);
    EXPECT_EQ(listed.back().number, 1024);
    EXPECT_EQ(listed[0].clips.size(), 1024u);
    EXPECT_EQ(listed[0].primaryClips.size(), 1024u);
}

TEST(TitleList, CutsToTheTitleWithThatNumberEvenWhenItsClipIsShared) {
    std::vector<std::string> lines = Lines;
    ASSERT_TRUE(cutToTitleNumber(lines, 2));
    EXPECT_EQ(lines, std::vector<std::string>(Lines.begin() + 7, Lines.begin() + 20));
    lines = Lines;
    EXPECT_FALSE(cutToTitleNumber(lines, 3));
    EXPECT_EQ(lines, Lines);

    // A title left open by a cut-off playlist ends with the last line.
    const std::vector<std::string> open(Lines.begin(), Lines.begin() + 10);
    const std::vector<PlaylistTitle> titles = listTitles(open);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[1].lastLine, 9u);
    EXPECT_TRUE(listTitles({}).empty());
}

// Ctrl+C reaches a long playlist read between its chunks: the readers ask
// their stop hook before each chunk and keep what they have read.
TEST(TitleList, ReadersStopBetweenChunksWhenAsked) {
    const std::string path = testing::scratchFolder("title_list_stop") + "VPLST000.XPL";
    std::ofstream(path) << "<TitleSet>\n<Title titleNumber=\"1\">\n</Title>\n"
                        << std::string(300 << 10, ' ') // past the first chunk
                        << "\n<Title titleNumber=\"2\">\n</Title>\n</TitleSet>\n";
    for (const auto& [chunks, titles] : {std::pair{99, 2u}, {1, 1u}, {0, 0u}}) {
        int asked = 0;
        const StopReading stop = [&, chunks = chunks] { return asked++ >= chunks; };
        EXPECT_EQ(readPlaylistTitles(path, stop).size(), titles);
        asked = 0;
        testing::CoreRun core;
        RunContext run = core.context();
        PlaylistRequest request{path, "", 0, {}, stop};
        EXPECT_EQ(listTitles(readPlaylist(request, run).tagLines).size(), titles);
    }
}

} // namespace
} // namespace tarnwick

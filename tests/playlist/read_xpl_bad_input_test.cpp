#include "playlist/playlist_text.h"
#include "playlist/tag_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(ReadXplBadInput, NumbersOutsideTheTablesAndBoxesAreIgnored) {
    std::string clip;
    for (const char* track : {"", "0", "-1", "17", "2147483647", "4294967297", "99999999999999"})
        clip += std::string("<Video track=\"") + track + "\" mediaAttr=\"1\"/>\r\n";
    for (const char* number : {"", "0", "-1", "17", "-2147483648", "4294967298", "1e3"})
        clip += std::string("<Audio streamNumber=\"") + number + "\" mediaAttr=\"1\"/>\r\n";
    for (const char* number : {"0", "33", "2147483647"})
        clip += std::string("<Subtitle streamNumber=\"") + number + "\" mediaAttr=\"1\"/>\r\n";
    clip += "<Video/>\r\n<Audio/>\r\n<Subtitle mediaAttr=\"1\"/>\r\n";
    const std::string items = "<VideoAttributeItem index=\"1\" codec=\"AVC\"/>\r\n";
    XplSession t("xpl_out_of_range");
    ASSERT_TRUE(t.read(playlistText(items, titleText("M", "FEATURE_1.MAP", {clip}, ""))));
    EXPECT_TRUE(t.window.playlist.streams.empty()); // no stream listed
    EXPECT_FALSE(t.window.buttons.bDemux);
    for (size_t node = 1; node < 4; ++node)
        EXPECT_TRUE(t.window.playlist.tvXPL[node].children.empty());

    // The last entries of each table, and item indexes outside 1..8 as
    // mediaAttr: listed with an empty codec text.
    const std::string edges =
        "<Video track=\"2\" mediaAttr=\"1\"/>\r\n"
        "<Video track=\"16\" mediaAttr=\"9\"/>\r\n"
        "<Audio streamNumber=\"16\" mediaAttr=\"0\"/>\r\n"
        "<Subtitle streamNumber=\"32\" mediaAttr=\"-1\" description=\"d\"/>\r\n";
    ASSERT_TRUE(t.read(playlistText(items, titleText("M", "FEATURE_1.MAP", {edges}, ""))));
    EXPECT_EQ(t.window.playlist.tvXPL[1].children, (Lines{"AVC.s1", ".s15"}));
    EXPECT_FALSE(t.window.boxes.cbVideo[1].enabled); // only the first track has a box
    EXPECT_EQ(t.window.boxes.cbAudio[15].caption, ".s15.");
    EXPECT_EQ(t.window.boxes.cbSub[31].caption, ".s31.d");
    EXPECT_TRUE(listed(t, StreamKind::Video, 1));
    EXPECT_TRUE(listed(t, StreamKind::Video, 15));
}

TEST(ReadXplBadInput, MissingChapterAttributesGiveEmptyTextsNotThePreviousChapters) {
    const std::string chapters = chapterText("One", "00:00:01:00") +
                                 "<Chapter displayName=\"Two\"/>\r\n" +
                                 "<Chapter titleTimeBegin=\"00:00:03:30\"/>\r\n" +
                                 "<Chapter titleTimeBegin=\"00:00:04\"/>\r\n";
    XplSession t("xpl_missing_chapter_attributes");
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {""}, chapters))));
    EXPECT_EQ(t.window.playlist.mChapter,
              (Lines{"CHAPTER01=00:00:01.000", "CHAPTER01NAME=One", "CHAPTER02=.000",
                     "CHAPTER02NAME=Two", "CHAPTER03=00:00:03.500",
                     "CHAPTER03NAME=", "CHAPTER04=00:00:04.000", "CHAPTER04NAME="}));
}

TEST(ReadXplBadInput, UnterminatedTagAndTitleKeepWhatCameBefore) {
    const std::string full = playlistText(
        "", titleText("M", "FEATURE_1.MAP", {"<Audio streamNumber=\"1\"/>\r\n"},
                      chapterText("A", "00:00:01:00") + chapterText("B", "00:00:02:00")));
    const std::string cut = full.substr(0, full.find("<Chapter displayName=\"B\"") + 20);
    XplSession t("xpl_unterminated");
    ASSERT_TRUE(t.read(cut));
    EXPECT_EQ(t.window.playlist.mChapter, (Lines{"CHAPTER01=00:00:01.000", "CHAPTER01NAME=A"}));
    EXPECT_TRUE(t.window.boxes.cbAudio[0].ticked);
    EXPECT_EQ(t.window.playlist.mXPL.back().find("<Chapter displayName=\"A\""), 8u);
    EXPECT_EQ(t.visibleLines().back(), "");
}

TEST(ReadXplBadInput, TagsOfSeveralMegabytesAreKeptWholeAndAttributesStayShort) {
    const std::string huge(5 << 20, 'n');
    const std::string chapters = "<Chapter displayName=\"" + huge +
                                 "\" titleTimeBegin=\"00:00:01:00\"/>" +
                                 chapterText("After", "00:00:02:00");
    XplSession t("xpl_huge_tag");
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {""}, chapters))));
    const Lines& memo = t.window.playlist.mChapter;
    ASSERT_EQ(memo.size(), 4u);
    EXPECT_EQ(memo[0], "CHAPTER01=00:00:01.000");
    EXPECT_EQ(memo[1], "CHAPTER01NAME=" + std::string(253, 'n'));
    EXPECT_EQ(memo[3], "CHAPTER02NAME=After");
    const auto longest = std::max_element(
        t.window.playlist.mXPL.begin(), t.window.playlist.mXPL.end(),
        [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    EXPECT_GT(longest->size(), huge.size());

    // A "tag" longer than any playlist's stops growing, its ">" still added.
    const std::string endless = "<x" + std::string(MaxTagLineLength + 1000, 'y') + ">";
    ASSERT_TRUE(t.read(endless));
    ASSERT_EQ(t.window.playlist.mXPL.size(), 1u);
    EXPECT_EQ(t.window.playlist.mXPL[0].size(), MaxTagLineLength + 1);
    EXPECT_EQ(t.window.playlist.mXPL[0].back(), '>');
}

TEST(ReadXplBadInput, BinaryFileIsScannedToItsEndWithBoundedIndentation) {
    std::mt19937 random(7);
    std::string bytes(3 << 20, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    // More tag starts than closings: the depth keeps climbing.
    for (size_t k = 0; k < bytes.size(); k += 97)
        bytes[k] = '<';
    XplSession t("xpl_binary");
    ASSERT_TRUE(t.read(bytes));
    EXPECT_EQ(t.visibleLines().end()[-2], "Done.");
    EXPECT_GT(t.window.playlist.mXPL.size(), 5000u);
    for (const std::string& line : t.window.playlist.mXPL) {
        const size_t blanks = line.find_first_not_of(' ');
        ASSERT_LE(blanks == std::string::npos ? line.size() : blanks, 2 * MaxIndentLevels);
    }
    EXPECT_TRUE(t.window.playlist.streams.empty()); // no stream listed
}

} // namespace
} // namespace tarnwick::testing

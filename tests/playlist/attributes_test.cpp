#include "playlist/attributes.h"
#include "playlist/chapter_lines.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(GetAttr, TakesTheFirstOccurrenceIgnoringCaseEvenInsideAnotherWord) {
    const std::string line = R"(<Chapter displayName="Chapter  2" titleTimeBegin="00:05:24:57" />)";
    EXPECT_EQ(GetAttr(line, "displayName"), "Chapter  2");
    EXPECT_EQ(GetAttr(line, "DISPLAYNAME"), "Chapter  2");
    EXPECT_EQ(GetAttr(line, "titleTimeBegin"), "00:05:24:57");
    // "Name" first occurs inside displayName.
    EXPECT_EQ(GetAttr(R"(<Track displayName="a" Name="b"/>)", "name"), "a");
    // "track" occurs inside AudioTrack before the attribute.
    EXPECT_EQ(GetAttr(R"(<AudioTrack langcode="en:00" track="2"/>)", "track"), "en:00");
    EXPECT_EQ(GetAttr(line, "description"), std::nullopt);
    // Blanks and line breaks around "=" and inside the value stay as written.
    EXPECT_EQ(GetAttr(R"(<Audio description = " English 5.1 "/>)", "description"), " English 5.1 ");
}

TEST(GetAttr, UnderstandsOnlyDoubleQuotedValuesWithinTheWindow) {
    // A single-quoted value is skipped up to the next double quote.
    EXPECT_EQ(GetAttr(R"(<Video track='1' mediaAttr="2"/>)", "track"), "2");
    EXPECT_EQ(GetAttr(R"(<Video track='1'/>)", "track"), "'1'/>");
    EXPECT_EQ(GetAttr(R"(<Video track="7)", "track"), "7");
    EXPECT_EQ(GetAttr(R"(<Video track)", "track"), "");
    // No "=": nothing is dropped before the quote.
    EXPECT_EQ(GetAttr(R"(<Video track "3"/>)", "track"), "3");

    const std::string longValue(300, 'x');
    const std::string line = "<Chapter displayName=\"" + longValue + "\"/>";
    // 255 bytes after the name: "=" and the quote take two of them.
    EXPECT_EQ(GetAttr(line, "displayName"), std::string(253, 'x'));
    const std::string far = "<Audio description=" + std::string(254, ' ') + "\"English\"/>";
    EXPECT_EQ(GetAttr(far, "description"), std::string(254, ' '));
}

TEST(GetAttr, IntegerFormGivesZeroForMissingMalformedAndOutOfRangeValues) {
    EXPECT_EQ(GetAttrInt(R"(<Audio streamNumber="12"/>)", "streamNumber"), 12);
    EXPECT_EQ(GetAttrInt(R"(<Audio streamNumber="-3"/>)", "streamNumber"), -3);
    EXPECT_EQ(GetAttrInt(R"(<Audio streamNumber="+4"/>)", "streamNumber"), 4);
    EXPECT_EQ(GetAttrInt(R"(<Audio streamNumber="2147483647"/>)", "streamNumber"), 2147483647);
    EXPECT_EQ(GetAttrInt(R"(<Audio streamNumber="-2147483648"/>)", "streamNumber"), INT32_MIN);
    for (const char* value : {"2147483648", "-2147483649", "99999999999999999999999", "", "1a",
                              " 1", "0x10", "+", "-", "+-1", "1.5"}) {
        const std::string line = std::string("<Audio streamNumber=\"") + value + "\"/>";
        EXPECT_EQ(GetAttrInt(line, "streamNumber"), 0) << value;
    }
    EXPECT_EQ(GetAttrInt("<Audio track=\"1\"/>", "streamNumber"), 0);
}

TEST(ZeroPad, PutsZerosInFrontUpToTheWidth) {
    EXPECT_EQ(ZeroPad(0, 3), "000");
    EXPECT_EQ(ZeroPad(16, 3), "016");
    EXPECT_EQ(ZeroPad(983, 3), "983");
    EXPECT_EQ(ZeroPad(1650, 3), "1650");
}

TEST(ChapterLines, FrameFieldCountsSixtiethsOfASecondTruncated) {
    EXPECT_EQ(chapterTime("00:01:30:30"), "00:01:30.500");
    EXPECT_EQ(chapterTime("00:01:30:59"), "00:01:30.983");
    EXPECT_EQ(chapterTime("01:03:21:01"), "01:03:21.016");
    EXPECT_EQ(chapterTime("00:00:00:00"), "00:00:00.000");
    // What does not hold a frame field counts it as 0.
    EXPECT_EQ(chapterTime("00:00:07"), "00:00:07.000");
    EXPECT_EQ(chapterTime("00:00:07:-5"), "00:00:07.000");
    EXPECT_EQ(chapterTime(""), ".000");
    EXPECT_EQ(chapterTime("00:00:07:5"), "00:00:07.083");

    EXPECT_EQ(chapterNumber(1), "01");
    EXPECT_EQ(chapterNumber(9), "09");
    EXPECT_EQ(chapterNumber(10), "10");
    EXPECT_EQ(chapterNumber(100), "100");
}

} // namespace
} // namespace tarnwick

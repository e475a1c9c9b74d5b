#include "playlist/tag_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

Lines scanPieces(const std::string& text, const std::vector<size_t>& cuts) {
    Lines lines;
    TagScanner scanner;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t start = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(text.size());
    for (size_t end : ends) {
        scanTags(scanner, bytes + start, end - start,
                 [&](std::string&& line) { lines.push_back(std::move(line)); });
        start = end;
    }
    return lines;
}

Lines scan(const std::string& text) {
    return scanPieces(text, {});
}

TEST(TagScanner, IndentsByDepthWithClosingTagsOneLevelLeft) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<!-- Reds 1 -->\r\n"
        "<Playlist majorVersion=\"1\">\r\n"
        "\t<TitleSet timeBase=\"60fps\">\r\n"
        "\t\t<Title id=\"MainMovie\">\r\n"
        "\t\t\t<Video track=\"1\"/>\r\n"
        "\t\t\t<Chapter displayName=\"A\" titleTimeBegin=\"00:00:00:00\" />\r\n"
        "\t\t</Title>\r\n"
        "\t</TitleSet>\r\n"
        "</Playlist>";
    EXPECT_EQ(scan(text), (Lines{
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                              "<!-- Reds 1 -->",
                              "<Playlist majorVersion=\"1\">",
                              "  <TitleSet timeBase=\"60fps\">",
                              "    <Title id=\"MainMovie\">",
                              "      <Video track=\"1\"/>",
                              "      <Chapter displayName=\"A\" titleTimeBegin=\"00:00:00:00\" />",
                              "    </Title>",
                              "  </TitleSet>",
                              "</Playlist>",
                          }));
}

TEST(TagScanner, DocumentTypeDeclarationRaisesTheDepthForTheRestOfTheFile) {
    EXPECT_EQ(scan("<!DOCTYPE Playlist>\n<Playlist>\n<Title/>\n</Playlist>\n"),
              (Lines{"<!DOCTYPE Playlist>", "  <Playlist>", "    <Title/>", "  </Playlist>"}));
}

TEST(TagScanner, ControlBytesInsideATagBecomeOneBlankAndHighBytesPassUnchanged) {
    EXPECT_EQ(scan("<Chapter\r\n\t\tdisplayName=\"A\"\r\n\t\ttitleTimeBegin=\"00:00:01:00\"/>"),
              (Lines{"<Chapter displayName=\"A\" titleTimeBegin=\"00:00:01:00\"/>"}));
    // A blank before a line break stays; blanks as written are not merged.
    EXPECT_EQ(scan("<a \r\n  b>"), (Lines{"<a   b>"}));
    const std::string utf8 = "<Chapter displayName=\"Kapitel \xC3\xBC \xE2\x80\x94 \x7F\xFF\"/>";
    EXPECT_EQ(scan(utf8), (Lines{utf8}));
}

TEST(TagScanner, TextBetweenTagsIsDroppedAndAStrayGreaterThanEndsALine) {
    EXPECT_EQ(scan("<a>x > y</a>"), (Lines{"<a>", "  ", "</a>"}));
    // A comment holding a tag: the inner tag's "/>" and the comment's "-->"
    // each close one level.
    EXPECT_EQ(scan("<r>\n<!--<b x=\"1\" />-->\n<c/>\n</r>"),
              (Lines{"<r>", "  <!--<b x=\"1\" />", "    ", "  <c/>", "</r>"}));
}

TEST(TagScanner, SurplusClosingTagsKeepTheirSlash) {
    EXPECT_EQ(scan("</a>\n</b>\n<c/>"), (Lines{"</a>", "</b>", "<c/>"}));
}

TEST(TagScanner, IndentationStopsAtSixtyFourLevels) {
    std::string text;
    for (int k = 0; k < 100; ++k)
        text += "<e>";
    const Lines lines = scan(text);
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[63], std::string(126, ' ') + "<e>");
    EXPECT_EQ(lines[64], std::string(128, ' ') + "<e>");
    EXPECT_EQ(lines[99], std::string(128, ' ') + "<e>");
}

TEST(TagScanner, ChunksCutAnywhereGiveTheSameLines) {
    const std::string text =
        "<?xml version=\"1.0\"?>\r\n<!-- \r\n note \r\n-->\r\n"
        "<Playlist>\r\n\t<Title id=\"t\"\r\n\t\tdisplayName=\"\xC3\xA9t\xC3\xA9\">\r\n"
        "\t\t<Audio streamNumber=\"2\"/>\r\n\t</Title>\r\n</Playlist>";
    const Lines whole = scan(text);
    ASSERT_EQ(whole.size(), 7u);
    for (size_t cut = 0; cut <= text.size(); ++cut)
        ASSERT_EQ(scanPieces(text, {cut}), whole) << "cut at " << cut;
    std::vector<size_t> everyByte;
    for (size_t k = 1; k < text.size(); ++k)
        everyByte.push_back(k);
    EXPECT_EQ(scanPieces(text, everyByte), whole);
}

} // namespace
} // namespace tarnwick

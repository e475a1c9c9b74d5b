// The playlist's XML references are decoded once, where attribute values are
// read: titles, stream names, chapter names and clip file names carry the
// characters the disc means, and nothing a reference yields can break a line.

#include "playlist/attributes.h"
#include "playlist/title_cut.h"
#include "playlist/title_list.h"
#include "playlist/xml_references.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(XmlReferences, EachReferenceIsDecodedOnceAndWhatIsNoneStaysAsWritten) {
    struct Case {
        std::string text;
        std::string decoded;
    };
    const std::vector<Case> cases = {
        {"A &amp; B", "A & B"},
        {"&lt;&gt;&quot;&apos;", "<>\"'"},
        {"&amp;lt; stays one reference", "&lt; stays one reference"},
        {"Caf&#233; &#xE9;&#xe9;", "Caf\xC3\xA9 \xC3\xA9\xC3\xA9"},
        {"&#x2013; &#8212;", "\xE2\x80\x93 \xE2\x80\x94"},
        {"&#x1F3AC;", "\xF0\x9F\x8E\xAC"},
        // Control characters become blanks, as in a tag.
        {"one&#10;two&#x9;three&#13;&#127;", "one two three  "},
        // References to no character, unknown entities and lone "&".
        {"&#0;&#xD800;&#x110000;&#xFFFE;", "&#0;&#xD800;&#x110000;&#xFFFE;"},
        {"&nbsp; &AMP; &#; &#x; &#12a;", "&nbsp; &AMP; &#; &#x; &#12a;"},
        {"Tom & Jerry", "Tom & Jerry"},
        {"&amp", "&amp"},
        {"&#000000000065;", "&#000000000065;"},
        {"trailing &", "trailing &"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeReferences(c.text), c.decoded) << c.text;
}

TEST(XmlReferences, AttributeValuesComeDecodedAndAQuoteReferenceStaysInsideTheValue) {
    const std::string line =
        R"(<Title displayName="Tom &amp; Jerry &quot;Live&quot;" titleNumber="&#49;2"/>)";
    EXPECT_EQ(GetAttr(line, "displayName"), "Tom & Jerry \"Live\"");
    EXPECT_EQ(GetAttrInt(line, "titleNumber"), 12);
}

TEST(XmlReferences, TitlesStreamsChaptersAndClipsOfAPlaylistAreDecoded) {
    const std::vector<std::string> lines = {
        "<TitleSet>",
        R"(<Title titleNumber="1" displayName="Caf&#233; &amp; Co" titleDuration="00:00:04:00">)",
        R"(<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/F&amp;1.MAP">)",
        R"(<Audio track="1" streamNumber="1" description="Deutsch &#x26; Co"/>)",
        "</PrimaryAudioVideoClip>",
        R"(<Chapter displayName="&lt;Intro&gt;" titleTimeBegin="00:00:00:00"/>)",
        "</Title>",
        "</TitleSet>"};
    const std::vector<PlaylistTitle> titles = listTitles(lines);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].name, "Caf\xC3\xA9 & Co");
    EXPECT_EQ(titles[0].clips, std::vector<std::string>{"F&1"});
    EXPECT_EQ(titles[0].primaryClips, std::vector<std::string>{"F&1.MAP"});
    ASSERT_EQ(titles[0].audio.size(), 1u);
    EXPECT_EQ(titles[0].audio[0].description, "Deutsch & Co");
    ASSERT_EQ(titles[0].chapterList.size(), 1u);
    EXPECT_EQ(titles[0].chapterList[0].name, "<Intro>");

    // The title that plays a source is found by the source's own name.
    std::vector<std::string> cut = lines;
    ASSERT_TRUE(cutToTitle(cut, "F&1"));
    EXPECT_EQ(cut.front(), lines[1]);
    EXPECT_EQ(cut.back(), lines[6]);
}

} // namespace
} // namespace tarnwick

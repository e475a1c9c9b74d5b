#include "playlist/line_rules.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(LineRules, PlaylistAndTitleSetValuesSurviveLinesWithoutTheAttribute) {
    PlaylistCodecs codecs;
    PlaylistHeader header;
    applyLineRules(R"(<Playlist majorVersion="1" displayName="Reds">)", header, codecs);
    applyLineRules(R"(  <TitleSet timeBase="60fps" tickBase="24fps" defaultLanguage="en">)", header,
                   codecs);
    // The closing tags and a namespace naming the Playlist schema match too.
    applyLineRules(R"(  <X xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist"/>)", header,
                   codecs);
    applyLineRules(R"(  <TitleSet timeBase="30fps">)", header, codecs);
    applyLineRules("  </TitleSet>", header, codecs);
    applyLineRules("</Playlist>", header, codecs);
    EXPECT_EQ(header.displayName, "Reds");
    EXPECT_EQ(header.timeBase, "30fps");
    EXPECT_EQ(header.tickBase, "24fps");
}

TEST(LineRules, AttributeItemsFillTheCodecTablesByIndex) {
    PlaylistCodecs codecs;
    codecs.audio[7] = "from an earlier run";
    PlaylistHeader header;
    for (const char* line : {
             R"(<VideoAttributeItem index="1" codec="VC-1"/>)",
             R"(<VideoAttributeItem index="2" codec="AVC"/>)",
             R"(<AudioAttributeItem index="1" codec="DD+" sampleRate="48" channels="6"/>)",
             R"(<AudioAttributeItem index="2" codec="AC-3"/>)",
             R"(<AudioAttributeItem index="3" codec="LPCM" channels=""/>)",
             R"(<SubpictureAttributeItem index="8" codec="8bitRLC"/>)",
             "</AudioAttributeItem>",
         })
        applyLineRules(line, header, codecs);
    EXPECT_EQ(codecs.video[0], "VC-1");
    EXPECT_EQ(codecs.video[1], "AVC");
    EXPECT_EQ(codecs.audio[0], "DD+.6ch");
    // An item without channels does not borrow those of the item before.
    EXPECT_EQ(codecs.audio[1], "AC-3");
    EXPECT_EQ(codecs.audio[2], "LPCM");
    EXPECT_EQ(codecs.audio[7], "from an earlier run");
    EXPECT_EQ(codecs.subpicture[7], "8bitRLC");
    EXPECT_EQ(codecs.subpicture[0], "");
}

TEST(LineRules, ItemIndexesOutsideTheTablesAreIgnored) {
    PlaylistCodecs codecs;
    codecs.video.fill("kept");
    PlaylistHeader header;
    for (const char* index :
         {"0", "9", "-1", "2147483647", "-2147483648", "4294967297", "99999999999999", "x", ""})
        applyLineRules(std::string("<VideoAttributeItem index=\"") + index + "\" codec=\"AVC\"/>",
                       header, codecs);
    applyLineRules(R"(<VideoAttributeItem codec="AVC"/>)", header, codecs);
    for (const std::string& codec : codecs.video)
        EXPECT_EQ(codec, "kept");

    // A missing codec empties the item's entry.
    applyLineRules(R"(<VideoAttributeItem index="3"/>)", header, codecs);
    EXPECT_EQ(codecs.video[2], "");

    EXPECT_EQ(codecEntry(codecs.video, 1), "kept");
    EXPECT_EQ(codecEntry(codecs.video, 0), "");
    EXPECT_EQ(codecEntry(codecs.video, 9), "");
    EXPECT_EQ(codecEntry(codecs.video, INT32_MIN), "");
}

} // namespace
} // namespace tarnwick

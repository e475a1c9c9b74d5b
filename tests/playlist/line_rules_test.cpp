#include "playlist/line_rules.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(LineRules, PlaylistAndTitleSetValuesSurviveLinesWithoutTheAttribute) {
    StreamTable table;
    PlaylistHeader header;
    applyLineRules(R"(<Playlist majorVersion="1" displayName="Reds">)", header, table);
    applyLineRules(R"(  <TitleSet timeBase="60fps" tickBase="24fps" defaultLanguage="en">)", header,
                   table);
    // The closing tags and a namespace naming the Playlist schema match too.
    applyLineRules(R"(  <X xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist"/>)", header,
                   table);
    applyLineRules(R"(  <TitleSet timeBase="30fps">)", header, table);
    applyLineRules("  </TitleSet>", header, table);
    applyLineRules("</Playlist>", header, table);
    EXPECT_EQ(header.displayName, "Reds");
    EXPECT_EQ(header.timeBase, "30fps");
    EXPECT_EQ(header.tickBase, "24fps");
}

TEST(LineRules, AttributeItemsFillTheCodecTablesByIndex) {
    StreamTable table;
    table.PlaylistAudioCodecs[7] = "from an earlier run";
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
        applyLineRules(line, header, table);
    EXPECT_EQ(table.PlaylistVideoCodecs[0], "VC-1");
    EXPECT_EQ(table.PlaylistVideoCodecs[1], "AVC");
    EXPECT_EQ(table.PlaylistAudioCodecs[0], "DD+.6ch");
    // An item without channels does not borrow those of the item before.
    EXPECT_EQ(table.PlaylistAudioCodecs[1], "AC-3");
    EXPECT_EQ(table.PlaylistAudioCodecs[2], "LPCM");
    EXPECT_EQ(table.PlaylistAudioCodecs[7], "from an earlier run");
    EXPECT_EQ(table.PlaylistSubCodecs[7], "8bitRLC");
    EXPECT_EQ(table.PlaylistSubCodecs[0], "");
}

TEST(LineRules, ItemIndexesOutsideTheTablesAreIgnored) {
    StreamTable table;
    table.PlaylistVideoCodecs.fill("kept");
    PlaylistHeader header;
    for (const char* index :
         {"0", "9", "-1", "2147483647", "-2147483648", "4294967297", "99999999999999", "x", ""})
        applyLineRules(std::string("<VideoAttributeItem index=\"") + index + "\" codec=\"AVC\"/>",
                       header, table);
    applyLineRules(R"(<VideoAttributeItem codec="AVC"/>)", header, table);
    for (const std::string& codec : table.PlaylistVideoCodecs)
        EXPECT_EQ(codec, "kept");

    // A missing codec empties the item's entry.
    applyLineRules(R"(<VideoAttributeItem index="3"/>)", header, table);
    EXPECT_EQ(table.PlaylistVideoCodecs[2], "");

    EXPECT_EQ(codecEntry(table.PlaylistVideoCodecs, 1), "kept");
    EXPECT_EQ(codecEntry(table.PlaylistVideoCodecs, 0), "");
    EXPECT_EQ(codecEntry(table.PlaylistVideoCodecs, 9), "");
    EXPECT_EQ(codecEntry(table.PlaylistVideoCodecs, INT32_MIN), "");
}

} // namespace
} // namespace tarnwick

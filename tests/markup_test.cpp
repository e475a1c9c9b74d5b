#include "log/log_line.h"
#include "log/log_sink.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

CharAttributes colour(uint32_t c) {
    CharAttributes a;
    a.colour = c;
    return a;
}

CharAttributes bold() {
    CharAttributes a;
    a.bold = true;
    return a;
}

TEST(Markup, SizeLineShowsWidthAndHeightInBlue) {
    const LogLine line = parseMarkup("   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    EXPECT_EQ(line.visible, "   Size = 1920x1080");
    const std::vector<TextRun> expected = {
        {0, 10, {}}, {10, 4, colour(BlueColour)}, {14, 1, {}}, {15, 4, colour(BlueColour)}};
    EXPECT_EQ(line.runs, expected);
}

TEST(Markup, EncryptionLineIsBoldThenPlainAndTimesAreRed) {
    LogLine line = parseMarkup("[b]This file is ENCRYPTED![/b] Decrypt it before any process.");
    EXPECT_EQ(line.visible, "This file is ENCRYPTED! Decrypt it before any process.");
    ASSERT_EQ(line.runs.size(), 2u);
    EXPECT_EQ(line.runs[0], (TextRun{0, 23, bold()}));
    EXPECT_EQ(line.runs[1], (TextRun{23, 31, {}}));

    line = parseMarkup("PTM of first video frame = [re]00015F90[/re]");
    ASSERT_EQ(line.runs.size(), 2u);
    EXPECT_EQ(line.runs[1], (TextRun{27, 8, colour(RedColour)}));
}

TEST(Markup, EveryTagOfTheTableAndTheResetForOtherNames) {
    const struct {
        const char* tag;
        CharAttributes attributes;
    } cases[] = {
        {"b", bold()},
        {"i",
         [] {
             CharAttributes a;
             a.italic = true;
             return a;
         }()},
        {"u",
         [] {
             CharAttributes a;
             a.underline = true;
             return a;
         }()},
        {"s1",
         [] {
             CharAttributes a;
             a.pointSize = 10;
             return a;
         }()},
        {"s2",
         [] {
             CharAttributes a;
             a.pointSize = 12;
             return a;
         }()},
        {"bl", colour(0xFF0000)},
        {"re", colour(0x0000FF)},
        {"c:FF0000", colour(0xFF0000)},
        {"c:ff0000", colour(0xFF0000)},    // lower-case digits
        {"c:0x00-00ff", colour(0x0000FF)}, // non-hex characters are skipped
        {"B", {}},                         // tag names are case-sensitive: reset
        {"zz", {}},
    };
    for (const auto& c : cases) {
        const std::string name = c.tag;
        const LogLine line = parseMarkup("a[" + name + "]xyz[/" + name + "]b");
        EXPECT_EQ(line.visible, "axyzb") << name;
        ASSERT_EQ(line.runs.size(), 3u) << name;
        EXPECT_EQ(line.runs[1], (TextRun{1, 3, c.attributes})) << name;
    }
}

TEST(Markup, PlainAndEmptyMessagesAreKeptWhole) {
    LogLine line = parseMarkup("Done.");
    EXPECT_EQ(line.visible, "Done.");
    EXPECT_EQ(line.runs, (std::vector<TextRun>{{0, 5, {}}}));
    line = parseMarkup("");
    EXPECT_EQ(line.visible, "");
    EXPECT_TRUE(line.runs.empty());

    RecordingSink sink;
    sink.log("");
    sink.log("[b]x[/b]");
    EXPECT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.visibleLog(), "\nx");
}

TEST(Markup, MalformedMarkupNeverDropsTheLineNorHangs) {
    // Brackets in file names, a "[" without "]", a "]" before the first "[",
    // an opening tag without its closing tag.
    const char* messages[] = {
        "Opening file [b]Movie [2006] (Disc 1).EVO[/b]",
        "Opening file [b]odd[name.EVO[/b]",
        "a ] b [b]c[/b]",
        "[b]never closed",
        "[",
        "]",
        "[[[]]]",
        "[b][i]nested[/i][/b] tail",
        "x[/b]y",
    };
    for (const char* message : messages) {
        const LogLine line = parseMarkup(message);
        size_t end = 0;
        for (const TextRun& run : line.runs) {
            EXPECT_EQ(run.start, end) << message;
            end = run.start + run.length;
        }
        EXPECT_LE(end, line.visible.size()) << message;
    }
    // Brackets that are not markup are shown as they stand.
    EXPECT_EQ(parseMarkup("Opening file [b]odd[name.EVO[/b]").visible, "Opening file odd[name.EVO");
    LogLine named = parseMarkup("Opening file [b]Movie [2006] (Disc 1).EVO[/b]");
    EXPECT_EQ(named.visible, "Opening file Movie [2006] (Disc 1).EVO");
    EXPECT_EQ(named.runs.back(), (TextRun{13, 25, bold()}));
    EXPECT_EQ(parseMarkup("[[[]]]").visible, "[[[]]]");
    EXPECT_EQ(parseMarkup("a ] b [b]c[/b]").visible, "a ] b c");
    EXPECT_EQ(parseMarkup("[B]upper[/B] x").visible, "upper x");
    EXPECT_EQ(parseMarkup("[b]never closed").visible, "never closed");
    EXPECT_EQ(parseMarkup("[b]never closed").runs, (std::vector<TextRun>{{0, 12, bold()}}));
    EXPECT_EQ(parseMarkup("a [ b").visible, "a [ b");
}

TEST(Markup, LongRemaindersSurviveWhole) {
    const std::string name(1000, 'x');
    const LogLine line = parseMarkup("Opening file [b]" + name + "[/b] and more");
    EXPECT_EQ(line.visible, "Opening file " + name + " and more");
    ASSERT_EQ(line.runs.size(), 3u);
    EXPECT_EQ(line.runs[1], (TextRun{13, 1000, bold()}));
}

} // namespace
} // namespace tarnwick

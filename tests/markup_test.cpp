#include "log/log_line.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Markup, SizeLineShowsWidthAndHeightInBlue) {
    const LogLine line = parseMarkup("   Size = [bl]1920[/bl]x[bl]1080[/bl]");
    EXPECT_EQ(line.visible, "   Size = 1920x1080");
    ASSERT_EQ(line.runs.size(), 4u);
    EXPECT_EQ(line.runs[0], (TextRun{0, 10, {}}));
    EXPECT_EQ(line.runs[1].start, 10u);
    EXPECT_EQ(line.runs[1].length, 4u);
    EXPECT_EQ(line.runs[1].attributes.colour, BlueColour);
    EXPECT_EQ(line.runs[2], (TextRun{14, 1, {}}));
    EXPECT_EQ(line.runs[3].attributes.colour, BlueColour);
    EXPECT_EQ(line.runs[3].start + line.runs[3].length, line.visible.size());
}

} // namespace
} // namespace tarnwick

#include "commands/frame_summary.h"
#include "log/text_format.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(TextFormat, TimesOfDayRoundToTheMillisecondAndWrapAtTwentyFour) {
    const TimeFormat c;
    EXPECT_EQ(formatTimeOfDay(5400.5 / 86400, TimePattern::HMSDotMillis, c), "1:30:00.500");
    EXPECT_EQ(formatTimeOfDay(5400.5 / 86400, TimePattern::HMSColonMillis, c), "1:30:00:500");
    EXPECT_EQ(formatTimeOfDay(5400.5 / 86400, TimePattern::HMS, c), "1:30:00");
    EXPECT_EQ(formatTimeOfDay(0.0004999 / 86400, TimePattern::HMSDotMillis, c), "0:00:00.000");
    EXPECT_EQ(formatTimeOfDay(59.9996 / 86400, TimePattern::HMSDotMillis, c), "0:01:00.000");
    EXPECT_EQ(formatTimeOfDay((25 * 3600 + 61) / 86400.0, TimePattern::HMSDotMillis, c),
              "1:01:01.000");
    TimeFormat dots;
    dots.timeSeparator = ".";
    EXPECT_EQ(formatTimeOfDay(3661.25 / 86400, TimePattern::HMSColonMillis, dots), "1.01.01.250");
    EXPECT_EQ(formatTimeOfDay(3661.25 / 86400, TimePattern::HMSDotMillis, dots), "1.01.01.250");
}

TEST(TextFormat, RealsInShortestFormWithTheLocalesSeparator) {
    TimeFormat point, comma;
    comma.decimalSeparator = ',';
    EXPECT_EQ(formatReal(25, point), "25");
    EXPECT_EQ(formatReal(44.1, point), "44.1");
    EXPECT_EQ(formatReal(44.1, comma), "44,1");
    EXPECT_EQ(formatReal(24000.0 / 1001, point), "23.976023976024");
    EXPECT_EQ(formatReal(-0.5, comma), "-0,5");
    EXPECT_EQ(hex(0x1A, 2), "1A");
    EXPECT_EQ(hex(0x5, 2), "05");
    EXPECT_EQ(hex8(0xBB83), "0000BB83");
}

TEST(FrameSummary, CountsDurationsAndCalculatedFrames) {
    FrameSummary t;
    RecordingSink log;
    const TimeFormat locale;
    t.counted = {96, 0};
    t.rate = {24000.0 / 1001, 0};
    t.totalSeconds = 4.0;
    logFrameSummary(t, log, locale, true);
    EXPECT_EQ(log.visibleLog(), "96 counted frames (0:00:04.004) in video stream 0.\n"
                                "96 calculated frames (0:00:04:000) in video stream 0.\n");

    // No frame rate: the count alone; no rate and no count: nothing.
    log.lines.clear();
    t.rate = {0, 0};
    t.counted = {0, 12};
    logFrameSummary(t, log, locale, false);
    EXPECT_EQ(log.visibleLog(), "12 frames count in video stream 1.\n");

    // A rate and no navigation pack: the calculated line with 0, without the
    // total when the title has no second file.
    log.lines.clear();
    t.counted = {0, 0};
    t.rate = {25, 0};
    t.totalSeconds = 0;
    logFrameSummary(t, log, locale, false);
    EXPECT_EQ(log.visibleLog(), "0 calculated frames in video stream 0.");

    // Halves round to the even neighbour.
    log.lines.clear();
    t.totalSeconds = 0.1; // 2.5 frames
    logFrameSummary(t, log, locale, false);
    EXPECT_EQ(log.visibleLog(), "2 calculated frames in video stream 0.");
}

} // namespace
} // namespace tarnwick

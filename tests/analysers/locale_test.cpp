// Real numbers in analyser lines take the locale's decimal separator; the
// texts of the fixed tables are printed as they stand.

#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

struct Locale {
    char separator;
    // The lines of every analyser on a header whose numbers need a separator.
    Lines analyseAll() {
        AnalyserBench bench;
        bench.locale.decimalSeparator = separator;
        auto run = [&](const Bytes& payload, auto analyser) {
            const int at = bench.place(payload);
            analyser(at, int(payload.size()));
        };
        AnalyserBench& a = bench;
        run(ac3Header(1, 0x1C, 8, 0, 7),
            [&](int p, int n) { logDescription(a, describeAC3(analyserInput(a, p, n), 0)); });
        Vc1SequenceHeader vc1;
        vc1.frameRateNr = 1;
        run(vc1SequenceHeader(vc1),
            [&](int p, int n) { logDescription(a, describeVC1(analyserInput(a, p, n)), 0); });
        vc1.frameRateExp = 800;
        run(vc1SequenceHeader(vc1),
            [&](int p, int n) { logDescription(a, describeVC1(analyserInput(a, p, n)), 0); });
        run(sps({}), [&](int p, int n) {
            logDescription(a, describeH264(analyserInput(a, p, n)), 0);
        });
        run({0xA0, 1, 0, 4, 5, 0x11, 0xFF, 0, 0}, [&](int p, int n) {
            logDescription(a, describeLPCM(analyserInput(a, p + 7, n - 7)));
        });
        run(trueHdSync(8, 0, 0, 1, 0, 1, 0x21, 0xFF), [&](int p, int n) {
            logDescription(a, describeMLP(analyserInput(a, p, n + 1)));
        });
        DtsCore dts;
        dts.sfreq = 8;
        dts.rate = 22;
        run(dtsCore(dts), [&](int p, int n) {
            logDescription(a, describeDTS(analyserInput(a, p, n + 4)));
        });
        SequenceHeader mpeg2;
        mpeg2.frameRateCode = 1;
        mpeg2.aspect = 4;
        run(sequenceHeader(mpeg2), [&](int p, int n) {
            logDescription(a, describeMPEG2(analyserInput(a, p, n), 0), 0);
        });
        return bench.lines();
    }
};

bool has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(AnalyserNumbers, DecimalCommaForRealNumbersTableTextsAsTheyStand) {
    const Lines comma = Locale{','}.analyseAll();
    EXPECT_TRUE(has(comma, "   Sampling frequency = [bl]44,1[/bl] kHz"));
    EXPECT_TRUE(has(comma, "   Frame Rate = [bl]23,976[/bl] (24000/1001)"));
    EXPECT_TRUE(has(comma, "   Frame Rate = [bl]25,03125[/bl]"));
    EXPECT_TRUE(has(comma, "   Frame rate = 23,976 fps"));
    EXPECT_TRUE(has(comma, "   Dynamic range = -24,2839 dB"));
    EXPECT_TRUE(has(comma, "   Dynamic range control = 17,8607 dB .. -24,2839 dB"));
    // Table texts: the MLP rate keeps its point, the DTS texts their comma,
    // the MPEG-2 lines their point.
    EXPECT_TRUE(has(comma, "   Sampling frequency = [bl]44.1[/bl] kHz"));
    EXPECT_TRUE(has(comma, "   Sampling frequency = [bl]44,1[/bl] kHz"));
    EXPECT_TRUE(has(comma, "   Transmission bitrate = [bl]1411,2[/bl] kbit/s"));
    EXPECT_TRUE(has(comma, "   Frame rate = [bl]23.976[/bl] fps"));
    EXPECT_TRUE(has(comma, "   Aspect ratio = [bl]2.21:1[/bl]"));

    const Lines point = Locale{'.'}.analyseAll();
    ASSERT_EQ(point.size(), comma.size());
    EXPECT_TRUE(has(point, "   Frame Rate = [bl]23.976[/bl] (24000/1001)"));
    EXPECT_TRUE(has(point, "   Frame rate = 23.976 fps"));
    EXPECT_TRUE(has(point, "   Dynamic range = -24.2839 dB"));
    EXPECT_TRUE(has(point, "   Transmission bitrate = [bl]1411,2[/bl] kbit/s"));
    // Lines without real numbers read the same under both.
    size_t differing = 0;
    for (size_t k = 0; k < point.size(); ++k)
        differing += point[k] != comma[k];
    EXPECT_EQ(differing, 6u);
}

} // namespace
} // namespace tarnwick::testing

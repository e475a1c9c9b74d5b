#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

Lines analyse(AnalyserBench& bench, Bytes payload) {
    payload.insert(payload.end(), 16, 0x00);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeDTS(analyserInput(bench, at, int(payload.size()))));
    return bench.lines();
}

TEST(DtsAnalyser, FiveOneCoreAt1536) {
    AnalyserBench bench;
    EXPECT_EQ(
        analyse(bench, dtsCore({})),
        (Lines{"   PCM core samples = 32", "   PCM sample blocks = 16",
               "   Primary frame byte size = 2012",
               "   Channel arrangement = [bl]C + L + R + Ls + Rs[/bl]",
               "   Sampling frequency = [bl]48[/bl] kHz",
               "   Transmission bitrate = [bl]1536[/bl] kbit/s",
               "   LFE channel = [bl]present[/bl] (IF:64)", "   Encoder software rev. = 7, Current",
               "   Source PCM resolution = [bl]24[/bl] bits"}));
}

TEST(DtsAnalyser, TableTextsStandWhateverTheLocale) {
    AnalyserBench bench;
    bench.locale.decimalSeparator = '.';
    DtsCore c;
    c.sfreq = 8;
    c.rate = 22;
    c.amode = 20;
    const Lines lines = analyse(bench, dtsCore(c));
    EXPECT_EQ(lines[3], "   Channel arrangement = [bl]User defined[/bl]");
    EXPECT_EQ(lines[4], "   Sampling frequency = [bl]44,1[/bl] kHz");
    EXPECT_EQ(lines[5], "   Transmission bitrate = [bl]1411,2[/bl] kbit/s");

    AnalyserBench empty;
    c.sfreq = 4;
    c.rate = 31;
    c.amode = 63;
    c.lff = 3;
    c.pcmr = 7;
    const Lines other = analyse(empty, dtsCore(c));
    EXPECT_EQ(other[3], "   Channel arrangement = [bl]User defined[/bl]");
    EXPECT_EQ(other[4], "   Sampling frequency = [bl][/bl] kHz");
    EXPECT_EQ(other[5], "   Transmission bitrate = [bl]Loss-less[/bl] kbit/s");
    EXPECT_EQ(other[6], "   LFE channel = invalid");
    EXPECT_EQ(other[8], "   Source PCM resolution = ");
}

TEST(DtsAnalyser, HeaderCrcExtensionsAndVersions) {
    AnalyserBench noCrc;
    for (const std::string& line : analyse(noCrc, dtsCore({})))
        EXPECT_EQ(line.find("Header CRC"), std::string::npos);

    AnalyserBench crc;
    DtsCore c;
    c.cpf = true;
    c.hcrc = 0x00AB;
    c.extAudio = true;
    c.extAudioId = 2;
    c.vernum = 3;
    c.lff = 0;
    c.pcmr = 5;
    const Lines lines = analyse(crc, dtsCore(c));
    EXPECT_EQ(
        Lines(lines.begin() + 6, lines.end()),
        (Lines{"   Extension audio = Frequency extension", "   LFE channel = not present",
               "   Header CRC = 00AB", "   Encoder software rev. = 3, Future rev. (compatible)",
               "   Source PCM resolution = [bl]24[/bl] bits, [bl]DTS ES[/bl]"}));

    AnalyserBench future;
    c.vernum = 8;
    c.cpf = false;
    EXPECT_EQ(analyse(future, dtsCore(c))[8],
              "   Encoder software rev. = 8, Future rev. (incompatible");
}

TEST(DtsAnalyser, ExtensionSyncWordsAfterTheCore) {
    AnalyserBench bench;
    DtsCore es;
    es.pcmr = 5;
    es.extAudio = true;
    es.extAudioId = 0;
    Bytes payload = dtsCore(es);
    payload.insert(payload.end(), 20, 0x44);
    payload.insert(payload.end(), {0x5A, 0x5A, 0x5A, 0x5A, 0x01, 0x1D, 0x95, 0xF2, 0x62});
    const Lines lines = analyse(bench, payload);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[6], "   Extension audio = Channel extension");
    EXPECT_EQ(lines[10], "   Channel extension found");
    EXPECT_EQ(lines[11], "   Frequency extensiond found ([bl]96[/bl] kHz)");
}

TEST(DtsAnalyser, EveryCoreOfThePayloadIsDecoded) {
    AnalyserBench bench;
    Bytes payload = dtsCore({});
    payload.insert(payload.end(), 30, 0x10);
    DtsCore second;
    second.sfreq = 12;
    const Bytes more = dtsCore(second);
    payload.insert(payload.end(), more.begin(), more.end());
    const Lines lines = analyse(bench, payload);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[13], "   Sampling frequency = [bl]24[/bl] kHz");
}

} // namespace
} // namespace tarnwick::testing

// tarnwick-cli read --json: the report as data agrees with the text report.

#include "commands/report_json.h"
#include "support/run_program.h"
#include "support/shared_samples.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using nlohmann::json;

const std::string Cli = TARNWICK_CLI;
const std::string Samples = TARNWICK_SAMPLES;

// The "First PTS" values of the text log, file by file.
std::vector<std::vector<uint32_t>> textFirstPts(const std::string& log) {
    std::vector<std::vector<uint32_t>> files(1);
    std::istringstream lines(log);
    const std::regex pts(R"(First PTS = \[re\]([0-9A-F]{8})\[/re\])");
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Continue on", 0) == 0) files.emplace_back();
        std::smatch m;
        if (std::regex_search(line, m, pts)) files.back().push_back(std::stoul(m[1], nullptr, 16));
    }
    return files;
}

// "N counted frames ... in video stream V." of the text log.
std::map<int, int64_t> textCountedFrames(const std::string& log) {
    std::map<int, int64_t> counted;
    const std::regex line(R"((\d+) (counted frames|frames count).* in video stream (\d)\.)");
    for (std::sregex_iterator m(log.begin(), log.end(), line), end; m != end; ++m)
        counted[std::stoi((*m)[3])] = std::stoll((*m)[1]);
    return counted;
}

void expectAgreesWithText(const std::string& source) {
    SCOPED_TRACE(source);
    const ProgramResult data = runProgram(Cli, {"read", "--json", source});
    ASSERT_EQ(data.exitCode, 0) << data.err;
    EXPECT_EQ(data.err, "");

    // Parses with python's json.tool.
    const std::string file = scratchFolder("json") + "report.json";
    std::ofstream(file) << data.out;
    EXPECT_EQ(runProgram("/usr/bin/python3", {"-m", "json.tool", file}).exitCode, 0);

    const json report = json::parse(data.out);
    const ProgramResult text = runProgram(Cli, {"read", "--markup", source});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_EQ(report["tool"], "tarnwick-cli");
    EXPECT_EQ(report["sources"][0]["size"], std::filesystem::file_size(source));

    // Boxes and captions as the text report lists the ticked streams.
    std::string listed;
    for (const json& stream : report["streams"])
        listed +=
            stream["box"].get<std::string>() + "\t" + stream["caption"].get<std::string>() + "\n";
    EXPECT_NE(text.out.rfind(listed), std::string::npos) << listed;
    EXPECT_EQ(text.out.size(), text.out.rfind(listed) + listed.size());

    // First PTS values per file, and delays against the first video stream.
    const auto textPts = textFirstPts(text.out);
    ASSERT_EQ(textPts.size(), report["sources"].size());
    const json* video = nullptr;
    for (const json& stream : report["streams"])
        if (stream["kind"] == "video" && !video) video = &stream;
    for (size_t f = 0; f < textPts.size(); ++f) {
        std::multiset<uint32_t> fromJson, fromText(textPts[f].begin(), textPts[f].end());
        for (const json& stream : report["streams"])
            if (!stream["first_pts"][f].is_null())
                fromJson.insert(stream["first_pts"][f].get<uint32_t>());
        EXPECT_EQ(fromJson, fromText) << "file " << f;
    }
    for (const json& stream : report["streams"]) {
        if (!video) {
            EXPECT_TRUE(stream["delay_ms"].is_null());
            continue;
        }
        const double ticks = double(stream["first_pts"][0].get<int64_t>()) -
                             double((*video)["first_pts"][0].get<int64_t>());
        EXPECT_EQ(stream["delay_ms"].get<int64_t>(), std::lround(ticks / 90.0)) << stream["box"];
    }

    const auto counted = textCountedFrames(text.out);
    for (const json& stream : report["streams"]) {
        if (stream["kind"] != "video") continue;
        const int slot = stream["box"].get<std::string>()[1] - '0';
        const int64_t expected = counted.count(slot) ? counted.at(slot) : 0;
        EXPECT_EQ(stream["frames"]["counted"], expected);
    }
}

TEST(ReadJson, AgreesWithTheTextReportOnEverySample) {
    expectAgreesWithText(Samples + "/DISC/HVDVD_TS/FEATURE_1.EVO");
    for (const char* name : {"dvd_mpeg2_ac3.vob", "dvd_ntsc_lpcm_ac3.vob"}) {
        const SampleFile sample = dvdSample(name);
        if (!sample.path.empty()) expectAgreesWithText(sample.path);
    }
}

TEST(ReadJson, DescribesTheFeature) {
    const ProgramResult r =
        runProgram(Cli, {"read", "--json", Samples + "/DISC/HVDVD_TS/FEATURE_1.EVO"});
    const json report = json::parse(r.out);
    ASSERT_EQ(report["sources"].size(), 2u);
    EXPECT_FALSE(report["sources"][0]["navigation"].is_null());
    const json& streams = report["streams"];
    ASSERT_EQ(streams.size(), 4u);
    const std::vector<std::tuple<std::string, std::string, int, int>> expected = {
        {"video", "H.264", 0xE2, -1},
        {"audio", "AC-3", 0xBD, 0x80},
        {"audio", "E-AC-3", 0xBD, 0xC3},
        {"subpicture", "Subpicture", 0xBD, 0x20}};
    for (size_t k = 0; k < expected.size(); ++k) {
        const auto& [kind, codec, id, sub] = expected[k];
        EXPECT_EQ(streams[k]["kind"], kind);
        EXPECT_EQ(streams[k]["codec"], codec);
        EXPECT_EQ(streams[k]["stream_id"], id);
        if (sub < 0)
            EXPECT_TRUE(streams[k]["substream_id"].is_null());
        else
            EXPECT_EQ(streams[k]["substream_id"], sub);
    }
    EXPECT_EQ(streams[0]["delay_ms"], 0);
}

TEST(ReadJson, PlaylistNamesTheStreams) {
    const std::string xpl = Samples + "/DISC/ADV_OBJ/VPLST000.XPL";
    const ProgramResult r = runProgram(
        Cli, {"read", "--json", Samples + "/DISC/HVDVD_TS/FEATURE_1.EVO", "--playlist", xpl});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json report = json::parse(r.out);
    const json& streams = report["streams"];
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams[1]["box"], "a00");
    EXPECT_EQ(streams[1]["description"], "English 5.1");
    EXPECT_EQ(streams[2]["box"], "a03");
    EXPECT_EQ(streams[2]["description"], "Deutsch 2.0");
    // The item has no language attribute; the code is the one the MKV gets
    // from the title's langcode "de:01".
    EXPECT_TRUE(streams[2]["playlist_language"].is_null());
    EXPECT_EQ(streams[2]["language"], "ger");
    EXPECT_EQ(streams[3]["description"], "English");
    // The scan's captions stay; the playlist's label comes beside them.
    EXPECT_EQ(streams[2]["caption"], "DD+.stream.03");
    EXPECT_NE(streams[2]["label"].get<std::string>().find("Deutsch 2.0"), std::string::npos);
}

TEST(ReadJson, UsageAndFailures) {
    const std::string sample = Samples + "/DISC/HVDVD_TS/FEATURE_1.EVO";
    EXPECT_EQ(runProgram(Cli, {"demux", "--json", sample}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"read", "--playlist", "x.XPL", sample}).exitCode, 2);
    const ProgramResult missing = runProgram(Cli, {"read", "--json", "/nonexistent/A.EVO"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err, "");
}

TEST(ReadJson, DelayIsRoundedAndNeedsVideo) {
    ScanReport report;
    report.clips.resize(2);
    StreamReport& audio = report.audio[0];
    audio.id = 0x80;
    audio.firstPts = {std::nullopt, 90000 + 45};
    EXPECT_EQ(delayMilliseconds(report, audio), std::nullopt);
    report.video[0].id = 0xE0;
    report.video[0].firstPts = {1000, 90000};
    EXPECT_EQ(delayMilliseconds(report, audio), 1); // half a millisecond rounds up
    audio.firstPts = {1000 - 135, 0};
    EXPECT_EQ(delayMilliseconds(report, audio), -2); // and down below zero
    audio.firstPts = {0xFFFFFFFFu, 0};
    EXPECT_EQ(delayMilliseconds(report, audio), (int64_t(0xFFFFFFFF) - 1000 + 45) / 90);
}

StreamReport videoStream(int32_t id, std::vector<Field> details) {
    StreamReport stream;
    stream.id = id;
    stream.details = std::move(details);
    return stream;
}

// The rates the CLI tests on the samples do not meet: VC-1's coded and
// explicit rates, H.264's timing fields, MPEG-2's forbidden code.
TEST(ReportValues, FrameRateFractionFromTheExactFieldsElseFromTheRate) {
    using F = std::optional<std::pair<int64_t, int64_t>>;
    const std::pair<StreamReport, F> cases[] = {
        {videoStream(0xE2,
                     {{"time_scale", int64_t(50), ""}, {"num_units_in_tick", int64_t(1), ""}}),
         F({25, 1})},
        {videoStream(0x55, {{"frame_rate_numerator", int64_t(30000), ""},
                            {"frame_rate_denominator", int64_t(1001), ""}}),
         F({30000, 1001})},
        {videoStream(0x55, {{"frame_rate", 767 / 32.0, ""}}), F({767, 32})},
        {videoStream(0xE0, {{"frame_rate", 60000 / 1001.0, ""}}), F({60000, 1001})},
        {videoStream(0xE0, {{"frame_rate", 1.0, ""}}), std::nullopt},
        {videoStream(0xE0, {{"width", int64_t(720), ""}}), std::nullopt},
    };
    for (const auto& [stream, fraction] : cases)
        EXPECT_EQ(frameRateFraction(stream), fraction) << stream.details.front().key;
}

// Frames counted time a clip only when it is the title's only one, read to
// its end; navigation packs time it even when cut.
TEST(ReportValues, ClipSecondsFromNavigationElseFromTheFramesOfAWholeOnlyClip) {
    // navigation seconds (0: none), clips, read to the end, frames counted, seconds
    const std::tuple<double, size_t, bool, std::optional<int64_t>, std::optional<double>> cases[] =
        {{2.5, 2, false, 40, 2.5},
         {0, 1, true, 100, 4.0},
         {0, 1, false, 31, std::nullopt},
         {0, 2, true, 100, std::nullopt},
         {0, 1, true, std::nullopt, std::nullopt}};
    for (const auto& [navigation, clips, complete, counted, seconds] : cases) {
        ScanReport report;
        report.clips.resize(clips);
        for (ClipReport& clip : report.clips) {
            clip.complete = complete;
            if (navigation > 0) clip.dsi = DsiReport{1, 1, 1, 0, 0, 0, navigation};
        }
        report.video[0] = videoStream(0xE0, {{"frame_rate", 25.0, ""}});
        report.video[0].countedFrames = counted;
        EXPECT_EQ(clipSeconds(report, 0), seconds) << clips << complete;
    }
}

// Without the iso-codes table a stream the playlist names has no known code.
TEST(ReportValues, NamedStreamsLanguageIsNullWithoutTheLanguageTable) {
    ScanReport report;
    report.audio[0].id = 0x80;
    report.audio[1].id = 0x81;
    Title title;
    title.streams = {{StreamKind::Audio, 0, "Deutsch 2.0", "de:01"}};
    const LanguageTable languages = loadLanguageTable();
    for (const LanguageTable* table : {&languages, static_cast<const LanguageTable*>(nullptr)}) {
        const json streams =
            json::parse(reportJson({report, "t", "v", nullptr, &title, table}))["streams"];
        EXPECT_EQ(streams[0]["language"], table ? json("ger") : json(nullptr));
        EXPECT_EQ(streams[1]["language"], "und");
    }
}

} // namespace
} // namespace tarnwick

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

TEST(ReportValues, FrameRateFractionFromTheExactFieldsElseFromTheRate) {
    struct RateCase {
        const char* name;
        StreamReport stream;
        std::optional<std::pair<int64_t, int64_t>> fraction;
    };
    using F = std::pair<int64_t, int64_t>;
    const RateCase cases[] = {
        {"H.264 24p NTSC",
         videoStream(0xE2, {{"time_scale", int64_t(48000), ""},
                            {"num_units_in_tick", int64_t(1001), ""},
                            {"frame_rate", 23.976, ""}}),
         F{24000, 1001}},
        {"H.264 25p",
         videoStream(0xE2, {{"time_scale", int64_t(50), ""},
                            {"num_units_in_tick", int64_t(1), ""},
                            {"frame_rate", 25.0, ""}}),
         F{25, 1}},
        {"VC-1 coded rate",
         videoStream(0x55, {{"frame_rate", 29.97, ""},
                            {"frame_rate_numerator", int64_t(30000), ""},
                            {"frame_rate_denominator", int64_t(1001), ""}}),
         F{30000, 1001}},
        {"VC-1 explicit rate", videoStream(0x55, {{"frame_rate", 767 / 32.0, ""}}), F{767, 32}},
        {"MPEG-2 23.976", videoStream(0xE0, {{"frame_rate", 24000 / 1001.0, ""}}), F{24000, 1001}},
        {"MPEG-2 59.94", videoStream(0xE0, {{"frame_rate", 60000 / 1001.0, ""}}), F{60000, 1001}},
        {"MPEG-2 50", videoStream(0xE0, {{"frame_rate", 50.0, ""}}), F{50, 1}},
        {"MPEG-2 forbidden code", videoStream(0xE0, {{"frame_rate", 1.0, ""}}), std::nullopt},
        {"no rate", videoStream(0xE0, {{"width", int64_t(720), ""}}), std::nullopt},
    };
    for (const RateCase& c : cases)
        EXPECT_EQ(frameRateFraction(c.stream), c.fraction) << c.name;
}

TEST(ReportValues, ClipSecondsFromNavigationElseFromTheFramesOfAWholeOnlyClip) {
    struct TimeCase {
        const char* name;
        std::optional<double> navigation; // the clip's DSI duration
        size_t clips;
        bool complete;
        std::optional<int64_t> counted;
        std::optional<double> seconds;
    };
    const TimeCase cases[] = {
        {"navigation packs", 2.5, 2, false, 40, 2.5},
        {"whole only clip", std::nullopt, 1, true, 100, 4.0},
        {"cut by the fast check", std::nullopt, 1, false, 31, std::nullopt},
        {"one of two clips", std::nullopt, 2, true, 100, std::nullopt},
        {"frames not counted", std::nullopt, 1, true, std::nullopt, std::nullopt},
    };
    for (const TimeCase& c : cases) {
        ScanReport report;
        report.clips.resize(c.clips);
        for (ClipReport& clip : report.clips) {
            clip.complete = c.complete;
            if (c.navigation) clip.dsi = DsiReport{1, 1, 1, 0, 0, 0, *c.navigation};
        }
        report.video[0] = videoStream(0xE0, {{"frame_rate", 25.0, ""}});
        report.video[0].countedFrames = c.counted;
        EXPECT_EQ(clipSeconds(report, 0), c.seconds) << c.name;
    }
}

// What a header holds in place of a value it does not know reaches the
// document as null, as do the frames a cut scan or a missing playing time
// cannot give; a stream nothing names is "und", as in the MKV.
TEST(ReportValues, UnknownValuesAreNullAndLanguagesAreTheMkvsCodes) {
    ScanReport report;
    report.clips.resize(1);
    report.clips[0].path = "A.VOB";
    report.video[0] = videoStream(0xE0, {{"frame_rate", 1.0, ""},
                                         {"bit_rate", int64_t(0x3FFFF) * 400, ""},
                                         {"width", int64_t(720), ""}});
    report.video[0].caption = "MPEG-2.stream.0";
    report.video[0].countedFrames = 31399;
    report.audio[0].id = 0x80;
    report.audio[0].caption = "DD.stream.00";
    report.audio[1].id = 0x81;
    report.audio[1].caption = "DD.stream.01";
    Title title;
    title.streams = {{StreamKind::Audio, 0, "Deutsch 2.0", "de:01"}};
    const LanguageTable languages = loadLanguageTable();
    struct DocumentCase {
        const LanguageTable* languages;
        json a00;
    };
    for (const DocumentCase& c :
         {DocumentCase{&languages, "ger"}, DocumentCase{nullptr, nullptr}}) {
        const json document = json::parse(
            reportJson({report, "tarnwick-cli", "0.626", nullptr, &title, c.languages}));
        EXPECT_EQ(document["title"], json::parse(R"({"number": null, "name": null,
            "playlist": null, "duration_seconds": null, "chapters": []})"));
        EXPECT_EQ(document["sources"][0]["read_to_end"], false);
        EXPECT_TRUE(document["sources"][0]["duration_seconds"].is_null());
        const json& video = document["streams"][0];
        EXPECT_EQ(video["details"], json::parse(R"({"frame_rate": null, "bit_rate": null,
            "width": 720, "frame_rate_fraction": null})"));
        EXPECT_EQ(video["frames"], json::parse(R"({"counted": 31399, "calculated": null,
            "counted_to_end": false})"));
        EXPECT_EQ(video["language"], "und");
        EXPECT_EQ(document["streams"][1]["language"], c.a00);
        EXPECT_EQ(document["streams"][1]["langcode"], "de:01");
        EXPECT_EQ(document["streams"][2]["language"], "und");
        EXPECT_TRUE(document["streams"][2]["langcode"].is_null());
    }
}

} // namespace
} // namespace tarnwick

// tarnwick-cli mkv and titles: the MKV of the bundled disc and of DVD VOBs
// with audio starting before and after the video carries the tracks with
// their codecs, names, languages and delays, the title and the chapters;
// each audio track extracts to the demuxed stream; bad input ends with a
// message, exit status 1 and no file under the MKV's name.

#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mount.h>

using namespace tarnwick::testing;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string Cli = TARNWICK_CLI;
const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";

// A fresh folder, without the final delimiter.
std::string scratch(const std::string& name) {
    std::string folder = scratchFolder(name);
    folder.pop_back();
    return folder;
}

ProgramResult cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    return runProgram(Cli, args, env);
}

json mkvInfo(const std::string& file) {
    return json::parse(runProgram("/usr/bin/mkvmerge", {"-J", file}).out);
}

// The first time stamp of each track of the file, in milliseconds.
double firstMs(const std::string& file, int track) {
    const ProgramResult r =
        runProgram("/usr/bin/ffprobe",
                   {"-v", "error", "-select_streams", std::to_string(track), "-show_entries",
                    "packet=pts_time", "-read_intervals", "%+#1", "-of", "csv=p=0", file});
    return std::stod(r.out) * 1000;
}

// The report's streams that go into the MKV, in track order.
std::vector<json> muxedStreams(const std::string& source) {
    const json report = json::parse(cli({"read", "--json", "--no-fast-check", source}).out);
    std::vector<json> streams;
    for (const json& s : report["streams"])
        if (s["kind"] != "subpicture") streams.push_back(s);
    return streams;
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void expectDelays(const std::string& mkv, const std::vector<json>& streams) {
    const double video = firstMs(mkv, 0);
    for (size_t k = 1; k < streams.size(); ++k)
        EXPECT_NEAR(firstMs(mkv, int(k)) - video, streams[k]["delay_ms"].get<double>(), 2)
            << streams[k]["caption"];
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The samples of a WAV file: its data chunk.
std::string waveSamples(const std::string& path) {
    const std::string bytes = bytesOf(path);
    const size_t data = bytes.find("data");
    return data == std::string::npos ? std::string() : bytes.substr(data + 8);
}

// An MPEG-2 DVD VOB: video from 0.3 s, AC-3 from 0 s and 16-bit LPCM from
// 0.8 s: one audio track starts before the video, one after.
std::string makeVob(const std::string& folder) {
    const std::string vob = folder + "/movie.vob";
    const std::string sine = "sine=frequency=440:sample_rate=48000";
    const ProgramResult r = runProgram("/usr/bin/ffmpeg", {"-v",
                                                           "error",
                                                           "-y",
                                                           "-f",
                                                           "lavfi",
                                                           "-i",
                                                           "testsrc=size=352x288:rate=25",
                                                           "-f",
                                                           "lavfi",
                                                           "-i",
                                                           sine,
                                                           "-itsoffset",
                                                           "0.8",
                                                           "-f",
                                                           "lavfi",
                                                           "-i",
                                                           sine,
                                                           "-map",
                                                           "0:v",
                                                           "-map",
                                                           "1:a",
                                                           "-map",
                                                           "2:a",
                                                           "-filter:v",
                                                           "setpts=PTS+0.3/TB",
                                                           "-c:v",
                                                           "mpeg2video",
                                                           "-c:a:0",
                                                           "ac3",
                                                           "-c:a:1",
                                                           "pcm_dvd",
                                                           "-ac",
                                                           "2",
                                                           "-t",
                                                           "2",
                                                           "-f",
                                                           "vob",
                                                           vob});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return vob;
}

} // namespace

TEST(MkvCommand, BundledDiscBecomesOneMkvWithItsPlaylist) {
    const std::string out = scratch("mkv_disc");
    const ProgramResult r = cli({"mkv", Disc, "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // The work folder is gone; the subpictures are in the MKV.
    EXPECT_EQ(entries(out), (std::vector<std::string>{"Tarnwick Sample.mkv"}));

    const std::string mkv = out + "/Tarnwick Sample.mkv";
    const json info = mkvInfo(mkv);
    EXPECT_EQ(info["container"]["properties"]["title"], "Tarnwick Sample");
    ASSERT_EQ(info["chapters"].size(), 1u);
    EXPECT_EQ(info["chapters"][0]["num_entries"], 3);
    const json& tracks = info["tracks"];
    ASSERT_EQ(tracks.size(), 4u);
    const char* codecs[] = {"V_MPEG4/ISO/AVC", "A_AC3", "A_EAC3", "S_VOBSUB"};
    // The playlist's names; no internal caption names a track.
    const char* names[] = {"", "English 5.1", "Deutsch 2.0", "English"};
    const char* languages[] = {"und", "eng", "ger", "eng"};
    const bool defaults[] = {true, true, false, false};
    for (size_t k = 0; k < 4; ++k) {
        const json& p = tracks[k]["properties"];
        EXPECT_EQ(p["codec_id"], codecs[k]);
        EXPECT_EQ(p.value("track_name", ""), names[k]);
        EXPECT_EQ(p["language"], languages[k]);
        EXPECT_EQ(p["default_track"], defaults[k]);
    }
    expectDelays(mkv, muxedStreams(Disc + "/HVDVD_TS/FEATURE_1.EVO"));
}

TEST(MkvCommand, VobWithoutPlaylistKeepsEveryAudioStartAndEveryByte) {
    const std::string folder = scratch("mkv_vob");
    const std::string vob = makeVob(folder);
    const std::vector<json> streams = muxedStreams(vob);
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_NEAR(streams[1]["delay_ms"].get<double>(), -300, 40);
    EXPECT_NEAR(streams[2]["delay_ms"].get<double>(), 500, 40);

    const std::string out = folder + "/out";
    fs::create_directory(out);
    const ProgramResult r = cli({"mkv", vob, "-o", out, "--keep-streams"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string mkv = out + "/movie.mkv";
    const json info = mkvInfo(mkv);
    EXPECT_FALSE(info["container"]["properties"].contains("title"));
    EXPECT_TRUE(info["chapters"].empty());
    const json& tracks = info["tracks"];
    ASSERT_EQ(tracks.size(), 3u);
    const char* codecs[] = {"V_MPEG2", "A_AC3", "A_PCM/INT/LIT"};
    for (size_t k = 0; k < 3; ++k) {
        const json& p = tracks[k]["properties"];
        EXPECT_EQ(p["codec_id"], codecs[k]);
        EXPECT_FALSE(p.contains("track_name")); // no playlist, no name
        EXPECT_EQ(p["language"], "und");
        EXPECT_EQ(p["default_track"], k < 2);
    }
    expectDelays(mkv, streams);

    // The kept streams, named by their boxes, against what mkvextract gives
    // back.
    std::string work;
    for (const std::string& name : entries(out))
        if (name.rfind("movie.streams-", 0) == 0) work = out + "/" + name;
    ASSERT_FALSE(work.empty());
    const std::string ac3 = work + "/" + streams[1]["box"].get<std::string>() + ".mpa";
    const std::string wav = work + "/" + streams[2]["box"].get<std::string>() + ".wav";
    const ProgramResult x = runProgram(
        "/usr/bin/mkvextract", {mkv, "tracks", "1:" + folder + "/x.ac3", "2:" + folder + "/x.wav"});
    ASSERT_EQ(x.exitCode, 0) << x.out;
    EXPECT_EQ(bytesOf(folder + "/x.ac3"), bytesOf(ac3));
    const std::string samples = waveSamples(wav);
    EXPECT_GT(samples.size(), 100000u);
    EXPECT_EQ(waveSamples(folder + "/x.wav"), samples);

    // "Detailed info" only decides what is logged: the same starts and the
    // LPCM wrapped as WAV without it.
    const std::string quiet = folder + "/quiet";
    fs::create_directory(quiet);
    const ProgramResult q = cli({"mkv", vob, "-o", quiet, "--no-details"});
    ASSERT_EQ(q.exitCode, 0) << q.out << q.err;
    const json plain = mkvInfo(quiet + "/movie.mkv");
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(plain["tracks"][k]["properties"]["codec_id"], codecs[k]);
        EXPECT_NEAR(firstMs(quiet + "/movie.mkv", int(k)), firstMs(mkv, int(k)), 0.5) << k;
    }
}

TEST(MkvCommand, TitlesListsThePlaylist) {
    const ProgramResult r = cli({"titles", Disc});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Title 1: Tarnwick Sample\n"
                     "  Duration: 00:00:04:00 (4.000 s)\n"
                     "  Clips: FEATURE_1.MAP, FEATURE_2.MAP\n"
                     "  Audio: 1 English 5.1 (en:01), 4 Deutsch 2.0 (de:01)\n"
                     "  Subtitles: 1 English (en:01)\n"
                     "  Chapters: 3\n");
    EXPECT_EQ(cli({"titles", scratch("mkv_titles")}).exitCode, 1);
}

TEST(MkvCommand, BadInputEndsWithAMessageAndNoMkv) {
    const std::string folder = scratch("mkv_bad");
    const std::string vob = makeVob(folder);
    const std::string fakes = folder + "/fakes";
    fs::create_directory(fakes);
    // A muxer that writes part of the file and then finds the disk full.
    const std::string full = fakes + "/full";
    std::ofstream(full) << "#!/bin/sh\nout=$(sed -n 's/^ *\"\\(.*\\.mkv\\)\",$/\\1/p' \"${2#@}\" "
                           "| head -n 1)\nhead -c 1000 /dev/zero > \"$out\"\n"
                           "echo '#GUI#error No space left on device'\nexit 2\n";
    fs::permissions(full, fs::perms::owner_all);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::string message;
        int status = 1;
    };
    const std::vector<Case> cases = {
        // An unknown title number is a usage error, as in xpl.
        {{"mkv", Disc, "--title", "7"}, {}, "has no title 7", 2},
        {{"mkv", vob, "--playlist", Disc + "/ADV_OBJ/VPLST000.XPL"},
         {},
         "No title of the playlist"},
        {{"mkv", folder}, {}, "neither a source file nor a disc folder"},
        {{"mkv", Disc, "--mkvmerge", fakes + "/none"}, {}, "Install mkvtoolnix"},
        {{"mkv", Disc}, {"PATH=" + fakes}, "Install mkvtoolnix"},
        {{"mkv", Disc, "--mkvmerge", full}, {}, "No space left on device"},
    };
    for (const Case& c : cases) {
        const std::string out = folder + "/out";
        fs::remove_all(out);
        fs::create_directory(out);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", out});
        const ProgramResult r = cli(args, c.env);
        EXPECT_EQ(r.exitCode, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(entries(out).empty()) << c.message << ": " << entries(out).size();
    }
}

namespace {

// A 1 MiB file system of its own, mounted for the life of the object when
// mounting is allowed (as root in a sandbox).
class SmallFolder {
public:
    explicit SmallFolder(const std::string& path) : path_(path) {
        fs::create_directories(path);
        mounted_ = ::mount("tarnwick-mkv", path.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallFolder() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    SmallFolder(const SmallFolder&) = delete;
    SmallFolder& operator=(const SmallFolder&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

} // namespace

// The output folder fills up while the streams are demuxed (a large file
// already there) or while mkvmerge writes: exit status 1, the reason, and
// nothing left behind.
TEST(MkvCommand, FullOutputFolderLeavesNoFileBehind) {
    const std::string folder = scratch("mkv_full") + "/out";
    const SmallFolder out(folder);
    if (!out.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    struct Case {
        size_t filler;
        std::string message;
    };
    for (const Case& c : {Case{600000, "No space left on device"}, Case{0, "mkvmerge failed"}}) {
        std::ofstream(folder + "/filler", std::ios::binary) << std::string(c.filler, 'x');
        const ProgramResult r = cli({"mkv", Disc, "-o", folder, "-q"});
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(entries(folder), std::vector<std::string>{"filler"});
    }
}

namespace {

std::vector<double> packetTimesMs(const std::string& file, const std::string& stream) {
    const ProgramResult r =
        runProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                                        "packet=pts_time", "-of", "csv=p=0", file});
    std::vector<double> times;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) times.push_back(line == "N/A" ? HUGE_VAL : std::stod(line) * 1000);
    return times;
}

// The offset of the audio's first packet to the video's first frame, from
// packet `audioFrom` and video packet `videoFrom` on.
double offsetFrom(const std::string& file, size_t videoFrom, size_t audioFrom) {
    const std::vector<double> video = packetTimesMs(file, "v:0");
    const std::vector<double> audio = packetTimesMs(file, "a:0");
    EXPECT_GT(video.size(), videoFrom);
    EXPECT_GT(audio.size(), audioFrom);
    if (video.size() <= videoFrom || audio.size() <= audioFrom) return 1e9;
    return audio[audioFrom] - *std::min_element(video.begin() + long(videoFrom), video.end());
}

} // namespace

// Part 1's audio ends half a second before or after its video; part 2's
// audio still starts where the disc starts it, against part 2's first frame,
// and part 1's audio that would run into it is left out: no overlap, and a
// gap of less than a frame.
class MkvJoin : public ::testing::TestWithParam<double> {};

TEST_P(MkvJoin, TwoPartFeatureStaysInSyncAcrossTheJoin) {
    const double audioSeconds = GetParam();
    const std::string folder = scratch("mkv_join_" + std::to_string(int(audioSeconds * 10)));
    const std::string tones[] = {"sine=frequency=440:sample_rate=48000:duration=" +
                                     std::to_string(audioSeconds),
                                 "sine=frequency=880:sample_rate=48000:duration=2"};
    for (int part = 0; part < 2; ++part) {
        const ProgramResult r = runProgram(
            "/usr/bin/ffmpeg", {"-v",
                                "error",
                                "-y",
                                "-bitexact",
                                "-f",
                                "lavfi",
                                "-i",
                                "testsrc=size=352x288:rate=25:duration=2",
                                "-f",
                                "lavfi",
                                "-i",
                                tones[part],
                                "-map",
                                "0:v",
                                "-map",
                                "1:a",
                                "-c:v",
                                "mpeg2video",
                                "-c:a",
                                "ac3",
                                "-f",
                                "vob",
                                folder + "/VTS_01_" + std::to_string(part + 1) + ".VOB"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const std::string part1 = folder + "/VTS_01_1.VOB", part2 = folder + "/VTS_01_2.VOB";
    const size_t videoFrames = packetTimesMs(part1, "v:0").size();
    const size_t audioFrames = packetTimesMs(part1, "a:0").size();
    ASSERT_EQ(videoFrames, 50u);
    // 32 ms frames: 1.504 s or 2.528 s against 2 s of video.
    ASSERT_EQ(audioFrames, audioSeconds < 2 ? 47u : 79u);

    const ProgramResult r = cli({"mkv", part1, "-o", folder});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string mkv = folder + "/VTS_01_1_VTS_01_2.mkv";
    EXPECT_NEAR(offsetFrom(mkv, 0, 0), offsetFrom(part1, 0, 0), 2);
    const std::vector<double> video = packetTimesMs(mkv, "v:0");
    std::vector<double> audio = packetTimesMs(mkv, "a:0");
    ASSERT_EQ(video.size(), 2 * videoFrames);
    const double secondPart = *std::min_element(video.begin() + long(videoFrames), video.end());
    const double expected = secondPart + offsetFrom(part2, 0, 0);
    std::sort(audio.begin(), audio.end());
    const auto first = std::lower_bound(audio.begin(), audio.end(), expected - 2);
    ASSERT_NE(first, audio.end());
    EXPECT_NEAR(*first, expected, 2);
    // Part 1's audio gap before the join, where its audio ends first, stays
    // as it is; no other gap is longer than a frame and the source's.
    const double sourceGap = std::max(0.0, 2000 - 32.0 * double(audioFrames));
    for (size_t k = 1; k < audio.size(); ++k) {
        EXPECT_GE(audio[k] - audio[k - 1], 31) << "overlap at " << audio[k];
        EXPECT_LE(audio[k] - audio[k - 1], sourceGap + 2 * 32.0) << "gap at " << audio[k];
    }
}

INSTANTIATE_TEST_SUITE_P(AudioEndingBeforeAndAfterTheVideo, MkvJoin, ::testing::Values(1.5, 2.5));

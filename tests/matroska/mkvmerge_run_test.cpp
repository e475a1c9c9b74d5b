// mkvmerge runs from the option file with every track's name, language,
// delay and default flag, the title and the chapters; its GUI-mode lines
// reach the callbacks; a missing mkvmerge says what to install.

#include "engine/write_signals.h"
#include "matroska/mkvmerge_run.h"
#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::testing;
using nlohmann::json;

namespace {

struct Heard {
    std::vector<int> progress;
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
    MkvmergeCallbacks callbacks() {
        return {[this](int p) { progress.push_back(p); },
                [this](const std::string& w) { warnings.push_back(w); },
                [this](const std::string& e) { errors.push_back(e); }, nullptr};
    }
};

std::string encode(const std::string& folder, const std::string& name,
                   std::vector<std::string> args) {
    args.insert(args.begin(), {"-v", "error", "-y", "-bitexact"});
    args.insert(args.end(), {"-t", "2", folder + name});
    const ProgramResult r = runProgram("/usr/bin/ffmpeg", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return folder + name;
}

// The time of the first packet of a stream of the file, in milliseconds.
double firstPacketMs(const std::string& file, const std::string& stream) {
    const ProgramResult r = runProgram(
        "/usr/bin/ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                             "packet=pts_time", "-read_intervals", "%+#1", "-of", "csv=p=0", file});
    return std::stod(r.out) * 1000;
}

std::string fakeProgram(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

} // namespace

TEST(MkvmergeRun, TracksTitleAndChaptersReachTheFile) {
    const std::string folder = scratchFolder("mkvmerge_run") + "/";
    const std::string sine = "sine=frequency=440:sample_rate=48000";
    MkvJob job;
    job.output = folder + "out \"1\".mkv";
    job.title = "Tarnwick's \"Sample\" – Grüße";
    job.chapterFile = folder + "chapters.txt";
    std::ofstream(job.chapterFile) << "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Öffnung\n"
                                      "CHAPTER02=00:00:01.000\nCHAPTER02NAME=--title\n";
    job.tracks = {
        {encode(folder, "v.h264",
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=24", "-c:v", "libx264",
                 "-threads", "1", "-f", "h264"}),
         "", "und", 0, "", true},
        {encode(folder, "a.ac3", {"-f", "lavfi", "-i", sine, "-c:a", "ac3", "-f", "ac3"}),
         "English 5.1", "eng", 480, "", true},
        {encode(folder, "@b.ac3", {"-f", "lavfi", "-i", sine, "-c:a", "ac3", "-f", "ac3"}),
         "Deutsch 2.0", "ger", -96, "", false},
    };
    const std::string options = folder + "options.json";
    writeMkvmergeOptions(job, options);
    std::ifstream in(options);
    EXPECT_EQ(json::parse(in).get<std::vector<std::string>>(), mkvmergeArguments(job));

    Heard heard;
    const MkvmergeResult r = runMkvmerge(options, heard.callbacks());
    ASSERT_EQ(r.outcome, MkvmergeOutcome::Done) << r.message;
    EXPECT_TRUE(heard.errors.empty());
    ASSERT_FALSE(heard.progress.empty());
    EXPECT_EQ(heard.progress.back(), 100);

    const json info = json::parse(runProgram("/usr/bin/mkvmerge", {"-J", job.output}).out);
    EXPECT_EQ(info["container"]["properties"]["title"], job.title);
    EXPECT_EQ(info["chapters"][0]["num_entries"], 2);
    const json& tracks = info["tracks"];
    ASSERT_EQ(tracks.size(), 3u);
    const char* codecs[] = {"V_MPEG4/ISO/AVC", "A_AC3", "A_AC3"};
    for (size_t k = 0; k < 3; ++k) {
        const json& p = tracks[k]["properties"];
        EXPECT_EQ(p["codec_id"], codecs[k]);
        EXPECT_EQ(p["language"], job.tracks[k].language);
        EXPECT_EQ(p.value("track_name", ""), job.tracks[k].name);
        EXPECT_EQ(p["default_track"], job.tracks[k].isDefault);
    }
    const double video = firstPacketMs(job.output, "v:0");
    EXPECT_NEAR(firstPacketMs(job.output, "a:0") - video, 480, 2);
    // A negative delay cuts the track's start: its first frame that is kept.
    EXPECT_LE(std::abs(firstPacketMs(job.output, "a:1") - video), 32);
}

TEST(MkvmergeRun, GuiLinesReachTheirCallbacks) {
    Heard heard;
    const MkvmergeCallbacks c = heard.callbacks();
    for (const char* line :
         {"#GUI#progress 7%", "#GUI#progress 100%", "#GUI#progress 250%", "#GUI#progress x%",
          "#GUI#progress 12", "#GUI#warning Track 2: odd", "#GUI#error No space left",
          "The file 'x.mkv' has been opened for writing.", "#GUI#begin_scanning_playlists"})
        handleMkvmergeLine(line, c);
    EXPECT_EQ(heard.progress, (std::vector<int>{7, 100}));
    EXPECT_EQ(heard.warnings, std::vector<std::string>{"Track 2: odd"});
    EXPECT_EQ(heard.errors, std::vector<std::string>{"No space left"});
}

TEST(MkvmergeRun, ExitStatusMissingProgramAndCancel) {
    const std::string folder = scratchFolder("mkvmerge_fake") + "/";
    const std::string warns =
        fakeProgram(folder + "warns",
                    "echo \"$1 $2\" > \"$0.args\"\necho '#GUI#progress 10%'\n"
                    "echo '#GUI#warning odd' >&2\nprintf '#GUI#progress 100%%\\r\\n'\nexit 1\n");
    Heard heard;
    MkvmergeResult r = runMkvmerge(folder + "o.json", heard.callbacks(), warns);
    EXPECT_EQ(r.outcome, MkvmergeOutcome::DoneWithWarnings);
    EXPECT_EQ(heard.progress, (std::vector<int>{10, 100}));
    EXPECT_EQ(heard.warnings, std::vector<std::string>{"odd"});
    std::ifstream args(warns + ".args");
    std::string line;
    std::getline(args, line);
    EXPECT_EQ(line, "--gui-mode @" + folder + "o.json");

    r = runMkvmerge("o.json", heard.callbacks(), fakeProgram(folder + "fails", "exit 2\n"));
    EXPECT_EQ(r.outcome, MkvmergeOutcome::Failed);
    EXPECT_EQ(r.exitCode, 2);

    for (const std::string& program : {folder + "none", std::string("tarnwick-no-mkvmerge")}) {
        r = runMkvmerge("o.json", heard.callbacks(), program);
        EXPECT_EQ(r.outcome, MkvmergeOutcome::Missing);
        EXPECT_NE(r.message.find("Install mkvtoolnix"), std::string::npos) << r.message;
    }

    // Stopped while it waits, silent, after its first progress line.
    MkvmergeCallbacks stop = heard.callbacks();
    heard.progress.clear();
    stop.cancelled = [&] { return !heard.progress.empty(); };
    r = runMkvmerge("o.json", stop,
                    fakeProgram(folder + "slow", "echo '#GUI#progress 1%'\nexec sleep 60\n"));
    EXPECT_EQ(r.outcome, MkvmergeOutcome::Cancelled);
}

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// mkvmerge starts in the folder given, with the signals a front end ignores
// back at their defaults; after Cancel it is asked to stop, and killed when
// it does not.
TEST(MkvmergeRun, RunsInItsFolderWithDefaultSignalsAndIsKilledWhenItIgnoresStop) {
    const std::string folder = scratchFolder("mkvmerge_place");
    const std::string work = folder + "work";
    std::filesystem::create_directory(work);
    ignoreWriteSignals();
    MkvmergePlace place;
    place.folder = ::open(work.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    place.stopGraceMilliseconds = 100;
    const std::string program = fakeProgram(
        folder + "ignores", "trap '' TERM\npwd > \"$0.pwd\"\necho $$ > \"$0.pid\"\n"
                            "sed -n 's/^SigIgn:\\t//p' /proc/$$/status > \"$0.ignored\"\n"
                            "echo \"$2\" > \"$0.options\"\necho '#GUI#progress 1%'\n"
                            "while :; do sleep 1; done\n");
    Heard heard;
    MkvmergeCallbacks stop = heard.callbacks();
    stop.cancelled = [&] { return !heard.progress.empty(); };
    const MkvmergeResult r = runMkvmerge("options.json", stop, program, place);
    ::close(place.folder);
    EXPECT_EQ(r.outcome, MkvmergeOutcome::Cancelled);
    EXPECT_EQ(slurp(program + ".pwd"), work + "\n");
    EXPECT_EQ(slurp(program + ".options"), "@options.json\n");
    // SIGTERM (bit 14) is the stand-in's own; SIGPIPE (13) and SIGXFSZ (25)
    // are not ignored.
    const unsigned long long ignored = std::stoull(slurp(program + ".ignored"), nullptr, 16);
    EXPECT_EQ(ignored & ((1ull << 12) | (1ull << 24)), 0u) << std::hex << ignored;
    EXPECT_EQ(ignored & (1ull << 14), 1ull << 14);
    const pid_t pid = std::stoi(slurp(program + ".pid"));
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

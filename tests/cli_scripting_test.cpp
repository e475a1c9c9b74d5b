// tarnwick-cli in scripts and batch loops: the JSON documents of read,
// titles and mkv; -q leaving the data a command prints; one Ctrl+C stopping
// a shell loop; write errors on standard output and past the file size
// limit; MKV names that a second run does not silently replace.

#include "support/run_program.h"
#include "support/shared_samples.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using nlohmann::json;
namespace fs = std::filesystem;

const std::string Cli = TARNWICK_CLI;
const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";
const std::string Sample1 = Disc + "/HVDVD_TS/FEATURE_1.EVO";
const std::string Xpl = Disc + "/ADV_OBJ/VPLST000.XPL";
const std::string Mkvmerge = "/usr/bin/mkvmerge";

json document(const std::vector<std::string>& args) {
    const ProgramResult r = runProgram(Cli, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return json::parse(r.out);
}

// A JSON pointer and the value it must hold in each run of a table.
struct KeyCase {
    const char* pointer;
    std::vector<json> values; // one per run, in the table's order
};

void expectKeys(const std::vector<json>& runs, const std::vector<KeyCase>& keys) {
    for (const KeyCase& key : keys)
        for (size_t run = 0; run < runs.size(); ++run)
            EXPECT_EQ(runs[run].at(json::json_pointer(key.pointer)), key.values[run])
                << key.pointer << " in run " << run;
}

// The disc as a folder, the title of the disc by number, a source with the
// playlist, a bare source: the streams carry the codes the MKV gets from the
// playlist; a bare source has none to give.
TEST(CliJson, BundledDiscReportsItsTitleAndTheMkvsLanguages) {
    const json disc = document({"read", "--json", Disc});
    EXPECT_EQ(document({"read", "--json", Disc + "/HVDVD_TS", "--title", "1"}), disc);
    const std::vector<json> runs = {disc, document({"read", "--json", Sample1, "--playlist", Xpl}),
                                    document({"read", "--json", Sample1})};
    const json chapters = json::parse(R"([{"name": "Opening", "start_seconds": 0.0},
        {"name": "Stripes", "start_seconds": 1.5}, {"name": "Closing", "start_seconds": 3.0}])");
    const json frames = json::parse(R"({"counted": 96, "calculated": 96, "counted_to_end": true})");
    expectKeys(runs, {
                         {"/title/number", {1, 1, nullptr}},
                         {"/title/name", {"Tarnwick Sample", "Tarnwick Sample", nullptr}},
                         {"/title/playlist", {Xpl, Xpl, nullptr}},
                         {"/title/chapters", {chapters, chapters, json::array()}},
                         {"/sources/0/read_to_end", {true, true, true}},
                         {"/sources/0/duration_seconds", {1.9664, 1.9664, 1.9664}},
                         {"/streams/0/details/frame_rate_fraction",
                          {"24000/1001", "24000/1001", "24000/1001"}},
                         {"/streams/0/frames", {frames, frames, frames}},
                         {"/streams/1/details/channels", {6, 6, 6}},
                         {"/streams/1/details/lfe", {1, 1, 1}},
                         {"/streams/2/details/channels", {2, 2, 2}},
                         {"/streams/0/language", {"und", "und", "und"}},
                         {"/streams/1/language", {"eng", "eng", "und"}},
                         {"/streams/2/language", {"ger", "ger", "und"}},
                         {"/streams/3/language", {"eng", "eng", "und"}},
                         {"/streams/2/langcode", {"de:01", "de:01", nullptr}},
                     });
    // The playlist's playing time, else the clips' from their navigation packs.
    EXPECT_EQ(disc["title"]["duration_seconds"], 4.0);
    const json& bare = runs[2];
    EXPECT_EQ(bare["title"]["duration_seconds"].get<double>(),
              bare["sources"][0]["duration_seconds"].get<double>() +
                  bare["sources"][1]["duration_seconds"].get<double>());
    // Read XPL's label and description come with a playlist only.
    EXPECT_EQ(runs[1]["streams"][2]["description"], "Deutsch 2.0");
    EXPECT_EQ(disc["streams"][2]["label"], "DD+.s03.Deutsch 2.0");
    EXPECT_FALSE(bare["streams"][2].contains("description"));
}

// DVD VOBs have no navigation data the report reads: their playing time is
// their frames counted to the end, unknown when the fast check cut the
// count; MPEG-2's variable bit rate marker and the frames without a
// playing time are null.
TEST(CliJson, DvdVobsGiveTheirPlayingTimeOnlyWhenReadToTheEnd) {
    std::vector<json> runs;
    for (const char* name : {"dvd_mpeg2_ac3.vob", "dvd_ntsc_lpcm_ac3.vob"}) {
        const SampleFile sample = dvdSample(name);
        if (sample.path.empty()) GTEST_SKIP() << sample.skipReason;
        runs.push_back(document({"read", "--json", sample.path}));
        if (runs.size() == 2)
            runs.push_back(document({"read", "--json", sample.path, "--fast-check", "1"}));
    }
    expectKeys(runs,
               {
                   {"/streams/0/details/frame_rate_fraction", {"25/1", "30000/1001", "30000/1001"}},
                   {"/streams/0/details/bit_rate", {nullptr, nullptr, nullptr}},
                   {"/streams/0/frames/counted", {100, 90, 53}},
                   {"/streams/0/frames/calculated", {nullptr, nullptr, nullptr}},
                   {"/streams/0/frames/counted_to_end", {true, true, false}},
                   {"/sources/0/read_to_end", {true, true, false}},
                   {"/sources/0/navigation", {nullptr, nullptr, nullptr}},
                   {"/sources/0/duration_seconds", {4.0, 3.003, nullptr}},
                   {"/title/duration_seconds", {4.0, 3.003, nullptr}},
                   {"/streams/1/details/channels", {2, 2, 2}},
                   {"/streams/1/box", {"a00", "a00", "a00"}},
                   {"/streams/0/language", {"und", "und", "und"}},
                   {"/streams/1/language", {"und", "und", "und"}},
               });
    // The NTSC sample's AC-3 is 5.1 in slot 15, beside its LPCM.
    EXPECT_EQ(runs[1]["streams"][2]["box"], "a15");
    EXPECT_EQ(runs[1]["streams"][2]["details"]["channels"], 6);
    EXPECT_EQ(runs[1]["streams"][2]["details"]["lfe"], 1);
}

TEST(CliJson, TitlesAreOneDocument) {
    const ProgramResult r = runProgram(Cli, {"titles", "--json", "-q", Disc});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    json expected = json::parse(R"({"tool": "tarnwick-cli", "version": "0.626",
        "titles": [{"number": 1, "name": "Tarnwick Sample", "duration": "00:00:04:00",
          "duration_seconds": 4.0,
          "clips": [{"map": "FEATURE_1.MAP", "begin_seconds": 0.0, "end_seconds": 1.9666666666666666},
                    {"map": "FEATURE_2.MAP", "begin_seconds": 1.9666666666666666, "end_seconds": 4.0}],
          "video_tracks": 1,
          "audio": [{"stream_number": 1, "box": "a00", "description": "English 5.1",
                     "langcode": "en:01", "language": "eng"},
                    {"stream_number": 4, "box": "a03", "description": "Deutsch 2.0",
                     "langcode": "de:01", "language": "ger"}],
          "subtitles": [{"stream_number": 1, "box": "s00", "description": "English",
                         "langcode": "en:01", "language": "eng"}],
          "chapters": [{"name": "Opening", "start_seconds": 0.0},
                       {"name": "Stripes", "start_seconds": 1.5},
                       {"name": "Closing", "start_seconds": 3.0}]}]})");
    expected["playlist"] = Xpl;
    EXPECT_EQ(json::parse(r.out), expected);
}

TEST(CliJson, MkvTellsWhatItWroteEvenWhenQuiet) {
    if (!fs::exists(Mkvmerge)) GTEST_SKIP() << "mkvmerge is not installed";
    const std::string out = scratchFolder("cli_mkv_json") + "out";
    const ProgramResult r = runProgram(Cli, {"mkv", Disc, "-o", out, "--json", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const json made = json::parse(r.out); // nothing but the document
    EXPECT_EQ(made["path"], out + "/Tarnwick Sample.mkv");
    EXPECT_TRUE(fs::exists(made["path"].get<std::string>()));
    EXPECT_EQ(made["duration_seconds"], 4.0);
    EXPECT_EQ(made["title"]["name"], "Tarnwick Sample");
    EXPECT_EQ(made["tracks"], json::parse(R"([
        {"box": "v0", "kind": "video", "codec": "H.264", "name": null, "language": "und",
         "start_ms": 0, "default": true},
        {"box": "a00", "kind": "audio", "codec": "AC-3", "name": "English 5.1", "language": "eng",
         "start_ms": 0, "default": true},
        {"box": "a03", "kind": "audio", "codec": "E-AC-3", "name": "Deutsch 2.0",
         "language": "ger", "start_ms": 0, "default": false},
        {"box": "s00", "kind": "subpicture", "codec": "VobSub", "name": "English",
         "language": "eng", "start_ms": 0, "default": false}])"));
    EXPECT_EQ(made["chapters"], 3);
    EXPECT_EQ(made["warnings"], json::array());
}

// -q takes the log and the progress away, never what a command exists to
// print: the run's last lines stay, exactly.
TEST(CliQuiet, LeavesTheDataACommandPrints) {
    const std::string out = scratchFolder("cli_quiet");
    const std::string streams = "v0\tH.264.stream.0\na00\tDD.stream.00\na03\tDD+.stream.03\n"
                                "s00\tSubpicture.00\n";
    const std::string listing = "Title 1: Tarnwick Sample\n  Duration: 00:00:04:00 (4.000 s)\n"
                                "  Clips: FEATURE_1.MAP, FEATURE_2.MAP\n"
                                "  Audio: 1 English 5.1 (en:01), 4 Deutsch 2.0 (de:01)\n"
                                "  Subtitles: 1 English (en:01)\n  Chapters: 3\n";
    struct QuietCase {
        std::vector<std::string> args;
        std::optional<std::string> data; // nothing: checked against the loud run only
    };
    const QuietCase cases[] = {
        {{"read", Sample1}, streams},
        {{"read", Disc}, streams},
        {{"titles", Disc}, listing},
        {{"xpl", Xpl},
         "1\tTarnwick Sample\t00:00:04:00\tFEATURE_1, FEATURE_2\t1 video, 2 audio, 1 subtitle\t"
         "3 chapters\n"},
        {{"xpl", Xpl, "--title", "1"}, std::nullopt},
        {{"demux", Sample1, "-o", out}, ""},
        {{"rebuild", Sample1, "-o", out}, ""},
    };
    for (const QuietCase& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const ProgramResult loud = runProgram(Cli, c.args);
        std::vector<std::string> args = c.args;
        args.push_back("-q");
        const ProgramResult quiet = runProgram(Cli, args);
        EXPECT_EQ(loud.exitCode, 0) << loud.err;
        EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
        EXPECT_EQ(quiet.err, "");
        if (c.data) {
            EXPECT_EQ(quiet.out, *c.data);
        }
        ASSERT_GE(loud.out.size(), quiet.out.size());
        EXPECT_EQ(loud.out.substr(loud.out.size() - quiet.out.size()), quiet.out);
        if (c.args[0] != "titles") {
            EXPECT_GT(loud.out.size(), quiet.out.size() + 20); // a log was left out
        }
    }
}

// A program that, run as mkvmerge, presses Ctrl+C for the whole process
// group, as a terminal does.
std::string ctrlCMuxer(const std::string& folder) {
    const std::string path = folder + "ctrl-c";
    std::ofstream(path) << "#!/bin/sh\nkill -INT 0\nexec sleep 30\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

struct ShellRun {
    int status = 0; // as waitpid gives it
    std::string out;
};

// Runs a bash script in a process group of its own: $0 is the CLI, $1 the
// disc, $2 the output folder, $3 the muxer.
ShellRun runLoop(const std::string& script, const std::string& out, const std::string& muxer) {
    const std::string outFile = out + "shell.txt";
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDOUT_FILENO);
        ::execl("/bin/bash", "bash", "-c", script.c_str(), Cli.c_str(), Disc.c_str(), out.c_str(),
                muxer.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ShellRun run;
    ::waitpid(child, &run.status, 0);
    std::ifstream in(outFile);
    std::stringstream text;
    text << in.rdbuf();
    run.out = text.str();
    return run;
}

// After its clean-up the program ends by the signal itself, so that the
// shell, which got the Ctrl+C as well, stops its loop; a shell that traps
// the signal sees the status 128 + 2.
TEST(CliSignals, OneCtrlCStopsTheShellLoop) {
    const std::string folder = scratchFolder("cli_loop");
    const std::string muxer = ctrlCMuxer(folder);
    const ShellRun loop = runLoop(
        "for n in 1 2 3; do echo \"run $n\"; \"$0\" mkv \"$1\" -q -o \"$2/$n\" --mkvmerge \"$3\"; "
        "done; echo 'the loop went on'",
        folder, muxer);
    EXPECT_EQ(loop.out, "run 1\n");
    ASSERT_TRUE(WIFSIGNALED(loop.status)) << loop.status;
    EXPECT_EQ(WTERMSIG(loop.status), SIGINT);
    // The interrupted run removed its work folder and wrote no MKV.
    EXPECT_TRUE(fs::is_empty(folder + "1"));

    const ShellRun trapped = runLoop("trap 'echo trapped' INT; \"$0\" mkv \"$1\" -q -o \"$2/t\" "
                                     "--mkvmerge \"$3\"; echo \"status $?\"",
                                     folder, muxer);
    EXPECT_EQ(trapped.out, "trapped\nstatus 130\n");
    EXPECT_TRUE(WIFEXITED(trapped.status) && WEXITSTATUS(trapped.status) == 0);
}

// Runs the CLI with `prepare` done in the child before it starts.
ProgramResult runPrepared(const std::vector<std::string>& args,
                          const std::function<void()>& prepare) {
    const std::string folder = scratchFolder("cli_prepared");
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open((folder + "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((folder + "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        prepare();
        std::vector<char*> argv{const_cast<char*>(Cli.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(Cli.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ProgramResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(folder + "err");
    std::stringstream text;
    text << in.rdbuf();
    r.err = text.str();
    return r;
}

// Standard output into a pipe nobody reads any more (`| head`), and files
// past the file size limit (`ulimit -f`): write errors with their reason,
// exit status 1, not a silent death by SIGPIPE or SIGXFSZ.
TEST(CliWriteErrors, ClosedPipeAndFileSizeLimitAreReportedAsWriteErrors) {
    const auto closedPipe = [] {
        int ends[2];
        if (::pipe(ends) != 0) ::_exit(126);
        ::close(ends[0]);
        ::dup2(ends[1], STDOUT_FILENO);
    };
    const auto smallFiles = [] {
        const rlimit limit{100 * 1024, 100 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const std::string out = scratchFolder("cli_write_errors");
    struct WriteCase {
        std::vector<std::string> args;
        std::function<void()> prepare;
        std::string error;
    };
    const WriteCase cases[] = {
        {{"read", Sample1},
         closedPipe,
         "tarnwick-cli: cannot write to standard output: Broken pipe\n"},
        {{"titles", Disc},
         closedPipe,
         "tarnwick-cli: cannot write to standard output: Broken pipe\n"},
        {{"read", "--json", Sample1},
         closedPipe,
         "tarnwick-cli: cannot write to standard output: Broken pipe\n"},
        {{"demux", Sample1, "-q", "-o", out},
         smallFiles,
         "tarnwick-cli: Write error on \"" + out +
             "FEATURE_1_FEATURE_2.H.264.stream.0.mpv\". File too large\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ProgramResult r = runPrepared(c.args, c.prepare);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), c.error.size())), c.error)
            << r.err;
    }
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ino_t inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Runs into one folder, one after the other: the MKV of a title is named
// after it, and a second run with that name ends before reading anything
// unless --overwrite or another --name is given.
TEST(CliMkvNames, AnExistingMkvIsReplacedOnlyWhenAskedTo) {
    if (!fs::exists(Mkvmerge)) GTEST_SKIP() << "mkvmerge is not installed";
    const std::string out = scratchFolder("cli_mkv_names") + "out";
    const std::string first = out + "/Tarnwick Sample.mkv";
    const std::string refused = "tarnwick-cli: the MKV \"" + first +
                                "\" exists already; --overwrite replaces it, --name NAME writes "
                                "another\n";
    struct NameCase {
        std::vector<std::string> options;
        int status;
        std::string err;
        std::vector<std::string> files; // in the folder afterwards
        bool replaced;                  // the first MKV is a new file
    };
    const NameCase cases[] = {
        {{}, 0, "", {"Tarnwick Sample.mkv"}, true},
        {{}, 1, refused, {"Tarnwick Sample.mkv"}, false},
        {{"--name", "Second.mkv"}, 0, "", {"Second.mkv", "Tarnwick Sample.mkv"}, false},
        {{"--name", "Second"},
         1,
         "tarnwick-cli: the MKV \"" + out +
             "/Second.mkv\" exists already; --overwrite replaces "
             "it, --name NAME writes another\n",
         {"Second.mkv", "Tarnwick Sample.mkv"},
         false},
        {{"--overwrite"}, 0, "", {"Second.mkv", "Tarnwick Sample.mkv"}, true},
    };
    ino_t before = 0;
    for (size_t k = 0; k < std::size(cases); ++k) {
        const NameCase& c = cases[k];
        SCOPED_TRACE("run " + std::to_string(k));
        std::vector<std::string> args = {"mkv", Disc, "-o", out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramResult r = runProgram(Cli, args);
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
        if (c.status != 0) {
            EXPECT_EQ(r.out, ""); // refused before the source is read
        }
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(out))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(inode(first) != before, c.replaced);
        before = inode(first);
    }
}

// Another run that puts an MKV of the same name in place while this one
// muxes keeps it: the finished file does not replace it.
TEST(CliMkvNames, AnMkvThatAppearsWhileMuxingIsKept) {
    const std::string folder = scratchFolder("cli_mkv_race");
    const std::string muxer = folder + "other-run-first";
    // Writes the job's file and, as another run would, the final name.
    std::ofstream(muxer) << "#!/bin/sh\nout=$(sed -n 's/^ *\"\\(.*\\.mkv\\)\",$/\\1/p' \"${2#@}\" "
                            "| head -n 1)\necho mine > \"$out\"\n"
                            "echo theirs > \"$(dirname \"$(dirname \"$out\")\")/$(basename "
                            "\"$out\")\"\n";
    fs::permissions(muxer, fs::perms::owner_all);
    const ProgramResult r =
        runProgram(Cli, {"mkv", Disc, "-o", folder + "out", "-q", "--mkvmerge", muxer});
    EXPECT_EQ(r.exitCode, 1);
    const std::string mkv = folder + "out/Tarnwick Sample.mkv";
    EXPECT_EQ(r.err, "tarnwick-cli: Cannot name the MKV " + mkv + ". File exists\n");
    EXPECT_EQ(fileText(mkv), "theirs\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder + "out"), fs::directory_iterator()), 1);
}

// Every command and option the program's usage names is in the manual page,
// the bash completion and the README.
TEST(CliDocumentation, ManPageCompletionAndReadmeCoverEveryCommandAndOption) {
    const std::string usage = runProgram(Cli, {"--help"}).out;
    std::set<std::string> words;
    const std::regex option(R"(--?[a-z][a-z-]*)");
    for (std::sregex_iterator m(usage.begin(), usage.end(), option), end; m != end; ++m)
        if (m->str() != "-ext") words.insert(m->str()); // "--video-ext EXT, --audio-ext EXT"
    ASSERT_GT(words.size(), 25u) << usage;
    for (const char* command : {"read", "demux", "rebuild", "xpl", "mkv", "titles"})
        words.insert(command);
    const std::string root = std::string(TARNWICK_SAMPLES) + "/../";
    const std::string readme = fileText(root + "README.md");
    const std::string completion = fileText(root + "packaging/tarnwick-cli.bash");
    std::string manual = fileText(root + "packaging/tarnwick-cli.1");
    // groff writes a hyphen as "\-".
    for (size_t at; (at = manual.find("\\-")) != std::string::npos;)
        manual.replace(at, 2, "-");
    for (const std::string& word : words) {
        EXPECT_NE(manual.find(word), std::string::npos) << word << " in the manual page";
        EXPECT_NE(completion.find(word), std::string::npos) << word << " in the completion";
        EXPECT_NE(readme.find(word), std::string::npos) << word << " in the README";
    }
}

} // namespace
} // namespace tarnwick

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
const bool HaveMkvmerge = fs::exists("/usr/bin/mkvmerge");
const json Absent = "(absent)";

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

json document(std::vector<std::string> args) {
    const ProgramResult r = runProgram(Cli, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return json::parse(r.out);
}

// Each key's value in each document: numbers to a billionth, a key that is
// not there as Absent.
using Keys = std::vector<std::pair<const char*, std::vector<json>>>;
void expectKeys(const std::vector<json>& documents, const Keys& keys) {
    for (const auto& [pointer, values] : keys)
        for (size_t k = 0; k < documents.size(); ++k) {
            const json::json_pointer p(pointer);
            const json got = documents[k].contains(p) ? documents[k][p] : Absent;
            if (got.is_number() && values[k].is_number())
                EXPECT_NEAR(got.get<double>(), values[k].get<double>(), 1e-9) << pointer << k;
            else
                EXPECT_EQ(got, values[k]) << pointer << " in document " << k;
        }
}

// The bundled disc as a disc, as a source with its playlist and as a bare
// source; DVD VOBs read to their end and cut short by the fast check.
TEST(CliJson, ReadGivesPlayingTimesRatesLfeAndTheMkvsLanguages) {
    const SampleFile pal = dvdSample("dvd_mpeg2_ac3.vob"),
                     ntsc = dvdSample("dvd_ntsc_lpcm_ac3.vob");
    if (pal.path.empty() || ntsc.path.empty()) GTEST_SKIP() << pal.skipReason << ntsc.skipReason;
    std::vector<json> docs;
    for (std::vector<std::string> args : {std::vector<std::string>{Disc},
                                          {Sample1, "--playlist", Xpl},
                                          {Sample1},
                                          {pal.path},
                                          {ntsc.path},
                                          {ntsc.path, "--fast-check", "1"}}) {
        args.insert(args.begin(), {"read", "--json"});
        docs.push_back(document(args));
    }
    EXPECT_EQ(document({"read", "--json", Disc + "/HVDVD_TS", "--title", "1"}), docs[0]);
    const auto frames = [](int counted, json calculated, bool toEnd) {
        return json{{"counted", counted}, {"calculated", calculated}, {"counted_to_end", toEnd}};
    };
    const json n = nullptr, a = Absent, avc = "24000/1001", ntscRate = "30000/1001",
               stripes = {{"name", "Stripes"}, {"start_seconds", 1.5}}, hd = frames(96, 96, true);
    expectKeys(
        docs,
        {{"/title/number", {1, 1, n, n, n, n}},
         {"/title/duration_seconds", {4.0, 4.0, 359998 / 90000.0, 4.0, 3.003, n}},
         {"/title/chapters/1", {stripes, stripes, a, a, a, a}},
         {"/sources/0/read_to_end", {true, true, true, true, true, false}},
         {"/sources/0/duration_seconds", {1.9664, 1.9664, 1.9664, 4.0, 3.003, n}},
         {"/streams/0/details/frame_rate_fraction", {avc, avc, avc, "25/1", ntscRate, ntscRate}},
         {"/streams/0/details/bit_rate", {a, a, a, n, n, n}}, // the VBR marker
         {"/streams/0/frames",
          {hd, hd, hd, frames(100, n, true), frames(90, n, true), frames(53, n, false)}},
         {"/streams/1/details/channels", {6, 6, 6, 2, 2, 2}},
         {"/streams/1/details/lfe", {1, 1, 1, 0, a, a}},
         {"/streams/2/details/lfe", {0, 0, 0, a, 1, 1}},
         {"/streams/0/language", {"und", "und", "und", "und", "und", "und"}},
         {"/streams/1/language", {"eng", "eng", "und", "und", "und", "und"}},
         {"/streams/2/language", {"ger", "ger", "und", a, "und", "und"}},
         {"/streams/2/langcode", {"de:01", "de:01", n, a, n, n}},
         {"/streams/2/description", {"Deutsch 2.0", "Deutsch 2.0", a, a, a, a}}});
}

TEST(CliJson, TitlesAndMkvAreDocumentsEvenWhenQuiet) {
    const json titles = document({"titles", "--json", "-q", Disc});
    expectKeys({titles},
               {{"/playlist", {Xpl}},
                {"/titles/0/name", {"Tarnwick Sample"}},
                {"/titles/0/duration_seconds", {4.0}},
                {"/titles/0/clips/1/map", {"FEATURE_2.MAP"}},
                {"/titles/0/audio/1", {json::parse(R"({"stream_number": 4, "box": "a03",
                    "description": "Deutsch 2.0", "langcode": "de:01", "language": "ger"})")}},
                {"/titles/0/chapters/2", {{{"name", "Closing"}, {"start_seconds", 3.0}}}}});
    if (!HaveMkvmerge) GTEST_SKIP() << "mkvmerge is not installed";
    const std::string out = scratchFolder("cli_mkv_json") + "out";
    const json mkv = document({"mkv", Disc, "-o", out, "--json", "-q"});
    EXPECT_TRUE(fs::exists(out + "/Tarnwick Sample.mkv"));
    const json tracks = json::parse(R"([
        {"box": "v0", "kind": "video", "codec": "H.264", "name": null, "language": "und",
         "start_ms": 0, "default": true},
        {"box": "a00", "kind": "audio", "codec": "AC-3", "name": "English 5.1", "language": "eng",
         "start_ms": 0, "default": true},
        {"box": "a03", "kind": "audio", "codec": "E-AC-3", "name": "Deutsch 2.0", "language": "ger",
         "start_ms": 0, "default": false},
        {"box": "s00", "kind": "subpicture", "codec": "VobSub", "name": "English",
         "language": "eng", "start_ms": 0, "default": false}])");
    expectKeys({mkv}, {{"/path", {out + "/Tarnwick Sample.mkv"}},
                       {"/duration_seconds", {4.0}},
                       {"/title/number", {1}},
                       {"/tracks", {tracks}},
                       {"/chapters", {3}},
                       {"/warnings", {json::array()}}});
}

// -q takes the log and the progress away, never what a command exists to
// print: the loud run's last lines, exactly.
TEST(CliQuiet, LeavesTheDataACommandPrints) {
    const std::string out = scratchFolder("cli_quiet");
    const std::string streams =
        "v0\tH.264.stream.0\na00\tDD.stream.00\na03\tDD+.stream.03\ns00\tSubpicture.00\n";
    // The data, else (nothing) what the loud run ends with: the titles, the
    // title's tag lines.
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> cases = {
        {{"read", Sample1}, streams},
        {{"read", Disc}, streams},
        {{"xpl", Xpl},
         "1\tTarnwick Sample\t00:00:04:00\tFEATURE_1, FEATURE_2\t1 video, 2 audio, "
         "1 subtitle\t3 chapters\n"},
        {{"titles", Disc}, std::nullopt},
        {{"xpl", Xpl, "--title", "1"}, std::nullopt},
        {{"demux", Sample1, "-o", out}, ""},
    };
    for (const auto& [args, data] : cases) {
        const ProgramResult loud = runProgram(Cli, args);
        std::vector<std::string> quietArgs = args;
        quietArgs.push_back("-q");
        const ProgramResult quiet = runProgram(Cli, quietArgs);
        EXPECT_EQ(loud.exitCode + quiet.exitCode, 0) << args[0] << quiet.err;
        EXPECT_EQ(quiet.err, "");
        const size_t logEnd = loud.out.rfind("\n\n"); // the log ends with an empty line
        const std::string printed =
            logEnd == std::string::npos ? loud.out : loud.out.substr(logEnd + 2);
        EXPECT_EQ(quiet.out, data.value_or(printed)) << args[0];
        EXPECT_EQ(printed, quiet.out) << args[0];
        EXPECT_NE(quiet.out.empty(), data != "") << args[0];
    }
}

struct ChildRun {
    int status = 0; // as waitpid gives it
    std::string out, err;
};

// Runs a program with `prepare` done in the child just before it starts.
ChildRun runChild(const std::vector<std::string>& argv, const std::function<void()>& prepare) {
    const std::string folder = scratchFolder("cli_child");
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::open((folder + "out").c_str(), O_WRONLY | O_CREAT, 0644), STDOUT_FILENO);
        ::dup2(::open((folder + "err").c_str(), O_WRONLY | O_CREAT, 0644), STDERR_FILENO);
        prepare();
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ChildRun run;
    ::waitpid(child, &run.status, 0);
    run.out = fileText(folder + "out");
    run.err = fileText(folder + "err");
    return run;
}

// A muxer that presses Ctrl+C for the shell's process group, as a terminal
// does: after its clean-up the CLI ends by the signal, so that the shell,
// which got it too, stops its loop; a shell that traps it sees 130.
TEST(CliSignals, OneCtrlCStopsTheShellLoop) {
    const std::string folder = scratchFolder("cli_loop");
    std::ofstream(folder + "ctrl-c") << "#!/bin/sh\nkill -INT -$LOOP_GROUP\nexec sleep 30\n";
    fs::permissions(folder + "ctrl-c", fs::perms::owner_all);
    const auto inItsOwnGroup = [] { ::setpgid(0, 0); };
    const std::string mkv = " mkv \"$1\" -q --mkvmerge \"$2ctrl-c\" -o \"$2";
    const ChildRun loop =
        runChild({"/bin/bash", "-c",
                  "export LOOP_GROUP=$$; for n in 1 2 3; do echo \"run $n\"; \"$0\"" + mkv +
                      "$n\"; done; echo 'the loop went on'",
                  Cli, Disc, folder},
                 inItsOwnGroup);
    EXPECT_EQ(loop.out, "run 1\n");
    EXPECT_TRUE(WIFSIGNALED(loop.status) && WTERMSIG(loop.status) == SIGINT) << loop.status;
    EXPECT_TRUE(fs::is_empty(folder + "1")); // no work folder, no MKV left
    const ChildRun trapped = runChild(
        {"/bin/bash", "-c",
         "export LOOP_GROUP=$$; trap 'echo trapped' INT; \"$0\"" + mkv + "t\"; echo \"status $?\"",
         Cli, Disc, folder},
        inItsOwnGroup);
    EXPECT_EQ(trapped.out, "trapped\nstatus 130\n");
}

// Standard output into a pipe nobody reads (`| head`) and files past the
// size limit (`ulimit -f`): write errors with their reason and status 1,
// not a silent death by SIGPIPE or SIGXFSZ.
TEST(CliWriteErrors, ClosedPipeAndFileSizeLimitAreWriteErrors) {
    const auto closedPipe = [] {
        int ends[2];
        if (::pipe(ends) == 0 && ::close(ends[0]) == 0) ::dup2(ends[1], STDOUT_FILENO);
    };
    const auto smallFiles = [] {
        const rlimit limit{100 << 10, 100 << 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const std::string out = scratchFolder("cli_write_errors");
    const std::string pipeError = "tarnwick-cli: cannot write to standard output: Broken pipe\n";
    const std::vector<std::tuple<std::vector<std::string>, std::function<void()>, std::string>>
        cases = {{{Cli, "read", Sample1}, closedPipe, pipeError},
                 {{Cli, "titles", Disc}, closedPipe, pipeError},
                 {{Cli, "read", "--json", Sample1}, closedPipe, pipeError},
                 {{Cli, "demux", Sample1, "-q", "-o", out},
                  smallFiles,
                  "File too large. \"" + out +
                      "FEATURE_1_FEATURE_2.H.264.stream.0.mpv\" stays as "
                      "it was; what was written is kept in \"" +
                      out + "FEATURE_1_FEATURE_2.H.264.stream.0.mpv.partial\".\n"}};
    for (const auto& [args, prepare, error] : cases) {
        const ChildRun r = runChild(args, prepare);
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 1) << args[1] << r.status;
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), error.size())), error);
    }
}

// Runs into one folder, one after the other: a second run of the same name
// ends before reading anything unless --overwrite or another --name is
// given; an MKV that another run puts in place while this one muxes stays.
TEST(CliMkvNames, AnExistingMkvIsReplacedOnlyWhenAskedTo) {
    if (!HaveMkvmerge) GTEST_SKIP() << "mkvmerge is not installed";
    const std::string folder = scratchFolder("cli_mkv_names"), out = folder + "out";
    const auto refused = [&](const std::string& name) {
        return "tarnwick-cli: the MKV \"" + out + "/" + name +
               ".mkv\" exists already; --overwrite replaces it, --name NAME writes another\n";
    };
    const std::string first = out + "/Tarnwick Sample.mkv";
    // Writes the job's file and, as another run would, the MKV's own name.
    std::ofstream(folder + "other-run")
        << "#!/bin/sh\nout=$(sed -n 's/^ *\"\\(.*\\.mkv\\)\",$/\\1/p' "
           "\"${2#@}\")\necho mine > \"$out\"\necho theirs > ../Other.mkv\n";
    fs::permissions(folder + "other-run", fs::perms::owner_all);
    const std::vector<std::tuple<std::vector<std::string>, int, std::string, bool>> runs = {
        // options, status, standard error, the first MKV is a new file
        {{}, 0, "", true},
        {{}, 1, refused("Tarnwick Sample"), false},
        {{"--name", "Second.mkv"}, 0, "", false},
        {{"--name", "Second"}, 1, refused("Second"), false},
        {{"--overwrite"}, 0, "", true},
        {{"--name", "Other", "--mkvmerge", folder + "other-run"},
         1,
         "tarnwick-cli: Cannot create file \"" + out + "/Other.mkv\". File exists\n",
         false},
    };
    ino_t before = 0;
    for (const auto& [options, status, err, replaced] : runs) {
        std::vector<std::string> args = {"mkv", Disc, "-o", out, "-q"};
        args.insert(args.end(), options.begin(), options.end());
        const ProgramResult r = runProgram(Cli, args);
        EXPECT_EQ(r.exitCode, status) << r.err;
        EXPECT_EQ(r.err, err);
        struct stat st {};
        ::stat(first.c_str(), &st);
        EXPECT_EQ(st.st_ino != before, replaced) << r.err;
        before = st.st_ino;
    }
    EXPECT_EQ(fileText(out + "/Other.mkv"), "theirs\n");
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(out))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"Other.mkv", "Second.mkv", "Tarnwick Sample.mkv"}));
}

// Every command and option of the usage is in the manual page, the bash
// completion and the README.
TEST(CliDocumentation, ManPageCompletionAndReadmeCoverEveryCommandAndOption) {
    const std::string usage = runProgram(Cli, {"--help"}).out;
    std::set<std::string> words = {"read", "demux", "rebuild", "xpl", "mkv", "titles"};
    const std::regex option(R"(--?[a-z][a-z-]+)");
    for (std::sregex_iterator m(usage.begin(), usage.end(), option), end; m != end; ++m)
        if (m->str() != "-ext") words.insert(m->str()); // "--video-ext EXT, --audio-ext EXT"
    ASSERT_GT(words.size(), 30u) << usage;
    const std::string root = std::string(TARNWICK_SAMPLES) + "/../";
    std::string manual = fileText(root + "packaging/tarnwick-cli.1");
    for (size_t at; (at = manual.find("\\-")) != std::string::npos;) // groff's hyphen
        manual.replace(at, 2, "-");
    for (const std::string& file :
         {manual, fileText(root + "packaging/tarnwick-cli.bash"), fileText(root + "README.md")})
        for (const std::string& word : words)
            EXPECT_NE(file.find(word), std::string::npos) << word << " in " << file.substr(0, 30);
}

} // namespace
} // namespace tarnwick

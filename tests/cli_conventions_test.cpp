// tarnwick-cli as users of other command-line tools expect it: statuses,
// quiet runs, colour, option forms, the output folder.

#include "engine/files.h"
#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
namespace fs = std::filesystem;

const std::string Cli = TARNWICK_CLI;
const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";
const std::string Sample1 = Disc + "/HVDVD_TS/FEATURE_1.EVO";
const std::string Xpl = Disc + "/ADV_OBJ/VPLST000.XPL";
const std::string Try = "Try 'tarnwick-cli --help'.\n";

struct StatusCase {
    std::vector<std::string> args; // "@" stands for the scratch folder
    int status;
    std::string errorStart; // after "tarnwick-cli: "
};

class CliStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(CliStatus, EndsWithTheDocumentedStatusAndOneErrorLine) {
    const std::string folder = scratchFolder("cli-status");
    writeFile(folder + "empty.EVO", {});
    writeFile(folder + "random.EVO", noiseWithoutStartCodes(1 << 20, 7));
    writeFile(folder + "a file", {1});
    // Files given as playlists that are none: text, and a playlist cut
    // before its first title; a disc whose playlist is text.
    const std::string text = "root:x:0:0:root:/root:/bin/bash\n";
    writeFile(folder + "notes.XPL", Bytes(text.begin(), text.end()));
    const Bytes playlist = readFile(Xpl);
    writeFile(folder + "cut.XPL", Bytes(playlist.begin(), playlist.begin() + 900));
    fs::create_directories(folder + "disc/HVDVD_TS");
    fs::create_directories(folder + "disc/ADV_OBJ");
    writeFile(folder + "disc/ADV_OBJ/VPLST000.XPL", Bytes(text.begin(), text.end()));
    auto scratch = [&](std::string arg) {
        if (const size_t at = arg.find('@'); at != std::string::npos) arg.replace(at, 1, folder);
        return arg;
    };
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args)
        args.push_back(scratch(arg));
    const ProgramResult r = runProgram(Cli, args);
    EXPECT_EQ(r.exitCode, GetParam().status) << r.err;
    const std::string head = "tarnwick-cli: " + scratch(GetParam().errorStart);
    EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
    if (GetParam().status == 2) {
        // One line naming the problem, the hint, and no scan before it.
        EXPECT_EQ(r.err.find('\n'), r.err.size() - Try.size() - 1) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - Try.size()), Try);
    }
    // What can be checked before the scan is: nothing was read.
    const bool afterScan = GetParam().errorStart.rfind("--streams: 'a05'", 0) == 0 ||
                           GetParam().status == 3 || GetParam().errorStart[0] == 'C';
    if (!afterScan) {
        EXPECT_EQ(r.out, "");
    }
    // A refused or empty rebuild writes nothing.
    EXPECT_FALSE(fileExists(folder + "out/empty.rebuilt.EVO"));
    EXPECT_FALSE(fileExists(folder + "out/FEATURE_1.rebuilt.VOB"));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CliStatus,
    ::testing::Values(
        StatusCase{{"read", Sample1, "--bogus"}, 2, "unknown option --bogus"},
        StatusCase{{"read", Sample1, "--adv=1"}, 2, "option --adv takes no value"},
        StatusCase{{"read", Sample1, "--streams"}, 2, "option --streams needs an argument"},
        StatusCase{{"read", Sample1, "--streams="}, 2, "--streams needs at least one stream"},
        StatusCase{{"read", Sample1, "--streams", " , "}, 2, "--streams needs at least one"},
        StatusCase{{"read", Sample1, "--streams", "v0, a16"}, 2, "--streams: 'a16' is no stream"},
        StatusCase{{"read", Sample1, "--streams=x1"}, 2, "--streams: 'x1' is no stream box"},
        StatusCase{{"read", Sample1, "--streams", "a05"}, 2, "--streams: 'a05' names no stream"},
        StatusCase{{"read", Sample1, "--color=sometimes"}, 2, "--color takes auto, always"},
        StatusCase{{"xpl", "@x.XPL", "--title=0"}, 2, "--title takes a title number"},
        StatusCase{{"scan", Sample1}, 2, "unknown command scan"},
        StatusCase{{"rebuild", "@FEATURE_1.VOB", "-o", "@out"}, 2, "rebuild: FEATURE_1.VOB is not"},
        StatusCase{{"demux", Sample1, "-o", "@a file/sub"}, 1, "cannot create the output folder"},
        StatusCase{{"read", "@missing.EVO"}, 1, "Cannot open file"},
        StatusCase{{"read", "@empty.EVO", "-q"}, 3, "no program stream found in "},
        StatusCase{{"rebuild", "@empty.EVO", "-o", "@out"}, 3, "no program stream found in "},
        StatusCase{{"demux", "@random.EVO"}, 3, "no program stream found in "},
        // A file that is no playlist ends as a source without a program
        // stream does; an unknown title number is a usage error everywhere.
        StatusCase{{"xpl", "@notes.XPL"}, 3, "@notes.XPL is not an HD DVD playlist"},
        StatusCase{{"xpl", "@cut.XPL", "-q"}, 3, "@cut.XPL is not an HD DVD playlist"},
        StatusCase{{"titles", "@disc"}, 3, "@disc/ADV_OBJ/VPLST000.XPL is not an HD DVD"},
        StatusCase{{"read", "--json", Sample1, "--playlist", "@notes.XPL"}, 3, "@notes.XPL is not"},
        StatusCase{{"mkv", "@disc", "--mkvmerge", "/bin/true"}, 3, "@disc/ADV_OBJ/VPLST000.XPL is"},
        StatusCase{{"xpl", Xpl, "--title", "5", "-q"}, 2, "--title 5: the playlist has no such"},
        StatusCase{{"mkv", Disc, "--title", "5", "--mkvmerge", "/bin/true"}, 2, "The playlist "},
        StatusCase{{"read", Disc, "--title", "5"}, 2, "The playlist " + Xpl + " has no title 5."},
        StatusCase{{"read", "@empty.EVO", "--title", "2"}, 2, "--title 2: @empty.EVO has no"},
        StatusCase{{"demux", Sample1, "--title", "1"}, 2, "--title belongs to read, xpl and mkv"},
        StatusCase{{"xpl", Xpl, "--json"}, 2, "--json belongs to read, titles and mkv"},
        StatusCase{{"mkv", Disc, "--name", "out/a.mkv"}, 2, "--name takes a file name without"},
        StatusCase{{"mkv", Disc, "--name", ".mkv"}, 2, "--name needs a file name"},
        StatusCase{{"demux", Sample1, "--name", "a"}, 2, "--name belongs to mkv"},
        StatusCase{{"demux", Sample1, "--overwrite"}, 2, "--overwrite belongs to mkv"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) {
        return "case" + std::to_string(info.index);
    });

TEST(CliOutput, QuietPrintsOnlyTheDataAndColourFollowsTheChoice) {
    const std::string folder = scratchFolder("cli-quiet");
    ProgramResult r = runProgram(Cli, {"demux", Sample1, "-q", "-o", folder + "made/here"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fileExists(folder + "made/here/FEATURE_1_FEATURE_2.DD+.stream.03.mpa"));

    // The ticked streams are what read exists to print: -q leaves them.
    r = runProgram(Cli, {"read", Sample1, "--quiet", "--streams", "a00"});
    EXPECT_EQ(r.out + r.err, "a00\tDD.stream.00\n");

    const ProgramResult plain = runProgram(Cli, {"read", Sample1, "--no-continue"});
    const ProgramResult always =
        runProgram(Cli, {"read", Sample1, "--no-continue", "--color", "always"}, {"NO_COLOR=1"});
    EXPECT_EQ(plain.out.find('\033'), std::string::npos);
    EXPECT_NE(always.out.find("\033[1mFEATURE_1.EVO\033[0m"), std::string::npos) << always.out;
    EXPECT_EQ(runProgram(Cli, {"read", Sample1, "--no-continue", "--color=never"}).out, plain.out);
    EXPECT_EQ(
        runProgram(Cli, {"read", Sample1, "--no-continue", "--color=auto"}, {"NO_COLOR=1"}).out,
        plain.out);
}

TEST(CliOutput, OptionsTakeTheirValueAfterAnEqualsSignToo) {
    const std::string folder = scratchFolder("cli-equals");
    const ProgramResult spaced =
        runProgram(Cli, {"demux", Sample1, "--no-continue", "--streams", "a00, DD+.stream.03",
                         "--audio-ext", ".ac3", "-o", folder + "spaced"});
    const ProgramResult joined =
        runProgram(Cli, {"demux", Sample1, "--no-continue", "--streams=a00,DD+.stream.03",
                         "--audio-ext=ac3", "--output=" + folder + "joined"});
    EXPECT_EQ(spaced.exitCode, 0) << spaced.err;
    EXPECT_EQ(joined.exitCode, 0) << joined.err;
    for (const std::string name : {"spaced", "joined"}) {
        EXPECT_TRUE(fileExists(folder + name + "/FEATURE_1.DD.stream.00.ac3")) << name;
        EXPECT_TRUE(fileExists(folder + name + "/FEATURE_1.DD+.stream.03.ac3")) << name;
        EXPECT_FALSE(fileExists(folder + name + "/FEATURE_1.DD+.stream.03..ac3")) << name;
        EXPECT_FALSE(fileExists(folder + name + "/FEATURE_1.Subpicture.00.sup")) << name;
    }
}

} // namespace
} // namespace tarnwick

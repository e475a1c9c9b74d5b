// A clip name of 251 bytes (the longest that leaves room for ".EVO") gives
// every command output names that the file system takes: each is cut to fit,
// its extension kept, and a run leaves no hidden file behind, however often
// it runs.

#include "support/run_program.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

struct Command {
    const char* what;
    std::vector<std::string> args;  // SOURCE, PLAYLIST and MKVMERGE stand for the files
    std::vector<std::string> names; // the outputs' names; "*.mpv" and the like: the extension only
};

bool fits(const std::string& name, const std::string& expected) {
    if (expected.front() != '*') return name == expected;
    return name.size() <= 247 && name.size() > expected.size() - 1 &&
           name.compare(name.size() - (expected.size() - 1), expected.size() - 1,
                        expected.substr(1)) == 0;
}

} // namespace

TEST(LongNames, EveryOutputOfALongClipNameFitsAndNothingHiddenIsLeft) {
    const std::string clip(251, 'A');
    const std::vector<Command> commands = {
        {"demux", {"demux", "SOURCE", "--no-continue"}, {"*.mpa", "*.mpa", "*.mpv", "*.sup"}},
        {"rebuild",
         {"rebuild", "SOURCE", "--no-continue"},
         {std::string(235, 'A') + ".rebuilt.EVO"}},
        {"xpl --chapters",
         {"xpl", "PLAYLIST", "--source", "SOURCE", "--chapters"},
         {std::string(234, 'A') + ".chapters.txt"}},
        {"mkv",
         {"mkv", "SOURCE", "--no-continue", "--overwrite", "--mkvmerge", "MKVMERGE"},
         {std::string(200, 'A') + ".mkv"}},
    };
    for (const Command& c : commands) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("long_names");
        const std::string source = folder + clip + ".EVO";
        fs::copy_file(std::string(TARNWICK_SAMPLE_DISC) + "/HVDVD_TS/FEATURE_1.EVO", source);
        const std::string playlist = folder + "VPLST000.XPL";
        std::string xpl = fileText(std::string(TARNWICK_SAMPLE_DISC) + "/ADV_OBJ/VPLST000.XPL");
        xpl.replace(xpl.find("FEATURE_1.MAP"), 9, clip);
        std::ofstream(playlist) << xpl;
        const std::string mkvmerge =
            standInMkvmerge(folder + "mkvmerge", "printf 'muxed' > muxed.mkv\n");
        const std::string out = folder + "out";
        fs::create_directory(out);
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(a == "SOURCE"     ? source
                           : a == "PLAYLIST" ? playlist
                           : a == "MKVMERGE" ? mkvmerge
                                             : a);
        args.insert(args.end(), {"-o", out, "-q"});
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            const ProgramResult r = runProgram(TARNWICK_CLI, args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const std::vector<std::string> names = folderEntries(out);
            ASSERT_EQ(names.size(), c.names.size());
            for (size_t k = 0; k < names.size(); ++k)
                EXPECT_TRUE(fits(names[k], c.names[k])) << names[k];
        }
    }
}

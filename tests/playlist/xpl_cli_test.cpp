#include "support/test_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tarnwick::testing {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CliRun runCli(const std::string& arguments, const std::string& folder) {
    const std::string errPath = folder + "stderr.txt";
    const std::string command =
        std::string("'") + TARNWICK_CLI + "' " + arguments + " 2>'" + errPath + "'";
    CliRun result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = fileText(errPath);
    return result;
}

const std::string Playlist = std::string(TARNWICK_SHARED_SAMPLES) + "/xpl/VPLST002.XPL";

TEST(XplCli, PrintsTheLogTheChapterFileLineAndTheTitlesTagLines) {
    const std::string folder = scratchFolder("xpl_cli_chapters");
    const CliRun r =
        runCli("xpl '" + Playlist + "' --source /disc/HVDVD_TS/FEATURE_1.EVO --chapters -o '" +
                   folder + "'",
               folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string head = "Open VPLST002.XPL\nFilesize: 3212 bytes\nVC-1.s0 found!\n"
                             "DD+.s00.English 5.1 found!\n8bitRLC.s00.English found!\nDone.\n\n"
                             "Chapters info writed to " +
                             folder +
                             "FEATURE_1.chapters.txt\n"
                             "    <Title titleNumber=\"1\" titleDuration=\"01:43:53:24\"";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    const std::string tail = "      </TrackNavigationList>\n    </Title>\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    const std::string chapters = fileText(folder + "FEATURE_1.chapters.txt");
    EXPECT_EQ(chapters.substr(0, 50), "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Chapter  1\r\n");
    EXPECT_EQ(chapters.size(), 10 * (24 + 26u));
}

TEST(XplCli, WithoutATitleTheTitlesAreListedAndNoFileIsWritten) {
    const std::string folder = scratchFolder("xpl_cli_no_chapters");
    const CliRun r = runCli("xpl '" + Playlist + "' --chapters -o '" + folder + "'", folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tarnwick-cli: no title chosen (--title N or --source SOURCE), no chapter "
                     "file written\n");
    EXPECT_EQ(r.out, "Open VPLST002.XPL\nFilesize: 3212 bytes\nDone.\n\n"
                     "1\tMain Movie\t01:43:53:24\tFEATURE_1, FEATURE_2\t1 video, 1 audio, "
                     "1 subtitle\t10 chapters\n");
    EXPECT_FALSE(fileExists(folder + ".chapters.txt"));

    // --title picks it as a source playing its first clip would.
    const CliRun picked =
        runCli("xpl '" + Playlist + "' --title=1 --chapters -q -o '" + folder + "'", folder);
    EXPECT_EQ(picked.status, 0);
    EXPECT_EQ(picked.out + picked.err, "");
    EXPECT_EQ(fileText(folder + "FEATURE_1.chapters.txt").size(), 10 * (24 + 26u));
    const CliRun absent = runCli("xpl '" + Playlist + "' --title 4", folder);
    EXPECT_EQ(absent.status, 2);
    EXPECT_EQ(absent.err, "tarnwick-cli: --title 4: the playlist has no such title (titles: 1)\n"
                          "Try 'tarnwick-cli --help'.\n");

    const CliRun missing = runCli("xpl '" + folder + "absent.XPL'", folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);
}

} // namespace
} // namespace tarnwick::testing

#include "support/shared_samples.h"
#include "support/test_session.h"
#include "engine/files.h"
#include "support/written_playlists.h"

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

// What a chapter run of the CLI prints and writes for a playlist's feature.
struct FeatureRun {
    std::string found;       // the log lines of the feature's streams
    std::string titleHead;   // the start of the title's first tag line
    std::string chapters;    // the whole chapter file, or its first lines
    size_t chapterBytes = 0; // the chapter file's size
};

void expectChapterRun(const std::string& playlist, const FeatureRun& expected,
                      const std::string& folder) {
    const CliRun r =
        runCli("xpl '" + playlist + "' --source /disc/HVDVD_TS/FEATURE_1.EVO --chapters -o '" +
                   folder + "'",
               folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string name = playlist.substr(playlist.rfind('/') + 1);
    const std::string head = "Open " + name +
                             "\nFilesize: " + std::to_string(fileText(playlist).size()) +
                             " bytes\n" + expected.found + "Done.\n\nChapters info writed to " +
                             folder + "FEATURE_1.chapters.txt\n" + expected.titleHead;
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    const std::string tail = "      </TrackNavigationList>\n    </Title>\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    const std::string chapters = fileText(folder + "FEATURE_1.chapters.txt");
    EXPECT_EQ(chapters.substr(0, expected.chapters.size()), expected.chapters);
    EXPECT_EQ(chapters.size(), expected.chapterBytes);
}

std::string writtenPlaylist(const std::string& folder) {
    const std::string path = folder + "VPLST000.XPL";
    std::ofstream(path, std::ios::binary) << retailFeaturePlaylist();
    return path;
}

TEST(XplCli, PrintsTheLogTheChapterFileLineAndTheTitlesTagLines) {
    if (const std::string missing = missingSharedSample("xpl/VPLST002.XPL"); !missing.empty())
        GTEST_SKIP() << missing;
    expectChapterRun(sharedSamplePath("xpl/VPLST002.XPL"),
                     {"VC-1.s0 found!\nDD+.s00.English 5.1 found!\n8bitRLC.s00.English found!\n",
                      "    <Title titleNumber=\"1\" titleDuration=\"01:43:53:24\"",
                      "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Chapter  1\r\n", 10 * (24 + 26u)},
                     scratchFolder("xpl_cli_chapters"));
}

TEST(XplCli, WrittenRetailPlaylistGivesTheFeaturesLogChaptersAndTagLines) {
    const std::string folder = scratchFolder("xpl_cli_written_chapters");
    const std::string chapters = "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Anfang  1\r\n"
                                 "CHAPTER02=00:04:10.950\r\nCHAPTER02NAME=Stra\xC3\x9F"
                                 "e\r\n"
                                 "CHAPTER03=00:20:30.116\r\n"
                                 "CHAPTER03NAME=Nuit d\xE2\x80\x99\xC3\xA9t\xC3\xA9\r\n"
                                 "CHAPTER04=01:00:00.983\r\nCHAPTER04NAME=Zwei Zeilen\r\n"
                                 "CHAPTER05=01:59:59.833\r\nCHAPTER05NAME=Ende\r\n";
    expectChapterRun(writtenPlaylist(folder),
                     {"VC-1.s0 found!\nDD+.s01.Deutsch 5.1 found!\nAC-3.s00.Fran\xC3\xA7"
                      "ais found!\n"
                      "8bitRLC.s02.\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E found!\n",
                      "    <Title titleNumber=\"1\" titleDuration=\"02:01:10:50\"", chapters,
                      chapters.size()},
                     folder);
}

// Without a title chosen, the titles are listed and no chapter file is made.
void expectTitleList(const std::string& playlist, const std::string& listLine,
                     const std::string& folder) {
    const CliRun r = runCli("xpl '" + playlist + "' --chapters -o '" + folder + "'", folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tarnwick-cli: no title chosen (--title N or --source SOURCE), no chapter "
                     "file written\n");
    const std::string name = playlist.substr(playlist.rfind('/') + 1);
    EXPECT_EQ(r.out, "Open " + name + "\nFilesize: " + std::to_string(fileText(playlist).size()) +
                         " bytes\nDone.\n\n" + listLine + "\n");
    EXPECT_FALSE(fileExists(folder + ".chapters.txt"));
}

TEST(XplCli, WithoutATitleTheTitlesAreListedAndNoFileIsWritten) {
    const std::string folder = scratchFolder("xpl_cli_no_chapters");
    const std::string playlist = writtenPlaylist(folder);
    const CliRun listed = runCli("xpl '" + playlist + "'", folder);
    ASSERT_NE(listed.out.rfind("\n1\t"), std::string::npos) << listed.out;
    const std::string listLine = listed.out.substr(
        listed.out.rfind("\n1\t") + 1, listed.out.size() - 1 - (listed.out.rfind("\n1\t") + 1));
    EXPECT_NE(listLine.find("\t02:01:10:50\tFEATURE_1, FEATURE_2\t1 video, 2 audio, 1 subtitle\t5 "
                            "chapters"),
              std::string::npos)
        << listLine;
    expectTitleList(playlist, listLine, folder);
    if (missingSharedSample("xpl/VPLST002.XPL").empty())
        expectTitleList(sharedSamplePath("xpl/VPLST002.XPL"),
                        "1\tMain Movie\t01:43:53:24\tFEATURE_1, FEATURE_2\t1 video, 1 audio, "
                        "1 subtitle\t10 chapters",
                        folder);

    // --title picks it as a source playing its first clip would.
    const CliRun picked =
        runCli("xpl '" + playlist + "' --title=1 --chapters -q -o '" + folder + "'", folder);
    EXPECT_EQ(picked.status, 0);
    // -q leaves out the log, not the title's tag lines the command prints.
    EXPECT_EQ(picked.err, "");
    EXPECT_EQ(picked.out.rfind("    <Title titleNumber=\"1\"", 0), 0u) << picked.out;
    EXPECT_EQ(picked.out.substr(picked.out.size() - 13), "    </Title>\n");
    const std::string firstChapter = "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Anfang  1\r\n";
    EXPECT_EQ(fileText(folder + "FEATURE_1.chapters.txt").substr(0, firstChapter.size()),
              firstChapter);
    const CliRun absent = runCli("xpl '" + playlist + "' --title 4", folder);
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

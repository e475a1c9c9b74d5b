// Hostile playlists: control bytes on the terminal, a chapter file over its
// own playlist, and nesting that would cost memory far beyond the file.

#include "playlist/playlist_text.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tarnwick::testing {
namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A feature title whose chapter name holds control characters: a lone C1
// CSI, DEL and a C1 control encoded in UTF-8, next to UTF-8 text.
const std::string HostileName = "A\x9B"
                                "31m\x7F[2J\xC2\x9B"
                                "B \xC3\xA9";

std::string hostilePlaylist() {
    return playlistText("", titleText("Main", "FEATURE_1.MAP", {"        <Video track=\"1\"/>\r\n"},
                                      chapterText(HostileName, "00:00:00:00")));
}

TEST(XplSafety, ControlBytesReachTheTerminalReplacedAndTheChapterFileUnchanged) {
    const std::string folder = scratchFolder("xpl_safety_controls");
    // The playlist's own name holds an escape.
    const std::string playlist = folder + "VPL\x1B[2J.XPL";
    writeText(playlist, hostilePlaylist());
    const ProgramResult r =
        runProgram(TARNWICK_CLI, {"xpl", playlist, "--source", folder + "FEATURE_1.EVO",
                                  "--chapters", "-o", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* control : {"\x9B", "\x7F", "\x1B", "\xC2\x9B"})
        EXPECT_FALSE(contains(r.out, control)) << int(uint8_t(control[0]));
    EXPECT_TRUE(contains(r.out, "Open VPL\xEF\xBF\xBD[2J.XPL\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "A\xEF\xBF\xBD"
                                "31m\xEF\xBF\xBD[2J\xEF\xBF\xBD"
                                "B \xC3\xA9"));
    EXPECT_TRUE(contains(fileText(folder + "FEATURE_1.chapters.txt"),
                         "CHAPTER01NAME=" + HostileName + "\r\n"));
}

TEST(XplSafety, TheChapterFileNeverReplacesThePlaylistItIsReadFrom) {
    const std::string folder = scratchFolder("xpl_safety_over_playlist");
    const std::string playlist = folder + "FEATURE_1.chapters.txt";
    writeText(playlist, hostilePlaylist());
    const ProgramResult r =
        runProgram(TARNWICK_CLI, {"xpl", playlist, "--source", "/disc/HVDVD_TS/FEATURE_1.EVO",
                                  "--chapters", "-o", folder});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Cannot write \"" + playlist +
                                    "\": it is the same file as the playlist \"" + playlist))
        << r.err;
    EXPECT_EQ(fileText(playlist), hostilePlaylist());
}

TEST(XplSafety, DeepNestingKeepsALimitedShareOfTheLinesAsTheyWouldBe) {
    XplSession t("xpl_safety_nested");
    std::string nested;
    for (int k = 0; k < 700000; ++k)
        nested += "<a>";
    ASSERT_TRUE(t.read(nested));
    const std::vector<std::string>& lines = t.window.playlist.mXPL;
    ASSERT_GT(lines.size(), 1000u);
    ASSERT_LT(lines.size(), 700000u);
    // The kept text stays within a few times the playlist's size.
    EXPECT_LT(lines.size() * lines.back().size(), 4 * nested.size() + (4u << 20));
    for (size_t k = 0; k < lines.size(); ++k)
        ASSERT_EQ(lines[k], std::string(std::min<size_t>(k, 64) * 2, ' ') + "<a>") << k;
    const std::string notice = "The playlist has too many tag lines to show: the last " +
                               std::to_string(700000 - lines.size()) + " of them were left out.";
    const auto logged = t.visibleLines();
    EXPECT_NE(std::find(logged.begin(), logged.end(), notice), logged.end());
}

} // namespace
} // namespace tarnwick::testing

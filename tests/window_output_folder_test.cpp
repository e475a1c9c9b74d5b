// The window's output folder: created with its parents when missing, as the
// CLI does, before Demux, Rebuild or Write chapters writes into it.

#include "engine/files.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

TEST(WindowOutputFolder, MissingFolderIsCreatedWithItsParentsOneBelowAFileIsShown) {
    const std::string scratch = scratchFolder("window_output_folder");
    std::ofstream(scratch + "plain-file") << "x";
    const std::string blocked =
        "Cannot create the output folder \"" + scratch + "plain-file/out\": Not a directory";
    // The command, the output folder, the file it writes there or the error.
    const std::tuple<bool (*)(WindowSession&), std::string, std::string> cases[] = {
        {bDemuxClick, "demux/new/out", "FEATURE_1_FEATURE_2.DD.stream.00.mpa"},
        {bRebuildClick, "rebuild/new/out", "FEATURE_1_FEATURE_2.rebuilt.EVO"},
        {bWriteChapsClick, "chapters/new/out", "FEATURE_1_FEATURE_2.chapters.txt"},
        {bDemuxClick, "plain-file/out", blocked},
    };
    for (const auto& [click, folder, written] : cases) {
        TestSession t;
        t.chooseSource(std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO");
        ASSERT_TRUE(bReadEVOClick(t.session));
        t.window.playlist.mChapter = {"CHAPTER01=00:00:00.000", "CHAPTER01NAME=One"};
        t.window.options.eWorkdir = scratch + folder;
        t.sink.lines.clear();
        const bool ran = click(t.session);
        EXPECT_EQ(ran, written != blocked) << folder;
        EXPECT_EQ(t.ui.errors, ran ? std::vector<std::string>{} : std::vector{blocked});
        // Written, or the command did not start.
        EXPECT_TRUE(ran ? fileExists(scratch + folder + "/" + written) : t.sink.lines.empty());
    }
}

} // namespace
} // namespace tarnwick

// The window's output folder: created with its parents when missing, as the
// CLI does, before Demux, Rebuild or Write chapters writes into it.

#include "engine/files.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

const std::string Sample1 = std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO";

struct FolderCase {
    const char* command;
    std::function<bool(WindowSession&)> click;
    const char* written; // in the output folder
};

TEST(WindowOutputFolder, MissingFolderIsCreatedWithItsParents) {
    const FolderCase cases[] = {
        {"Demux", bDemuxClick, "FEATURE_1_FEATURE_2.DD.stream.00.mpa"},
        {"Rebuild", bRebuildClick, "FEATURE_1_FEATURE_2.rebuilt.EVO"},
        {"Write chapters", bWriteChapsClick, "FEATURE_1_FEATURE_2.chapters.txt"},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string folder = scratchFolder("window_output_folder") + "new/nested/out";
        TestSession t;
        t.chooseSource(Sample1);
        ASSERT_TRUE(bReadEVOClick(t.session));
        t.window.playlist.mChapter = {"CHAPTER01=00:00:00.000", "CHAPTER01NAME=One"};
        t.window.options.eWorkdir = folder;
        EXPECT_TRUE(c.click(t.session)) << (t.ui.errors.empty() ? "" : t.ui.errors.front());
        EXPECT_TRUE(t.ui.errors.empty());
        EXPECT_TRUE(fileExists(folder + "/" + c.written));
    }
}

TEST(WindowOutputFolder, FolderThatCannotBeMadeIsShownAndNothingRuns) {
    const std::string scratch = scratchFolder("window_output_folder_blocked");
    std::ofstream(scratch + "plain-file") << "x";
    TestSession t;
    t.chooseSource(Sample1);
    ASSERT_TRUE(bReadEVOClick(t.session));
    t.sink.lines.clear();
    t.window.options.eWorkdir = scratch + "plain-file/out";
    EXPECT_FALSE(bDemuxClick(t.session));
    ASSERT_EQ(t.ui.errors.size(), 1u);
    EXPECT_EQ(t.ui.errors[0],
              "Cannot create the output folder \"" + scratch + "plain-file/out\": Not a directory");
    EXPECT_TRUE(t.sink.lines.empty()); // no Demux started
    EXPECT_TRUE(t.window.buttons.bDemux);
}

} // namespace
} // namespace tarnwick

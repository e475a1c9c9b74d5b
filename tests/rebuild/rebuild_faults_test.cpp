// Failures and Cancel: a clear message, the output closed with what was
// written, the window usable again.

#include "rebuild/rebuild.h"
#include "rebuild/rebuild_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

namespace tarnwick::testing {
namespace {

// Whether the program holds a file open: the links of its open descriptors.
bool heldOpen(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path file = fs::weakly_canonical(path, ignored);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ignored))
        if (fs::read_symlink(fd.path(), ignored) == file) return true;
    return false;
}

void expectWindowUsable(const TestSession& ts) {
    EXPECT_TRUE(ts.window.buttons.bRebuild);
    EXPECT_TRUE(ts.window.buttons.bDemux);
    EXPECT_FALSE(ts.window.buttons.bCancel);
    EXPECT_FALSE(ts.session.control().writingOutput);
    EXPECT_FALSE(heldOpen(ts.window.eEVOfile));
    EXPECT_EQ(ts.sink.panels[0], "Ready");
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool logged(const TestSession& ts, const std::string& line) {
    return std::find(ts.sink.lines.begin(), ts.sink.lines.end(), line) != ts.sink.lines.end();
}

TEST(RebuildFaults, UnwritableOutputFolderOrMissingSourceStopsWithTheMessage) {
    const std::string dir = scratchFolder("RebuildUnwritable");
    writeFile(dir + "MOVIE.EVO", muxEvo({videoSpec(0xE0, 20000), subStreamSpec(0x80, 4000)}));
    writeFile(dir + "plain-file", {1, 2, 3});

    TestSession ts;
    readEvo(ts, dir + "MOVIE.EVO");
    ts.window.options.eWorkdir = dir + "plain-file/out";
    ts.sink.lines.clear();
    EXPECT_FALSE(bRebuildClick(ts.session));
    ASSERT_EQ(ts.ui.errors.size(), 1u);
    // The output folder is made ready before the run, as the CLI does.
    EXPECT_TRUE(
        contains(ts.ui.errors[0], "Cannot create the output folder \"" + dir + "plain-file/out\""));
    EXPECT_TRUE(contains(ts.ui.errors[0], "Not a directory"));
    EXPECT_FALSE(logged(ts, "Done."));
    expectWindowUsable(ts);

    std::filesystem::remove(dir + "MOVIE.EVO");
    ts.window.options.eWorkdir = dir;
    EXPECT_FALSE(bRebuildClick(ts.session));
    ASSERT_EQ(ts.ui.errors.size(), 2u);
    EXPECT_TRUE(contains(ts.ui.errors[1], "Cannot open file"));
    EXPECT_FALSE(std::filesystem::exists(dir + "MOVIE.rebuilt.EVO"));
    expectWindowUsable(ts);
}

// A small tmpfs, mounted for the test when the system lets us.
struct SmallDisk {
    explicit SmallDisk(const std::string& at) : path(at) {
        std::filesystem::create_directories(at);
        mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~SmallDisk() {
        if (mounted) ::umount2(path.c_str(), MNT_DETACH);
    }
    std::string path;
    bool mounted = false;
};

TEST(RebuildFaults, FullDiskStopsWithTheMessageAndKeepsWhatWasWritten) {
    const std::string dir = scratchFolder("RebuildFullDisk");
    writeFile(dir + "MOVIE.EVO", muxEvo({videoSpec(0xE0, 2000000), subStreamSpec(0x80, 100000),
                                         subStreamSpec(0x81, 100000)}));
    TestSession reference;
    readEvo(reference, dir + "MOVIE.EVO");
    untick(reference, {"DD.stream.00"});
    reference.window.options.eWorkdir = dir;
    ASSERT_TRUE(bRebuildClick(reference.session));
    const Bytes whole = readFile(dir + "MOVIE.rebuilt.EVO");

    // A link to a device that is always full at the output name is
    // replaced, never written through.
    std::filesystem::create_directory(dir + "full");
    std::filesystem::create_symlink("/dev/full", dir + "full/MOVIE.rebuilt.EVO");
    TestSession ts;
    readEvo(ts, dir + "MOVIE.EVO");
    untick(ts, {"DD.stream.00"});
    ts.window.options.eWorkdir = dir + "full";
    ts.sink.lines.clear();
    EXPECT_TRUE(bRebuildClick(ts.session));
    EXPECT_TRUE(ts.ui.errors.empty());
    EXPECT_EQ(readFile(dir + "full/MOVIE.rebuilt.EVO"), whole);
    expectWindowUsable(ts);

    SmallDisk disk(dir + "small");
    if (!disk.mounted) GTEST_SKIP() << "cannot mount a small tmpfs here";
    ts.ui.errors.clear();
    ts.window.options.eWorkdir = disk.path;
    EXPECT_FALSE(bRebuildClick(ts.session));
    ASSERT_EQ(ts.ui.errors.size(), 1u);
    EXPECT_TRUE(contains(ts.ui.errors[0], "Write error on \"" + disk.path +
                                              "/MOVIE.rebuilt.EVO\". No space left on device"));
    expectWindowUsable(ts);
    // The run failed: what was written is kept under the partial name.
    EXPECT_FALSE(std::filesystem::exists(disk.path + "/MOVIE.rebuilt.EVO"));
    const Bytes partial = readFile(disk.path + "/MOVIE.rebuilt.EVO.partial");
    EXPECT_GT(partial.size(), 0u);
    ASSERT_LT(partial.size(), whole.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));
}

TEST(RebuildFaults, CancelStopsAfterTheCurrentPackAndSkipsTheSecondFile) {
    const std::string dir = scratchFolder("RebuildCancel");
    const Bytes first = muxEvo({videoSpec(0xE0, 6000000), subStreamSpec(0x80, 300000)}, 64);
    writeFile(dir + "FEATURE_1.EVO", first);
    writeFile(dir + "FEATURE_2.EVO", muxEvo({videoSpec(0xE0, 20000), subStreamSpec(0x80, 4000)}));
    const std::string size = std::to_string(first.size() / 1048576);

    TestSession whole;
    readEvo(whole, dir + "FEATURE_1.EVO");
    whole.window.options.cbContinue = false;
    whole.window.options.eWorkdir = dir + "whole";
    std::filesystem::create_directory(dir + "whole");
    whole.ui.pumps = 0;
    ASSERT_TRUE(bRebuildClick(whole.session));
    EXPECT_EQ(whole.ui.pumps, int(first.size() / 4194304));
    const Bytes complete = readFile(dir + "whole/FEATURE_1.rebuilt.EVO");

    TestSession ts;
    readEvo(ts, dir + "FEATURE_1.EVO");
    ts.window.options.eWorkdir = dir;
    std::string progress;
    ts.ui.onPump = [&] {
        progress = ts.sink.panels[1];
        bCancelClick(ts.session);
    };
    ts.sink.lines.clear();
    EXPECT_TRUE(bRebuildClick(ts.session));
    EXPECT_EQ(progress, "Rebuilding FEATURE_1.EVO 4/" + size + " Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(ts.ui.questions, std::vector<std::string>{"Are you sure to stop demuxing?"});
    EXPECT_EQ(
        ts.visibleLines(),
        (std::vector<std::string>{"Opening file FEATURE_1.EVO", "File size: " + size + " Mbytes.",
                                  "Creating " + dir + "FEATURE_1_FEATURE_2.rebuilt.EVO",
                                  "Rebuilding...", "Cancelled.",
                                  "Partial: " + dir +
                                      "FEATURE_1_FEATURE_2.rebuilt.EVO holds what was written "
                                      "before Cancel.",
                                  "Done.", ""}));
    const Bytes out = readFile(dir + "FEATURE_1_FEATURE_2.rebuilt.EVO");
    ASSERT_EQ(out.size(), 4194304u);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), complete.begin()));
    expectWindowUsable(ts);
}

} // namespace
} // namespace tarnwick::testing

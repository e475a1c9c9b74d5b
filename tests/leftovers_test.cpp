// What a killed run leaves in its output folder (its hidden output files and
// work folders) is removed by the next run that writes there; nothing else
// is touched: no other name, no link, pipe or folder of another shape, and
// nothing that a live run holds. And a write into a pipe without a reader,
// or past the file-size limit, becomes a write error instead of killing the
// program.

#include "engine/files.h"
#include "engine/leftovers.h"
#include "engine/work_folder.h"
#include "engine/write_signals.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

enum class Shape { File, FolderWithFiles, Link, Pipe };

struct Entry {
    std::string name;
    Shape shape;
    bool removed;
};

void make(const std::string& path, Shape shape) {
    switch (shape) {
    case Shape::File: std::ofstream(path) << "stream bytes"; break;
    case Shape::FolderWithFiles:
        fs::create_directory(path);
        std::ofstream(path + "/v0.mpv") << "video";
        std::ofstream(path + "/options.json") << "[]";
        break;
    case Shape::Link: fs::create_symlink("/etc/hostname", path); break;
    case Shape::Pipe: ::mkfifo(path.c_str(), 0600); break;
    }
}

} // namespace

TEST(Leftovers, OnlyOwnNamesThatNoLiveRunHoldsAreRemoved) {
    const std::vector<Entry> entries = {
        {".FEATURE_1.MPEG-2.stream.0.mpv.0123abcd.tarnwick~", Shape::File, true},
        {".Tarnwick Sample.streams.89abcdef.tarnwick~", Shape::FolderWithFiles, true},
        {".x.00000000.tarnwick~", Shape::File, true},
        {".link.0123abcd.tarnwick~", Shape::Link, false},
        {".pipe.0123abcd.tarnwick~", Shape::Pipe, false},
        {".upper.0123ABCD.tarnwick~", Shape::File, false},
        {"visible.0123abcd.tarnwick~", Shape::File, false},
        {".short.123abcd.tarnwick~", Shape::File, false},
        {".norandom.tarnwick~", Shape::File, false},
        {".notilde.0123abcd.tarnwick", Shape::File, false},
        {".0123abcd.tarnwick~", Shape::File, false},
        {"movie.streams-0123abcd", Shape::FolderWithFiles, false},
    };
    const std::string folder = scratchFolder("leftovers");
    for (const Entry& e : entries)
        make(folder + e.name, e.shape);
    // A live run: an output being written and a work folder, both held.
    const std::vector<std::string> before = folderEntries(folder);
    OutputFile live(folder + "live.mpv");
    live.write("abc", 3);
    const WorkFolder work(folder, "live");
    std::vector<std::string> held;
    for (const std::string& name : folderEntries(folder))
        if (!std::count(before.begin(), before.end(), name)) held.push_back(name);
    ASSERT_EQ(held.size(), 2u);

    std::vector<std::string> removed = removeLeftovers(folder);
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected, left;
    for (const Entry& e : entries)
        (e.removed ? expected : left).push_back(e.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    for (const std::string& name : held)
        if (!std::count(expected.begin(), expected.end(), name)) left.push_back(name);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(folderEntries(folder), left);
    EXPECT_EQ(fileText(folder + "movie.streams-0123abcd/v0.mpv"), "video");

    // The live run ends as it would have: its file takes its name.
    live.close();
    EXPECT_EQ(fileText(folder + "live.mpv"), "abc");
}

TEST(Leftovers, ARunThatWritesIntoTheFolderLogsEachLeftoverItRemoves) {
    const std::string folder = scratchFolder("leftovers_log");
    make(folder + ".C.chapters.txt.0badf00d.tarnwick~", Shape::File);
    make(folder + ".C.streams.feedbeef.tarnwick~", Shape::FolderWithFiles);
    RecordingSink log;
    clearLeftovers(folder, log);
    std::sort(log.lines.begin(), log.lines.end());
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{
                  "Removed " + folder +
                      ".C.chapters.txt.0badf00d.tarnwick~, left behind by a run that was stopped "
                      "before it could clean up.",
                  "Removed " + folder +
                      ".C.streams.feedbeef.tarnwick~, left behind by a run that was stopped "
                      "before it could clean up."}));
    EXPECT_TRUE(folderEntries(folder).empty());
}

TEST(Leftovers, OwnNamesAreHiddenShortAndOfTheirShape) {
    struct Case {
        std::string name;
        std::string own;
    };
    const std::string long250(250, 'A');
    for (const Case& c : {Case{"C.mpv", ".C.mpv.0000002a.tarnwick~"},
                          Case{long250, "." + std::string(80, 'A') + ".0000002a.tarnwick~"},
                          // Cut before a character, not inside it.
                          Case{std::string(79, 'A') + "\xC3\xA9",
                               "." + std::string(79, 'A') + ".0000002a.tarnwick~"}}) {
        EXPECT_EQ(ownName(c.name, 42), c.own);
        EXPECT_TRUE(isOwnName(c.own));
    }
}

// The signals that would end the program before it cleans up are write
// errors instead.
TEST(Leftovers, APipeWithoutReaderIsAWriteErrorNotTheEnd) {
    ignoreWriteSignals();
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    EXPECT_EQ(::write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(ends[1]);
}

// The Demux command: names, log, the second file of a feature, failures and
// cancel.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "demux/demux_support.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

// Video in slot 0, Dolby Digital in slot 1, subpicture units in slot 2.
std::vector<StreamSpec> smallStreams(size_t videoSize, uint32_t seed) {
    StreamSpec video;
    video.streamId = 0xE0;
    video.data = noiseWithoutStartCodes(videoSize, seed);
    StreamSpec audio;
    audio.streamId = 0xBD;
    audio.subStreamId = 0x81;
    audio.subStreamHeader = audioSubStreamHeader(0x81);
    audio.data = noiseWithoutStartCodes(videoSize / 8, seed + 1);
    audio.ptsEvery = 2;
    StreamSpec sub;
    sub.streamId = 0xBD;
    sub.subStreamId = 0x22;
    sub.subStreamHeader = {0x22};
    sub.data = noiseWithoutStartCodes(videoSize / 20, seed + 2);
    sub.ptsEvery = 0;
    sub.firstPts = 200000;
    for (size_t at = 0; at < sub.data.size(); at += 7000)
        sub.unitStarts.push_back(at);
    return {video, audio, sub};
}

Bytes muxed(const std::vector<StreamSpec>& streams) {
    PackWriter writer;
    muxStreams(writer, streams);
    return writer.bytes();
}

std::vector<std::string> linesFrom(const TestSession& t, size_t first) {
    const auto all = t.visibleLines();
    return {all.begin() + long(std::min(first, all.size())), all.end()};
}

// The lines of the error, each "[re]" + message + "[/re]", as logged.
std::vector<std::string> errorLines(const TestSession& t) {
    std::vector<std::string> out;
    for (const auto& line : t.sink.lines)
        if (line.rfind("[re]", 0) == 0 && line.size() >= 9 &&
            line.compare(line.size() - 5, 5, "[/re]") == 0)
            out.push_back(line.substr(4, line.size() - 9));
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Bytes that a file kept: a prefix of what the stream holds.
bool isPrefixOf(const Bytes& kept, const Bytes& whole) {
    return kept.size() <= whole.size() && std::equal(kept.begin(), kept.end(), whole.begin());
}

// A run over the small streams after Read EVO; returns the session's
// lines from the Demux command on.
struct Fixture {
    explicit Fixture(const std::string& name, size_t videoSize = 300000)
        : folder(scratchFolder("demux_" + name)), streams(smallStreams(videoSize, 31)),
          file(muxed(streams)), runs(walkPackets(file)) {
        writeFile(folder + "C.EVO", file);
        t.chooseSource(folder + "C.EVO");
        EXPECT_TRUE(bReadEVOClick(t.session));
        firstDemuxLine = t.sink.lines.size();
    }
    Bytes subpictures() const { return subpictureRecords(runs, 0x22, t.table.MinFirstPts); }

    std::string folder;
    std::vector<StreamSpec> streams;
    Bytes file;
    std::vector<PayloadRun> runs;
    TestSession t;
    size_t firstDemuxLine = 0;
};

} // namespace

TEST(DemuxCommand, LogsEachStepAndNamesTheFilesAfterFolderBaseCaptionAndExtension) {
    Fixture f("names");
    const std::string out = f.folder + "out";
    fs::create_directory(out);
    writeFile(out + "/C.MPEG-2.stream.0.mpv", Bytes(900000, 0xAA)); // replaced, not appended to
    f.t.window.options.eAudioExt = "ac3";
    ASSERT_TRUE(demuxOnly(f.t, out)); // no trailing delimiter

    EXPECT_EQ(linesFrom(f.t, f.firstDemuxLine),
              (std::vector<std::string>{"Opening file C.EVO", "File size: 0 Mbytes.",
                                        "Creating " + out + "/C.MPEG-2.stream.0.mpv",
                                        "Creating " + out + "/C.DD.stream.01.ac3",
                                        "Creating " + out + "/C.Subpicture.02.sup", "Demuxing...",
                                        "Done.", ""}));
    EXPECT_EQ(f.t.sink.panels[0], "Ready");
    EXPECT_EQ(f.t.sink.panels[1], "");
    EXPECT_TRUE(f.t.window.buttons.bDemux);
    EXPECT_TRUE(f.t.window.buttons.bRebuild);
    EXPECT_FALSE(f.t.session.run.OutputBusy);
    EXPECT_EQ(fileBytes(out + "/C.MPEG-2.stream.0.mpv"), f.streams[0].data);
    EXPECT_EQ(fileBytes(out + "/C.DD.stream.01.ac3"), f.streams[1].data);
    EXPECT_EQ(fileBytes(out + "/C.Subpicture.02.sup"), f.subpictures());

    // With a trailing delimiter: the same folder, the same files again.
    fs::remove_all(out);
    fs::create_directory(out);
    ASSERT_TRUE(demuxOnly(f.t, out + "/"));
    EXPECT_TRUE(fs::exists(out + "/C.DD.stream.01.ac3"));

    // An empty folder: the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(out);
    fs::remove(out + "/C.DD.stream.01.ac3");
    f.t.sink.lines.clear();
    ASSERT_TRUE(demuxOnly(f.t, ""));
    fs::current_path(before);
    EXPECT_TRUE(containsLine(f.t.visibleLines(), "Creating C.DD.stream.01.ac3"));
    EXPECT_EQ(fileBytes(out + "/C.DD.stream.01.ac3"), f.streams[1].data);

    // A caption with the path delimiter (a playlist's description) stays in
    // the folder.
    f.t.window.boxes.cbAudio[1].caption = "DD.6ch.s02.English/French";
    ASSERT_TRUE(demuxOnly(f.t, out));
    EXPECT_EQ(fileBytes(out + "/C.DD.6ch.s02.English_French.ac3"), f.streams[1].data);
}

TEST(DemuxCommand, NoTickedBoxCreatesNoFileButReadsTheSource) {
    Fixture f("no_box");
    Resetcbs(f.t.window);
    ASSERT_TRUE(demuxOnly(f.t, f.folder));
    EXPECT_EQ(linesFrom(f.t, f.firstDemuxLine),
              (std::vector<std::string>{"Opening file C.EVO", "File size: 0 Mbytes.", "Demuxing...",
                                        "Done.", ""}));
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(f.folder))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST(DemuxCommand, TheSecondFileOfAFeatureIsAppendedToTheSameFiles) {
    const std::string folder = scratchFolder("demux_feature");
    const auto streams = smallStreams(400000, 41);
    const Bytes whole = muxed(streams);
    // Cut at a pack whose subpicture packet continues a unit, so that the
    // unit runs on from the first file into the second.
    const auto runs = walkPackets(whole);
    size_t cut = 0;
    for (const PayloadRun& run : runs)
        if (run.subStreamId == 0x22 && !run.pts && run.offset > int64_t(whole.size() / 2)) {
            cut = size_t(run.offset) / PackSize * PackSize;
            break;
        }
    ASSERT_GT(cut, 0u);
    writeFile(folder + "FEATURE_1.EVO", Bytes(whole.begin(), whole.begin() + long(cut)));
    writeFile(folder + "FEATURE_2.EVO", Bytes(whole.begin() + long(cut), whole.end()));

    TestSession t;
    t.chooseSource(folder + "FEATURE_1.EVO");
    ASSERT_TRUE(bReadEVOClick(t.session));
    const size_t firstDemuxLine = t.sink.lines.size();
    ASSERT_TRUE(demuxOnly(t, folder));
    EXPECT_EQ(t.window.paths.EVObase, "FEATURE_1_FEATURE_2");
    const std::string base = folder + "FEATURE_1_FEATURE_2.";
    EXPECT_EQ(fileBytes(base + "MPEG-2.stream.0.mpv"), streams[0].data);
    EXPECT_EQ(fileBytes(base + "DD.stream.01.mpa"), streams[1].data);
    EXPECT_EQ(fileBytes(base + "Subpicture.02.sup"),
              subpictureRecords(runs, 0x22, t.table.MinFirstPts));
    const auto lines = linesFrom(t, firstDemuxLine);
    const auto from = std::find(lines.begin(), lines.end(), "Continue on FEATURE_2.EVO");
    ASSERT_NE(from, lines.end());
    EXPECT_EQ(*(from - 1), "");
    EXPECT_EQ(*(from + 1), "Demuxing...");
    EXPECT_EQ(*(from + 2), "Done.");
    EXPECT_TRUE(containsLine(t.sink.lines, "Continue on [b]FEATURE_2.EVO[/b]"));
    EXPECT_EQ(t.sink.panels[0], "Ready");

    // Unticked: the first file alone, under its own name.
    t.window.options.cbContinue = false;
    ASSERT_TRUE(demuxOnly(t, folder));
    const auto firstRuns = walkPackets(Bytes(whole.begin(), whole.begin() + long(cut)));
    EXPECT_EQ(fileBytes(folder + "FEATURE_1.DD.stream.01.mpa"), streamBytes(firstRuns, 0xBD, 0x81));
}

TEST(DemuxCommand, AnOutputFileThatCannotBeCreatedIsLoggedInRedAndTheRunFinishes) {
    Fixture f("cannot_create");
    const std::string missing = f.folder + "missing";
    const std::string blocker = f.folder + "plain-file";
    writeFile(blocker, Bytes{1});
    struct Case {
        std::string folder;
        int error;
    };
    for (const Case& c : {Case{missing, ENOENT}, Case{blocker, ENOTDIR}}) {
        SCOPED_TRACE(c.folder);
        f.t.sink.lines.clear();
        EXPECT_FALSE(demuxOnly(f.t, c.folder));
        const auto errors = errorLines(f.t);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(contains(errors[0], c.folder + "/C.MPEG-2.stream.0.mpv"));
        EXPECT_TRUE(contains(errors[0], std::strerror(c.error)));
        const auto lines = f.t.visibleLines();
        EXPECT_EQ(lines.size(), 5u); // opening, size, error, "Done.", ""
        EXPECT_EQ(lines[3], "Done.");
        EXPECT_TRUE(f.t.window.buttons.bDemux);
        EXPECT_FALSE(f.t.session.run.OutputBusy);
        EXPECT_FALSE(f.t.table.InputFile);
    }

    // A source that went away since Read EVO: no output file is created.
    fs::rename(f.folder + "C.EVO", f.folder + "moved.EVO");
    f.t.sink.lines.clear();
    EXPECT_FALSE(demuxOnly(f.t, f.folder));
    ASSERT_EQ(errorLines(f.t).size(), 1u);
    EXPECT_TRUE(contains(errorLines(f.t)[0], std::strerror(ENOENT)));
    EXPECT_FALSE(fs::exists(f.folder + "C.MPEG-2.stream.0.mpv"));
    EXPECT_EQ(f.t.visibleLines()[2], "Done.");
    fs::rename(f.folder + "moved.EVO", f.folder + "C.EVO");

    // A folder in the way of the second file: the run fails before writing,
    // so the first one is not left behind empty.
    fs::create_directory(f.folder + "C.DD.stream.01.mpa");
    f.t.sink.lines.clear();
    EXPECT_FALSE(demuxOnly(f.t, f.folder));
    ASSERT_EQ(errorLines(f.t).size(), 1u);
    EXPECT_TRUE(contains(errorLines(f.t)[0], std::strerror(EISDIR)));
    EXPECT_FALSE(fs::exists(f.folder + "C.MPEG-2.stream.0.mpv"));
    EXPECT_FALSE(fs::exists(f.folder + "C.Subpicture.02.sup"));
    EXPECT_FALSE(containsLine(f.t.visibleLines(), "Demuxing..."));
    EXPECT_TRUE(containsLine(f.t.visibleLines(), "Done."));
}

TEST(DemuxCommand, AReadOnlyFolderIsLoggedInRed) {
    Fixture f("read_only");
    const std::string ro = f.folder + "ro";
    fs::create_directory(ro);
    ScratchMount mount(ro, "size=64k", true);
    if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_FALSE(demuxOnly(f.t, ro));
    const auto errors = errorLines(f.t);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(contains(errors[0], std::strerror(EROFS)));
    EXPECT_TRUE(containsLine(f.t.visibleLines(), "Done."));
}

TEST(DemuxCommand, AFullDiskEndsTheRunAndEveryFileKeepsWhatWasWritten) {
    {
        // Room for the video only: the audio file's bytes, all still in its
        // buffer, fail when the files are closed after the run.
        Fixture f("full_at_close");
        const std::string small = f.folder + "small";
        fs::create_directory(small);
        ScratchMount mount(small, "size=304k");
        if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
        EXPECT_FALSE(demuxOnly(f.t, small));
        const auto errors = errorLines(f.t);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(contains(errors[0], std::strerror(ENOSPC)));
        EXPECT_EQ(fileBytes(small + "/C.MPEG-2.stream.0.mpv"), f.streams[0].data);
        EXPECT_TRUE(isPrefixOf(fileBytes(small + "/C.DD.stream.01.mpa"), f.streams[1].data));
        const auto lines = f.t.visibleLines();
        EXPECT_EQ(lines[lines.size() - 2], "Done.");
    }
    {
        // /dev/full linked at an output name is replaced, never written to.
        Fixture f("full_link", 3 << 20);
        fs::create_symlink("/dev/full", f.folder + "C.MPEG-2.stream.0.mpv");
        EXPECT_TRUE(demuxOnly(f.t, f.folder));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(f.folder + "C.MPEG-2.stream.0.mpv")));
        EXPECT_EQ(fileBytes(f.folder + "C.MPEG-2.stream.0.mpv"), f.streams[0].data);
        EXPECT_EQ(fileBytes(f.folder + "C.DD.stream.01.mpa"), f.streams[1].data);
    }
}

TEST(DemuxCommand, AFullTmpfsEndsTheRunAndEveryFileKeepsWhatWasWritten) {
    Fixture f("full_tmpfs", 3 << 20);
    const std::string small = f.folder + "small";
    fs::create_directory(small);
    ScratchMount mount(small, "size=1m");
    if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_FALSE(demuxOnly(f.t, small));
    const auto errors = errorLines(f.t);
    ASSERT_GE(errors.size(), 1u);
    EXPECT_TRUE(contains(errors[0], std::strerror(ENOSPC)));
    const Bytes video = fileBytes(small + "/C.MPEG-2.stream.0.mpv");
    EXPECT_GT(video.size(), 0u);
    EXPECT_TRUE(isPrefixOf(video, f.streams[0].data));
    EXPECT_TRUE(isPrefixOf(fileBytes(small + "/C.DD.stream.01.mpa"), f.streams[1].data));
    EXPECT_TRUE(isPrefixOf(fileBytes(small + "/C.Subpicture.02.sup"), f.subpictures()));
    EXPECT_TRUE(containsLine(f.t.visibleLines(), "Done."));
}

TEST(DemuxCommand, CancelStopsAfterTheChunkInHandAndSkipsTheSecondFile) {
    const std::string folder = scratchFolder("demux_cancel");
    const auto streams = smallStreams(6 << 20, 51);
    const Bytes file = muxed(streams);
    writeFile(folder + "PART_1.EVO", file);
    writeFile(folder + "PART_2.EVO", file);
    const auto runs = walkPackets(file);
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "cancelled" : "cancel declined");
        TestSession t;
        t.chooseSource(folder + "PART_1.EVO");
        ASSERT_TRUE(bReadEVOClick(t.session));
        const size_t firstDemuxLine = t.sink.lines.size();
        t.ui.answer = answer;
        t.ui.onPump = [&] {
            if (t.ui.questions.empty()) bCancelClick(t.session);
        };
        EXPECT_TRUE(demuxOnly(t, folder));
        EXPECT_EQ(t.ui.questions, std::vector<std::string>{"Are you sure to stop demuxing?"});
        const auto lines = linesFrom(t, firstDemuxLine);
        EXPECT_EQ(containsLine(lines, "Cancelled."), answer);
        EXPECT_EQ(containsLine(lines, "Continue on PART_2.EVO"), !answer);
        EXPECT_TRUE(containsLine(lines, "Done."));
        EXPECT_FALSE(t.session.run.OutputBusy);

        const int64_t end = answer ? (4 << 20) : INT64_MAX;
        Bytes video = streamBytes(runs, 0xE0, -1, 0, end);
        Bytes audio = streamBytes(runs, 0xBD, 0x81, 0, end);
        if (!answer) {
            video.insert(video.end(), video.begin(), video.end());
            audio.insert(audio.end(), audio.begin(), audio.end());
        } else {
            EXPECT_EQ(t.table.FrameCount, (std::array<int32_t, 2>{0, 0}));
        }
        const std::string base = folder + "PART_1_PART_2.";
        EXPECT_EQ(fileBytes(base + "MPEG-2.stream.0.mpv"), video);
        EXPECT_EQ(fileBytes(base + "DD.stream.01.mpa"), audio);
    }
    fs::remove_all(folder);
}

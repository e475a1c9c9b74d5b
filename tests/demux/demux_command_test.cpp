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

std::vector<std::string> linesFrom(const std::vector<std::string>& all, size_t first) {
    return {all.begin() + long(std::min(first, all.size())), all.end()};
}

// The lines of the error, each "[re]" + message + "[/re]", as logged.
std::vector<std::string> errorLines(const RecordingSink& sink) {
    std::vector<std::string> out;
    for (const auto& line : sink.lines)
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

// Whether this process holds the file open.
bool heldOpen(const std::string& path) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", error))
        if (fs::equivalent(fs::read_symlink(fd.path(), error), path, error)) return true;
    return false;
}

// A run over the small streams after Read EVO; Demux writes every stream
// found, under the scan's captions.
struct Fixture {
    explicit Fixture(const std::string& name, size_t videoSize = 300000)
        : folder(scratchFolder("demux_" + name)), streams(smallStreams(videoSize, 31)),
          file(muxed(streams)), runs(walkPackets(file)) {
        writeFile(folder + "C.EVO", file);
        scanned = core.read(folder + "C.EVO");
        EXPECT_TRUE(scanned.ok());
        firstDemuxLine = core.sink.lines.size();
    }
    DemuxResult demux(const std::string& outputFolder, OutputNaming naming = {},
                      std::optional<std::vector<DemuxStream>> chosen = std::nullopt) {
        naming.folder = outputFolder;
        return demuxStreams(core, scanned.title, naming, std::move(chosen));
    }
    Bytes subpictures() const {
        return subpictureRecords(runs, 0x22, scanned.title.scan.minFirstPts);
    }
    std::vector<std::string> lines() const { return core.visibleLines(); }

    std::string folder;
    std::vector<StreamSpec> streams;
    Bytes file;
    std::vector<PayloadRun> runs;
    CoreRun core;
    ScanResult scanned;
    size_t firstDemuxLine = 0;
};

} // namespace

TEST(DemuxCommand, LogsEachStepAndNamesTheFilesAfterFolderBaseCaptionAndExtension) {
    Fixture f("names");
    const std::string out = f.folder + "out";
    fs::create_directory(out);
    writeFile(out + "/C.MPEG-2.stream.0.mpv", Bytes(900000, 0xAA)); // replaced, not appended to
    OutputNaming naming;
    naming.audioExtension = "ac3";
    ASSERT_TRUE(f.demux(out, naming).ok()); // no trailing delimiter

    EXPECT_EQ(linesFrom(f.lines(), f.firstDemuxLine),
              (std::vector<std::string>{"Opening file C.EVO", "File size: 0 Mbytes.",
                                        "Creating " + out + "/C.MPEG-2.stream.0.mpv",
                                        "Creating " + out + "/C.DD.stream.01.ac3",
                                        "Creating " + out + "/C.Subpicture.02.sup", "Demuxing...",
                                        "Done.", ""}));
    EXPECT_EQ(f.core.sink.panels[0], "Ready");
    EXPECT_EQ(f.core.sink.panels[1], "");
    EXPECT_FALSE(f.core.host.run.writingOutput);
    EXPECT_FALSE(f.core.host.run.cancellable);
    EXPECT_EQ(fileBytes(out + "/C.MPEG-2.stream.0.mpv"), f.streams[0].data);
    EXPECT_EQ(fileBytes(out + "/C.DD.stream.01.ac3"), f.streams[1].data);
    EXPECT_EQ(fileBytes(out + "/C.Subpicture.02.sup"), f.subpictures());

    // With a trailing delimiter: the same folder, the same files again.
    fs::remove_all(out);
    fs::create_directory(out);
    ASSERT_TRUE(f.demux(out + "/", naming).ok());
    EXPECT_TRUE(fs::exists(out + "/C.DD.stream.01.ac3"));

    // An empty folder: the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(out);
    fs::remove(out + "/C.DD.stream.01.ac3");
    f.core.sink.lines.clear();
    ASSERT_TRUE(f.demux("", naming).ok());
    fs::current_path(before);
    EXPECT_TRUE(containsLine(f.lines(), "Creating C.DD.stream.01.ac3"));
    EXPECT_EQ(fileBytes(out + "/C.DD.stream.01.ac3"), f.streams[1].data);

    // A caption with the path delimiter (a playlist's description) stays in
    // the folder.
    std::vector<DemuxStream> named = foundStreams(f.scanned.title.scan);
    ASSERT_EQ(named.size(), 3u);
    ASSERT_EQ(named[1].slot, 1);
    named[1].caption = "DD.6ch.s02.English/French";
    ASSERT_TRUE(f.demux(out, naming, named).ok());
    EXPECT_EQ(fileBytes(out + "/C.DD.6ch.s02.English_French.ac3"), f.streams[1].data);
}

TEST(DemuxCommand, NoTickedBoxCreatesNoFileButReadsTheSource) {
    Fixture f("no_box");
    ASSERT_TRUE(f.demux(f.folder, {}, std::vector<DemuxStream>{}).ok());
    EXPECT_EQ(linesFrom(f.lines(), f.firstDemuxLine),
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

    CoreRun core;
    const ScanResult scanned = core.read(folder + "FEATURE_1.EVO");
    ASSERT_TRUE(scanned.ok());
    const size_t firstDemuxLine = core.sink.lines.size();
    OutputNaming naming;
    naming.folder = folder;
    ASSERT_TRUE(demuxStreams(core, scanned.title, naming).ok());
    EXPECT_EQ(scanned.title.baseName, "FEATURE_1_FEATURE_2");
    const std::string base = folder + "FEATURE_1_FEATURE_2.";
    EXPECT_EQ(fileBytes(base + "MPEG-2.stream.0.mpv"), streams[0].data);
    EXPECT_EQ(fileBytes(base + "DD.stream.01.mpa"), streams[1].data);
    EXPECT_EQ(fileBytes(base + "Subpicture.02.sup"),
              subpictureRecords(runs, 0x22, scanned.title.scan.minFirstPts));
    const auto lines = linesFrom(core.visibleLines(), firstDemuxLine);
    const auto from = std::find(lines.begin(), lines.end(), "Continue on FEATURE_2.EVO");
    ASSERT_NE(from, lines.end());
    EXPECT_EQ(*(from - 1), "");
    EXPECT_EQ(*(from + 1), "Demuxing...");
    EXPECT_EQ(*(from + 2), "Done.");
    EXPECT_TRUE(containsLine(core.sink.lines, "Continue on [b]FEATURE_2.EVO[/b]"));
    EXPECT_EQ(core.sink.panels[0], "Ready");

    // Without the parts: the first file alone, under its own name.
    const ScanResult first = core.read(folder + "FEATURE_1.EVO", {}, false);
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(demuxStreams(core, first.title, naming).ok());
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
        f.core.sink.lines.clear();
        const DemuxResult result = f.demux(c.folder);
        EXPECT_FALSE(result.ok());
        const auto errors = errorLines(f.core.sink);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(contains(errors[0], c.folder + "/C.MPEG-2.stream.0.mpv"));
        EXPECT_TRUE(contains(errors[0], std::strerror(c.error)));
        const auto lines = f.lines();
        EXPECT_EQ(lines.size(), 5u); // opening, size, error, "Done.", ""
        EXPECT_EQ(lines[3], "Done.");
        EXPECT_FALSE(f.core.host.run.writingOutput);
        EXPECT_FALSE(heldOpen(f.folder + "C.EVO"));
    }

    // A source that went away since Read EVO: no output file is created.
    fs::rename(f.folder + "C.EVO", f.folder + "moved.EVO");
    f.core.sink.lines.clear();
    EXPECT_FALSE(f.demux(f.folder).ok());
    ASSERT_EQ(errorLines(f.core.sink).size(), 1u);
    EXPECT_TRUE(contains(errorLines(f.core.sink)[0], std::strerror(ENOENT)));
    EXPECT_FALSE(fs::exists(f.folder + "C.MPEG-2.stream.0.mpv"));
    EXPECT_EQ(f.lines()[2], "Done.");
    fs::rename(f.folder + "moved.EVO", f.folder + "C.EVO");

    // A folder in the way of the second file: the run fails before writing,
    // so the first one is not left behind empty.
    fs::create_directory(f.folder + "C.DD.stream.01.mpa");
    f.core.sink.lines.clear();
    EXPECT_FALSE(f.demux(f.folder).ok());
    ASSERT_EQ(errorLines(f.core.sink).size(), 1u);
    EXPECT_TRUE(contains(errorLines(f.core.sink)[0], std::strerror(EISDIR)));
    EXPECT_FALSE(fs::exists(f.folder + "C.MPEG-2.stream.0.mpv"));
    EXPECT_FALSE(fs::exists(f.folder + "C.Subpicture.02.sup"));
    EXPECT_FALSE(containsLine(f.lines(), "Demuxing..."));
    EXPECT_TRUE(containsLine(f.lines(), "Done."));
}

TEST(DemuxCommand, AReadOnlyFolderIsLoggedInRed) {
    Fixture f("read_only");
    const std::string ro = f.folder + "ro";
    fs::create_directory(ro);
    ScratchMount mount(ro, "size=64k", true);
    if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_FALSE(f.demux(ro).ok());
    const auto errors = errorLines(f.core.sink);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(contains(errors[0], std::strerror(EROFS)));
    EXPECT_TRUE(containsLine(f.lines(), "Done."));
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
        EXPECT_FALSE(f.demux(small).ok());
        const auto errors = errorLines(f.core.sink);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(contains(errors[0], std::strerror(ENOSPC)));
        // The video was whole and takes its name; the audio file is kept
        // under its partial name.
        EXPECT_EQ(fileBytes(small + "/C.MPEG-2.stream.0.mpv"), f.streams[0].data);
        EXPECT_FALSE(fs::exists(small + "/C.DD.stream.01.mpa"));
        EXPECT_TRUE(
            isPrefixOf(fileBytes(small + "/C.DD.stream.01.mpa.partial"), f.streams[1].data));
        const auto lines = f.lines();
        EXPECT_EQ(lines[lines.size() - 2], "Done.");
    }
    {
        // /dev/full linked at an output name is replaced, never written to.
        Fixture f("full_link", 3 << 20);
        fs::create_symlink("/dev/full", f.folder + "C.MPEG-2.stream.0.mpv");
        EXPECT_TRUE(f.demux(f.folder).ok());
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(f.folder + "C.MPEG-2.stream.0.mpv")));
        EXPECT_EQ(fileBytes(f.folder + "C.MPEG-2.stream.0.mpv"), f.streams[0].data);
        EXPECT_EQ(fileBytes(f.folder + "C.DD.stream.01.mpa"), f.streams[1].data);
    }
}

// After a failed run no file takes its name: each keeps what was written
// under its partial name.
TEST(DemuxCommand, AFullTmpfsEndsTheRunAndEveryFileKeepsWhatWasWritten) {
    Fixture f("full_tmpfs", 3 << 20);
    const std::string small = f.folder + "small";
    fs::create_directory(small);
    ScratchMount mount(small, "size=1m");
    if (!mount.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_FALSE(f.demux(small).ok());
    const auto errors = errorLines(f.core.sink);
    ASSERT_GE(errors.size(), 1u);
    EXPECT_TRUE(contains(errors[0], std::strerror(ENOSPC)));
    const Bytes video = fileBytes(small + "/C.MPEG-2.stream.0.mpv.partial");
    EXPECT_GT(video.size(), 0u);
    EXPECT_TRUE(isPrefixOf(video, f.streams[0].data));
    EXPECT_TRUE(isPrefixOf(fileBytes(small + "/C.DD.stream.01.mpa.partial"), f.streams[1].data));
    EXPECT_TRUE(isPrefixOf(fileBytes(small + "/C.Subpicture.02.sup.partial"), f.subpictures()));
    for (const char* name : {"C.MPEG-2.stream.0.mpv", "C.DD.stream.01.mpa", "C.Subpicture.02.sup"})
        EXPECT_FALSE(fs::exists(small + "/" + name)) << name;
    EXPECT_TRUE(containsLine(f.lines(), "Partial: " + small +
                                            "/C.MPEG-2.stream.0.mpv.partial holds what was "
                                            "written before the failure."));
    EXPECT_TRUE(containsLine(f.lines(), "Done."));
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
        const auto lines = linesFrom(t.visibleLines(), firstDemuxLine);
        EXPECT_EQ(containsLine(lines, "Cancelled."), answer);
        EXPECT_EQ(containsLine(lines, "Continue on PART_2.EVO"), !answer);
        EXPECT_TRUE(containsLine(lines, "Done."));
        EXPECT_FALSE(t.session.control().writingOutput);

        const int64_t end = answer ? (4 << 20) : INT64_MAX;
        Bytes video = streamBytes(runs, 0xE0, -1, 0, end);
        Bytes audio = streamBytes(runs, 0xBD, 0x81, 0, end);
        if (!answer) {
            video.insert(video.end(), video.begin(), video.end());
            audio.insert(audio.end(), audio.begin(), audio.end());
        } else {
            ASSERT_TRUE(t.session.demuxed);
            EXPECT_EQ(t.session.demuxed->frames.counted, (std::array<int64_t, 2>{0, 0}));
        }
        const std::string base = folder + "PART_1_PART_2.";
        EXPECT_EQ(fileBytes(base + "MPEG-2.stream.0.mpv"), video);
        EXPECT_EQ(fileBytes(base + "DD.stream.01.mpa"), audio);
    }
    fs::remove_all(folder);
}

// Outputs never change another file: links at output names, outputs that are
// a source or the playlist, streams whose captions give the same name, and
// runs that fail before writing.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "demux/demux_support.h"
#include "engine/files.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "rebuild/rebuild.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

enum class Output { Demux, Rebuild, Chapters };
enum class Link { Symbolic, Hard };
enum class Target { Source, Playlist, Unrelated };

// A source with a video and a Dolby Digital stream, a playlist and an
// unrelated file, read with Read EVO; outputs go to "out/". Demux writes
// every stream found; Rebuild and the chapter file are the window's.
struct Scene {
    explicit Scene(const std::string& name) : folder(scratchFolder("safety_" + name)) {
        StreamSpec video;
        video.streamId = 0xE0;
        video.data = noiseWithoutStartCodes(200000, 7);
        StreamSpec audio;
        audio.streamId = 0xBD;
        audio.subStreamId = 0x81;
        audio.subStreamHeader = audioSubStreamHeader(0x81);
        audio.data = noiseWithoutStartCodes(30000, 8);
        audio.ptsEvery = 2;
        streams = {video, audio};
        PackWriter writer;
        muxStreams(writer, streams);
        writeFile(folder + "C.EVO", writer.bytes());
        writeFile(folder + "VPLST000.XPL", Bytes(5000, '<'));
        writeFile(folder + "unrelated.bin", Bytes(7000, 0x55));
        fs::create_directory(folder + "out");
        t.chooseSource(folder + "C.EVO");
        EXPECT_TRUE(bReadEVOClick(t.session));
        t.window.eXPLfile = folder + "VPLST000.XPL";
        t.window.playlist.mChapter = {"CHAPTER01=00:00:00.000", "CHAPTER01NAME=One"};
        t.window.options.eWorkdir = folder + "out";
        if (t.session.scanned) chosen = foundStreams(t.session.scanned->scan);
        naming.folder = folder + "out";
    }
    std::string outputName(Output o) const {
        const char* names[] = {"C.DD.stream.01.mpa", "C.rebuilt.EVO", "C.chapters.txt"};
        return folder + "out/" + names[int(o)];
    }
    std::string targetName(Target target) const {
        const char* names[] = {"C.EVO", "VPLST000.XPL", "unrelated.bin"};
        return folder + names[int(target)];
    }
    bool run(Output o) {
        t.ui.errors.clear();
        t.sink.lines.clear();
        core.sink.lines.clear();
        errors.clear();
        if (o == Output::Demux) return demux();
        if (o == Output::Rebuild) return bRebuildClick(t.session);
        return bWriteChapsClick(t.session);
    }
    // The chosen streams of the scanned title, with the playlist named as a
    // file never to be written.
    bool demux() {
        if (!t.session.scanned) return false;
        const SelectionSet selection = selectionOf(chosen);
        const DemuxRequest request{*t.session.scanned,  chosen, selection, naming, true,
                                   {t.window.eXPLfile}, nullptr};
        RunContext context = core.context();
        errors = demuxTitle(request, context).errors;
        return errors.empty();
    }
    std::string error() const {
        return !errors.empty() ? errors[0] : !t.ui.errors.empty() ? t.ui.errors[0] : "";
    }

    std::string folder;
    std::vector<StreamSpec> streams;
    TestSession t;
    CoreRun core;
    std::vector<DemuxStream> chosen;
    OutputNaming naming;
    std::vector<std::string> errors;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class LinkAtOutput : public ::testing::TestWithParam<std::tuple<Output, Link, Target>> {};

TEST_P(LinkAtOutput, NeverChangesTheTargetAndRefusesSourcesAndThePlaylist) {
    const auto [output, link, target] = GetParam();
    Scene s("link");
    ASSERT_TRUE(s.run(output));
    const Bytes expected = fileBytes(s.outputName(output));
    fs::remove(s.outputName(output));
    const std::string targetPath = s.targetName(target);
    const Bytes targetBefore = fileBytes(targetPath);
    if (link == Link::Symbolic)
        fs::create_symlink(targetPath, s.outputName(output));
    else
        fs::create_hard_link(targetPath, s.outputName(output));

    const auto names = [&] {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(s.folder + "out"))
            found.insert(entry.path().filename().string());
        return found;
    };
    const std::set<std::string> namesBefore = names();

    const bool ok = s.run(output);
    EXPECT_EQ(fileBytes(targetPath), targetBefore);
    if (target == Target::Unrelated) {
        EXPECT_TRUE(ok) << s.error();
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(s.outputName(output))));
        EXPECT_EQ(fileBytes(s.outputName(output)), expected);
    } else {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(contains(s.error(), "Cannot write \"" + s.outputName(output) +
                                            "\": it is the same file as the "))
            << s.error();
        EXPECT_TRUE(contains(s.error(), targetPath)) << s.error();
    }
    // Nothing of the run's own is left beside the outputs.
    EXPECT_EQ(names(), namesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    EveryOutput, LinkAtOutput,
    ::testing::Combine(::testing::Values(Output::Demux, Output::Rebuild, Output::Chapters),
                       ::testing::Values(Link::Symbolic, Link::Hard),
                       ::testing::Values(Target::Source, Target::Playlist, Target::Unrelated)));

TEST(OutputSafety, TheChapterFileIsNeverThePlaylistItWasReadFrom) {
    Scene s("chapters_over_playlist");
    s.t.window.options.eWorkdir = s.folder;
    s.t.window.eXPLfile = s.folder + "C.chapters.txt";
    writeFile(s.t.window.eXPLfile, Bytes(300, '<'));
    EXPECT_FALSE(s.run(Output::Chapters));
    EXPECT_EQ(fileBytes(s.t.window.eXPLfile), Bytes(300, '<'));
}

TEST(OutputSafety, StreamsWhoseCaptionsGiveOneNameGetTwoFiles) {
    Scene s("collision");
    ASSERT_EQ(s.chosen.size(), 2u);
    ASSERT_EQ(s.chosen[1].slot, 1);
    s.chosen[0].caption = "P.s03.Q";
    s.chosen[1].caption = "P.s03.Q";
    s.naming.audioExtension = s.naming.videoExtension = "es";
    ASSERT_TRUE(s.run(Output::Demux));
    const std::string first = s.folder + "out/C.P.s03.Q.es";
    const std::string second = s.folder + "out/C.P.s03.Q.a01.es";
    EXPECT_EQ(fileBytes(first), s.streams[0].data);
    EXPECT_EQ(fileBytes(second), s.streams[1].data);
    EXPECT_TRUE(containsLine(s.core.visibleLines(), "Two streams would share the file " + first +
                                                        "; stream a01 is written to " + second +
                                                        " instead."));
}

TEST(OutputSafety, ARunThatFailsBeforeWritingLeavesOldFilesAndNoNewOnes) {
    Scene s("fails_early");
    const std::string video = s.folder + "out/C.MPEG-2.stream.0.mpv";
    writeFile(video, Bytes(100, 1));                   // from an earlier run
    fs::create_directory(s.outputName(Output::Demux)); // a folder in the way
    EXPECT_FALSE(s.run(Output::Demux));
    EXPECT_TRUE(contains(s.error(), "Is a directory"));
    EXPECT_EQ(fileBytes(video), Bytes(100, 1));
    EXPECT_EQ(std::distance(fs::directory_iterator(s.folder + "out"), fs::directory_iterator()), 2);
}

// Sources and playlists that are not regular files are refused at once,
// with a message that says what they are.
TEST(OutputSafety, NonRegularSourcesAndPlaylistsAreRefusedAtOnce) {
    Scene s("not_regular");
    const std::string fifo = s.folder + "pipe.EVO";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string message;
    };
    for (const Case& c : {Case{fifo, "It is not a regular file but a pipe (FIFO)."},
                          Case{"/dev/null", "It is not a regular file but a device."},
                          Case{s.folder + "out", "Is a directory"}}) {
        SCOPED_TRACE(c.path);
        TestSession t;
        t.chooseSource(c.path);
        EXPECT_FALSE(bReadEVOClick(t.session));
        t.window.eXPLfile = c.path;
        EXPECT_FALSE(bReadXPLClick(t.session));
        ASSERT_EQ(t.ui.errors.size(), 2u);
        for (const std::string& e : t.ui.errors)
            EXPECT_EQ(e, "Cannot open file \"" + c.path + "\". " + c.message);
    }
}

// Only a regular file or a link at an output's name is replaced: a pipe or a
// device there is someone else's and stays as it is.
TEST(OutputSafety, APipeOrADeviceAtAnOutputNameIsRefusedAndKept) {
    Scene s("pipe_at_output");
    const std::string fifo = s.folder + "out.mpv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [path, message] :
         {std::pair<std::string, std::string>{fifo, "It is not a regular file but a pipe (FIFO)."},
          {"/dev/null", "It is not a regular file but a device."}}) {
        SCOPED_TRACE(path);
        try {
            OutputFile out(path, 4096);
            ADD_FAILURE() << "created";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + path + "\". " + message);
        }
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    for (const auto& entry : fs::directory_iterator(s.folder))
        EXPECT_EQ(entry.path().string().find("tarnwick~"), std::string::npos) << entry.path();
}

} // namespace

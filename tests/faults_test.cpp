// Faults through every command: a source that shrinks or vanishes while it is
// read, a source that cannot be read, a full disk, and Cancel at every point
// where a click can arrive. After each: no crash, every file closed, what was
// written stays, a clear message, and the buttons as after a normal run.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "log/log_line.h"
#include "model/file_names.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "rebuild/rebuild.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/mount.h>
#include <tuple>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
namespace fs = std::filesystem;

constexpr int64_t MiB = 1048576;
constexpr int64_t FirstSize = 8 * MiB;               // progress and pumps at 4 and 8 MiB
constexpr int64_t SecondSize = 4 * MiB + 512 * 1024; // one pump at 4 MiB

// Video, Dolby Digital and a subpicture stream, cut to `size` bytes of packs.
Bytes featurePart(uint32_t seed, int64_t size) {
    NavigationPackInfo nav;
    nav.firstPtm = 90000;
    nav.lastPtm = 90000 + 90000 * 600;
    nav.audioEntries = {1};
    nav.subpictureEntries = {1};
    StreamSpec video;
    video.streamId = 0xE0;
    video.data = noiseWithoutStartCodes(size_t(size * 0.86), seed);
    video.ptsEvery = 4;
    StreamSpec audio;
    audio.streamId = 0xBD;
    audio.subStreamId = 0x80;
    audio.subStreamHeader = audioSubStreamHeader(0x80);
    audio.data = noiseWithoutStartCodes(size_t(size * 0.1), seed + 1);
    audio.ptsEvery = 3;
    StreamSpec sub;
    sub.streamId = 0xBD;
    sub.subStreamId = 0x20;
    sub.subStreamHeader = {0x20};
    sub.data = noiseWithoutStartCodes(size_t(size * 0.02), seed + 2);
    for (size_t at = 0; at < sub.data.size(); at += 3000)
        sub.unitStarts.push_back(at);
    sub.firstPts = 99000;
    sub.ptsEvery = 0;
    PackWriter writer;
    muxStreams(writer, {video, audio, sub}, 32, nav);
    Bytes out = writer.bytes();
    EXPECT_GE(int64_t(out.size()), size);
    out.resize(size_t(size));
    return out;
}

const Bytes& firstPart() {
    static const Bytes bytes = featurePart(11, FirstSize);
    return bytes;
}
const Bytes& secondPart() {
    static const Bytes bytes = featurePart(22, SecondSize);
    return bytes;
}

enum class Command { ReadEvo, Demux, Rebuild };
const char* name(Command c) {
    return c == Command::ReadEvo ? "Read EVO" : c == Command::Demux ? "Demux" : "Rebuild";
}

int openFiles() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// A disc folder with the two parts (the first cut to `firstBytes`) and an
// empty output folder, and a session with the first part chosen.
struct Scene {
    Scene(const std::string& test, size_t firstBytes = FirstSize, bool withSecond = true)
        : folder(scratchFolder(test)), out(folder + "out/") {
        fs::create_directories(out);
        writeFile(first(), Bytes(firstPart().begin(), firstPart().begin() + long(firstBytes)));
        if (withSecond) writeFile(folder + "FEATURE_2.EVO", secondPart());
        t.chooseSource(first());
        t.window.options.cbFastCheck = false;
        t.window.options.eWorkdir = out;
    }
    ~Scene() { fs::remove_all(folder); }
    std::string first() const { return folder + "FEATURE_1.EVO"; }

    bool run(Command c) {
        firstLine = t.sink.lines.size();
        switch (c) {
        case Command::ReadEvo: return bReadEVOClick(t.session);
        case Command::Demux: return bDemuxClick(t.session);
        case Command::Rebuild: return bRebuildClick(t.session);
        }
        return false;
    }
    // Calls `action` at the k-th pump of the command about to run.
    void atPump(int k, std::function<void()> action) {
        const int base = t.ui.pumps;
        t.ui.onPump = [this, base, k, action] {
            if (t.ui.pumps - base == k) action();
        };
    }
    void cancelAtPump(int k) {
        atPump(k, [this] { bCancelClick(t.session); });
    }

    // The output files by name without the base ("MPEG-2.stream.0.mpv").
    std::map<std::string, Bytes> outputs() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string file = entry.path().filename().string();
            files[file.substr(file.find('.') + 1)] = readFile(entry.path().string());
        }
        return files;
    }
    // Whether the last command logged a line that starts with `head`.
    bool logged(const std::string& head) const {
        const std::vector<std::string> lines = t.visibleLines();
        for (size_t k = firstLine; k < lines.size(); ++k)
            if (lines[k].rfind(head, 0) == 0) return true;
        return false;
    }

    std::string folder, out;
    TestSession t;
    size_t firstLine = 0;
};

// What the command writes when the first part holds only `firstBytes` and the
// second part is read or not; the boxes and time references come from a Read
// EVO of both parts, as in the runs under test.
std::map<std::string, Bytes> reference(Command c, size_t firstBytes, bool second) {
    // The same run gives the same files: made once per test program.
    static std::map<std::tuple<Command, size_t, bool>, std::map<std::string, Bytes>> made;
    const auto key = std::make_tuple(c, firstBytes, second);
    if (const auto found = made.find(key); found != made.end()) return found->second;
    Scene s("faults_reference", firstBytes);
    EXPECT_TRUE(s.run(Command::ReadEvo));
    s.t.window.options.cbContinue = second;
    EXPECT_TRUE(s.run(c));
    return made[key] = s.outputs();
}

// The same outputs under their partial names.
std::map<std::string, Bytes> asPartial(const std::map<std::string, Bytes>& outputs) {
    std::map<std::string, Bytes> partial;
    for (const auto& [name, bytes] : outputs)
        partial[name + ".partial"] = bytes;
    return partial;
}

// The buttons as a completed command leaves them.
void expectButtonsRestored(const Scene& s, Command c) {
    const Buttons& b = s.t.window.buttons;
    EXPECT_FALSE(b.bCancel) << name(c);
    if (c == Command::ReadEvo) {
        EXPECT_TRUE(b.bReadEVO && b.bbEVO && b.bbXPL) << name(c);
    } else {
        EXPECT_TRUE(b.bDemux && b.bRebuild) << name(c);
        EXPECT_FALSE(s.t.session.control().writingOutput) << name(c);
    }
}

// The failure reached the user: an error box for Read EVO and Rebuild, a
// red line in the log for Demux.
void expectReported(const Scene& s, Command c, const std::string& text) {
    std::vector<std::string> messages = s.t.ui.errors;
    if (c == Command::Demux) {
        messages.clear();
        for (size_t k = s.firstLine; k < s.t.sink.lines.size(); ++k)
            if (s.t.sink.lines[k].rfind("[re]", 0) == 0) messages.push_back(s.t.sink.lines[k]);
    }
    // Demux closes every file after the failure; on a full disk each file
    // whose last bytes did not fit says so in a line of its own.
    ASSERT_FALSE(messages.empty()) << name(c);
    if (c != Command::Demux) {
        EXPECT_EQ(messages.size(), 1u) << name(c);
    }
    for (const std::string& message : messages)
        EXPECT_NE(message.find(text), std::string::npos) << name(c) << ": " << message;
}

TEST(Faults, ASourceThatShrinksWhileReadIsReportedAndTheOutputKeepsItsBytes) {
    // The first pump comes after the chunk that ends at 4 MiB; that chunk is
    // still parsed, and reading stops where the file now ends.
    struct Case {
        const char* what;
        int64_t cutTo;
    };
    for (const Case k : {Case{"shrinks", 6 * MiB}, Case{"is emptied", 0}}) {
        for (const Command c : {Command::ReadEvo, Command::Demux, Command::Rebuild}) {
            SCOPED_TRACE(std::string(name(c)) + ", the source " + k.what);
            Scene s("faults_shrink");
            if (c != Command::ReadEvo) {
                ASSERT_TRUE(s.run(Command::ReadEvo));
            }
            const int files = openFiles();
            s.atPump(1, [&] { fs::resize_file(s.first(), uintmax_t(k.cutTo)); });
            EXPECT_FALSE(s.run(c));
            EXPECT_EQ(openFiles(), files);
            expectReported(s, c, "The file shrank while it was read");
            expectButtonsRestored(s, c);
            EXPECT_FALSE(s.logged("Continue on"));
            if (c != Command::ReadEvo) {
                // The run failed: every output is kept under its partial name.
                const size_t kept = size_t(std::max(k.cutTo, 4 * MiB));
                EXPECT_EQ(s.outputs(), asPartial(reference(c, kept, false)));
            }
            if (c == Command::Demux) {
                EXPECT_TRUE(s.logged("Done."));
            }
        }
    }
}

TEST(Faults, ASourceRemovedFromItsFolderWhileReadIsReadToItsEnd) {
    for (const Command c : {Command::ReadEvo, Command::Demux, Command::Rebuild}) {
        SCOPED_TRACE(name(c));
        Scene s("faults_unlink");
        if (c != Command::ReadEvo) {
            ASSERT_TRUE(s.run(Command::ReadEvo));
        }
        const std::map<std::string, Bytes> expected = reference(c, FirstSize, true);
        const int files = openFiles();
        s.atPump(1, [&] { fs::remove(s.first()); });
        EXPECT_TRUE(s.run(c));
        EXPECT_EQ(openFiles(), files);
        EXPECT_TRUE(s.logged("Continue on FEATURE_2.EVO"));
        expectButtonsRestored(s, c);
        if (c != Command::ReadEvo) {
            EXPECT_EQ(s.outputs(), expected);
        }
    }
}

TEST(Faults, ASourceThatCannotBeReadEndsEveryCommandWithTheSystemsMessage) {
    // A sysfs attribute that the kernel refuses to show: a regular file of
    // 4096 bytes whose read fails with EINVAL. A folder fails already at open.
    const std::string unreadable = "/sys/class/net/lo/speed";
    for (const std::string& source : {unreadable, std::string("/tmp")}) {
        if (source == unreadable && !fs::is_regular_file(unreadable)) continue;
        const std::string text = source == unreadable
                                     ? "Read error on \"" + source + "\". Invalid argument"
                                     : "Is a directory";
        for (const Command c : {Command::ReadEvo, Command::Demux, Command::Rebuild}) {
            SCOPED_TRACE(std::string(name(c)) + " on " + source);
            Scene s("faults_unreadable", 0, false);
            s.t.chooseSource(source);
            // What a Read EVO of a readable file would have left.
            s.t.window.boxes.cbVideo[0] = StreamBox{true, true, "MPEG-2.stream.0", ""};
            const int files = openFiles();
            EXPECT_FALSE(s.run(c));
            EXPECT_EQ(openFiles(), files);
            expectReported(s, c, text);
            expectButtonsRestored(s, c);
        }
        SCOPED_TRACE("Read XPL on " + source);
        Scene s("faults_unreadable", 0, false);
        s.t.window.eXPLfile = source;
        XPLadj(s.t.window);
        s.t.window.buttons.bReadEVO = true;
        EXPECT_FALSE(bReadXPLClick(s.t.session));
        ASSERT_EQ(s.t.ui.errors.size(), 1u);
        EXPECT_NE(s.t.ui.errors[0].find(text), std::string::npos) << s.t.ui.errors[0];
        const Buttons& b = s.t.window.buttons;
        EXPECT_TRUE(b.bReadXPL && b.bReadEVO && b.bbEVO && b.bbXPL);
    }
}

// A tmpfs of `size` on a folder, or nothing where mounting is not allowed.
class SmallDisk {
public:
    SmallDisk(const std::string& folder, const std::string& size) : folder_(folder) {
        mounted_ =
            ::mount("tarnwick-full", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

bool isPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(Faults, AFullDiskEndsEveryWritingCommandAndKeepsWhatFitted) {
    // A link to the full device at an output name is replaced, never
    // written through: the run ends well and the device stays a device.
    for (const Command c : {Command::Demux, Command::Rebuild}) {
        SCOPED_TRACE(std::string(name(c)) + " over a link to /dev/full");
        Scene s("faults_dev_full");
        ASSERT_TRUE(s.run(Command::ReadEvo));
        const std::string victim = c == Command::Demux ? "FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv"
                                                       : "FEATURE_1_FEATURE_2.rebuilt.EVO";
        fs::create_symlink("/dev/full", s.out + victim);
        const int files = openFiles();
        EXPECT_TRUE(s.run(c));
        EXPECT_EQ(openFiles(), files);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(s.out + victim)));
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
        expectButtonsRestored(s, c);
    }
    {
        SCOPED_TRACE("Write chapters over a link to /dev/full");
        Scene s("faults_dev_full", 0, false);
        s.t.window.paths.EVObase = "FEATURE_1";
        s.t.window.playlist.mChapter = {"CHAPTER01=00:00:00.000", "CHAPTER01NAME=Opening"};
        fs::create_symlink("/dev/full", s.out + "FEATURE_1.chapters.txt");
        const int files = openFiles();
        EXPECT_TRUE(bWriteChapsClick(s.t.session));
        EXPECT_EQ(openFiles(), files);
        EXPECT_TRUE(s.t.ui.errors.empty());
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(s.out + "FEATURE_1.chapters.txt")));
    }
    // A disk that fills up during the run: each file keeps the bytes that
    // fitted, which are the start of what a roomy disk would hold, under its
    // partial name.
    for (const Command c : {Command::Demux, Command::Rebuild}) {
        SCOPED_TRACE(std::string(name(c)) + " onto a 2 MiB disk");
        Scene s("faults_small_disk");
        ASSERT_TRUE(s.run(Command::ReadEvo));
        const std::map<std::string, Bytes> roomy = reference(c, FirstSize, true);
        SmallDisk disk(s.out, "2m");
        if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
        const int files = openFiles();
        EXPECT_FALSE(s.run(c));
        EXPECT_EQ(openFiles(), files);
        expectReported(s, c, "No space left on device");
        expectButtonsRestored(s, c);
        const std::map<std::string, Bytes> kept = s.outputs();
        ASSERT_EQ(kept.size(), roomy.size());
        size_t total = 0;
        for (const auto& [file, bytes] : kept) {
            ASSERT_TRUE(roomy.count(file.substr(0, file.size() - 8)) && endsWith(file, ".partial"))
                << file;
            EXPECT_TRUE(isPrefix(bytes, roomy.at(file.substr(0, file.size() - 8)))) << file;
            total += bytes.size();
        }
        EXPECT_GT(total, size_t(MiB));
    }
}

TEST(Faults, CancelAtEveryPointLeavesTheOutputsOfTheBytesRead) {
    struct Point {
        const char* what;
        int pump;          // 0: Cancel pressed before the command started
        size_t firstBytes; // of the first part read when the run stops
        bool second;
    };
    const Point points[] = {
        {"left over from before the run", 0, FirstSize, true},
        {"in the middle of the first part", 1, 4 * MiB, false},
        {"between the two parts", 2, FirstSize, false},
    };
    for (const Point& p : points) {
        for (const Command c : {Command::ReadEvo, Command::Demux, Command::Rebuild}) {
            SCOPED_TRACE(std::string(name(c)) + ", Cancel " + p.what);
            Scene s("faults_cancel");
            if (c != Command::ReadEvo) {
                ASSERT_TRUE(s.run(Command::ReadEvo));
            }
            const auto expected = c == Command::ReadEvo ? std::map<std::string, Bytes>{}
                                                        : reference(c, p.firstBytes, p.second);
            if (p.pump == 0)
                s.t.session.host.run.cancelRequested = true;
            else
                s.cancelAtPump(p.pump);
            const int files = openFiles();
            EXPECT_TRUE(s.run(c));
            EXPECT_EQ(openFiles(), files);
            expectButtonsRestored(s, c);
            EXPECT_EQ(s.logged("Continue on FEATURE_2.EVO"), p.second);
            EXPECT_TRUE(s.logged("Done."));
            EXPECT_EQ(s.outputs(), expected);
            if (c != Command::Rebuild && p.pump > 0) {
                const auto counted = c == Command::ReadEvo ? s.t.scan().video[0].countedFrames
                                                           : s.t.session.demuxed->frames.counted[0];
                EXPECT_EQ(counted, 0);
            }
            if (c == Command::ReadEvo) {
                // The boxes show the streams found up to the cancel.
                EXPECT_TRUE(s.t.window.boxes.cbVideo[0].ticked);
                EXPECT_TRUE(s.t.window.boxes.cbAudio[0].ticked);
                EXPECT_TRUE(s.t.window.boxes.cbSub[0].ticked);
            }
            if (c != Command::ReadEvo && p.pump > 0) {
                EXPECT_TRUE(s.logged("Cancelled."));
            }
        }
    }
}

} // namespace
} // namespace tarnwick

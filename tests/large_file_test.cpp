// A feature's EVO files are larger than 4 GiB. These sources are sparse: a
// few real packs at the start, a hole, and packs again past 2^32 bytes, in
// both files of a feature. The holes read as zeros, which hold no pack.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "log/log_line.h"
#include "rebuild/rebuild.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

constexpr int64_t MiB = 1048576;
// The late packs start 1 MiB past 2^32; the file ends at 4100 MiB + 128 KiB.
constexpr int64_t LateAt = 4097 * MiB;
constexpr int64_t FileSize = 4100 * MiB + 128 * 1024;

// Log lines and panel-1 texts in the order they came.
class EventSink : public RecordingSink {
public:
    void log(const std::string& message) override {
        RecordingSink::log(message);
        events.push_back(visibleText(message));
    }
    void slog(const std::string& text, int panel) override {
        RecordingSink::slog(text, panel);
        if (panel == 1 && !text.empty()) events.push_back("progress " + text);
    }
    std::vector<std::string> events;
};

struct Part {
    Bytes early, late;       // the packs at offset 0 and at LateAt
    Bytes video, dd, ddPlus; // the elementary streams, early and late joined
    Bytes subpicture;
    size_t subpictureUnits = 0;
};

StreamSpec streamOf(uint8_t streamId, int subId, Bytes header, size_t size, uint32_t seed,
                    uint32_t firstPts) {
    StreamSpec s;
    s.streamId = streamId;
    s.subStreamId = subId;
    s.subStreamHeader = std::move(header);
    s.data = noiseWithoutStartCodes(size, seed);
    s.firstPts = firstPts;
    s.ptsEvery = 4;
    return s;
}

// Video and Dolby Digital from the start; Dolby Digital Plus and a
// subpicture stream only past 4 GiB.
Part makePart(uint32_t seed, uint32_t pts) {
    Part p;
    NavigationPackInfo nav;
    nav.audioBound = 2;
    nav.firstPtm = pts;
    nav.lastPtm = pts + 90000 * 60;
    nav.audioEntries = {1, 1};
    nav.subpictureEntries = {1};
    const StreamSpec video1 = streamOf(0xE0, -1, {}, 60000, seed + 1, pts);
    const StreamSpec dd1 = streamOf(0xBD, 0x80, audioSubStreamHeader(0x80), 12000, seed + 2, pts);
    PackWriter early;
    muxStreams(early, {video1, dd1}, 16, nav);
    p.early = early.bytes();

    const StreamSpec video2 = streamOf(0xE0, -1, {}, 80000, seed + 3, pts + 90000);
    const StreamSpec dd2 = streamOf(0xBD, 0x80, audioSubStreamHeader(0x80), 15000, seed + 4, pts);
    const StreamSpec ddPlus =
        streamOf(0xBD, 0xC1, audioSubStreamHeader(0xC1), 20000, seed + 5, pts);
    StreamSpec sub = streamOf(0xBD, 0x20, {0x20}, 9000, seed + 6, pts + 9000);
    sub.ptsEvery = 0;
    sub.unitStarts = {0, 3000, 6000};
    PackWriter late;
    muxStreams(late, {video2, dd2, ddPlus, sub}, 16, nav);
    p.late = late.bytes();

    p.video = video1.data;
    p.video.insert(p.video.end(), video2.data.begin(), video2.data.end());
    p.dd = dd1.data;
    p.dd.insert(p.dd.end(), dd2.data.begin(), dd2.data.end());
    p.ddPlus = ddPlus.data;
    p.subpicture = sub.data;
    p.subpictureUnits = sub.unitStarts.size();
    return p;
}

void writeSparse(const std::string& path, const Part& p) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, p.early.data(), p.early.size(), 0), ssize_t(p.early.size()));
    ASSERT_EQ(::pwrite(fd, p.late.data(), p.late.size(), LateAt), ssize_t(p.late.size()));
    ASSERT_EQ(::ftruncate(fd, FileSize), 0);
    ::close(fd);
}

Bytes joined(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

size_t indexOf(const std::vector<std::string>& events, const std::string& text, size_t from = 0) {
    const auto at = std::find(events.begin() + long(from), events.end(), text);
    return size_t(at - events.begin());
}

// The progress texts of one file: every 4 MiB of position, 64-bit all through.
std::vector<std::string> expectedProgress() {
    std::vector<std::string> out;
    for (int64_t position = 4 * MiB; position <= FileSize; position += 4 * MiB)
        out.push_back("progress " + std::to_string(position / MiB) + "/" +
                      std::to_string(FileSize / MiB) + " Mbytes, Remaining time: 0:00:01");
    return out;
}

std::vector<std::string> progressBetween(const std::vector<std::string>& events, size_t from,
                                         size_t to) {
    std::vector<std::string> out;
    for (size_t k = from; k < to && k < events.size(); ++k)
        if (events[k].rfind("progress ", 0) == 0) out.push_back(events[k]);
    return out;
}

TEST(LargeFiles, PacksPastFourGibibytesAreReadDemuxedAndRebuilt) {
    const std::string folder = scratchFolder("large_files");
    const std::string first = folder + "FEATURE_1.EVO";
    const std::string second = folder + "FEATURE_2.EVO";
    const Part one = makePart(100, 90000);
    const Part two = makePart(200, 90000 + 90000 * 60);
    writeSparse(first, one);
    writeSparse(second, two);

    TestSession t;
    EventSink sink;
    WindowSession session{t.window, sink, t.ui};
    t.chooseSource(first);
    t.window.options.cbFastCheck = false;
    t.window.options.eWorkdir = folder;

    // Read EVO: the late streams are found in each file after the progress
    // has passed 4096 MiB, and the progress counts whole mebibytes past 2^32.
    ASSERT_TRUE(bReadEVOClick(session));
    const std::vector<std::string>& e = sink.events;
    const size_t secondStart = indexOf(e, "Continue on FEATURE_2.EVO");
    ASSERT_LT(secondStart, e.size());
    EXPECT_EQ(progressBetween(e, 0, secondStart), expectedProgress());
    EXPECT_EQ(progressBetween(e, secondStart, e.size()), expectedProgress());
    const std::string at4096 = expectedProgress()[1023];
    for (const size_t start : {size_t(0), secondStart}) {
        const size_t passed = indexOf(e, at4096, start);
        const size_t found = indexOf(e, "Dolby Digital Plus audio stream 1 found!", start);
        EXPECT_LT(passed, found);
        EXPECT_LT(indexOf(e, "Subpicture stream 0 found!", start), e.size());
        EXPECT_LT(found, indexOf(e, expectedProgress().back(), start));
    }
    EXPECT_EQ(indexOf(e, "File size: 4100 Mbytes."), 2u);
    const StreamBoxes& b = t.window.boxes;
    EXPECT_EQ(b.cbVideo[0].caption, "MPEG-2.stream.0");
    EXPECT_EQ(b.cbAudio[0].caption, "DD.stream.00");
    EXPECT_EQ(b.cbAudio[1].caption, "DD+.stream.01");
    EXPECT_EQ(b.cbSub[0].caption, "Subpicture.00");

    // Demux: each stream's file holds its payloads from both files, the
    // parts past 4 GiB included.
    ASSERT_TRUE(bDemuxClick(session));
    const std::string base = folder + "FEATURE_1_FEATURE_2.";
    EXPECT_EQ(readFile(base + "MPEG-2.stream.0.mpv"), joined(one.video, two.video));
    EXPECT_EQ(readFile(base + "DD.stream.00.mpa"), joined(one.dd, two.dd));
    EXPECT_EQ(readFile(base + "DD+.stream.01.mpa"), joined(one.ddPlus, two.ddPlus));
    const Bytes sub = readFile(base + "Subpicture.00.sup");
    ASSERT_GE(sub.size(), 2u);
    EXPECT_EQ(sub.size(), one.subpicture.size() + two.subpicture.size() +
                              10 * (one.subpictureUnits + two.subpictureUnits));
    EXPECT_EQ(sub[0], 'S');
    EXPECT_EQ(sub[1], 'P');

    // Rebuild: the packs of both files, in order; the holes are no packs and
    // are left out, so the output is as small as the real packs.
    ASSERT_TRUE(bRebuildClick(session));
    const Bytes rebuilt = readFile(base + "rebuilt.EVO");
    const Bytes expected = joined(joined(one.early, one.late), joined(two.early, two.late));
    ASSERT_EQ(rebuilt.size(), expected.size());
    for (size_t at = 0; at < expected.size(); at += PackSize) {
        const bool navigation = expected[at + 0x11] == 0xBB;
        const size_t compared = navigation ? 0x17 : PackSize;
        ASSERT_TRUE(std::equal(expected.begin() + long(at), expected.begin() + long(at + compared),
                               rebuilt.begin() + long(at)))
            << "pack at " << at;
    }
    EXPECT_EQ(t.ui.errors, std::vector<std::string>{});
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tarnwick

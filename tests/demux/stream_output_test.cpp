// What the demux writer puts into each stream's file.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "demux/demux_support.h"
#include "engine/clip_parser.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr uint32_t SubFirstPts = 100000;
constexpr uint32_t SubPtsStep = 45000;

StreamSpec videoStream(uint8_t streamId, size_t size, uint32_t seed) {
    StreamSpec s;
    s.streamId = streamId;
    s.data = noiseWithoutStartCodes(size, seed);
    s.withDts = seed % 2 == 0;
    return s;
}

StreamSpec subStream(uint8_t id, const Bytes& header, size_t size, uint32_t seed) {
    StreamSpec s;
    s.streamId = 0xBD;
    s.subStreamId = id;
    s.subStreamHeader = header;
    s.data = noiseWithoutStartCodes(size, seed);
    s.ptsEvery = 3;
    return s;
}

// Units of varying sizes, each spanning several packets.
StreamSpec subpictureStream(uint8_t id, size_t size, uint32_t seed) {
    StreamSpec s = subStream(id, {id}, size, seed);
    s.firstPts = SubFirstPts;
    s.ptsStep = SubPtsStep;
    s.ptsEvery = 0;
    for (size_t at = 0, k = 0; at < size; at += 2500 + 1700 * (k++ % 5))
        s.unitStarts.push_back(at);
    return s;
}

Bytes le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// The record file of a subpicture stream made by subpictureStream.
Bytes recordsOf(const StreamSpec& s, uint32_t origin) {
    Bytes out;
    for (size_t k = 0; k < s.unitStarts.size(); ++k) {
        const size_t end = k + 1 < s.unitStarts.size() ? s.unitStarts[k + 1] : s.data.size();
        out.insert(out.end(), {'S', 'P'});
        const Bytes time = le32(SubFirstPts + uint32_t(k) * SubPtsStep - origin);
        out.insert(out.end(), time.begin(), time.end());
        out.insert(out.end(), 4, 0);
        out.insert(out.end(), s.data.begin() + long(s.unitStarts[k]), s.data.begin() + long(end));
    }
    return out;
}

Bytes withPrefix(int prefix, const Bytes& body) {
    Bytes file = prefix > 0 ? paddingPacket(prefix) : Bytes{};
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

bool straddles(const PayloadRun& run, int64_t boundary) {
    return run.offset < boundary && boundary < run.offset + int64_t(run.bytes.size());
}

} // namespace

TEST(StreamOutput, EveryKindIsWrittenByteForByteWhereverAChunkBoundaryCuts) {
    const std::vector<StreamSpec> specs = {
        videoStream(0xE0, 600000, 1),
        [] {
            StreamSpec s = videoStream(0xFD, 150000, 2);
            s.streamIdExtension = 0x56; // VC-1, video slot 1
            return s;
        }(),
        subStream(0x80, audioSubStreamHeader(0x80), 60000, 3),
        subStream(0x8A, audioSubStreamHeader(0x8A), 60000, 4),
        subStream(0xC3, audioSubStreamHeader(0xC3), 60000, 5),
        subStream(0xA4, lpcmSubStreamHeader(0xA4), 100000, 6),
        subStream(0xB5, trueHdSubStreamHeader(0xB5), 60000, 7),
        subpictureStream(0x26, 120000, 8),
        subpictureStream(0x67, 40000, 9),
    };
    PackWriter writer;
    muxStreams(writer, specs, 40);
    const std::string folder = scratchFolder("demux_every_kind");
    // The prefix moves every chunk boundary to one place in a pack: the pack
    // start, the start code, the packet length, the PES flags, the PTS, the
    // sub-stream header, the LPCM header, the payload. The record origin
    // covers a time of 0, one below 0 and a scan that found no audio or
    // video time (0xFFFFFFFF), whose records count from 0.
    struct Case {
        int prefix;
        uint32_t origin;
    };
    const Case cases[] = {{0, 0},
                          {2048 - 17, SubFirstPts},
                          {2048 - 19, SubFirstPts + 1},
                          {2048 - 21, 0xFFFFFFFF},
                          {2048 - 25, 90000},
                          {2048 - 29, 12345},
                          {2048 - 34, 0},
                          {1048, 7}};
    bool subpictureStraddled = false;
    for (const Case& c : cases) {
        SCOPED_TRACE("prefix " + std::to_string(c.prefix));
        const Bytes file = withPrefix(c.prefix, writer.bytes());
        writeFile(folder + "S.EVO", file);
        CoreRun core;
        const ScanResult scanned = core.read(folder + "S.EVO");
        ASSERT_TRUE(scanned.ok());
        Title title = scanned.title;
        title.scan.minFirstPts = c.origin;
        OutputNaming naming;
        naming.folder = folder;
        ASSERT_TRUE(demuxStreams(core, title, naming).ok());

        EXPECT_EQ(fileBytes(folder + "S.MPEG-2.stream.0.mpv"), specs[0].data);
        EXPECT_EQ(fileBytes(folder + "S.VC-1.stream.1.mpv"), specs[1].data);
        EXPECT_EQ(fileBytes(folder + "S.DD.stream.00.mpa"), specs[2].data);
        EXPECT_EQ(fileBytes(folder + "S.DTSHD.stream.02.mpa"), specs[3].data);
        EXPECT_EQ(fileBytes(folder + "S.DD+.stream.03.mpa"), specs[4].data);
        EXPECT_EQ(fileBytes(folder + "S.LPCM.stream.04.mpa"), specs[5].data);
        EXPECT_EQ(fileBytes(folder + "S.MLP.stream.05.mpa"), specs[6].data);
        const uint32_t origin = c.origin == 0xFFFFFFFF ? 0 : c.origin;
        const Bytes records = fileBytes(folder + "S.Subpicture.06.sup");
        EXPECT_EQ(records, recordsOf(specs[7], origin));
        EXPECT_EQ(fileBytes(folder + "S.Ext.Subpicture.07.sup"), recordsOf(specs[8], origin));
        ASSERT_GE(records.size(), 6u);
        EXPECT_EQ(Bytes(records.begin() + 2, records.begin() + 6), le32(SubFirstPts - origin));

        for (const PayloadRun& run : walkPackets(file))
            for (int64_t b = ChunkSize; b < int64_t(file.size()); b += ChunkSize)
                if (run.subStreamId == 0x26 && straddles(run, b)) subpictureStraddled = true;
    }
    EXPECT_TRUE(subpictureStraddled) << "no subpicture packet met a chunk boundary";
}

TEST(StreamOutput, SubpictureRecordsStartAtPacketsWithPtsAndCollectTheFollowingPackets) {
    PackWriter w;
    auto sub = [&](uint8_t id, std::optional<uint32_t> pts, Bytes data) {
        PesHeader h;
        h.pts = pts;
        data.insert(data.begin(), id);
        w.pack(pesPacket(0xBD, h, data));
    };
    auto video = [&](uint32_t pts) {
        PesHeader h;
        h.pts = pts;
        w.pack(pesPacket(0xE0, h, noiseWithoutStartCodes(100, pts)));
    };
    video(1000);
    sub(0x20, std::nullopt, {1, 2, 3}); // the tail of a unit that began before the file
    sub(0x20, 5000, {4, 5});
    sub(0x20, std::nullopt, {6});
    sub(0x21, 7000, {7}); // a slot left unticked
    sub(0x20, std::nullopt, {8});
    video(9000);
    sub(0x20, std::nullopt, {9});
    sub(0x20, 3000, {10});
    sub(0x20, 2000, {11});
    const std::string folder = scratchFolder("demux_records");
    writeFile(folder + "R.EVO", w.bytes());
    CoreRun core;
    const ScanResult scanned = core.read(folder + "R.EVO");
    ASSERT_TRUE(scanned.ok());
    std::vector<DemuxStream> chosen;
    for (const DemuxStream& s : foundStreams(scanned.title.scan))
        if (s.kind != StreamKind::Subpicture || s.slot != 1) chosen.push_back(s);
    Title title = scanned.title;
    title.scan.minFirstPts = 3000;
    OutputNaming naming;
    naming.folder = folder;
    ASSERT_TRUE(demuxStreams(core, title, naming, chosen).ok());

    Bytes expected = {'S', 'P'};
    for (const Bytes& part :
         {le32(2000), le32(0), Bytes{4, 5, 6, 8, 9}, Bytes{'S', 'P'}, le32(0), le32(0), Bytes{10},
          Bytes{'S', 'P'}, le32(0xFFFFFC18), le32(0), Bytes{11}})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_EQ(fileBytes(folder + "R.Subpicture.00.sup"), expected);
    EXPECT_FALSE(std::filesystem::exists(folder + "R.Subpicture.01.sup"));
}

TEST(StreamOutput, StreamsThatMapToOneSlotAreNeverMixed) {
    // DVD muxers may number LPCM, Dolby Digital and DTS from 0 each: all three
    // map to audio slot 0; 0x21 and 0x61 share subpicture slot 1; 0xE0 and
    // 0xE2 share video slot 0. MPEG audio (stream id 0xC0) has no slot.
    std::vector<StreamSpec> specs = {
        videoStream(0xE0, 200000, 11),
        videoStream(0xE2, 50000, 12),
        subStream(0xA0, lpcmSubStreamHeader(0xA0), 60000, 13),
        subStream(0x80, audioSubStreamHeader(0x80), 40000, 14),
        subStream(0x88, audioSubStreamHeader(0x88), 40000, 15),
        subStream(0x83, audioSubStreamHeader(0x83), 20000, 16),
        subpictureStream(0x21, 30000, 17),
        subpictureStream(0x61, 30000, 18),
        videoStream(0xC0, 30000, 19),
    };
    // The first of each group is met first.
    PackWriter writer;
    for (const StreamSpec& s : specs) {
        StreamSpec first = s;
        first.data.resize(100);
        first.unitStarts = {0};
        muxStreams(writer, {first});
    }
    for (StreamSpec& s : specs) {
        s.data.erase(s.data.begin(), s.data.begin() + 100);
        if (!s.unitStarts.empty()) s.unitStarts.erase(s.unitStarts.begin() + 1, s.unitStarts.end());
        s.firstPts += 90000;
    }
    muxStreams(writer, specs);
    const std::string folder = scratchFolder("demux_shared_slot");
    writeFile(folder + "M.VOB", writer.bytes());
    CoreRun core;
    const DemuxRun run = readAndDemux(core, folder + "M.VOB", folder);
    ASSERT_TRUE(run.readOk());
    ASSERT_TRUE(run.demuxOk());

    const auto lines = core.visibleLines();
    EXPECT_TRUE(containsLine(lines, "LPCM audio stream 0 found!"));
    EXPECT_TRUE(containsLine(lines, "Dolby Digital audio stream 15 found!"));
    EXPECT_TRUE(containsLine(lines, "DTS HD (DTS) audio stream 14 found!"));
    EXPECT_TRUE(containsLine(lines, "Dolby Digital audio stream 3 found!"));
    EXPECT_TRUE(containsLine(lines, "Extended subpicture stream 31 found!"));

    const auto runs = walkPackets(writer.bytes());
    EXPECT_EQ(fileBytes(folder + "M.MPEG-2.stream.0.mpv"), streamBytes(runs, 0xE0));
    EXPECT_EQ(fileBytes(folder + "M.LPCM.stream.00.mpa"), streamBytes(runs, 0xBD, 0xA0));
    EXPECT_EQ(fileBytes(folder + "M.DD.stream.15.mpa"), streamBytes(runs, 0xBD, 0x80));
    EXPECT_EQ(fileBytes(folder + "M.DTSHD.stream.14.mpa"), streamBytes(runs, 0xBD, 0x88));
    EXPECT_EQ(fileBytes(folder + "M.DD.stream.03.mpa"), streamBytes(runs, 0xBD, 0x83));
    const uint32_t origin = run.scan.title.scan.minFirstPts;
    EXPECT_EQ(fileBytes(folder + "M.Subpicture.01.sup"), subpictureRecords(runs, 0x21, origin));
    EXPECT_EQ(fileBytes(folder + "M.Ext.Subpicture.31.sup"), subpictureRecords(runs, 0x61, origin));
    // The second video stream of slot 0 and the MPEG audio are in no file.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() != ".VOB") ++files;
    EXPECT_EQ(files, 7u);
}

TEST(StreamOutput, BoxesChangedDuringTheRunActFromTheNextPiece) {
    std::vector<StreamSpec> specs = {
        videoStream(0xE0, 9 << 20, 21),
        subStream(0x81, audioSubStreamHeader(0x81), 600000, 22),
        subStream(0x82, audioSubStreamHeader(0x82), 100000, 23),
    };
    PackWriter writer;
    muxStreams(writer, specs);
    const std::string folder = scratchFolder("demux_box_changes");
    writeFile(folder + "B.EVO", writer.bytes());
    TestSession t;
    t.chooseSource(folder + "B.EVO");
    ASSERT_TRUE(bReadEVOClick(t.session));
    t.window.boxes.cbAudio[2].ticked = false; // no file for slot 2
    t.ui.pumps = 0;
    // The pump after the chunk that ends at 4 MiB unticks slot 1 and ticks
    // slot 2; the one at 8 MiB ticks slot 1 again. Both chunks are parsed
    // after the change.
    t.ui.onPump = [&] {
        const bool first = t.ui.pumps == 1;
        t.window.boxes.cbAudio[1].ticked = !first;
        t.window.boxes.cbAudio[2].ticked = true;
    };
    ASSERT_TRUE(demuxOnly(t, folder));
    ASSERT_GE(t.ui.pumps, 2);

    const int64_t off = (4 << 20) - ChunkSize, on = (8 << 20) - ChunkSize;
    const auto runs = walkPackets(writer.bytes());
    Bytes expected = streamBytes(runs, 0xBD, 0x81, 0, off);
    const Bytes resumed = streamBytes(runs, 0xBD, 0x81, on);
    expected.insert(expected.end(), resumed.begin(), resumed.end());
    EXPECT_LT(expected.size(), specs[1].data.size());
    EXPECT_EQ(fileBytes(folder + "B.DD.stream.01.mpa"), expected);
    EXPECT_EQ(fileBytes(folder + "B.MPEG-2.stream.0.mpv"), specs[0].data);
    EXPECT_FALSE(std::filesystem::exists(folder + "B.DD.stream.02.mpa"));
    std::filesystem::remove_all(folder);
}

#include "analysers/codec_headers.h"
#include "commands/read_evo.h"
#include "commands/stream_kinds.h"
#include "engine/frame_counter.h"
#include "engine/stream_description.h"
#include "log/log_line.h"
#include "support/engine_run.h"
#include "support/ps_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

// Scans `bytes` written as a file named `name` with the engine alone.
std::vector<std::string> scan(EngineRun& t, const Bytes& bytes, const std::string& name = "A.EVO") {
    t.run(bytes, name);
    return t.visibleLines();
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Bytes videoPes(uint8_t id, std::optional<uint64_t> pts, std::optional<uint64_t> dts,
               const Bytes& data) {
    PesHeader h;
    h.pts = pts;
    h.dts = dts;
    return pesPacket(id, h, data);
}

Bytes audioPes(uint8_t subId, std::optional<uint32_t> pts, const Bytes& data) {
    PesHeader h;
    h.pts = pts;
    Bytes payload = audioSubStreamHeader(subId);
    payload.insert(payload.end(), data.begin(), data.end());
    return pesPacket(0xBD, h, payload);
}

TEST(EngineScan, ReportsEachStreamOnceWithItsFirstPtsAndDelay) {
    EngineRun t;
    t.firstVideoPtm = 90000; // as the navigation pack of an earlier clip gave it
    PackWriter w;
    w.pack(videoPes(0xE0, 90000, 87000, {0, 0, 1, 0xB3, 1, 2}));
    w.pack(audioPes(0x81, 99000, {0x0B, 0x77}));
    w.pack(audioPes(0x81, 100000, {0x0B, 0x77}));
    w.pack(videoPes(0xE0, 93003, 90000, {1, 2, 3}));
    Bytes sub = {0x25, 0, 0, 7, 8};
    PesHeader h;
    h.pts = 99000;
    w.pack(pesPacket(0xBD, h, sub));
    const auto lines = scan(t, w.bytes());
    const std::vector<std::string> expected = {
        "MPEG-2 video stream 0 found!",
        "   First PTS = 00015F90",
        "   Substream id = E0",
        "Dolby Digital audio stream 1 found!",
        "   First PTS = 000182B8  (+100ms)",
        "   Substream id = 81",
        "Subpicture stream 5 found!",
        "   First PTS = 000182B8  (+100ms)",
        "   Substream id = 25",
        "   Format = [bl]8bitRLE[/bl]",
    };
    // The analysers' own lines may follow a report; keep the engine's.
    std::vector<std::string> engine;
    for (const auto& line : t.sink.lines)
        if (line.rfind("   ", 0) != 0 || line.rfind("   First", 0) == 0 ||
            line.rfind("   Substream", 0) == 0 || line.rfind("   Format", 0) == 0)
            engine.push_back(line.rfind("   Format", 0) == 0 ? line : visibleText(line));
    EXPECT_EQ(engine, expected);
    EXPECT_EQ(t.report.video[0].id, 0xE0);
    EXPECT_EQ(t.report.audio[1].id, 0x81);
    EXPECT_EQ(t.report.subpicture[5].id, 0x25);
    EXPECT_EQ(t.report.minFirstPts, 90000u); // subpictures take no part
}

TEST(EngineScan, FirstPtsOfANewVideoStreamFollowsTheHeaderForm) {
    // PTS only: the video PTS is the current PTS when the start code was met
    // (0 here). PTS and DTS: that header's PTS. Both forms of the same time
    // stamp give the same value.
    for (bool withDts : {false, true}) {
        EngineRun t;
        PackWriter w;
        w.pack(videoPes(0xE1, 0x12345678,
                        withDts ? std::optional<uint32_t>(0x12340000) : std::nullopt, {9, 9}));
        scan(t, w.bytes());
        const std::string expected = withDts
                                         ? "   First PTS = [re]12345678[/re]  ([re]+3393554[/re]ms)"
                                         : "   First PTS = [re]00000000[/re]";
        EXPECT_EQ(t.sink.lines.at(1), expected) << withDts;
    }
    // The 33rd bit of a time stamp is dropped.
    EngineRun t;
    PackWriter w;
    w.pack(videoPes(0xE2, 0x1FFFFFFF0ull, 0x1FFFFFFF0ull, {0, 0, 1, 9}));
    scan(t, w.bytes());
    EXPECT_EQ(t.sink.lines.at(1), "   First PTS = [re]FFFFFFF0[/re]  ([re]+47721858[/re]ms)");
}

TEST(EngineScan, SystemHeaderReportOnlyForAWholeFirstChunk) {
    NavigationPackInfo nav;
    nav.videoBound = 1;
    nav.audioBound = 2;
    PackWriter w;
    w.navigation(nav);
    while (w.bytes().size() < 300000)
        w.pack(videoPes(0xE0, std::nullopt, std::nullopt, Bytes(1000, 7)));
    {
        EngineRun t;
        const auto lines = scan(t, w.bytes());
        EXPECT_TRUE(contains(lines, "It contains 1 video stream and 2 audio streams."));
    }
    {
        EngineRun t;
        const auto lines = scan(t, w.bytes(), "A.AOB"); // no line for DVD-Audio
        for (const auto& line : lines)
            EXPECT_EQ(line.find("It contains"), std::string::npos);
    }
    {
        EngineRun t; // shorter than one chunk
        const auto lines = scan(t, Bytes(w.bytes().begin(), w.bytes().begin() + 200000));
        for (const auto& line : lines)
            EXPECT_EQ(line.find("It contains"), std::string::npos);
    }
    {
        EngineRun t; // one video, one audio stream: singular
        nav.audioBound = 1;
        PackWriter one;
        one.navigation(nav);
        while (one.bytes().size() < 300000)
            one.pack(videoPes(0xE0, std::nullopt, std::nullopt, Bytes(1000, 7)));
        EXPECT_TRUE(
            contains(scan(t, one.bytes()), "It contains 1 video stream and 1 audio stream."));
    }
}

TEST(EngineScan, SubStreamsSharingASlotAndRefusedSubStreams) {
    EngineRun t;
    PackWriter w;
    w.pack(audioPes(0x80, 1000, {1}));
    w.pack(audioPes(0x88, 2000, {2})); // DTS, also slot 0: takes a slot from 14 down
    w.pack(audioPes(0xFF, 3000, {3})); // not a stream
    w.pack(audioPes(0x90, 3000, {3}));
    w.pack(audioPes(0xC5, 4000, {4}));
    w.pack(audioPes(0xB2, 5000, {4}));
    const auto lines = scan(t, w.bytes());
    EXPECT_EQ(t.report.audio[0].id, 0x80);
    EXPECT_EQ(t.report.audio[5].id, 0xC5);
    EXPECT_EQ(t.report.audio[2].id, 0xB2);
    EXPECT_EQ(t.report.audio[14].id, 0x88);
    for (int slot : {1, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15})
        EXPECT_EQ(t.report.audio[slot].id, -1) << slot;
    EXPECT_TRUE(contains(lines, "Dolby Digital Plus audio stream 5 found!"));
    EXPECT_TRUE(contains(lines, "Dolby TrueHD audio stream 2 found!"));
    EXPECT_TRUE(contains(lines, "DTS HD (DTS) audio stream 14 found!"));
}

TEST(EngineScan, Sub0xA1IsMlpInAnAobFileAndLpcmElsewhere) {
    PackWriter w(MuxRate::Dvd);
    PesHeader h;
    h.pts = 9000;
    Bytes payload = lpcmSubStreamHeader(0xA1);
    payload.resize(payload.size() + 32, 0x55);
    w.pack(pesPacket(0xBD, h, payload));
    EngineRun aob;
    EXPECT_TRUE(contains(scan(aob, w.bytes(), "ATS_01_1.AOB"), "MLP audio stream 1 found!"));
    EngineRun vob;
    EXPECT_TRUE(contains(scan(vob, w.bytes(), "VTS_01_1.VOB"), "LPCM audio stream 1 found!"));
}

TEST(EngineScan, Vc1StreamsAreFoundByTheirStreamIdExtension) {
    EngineRun t;
    PackWriter w;
    PesHeader h;
    h.pts = 1234;
    h.streamIdExtension = 0x56;
    h.pstd = true;
    w.pack(pesPacket(0xFD, h, {0, 0, 1, 0x0F, 0, 0, 1, 0x0D}));
    h.streamIdExtension = 0x71; // another extension: ignored
    w.pack(pesPacket(0xFD, h, {0, 0, 1, 0x0D}));
    const auto lines = scan(t, w.bytes());
    EXPECT_EQ(lines.at(0), "VC-1 video stream 1 found!");
    EXPECT_EQ(lines.at(1), "   First PTS = 000004D2  (+13ms)");
    EXPECT_EQ(lines.at(2), "   Substream id = 56");
    EXPECT_EQ(t.report.video[1].id, 0x56);
    EXPECT_EQ(t.frames().counted[1], 1);
}

TEST(EngineScan, EveryOptionalPesHeaderFieldIsWalkedOver) {
    // Time stamps, ESCR, ES rate, trick mode, copy info, CRC, then private
    // data holding start codes, a pack header field, a sequence counter and
    // the P-STD buffer before the stream id extension.
    EngineRun t;
    PackWriter w;
    PesHeader video;
    video.pts = 1234;
    video.dts = 1000;
    video.pstd = true;
    video.streamIdExtension = 0x55;
    video.otherOptionalFields = true;
    w.pack(pesPacket(0xFD, video, {0, 0, 1, 0x0D, 0, 0, 1, 0x0D}));
    PesHeader audio;
    audio.pts = 2000;
    audio.otherOptionalFields = true;
    Bytes payload = audioSubStreamHeader(0x81);
    payload.insert(payload.end(), {0x0B, 0x77, 0, 0});
    w.pack(pesPacket(0xBD, audio, payload));
    PesHeader bare; // an extended-stream-id packet without its extension
    w.pack(pesPacket(0xFD, bare, {0, 0, 1, 0x0D}));
    const auto lines = scan(t, w.bytes());
    EXPECT_EQ(lines.at(0), "VC-1 video stream 0 found!");
    EXPECT_EQ(lines.at(1), "   First PTS = 000004D2  (+13ms)");
    EXPECT_TRUE(contains(lines, "Dolby Digital audio stream 1 found!"));
    EXPECT_TRUE(contains(lines, "   First PTS = 000007D0  (+22ms)"));
    EXPECT_EQ(t.frames().counted[0], 2);
    EXPECT_EQ(t.report.video[1].id, -1);
}

TEST(EngineScan, StreamsAreDescribedFromTheirFirstHeaderOrSaySoAtTheEnd) {
    // H.264 in slot 0 whose parameter set comes in its second packet; MPEG-2
    // in slot 1 and Dolby Digital without any; Dolby Digital Plus whose sync
    // frame comes in its second packet.
    EngineRun t;
    PackWriter w;
    w.pack(videoPes(0xE2, 9000, 6000, {0, 0, 1, 9, 0xF0, 0x65, 0x88, 0x84}));
    w.pack(videoPes(0xE1, 9000, 6000, {0, 0, 1, 0, 0x12, 0x34}));
    w.pack(audioPes(0xC1, 9000, {0x12, 0x34, 0x56}));
    w.pack(audioPes(0x82, 9000, {0x12, 0x34, 0x56}));
    Bytes parameterSet = {0, 0, 1, 9, 0xF0};
    const Bytes header = sps(Sps{});
    parameterSet.insert(parameterSet.end(), header.begin(), header.end());
    parameterSet.push_back(0);
    w.pack(videoPes(0xE2, 12000, 9000, parameterSet));
    Bytes frame = eac3Header(100, 0, 3, 2, 0, 16);
    frame.resize(64, 0);
    w.pack(audioPes(0xC1, 12000, frame));
    const auto lines = scan(t, w.bytes());
    const auto at =
        std::find(lines.begin(), lines.end(), "Video stream 0 from its first sequence header:");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), "   Profile = High");
    EXPECT_TRUE(contains(lines, "Audio stream 1 from its first sync word:"));
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find("Profile") != std::string::npos; }),
        1);
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{"   No sequence header found in video stream 1.",
                     "   No sync word found in audio stream 2."}));
}

TEST(EngineScan, HeaderSearchFindsAWholeStartCodeAnywhereButInTheLastByte) {
    struct Case {
        int size;
        int at; // where 00 00 01 code is written into noise without a zero pair
        uint8_t code;
        bool found;
    };
    const Case cases[] = {
        {2000, 0, 0x67, true},     {2000, 255, 0x27, true},  {2000, 256, 0x67, true},
        {2000, 1760, 0x67, true},  {2000, 1995, 0x27, true}, {2000, 1996, 0x67, false},
        {2000, 1000, 0x68, false}, {261, 256, 0x67, true},   {261, 257, 0x67, false},
        {100, 95, 0x67, true},     {100, 96, 0x67, false},   {4, 0, 0x67, false},
    };
    for (const Case& k : cases) {
        Bytes piece = noiseWithoutStartCodes(size_t(k.size), 5);
        const uint8_t code[] = {0, 0, 1, k.code};
        std::copy(code, code + std::min(4, k.size - k.at), piece.begin() + k.at);
        EXPECT_EQ(holdsStartCode(piece.data(), k.size, 0x67, 0x27), k.found)
            << k.size << "@" << k.at;
    }
}

TEST(EngineScan, PaddingIsSkippedAndTheNextPacketInThePackFound) {
    EngineRun t;
    Bytes packets = paddingPacket(100);
    // The padding payload holds what looks like a start code: it is skipped.
    packets[20] = 0, packets[21] = 0, packets[22] = 1, packets[23] = 0xE1;
    const Bytes video = videoPes(0xE0, 3000, std::nullopt, {1, 2, 3});
    packets.insert(packets.end(), video.begin(), video.end());
    PackWriter w;
    w.pack(packets);
    const auto lines = scan(t, w.bytes());
    EXPECT_EQ(t.report.video[0].id, 0xE0);
    EXPECT_EQ(t.report.video[1].id, -1);
}

TEST(EngineScan, FrameCountingUsesEachCodecsMarkerAndCarriesItsWindow) {
    struct Case {
        uint32_t window;
        Bytes piece;
        uint8_t marker;
        int found;
        uint32_t windowAfter;
    };
    const Case cases[] = {
        {NoFrameWindow, {0, 0, 1, 0, 0, 0, 1, 0}, 0x00, 2, 0x00000100},
        // A piece that starts "01 00" holds no picture of its own.
        {NoFrameWindow, {1, 0}, 0x00, 0, 0xFFFF0100},
        {0x12340000, {1, 0}, 0x00, 1, 0x00000100},
        {0xFF000001, {9, 7}, 0x09, 1, 0x00010907},
        {0xFFFFFF00, {0, 1, 9}, 0x09, 1, 0x00000109},
        {0xFFFFFF07, {0, 1, 9}, 0x09, 0, 0x07000109},
        {NoFrameWindow, {0, 0, 1}, 0x00, 0, 0xFF000001},
        {NoFrameWindow, {0, 0, 1, 0x0D, 0, 0, 1, 0x0F}, 0x0D, 1, 0x0000010F},
        {0x00000001, {}, 0x00, 0, 0x00000001},
    };
    for (const Case& k : cases) {
        uint32_t window = k.window;
        EXPECT_EQ(countFrameMarkers(k.piece.data(), int(k.piece.size()), k.marker, window), k.found)
            << std::hex << k.window;
        EXPECT_EQ(window, k.windowAfter) << std::hex << k.window;
    }

    // Pieces long enough for the vector blocks, markers planted on both sides
    // of every block edge: the count equals a byte-by-byte window's.
    // Long pieces too, one of them a marker every four bytes, so that the
    // same vector lanes hit at every step.
    std::mt19937 random(7);
    std::vector<int> lengths(140);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.insert(lengths.end(), {20001, -20001}); // negative: the marker pattern
    for (int length : lengths) {
        const bool pattern = length < 0;
        length = std::abs(length);
        auto piece = Bytes(size_t(length));
        for (size_t k = 0; k < piece.size(); ++k)
            piece[k] = pattern ? uint8_t(k % 4 == 2) : uint8_t(random() % 3); // many 00 00 01
        for (uint8_t marker : {uint8_t(0x00), uint8_t(0x01), uint8_t(0x09)}) {
            uint32_t reference = 0xFFFF0000u, window = reference;
            int expected = 0;
            for (uint8_t b : piece)
                expected += (reference = (reference << 8) | b) == (0x100u | marker);
            EXPECT_EQ(countFrameMarkers(piece.data(), length, marker, window), expected) << length;
            EXPECT_EQ(window, reference) << length;
        }
    }

    // A start code split between two PES packets counts once; a packet that
    // starts "01 09" after one that ends without "00 00" counts nothing.
    EngineRun t;
    PackWriter w;
    w.pack(videoPes(0xE2, 100, 100, {0, 0, 1, 9, 5, 0, 0}));
    w.pack(videoPes(0xE2, std::nullopt, std::nullopt, {1, 9, 0, 0, 1, 9, 4}));
    w.pack(videoPes(0xE2, std::nullopt, std::nullopt, {1, 9, 0, 0, 1, 9}));
    scan(t, w.bytes());
    EXPECT_EQ(t.frames().counted[0], 4);
    EngineRun off;
    off.options.countFrames = false;
    scan(off, w.bytes());
    EXPECT_EQ(off.frames().counted[0], 0);
}

TEST(EngineScan, FrameCountOfAFeatureGoesOnAcrossChunksAndIntoTheSecondFile) {
    // Packets that start "01 00": a picture after a packet that ended
    // "00 00", none after one that ended "07 07". Each file spans two chunks;
    // the second file starts with such a packet.
    const int pairs = 70;
    auto part = [&](bool first) {
        PackWriter w(MuxRate::Dvd);
        if (first) w.pack(videoPes(0xE0, 3000, std::nullopt, {0, 0, 1, 0, 7, 0, 0}));
        for (int k = 0; k < pairs; ++k) {
            w.pack(videoPes(0xE0, std::nullopt, std::nullopt, {1, 0, 7, 7}));
            w.pack(videoPes(0xE0, std::nullopt, std::nullopt, {1, 0, 7, 0, 0}));
        }
        return w.bytes();
    };
    const std::string folder = scratchFolder("frame_count_feature");
    ASSERT_GT(part(true).size(), size_t(ChunkSize));
    writeFile(folder + "VTS_01_1.VOB", part(true));
    writeFile(folder + "VTS_01_2.VOB", part(false));
    // A DVD title's parts are one clip, read as one byte stream.
    CoreRun t;
    const ScanResult result = t.read(folder + "VTS_01_1.VOB");
    ASSERT_EQ(result.title.clips.size(), 1u);
    EXPECT_EQ(result.frames.counted[0], 1 + 2 * pairs);
}

TEST(EngineScan, PacketsStraddlingTheChunkBoundaryAreParsedWhole) {
    // A video PES header that starts in the first chunk and ends in the
    // second; then an audio stream whose first packet straddles too.
    Bytes file = Bytes(ChunkSize - 5, 0xFF);
    const Bytes video = videoPes(0xE0, 45000, 42000, {0, 0, 1, 0, 0, 0, 1, 0});
    file.insert(file.end(), video.begin(), video.end());
    file.resize(2 * ChunkSize - 3, 0xFF);
    const Bytes audio = audioPes(0x82, 48000, {0x0B, 0x77, 0, 0});
    file.insert(file.end(), audio.begin(), audio.end());
    EngineRun t;
    const auto lines = scan(t, file);
    EXPECT_EQ(t.report.video[0].id, 0xE0);
    EXPECT_EQ(t.report.audio[2].id, 0x82);
    EXPECT_TRUE(contains(lines, "   First PTS = 0000AFC8  (+500ms)"));
    EXPECT_TRUE(contains(lines, "   First PTS = 0000BB80  (+533ms)"));
    EXPECT_EQ(t.frames().counted[0], 2);
}

TEST(EngineScan, ProgressPumpRepaintFastCheckAndCancel) {
    PackWriter w;
    const Bytes data(PackWriter::payloadRoom({}, 0), 0x11);
    while (w.bytes().size() < 9u * 1048576)
        w.pack(videoPes(0xE0, std::nullopt, std::nullopt, data));
    {
        EngineRun t;
        t.options.fastCheckBytes.reset();
        scan(t, w.bytes());
        EXPECT_EQ(t.host.pumps, 2); // at 4 and 8 MiB
        EXPECT_EQ(t.sink.panels[1].substr(0, 33), "8/9 Mbytes, Remaining time: 0:00:");
        EXPECT_FALSE(t.host.run.cancellable);
    }
    {
        EngineRun t; // fast check at 1 MiB stops after the chunk past it
        t.options.fastCheckBytes = 1048576;
        scan(t, w.bytes());
        EXPECT_EQ(t.position, 1048576 + ChunkSize);
        EXPECT_EQ(t.end, ClipEnd::FastCheck);
    }
    {
        EngineRun t; // a cancel seen in the pump ends the call after that chunk
        t.options.fastCheckBytes.reset();
        t.host.onPump = [&] { t.host.run.cancelRequested = true; };
        scan(t, w.bytes());
        EXPECT_EQ(t.end, ClipEnd::Cancelled);
        EXPECT_EQ(t.position, 4 * 1048576);
        EXPECT_EQ(t.frames().counted[0], 0);
        EXPECT_TRUE(t.sink.lines.size() >= 1);
    }
}

TEST(EngineScan, MalformedStreamsNeverReadOutsideTheChunk) {
    // Random bytes with start codes and lengths that run past the file's end,
    // under the sanitizers: the scan ends, whatever it found.
    uint32_t seed = 99;
    for (int round = 0; round < 12; ++round) {
        Bytes bytes = noiseWithoutStartCodes(size_t(20000 + round * 37001), seed + round);
        for (size_t at = 7; at + 8 < bytes.size(); at += 97 + round) {
            const uint8_t ids[] = {0xBA, 0xBD, 0xBE, 0xBF, 0xE0, 0xE2, 0xFD, 0xC0, 0xBC};
            bytes[at] = 0, bytes[at + 1] = 0, bytes[at + 2] = 1;
            bytes[at + 3] = ids[(at / 97) % 9];
            bytes[at + 4] = 0xFF; // long packets
        }
        EngineRun t;
        scan(t, bytes);
        EngineRun d;
        d.options.logDetails = false;
        scan(d, bytes, "A.VOB");
    }
    // A PES length running past the end of the file.
    PackWriter w;
    Bytes packet = videoPes(0xE0, 1, 1, Bytes(100, 3));
    packet[4] = 0xFF, packet[5] = 0xFF;
    w.raw(packHeader(MuxRate::HdDvd));
    w.raw(packet);
    EngineRun t;
    scan(t, w.bytes());
    EXPECT_EQ(t.report.video[0].id, 0xE0);
}

TEST(EngineScan, AHeaderCutShortByAStartCodeIsAbandoned) {
    // A private-stream-1 packet whose sub-stream header is cut by the start
    // code of a video packet. Finishing that header on later bytes would read
    // a byte of the video's PTS (0x81) as a sub-stream id: a phantom stream.
    Bytes packets = {0, 0, 1, 0xBD, 0, 20, 0x81, 0x00, 0x00, 0x00};
    const Bytes video = videoPes(0xE0, 0x40, std::nullopt, {1, 2, 3});
    packets.insert(packets.end(), video.begin() + 2, video.end()); // 00 00 already there
    PackWriter w;
    w.pack(packets);
    w.pack(audioPes(0x82, 9000, {0x0B, 0x77}));
    EngineRun t;
    const auto lines = scan(t, w.bytes());
    EXPECT_EQ(t.report.video[0].id, 0xE0);
    EXPECT_EQ(t.report.audio[1].id, -1);
    EXPECT_EQ(t.report.audio[2].id, 0x82);
    EXPECT_FALSE(contains(lines, "Dolby Digital audio stream 1 found!"));
}

TEST(EngineScan, EverySubStreamTheParserFindsHasACaption) {
    // The parser and the box captions read the one table of sub-stream ids:
    // a sub-stream is found exactly when its box gets a kind name.
    for (int id = 0; id < 256; ++id) {
        EngineRun t;
        PackWriter w;
        w.pack(audioPes(uint8_t(id), 9000, {0x0B, 0x77, 0, 0}));
        scan(t, w.bytes());
        std::string caption;
        for (int k = 0; k < AudioSlots; ++k)
            if (t.report.audio[size_t(k)].id >= 0)
                caption += audioKindName(t.report.audio[size_t(k)].id);
        for (int k = 0; k < SubSlots; ++k)
            if (t.report.subpicture[size_t(k)].id >= 0)
                caption += subpictureKindName(t.report.subpicture[size_t(k)].id);
        const bool named = !audioKindName(id).empty() || !subpictureKindName(id).empty();
        EXPECT_EQ(!caption.empty(), named) << std::hex << id;
        if (named) {
            EXPECT_EQ(caption, audioKindName(id) + subpictureKindName(id)) << std::hex << id;
        }
    }
}

} // namespace
} // namespace tarnwick

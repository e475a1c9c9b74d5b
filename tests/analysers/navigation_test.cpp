#include "support/engine_run.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr size_t FirstChunk = 262144;
const std::string Encrypted = "[b]This file is ENCRYPTED![/b] Decrypt it before any process.";

// A file of at least one chunk whose first pack is a navigation pack, so
// that the system header of the first pack gives the stream counts.
Bytes navigationFile(const NavigationPackInfo& info, int navigationPacks = 1,
                     size_t size = FirstChunk + 4 * PackSize) {
    PackWriter w(info.layout);
    for (int k = 0; k < navigationPacks; ++k) {
        w.navigation(info);
        w.pack({});
    }
    padTo(w, size);
    return w.bytes();
}

NavigationPackInfo evoInfo() {
    NavigationPackInfo info;
    info.copyControl = true;
    info.firstPtm = 90000;
    info.lastPtm = 90000 + 90000 * 10;
    return info;
}

TEST(NavigationPacks, EncryptionIsReportedOnceInScanAndInDemux) {
    NavigationPackInfo info = evoInfo();
    info.encryption = 0x40;
    const Bytes file = navigationFile(info, 3);
    EngineRun scan;
    scan.run(file, "FEATURE_1.EVO");
    EXPECT_EQ(scan.count(Encrypted), 1u);
    EngineRun demuxing;
    demuxing.run(file, "FEATURE_1.EVO", Pass::Demux);
    EXPECT_EQ(demuxing.count(Encrypted), 1u);
    EXPECT_TRUE(demuxing.startingWith("VOB number").empty());

    for (uint8_t byte : {uint8_t(0x80), uint8_t(0x3F)}) {
        info.encryption = byte;
        EngineRun other;
        other.run(navigationFile(info), "FEATURE_1.EVO");
        EXPECT_EQ(other.count(Encrypted), byte & 0xC0 ? 1u : 0u) << int(byte);
    }
}

TEST(NavigationPacks, CopyControlLinesFollowTheirValidityBits) {
    NavigationPackInfo info = evoInfo();
    info.validity = 0xF0;
    info.values = (5 << 5) | (6 << 2) | 0x03;
    EngineRun all;
    all.run(navigationFile(info), "A.EVO");
    EXPECT_EQ(
        Lines(all.sink.lines.begin(), all.sink.lines.begin() + 5),
        (Lines{"It contains [b]1[/b] video stream and [b]1[/b] audio stream.", "[b]Copy Never[/b]",
               "[b]APS2 is ON[/b]", "[b]ICT on, constrained analog output[/b]",
               "[b]DOT on, analog output not allowed[/b]"}));

    // Without their validity bits the same values say nothing.
    info.validity = 0x0F;
    EngineRun invalid;
    invalid.run(navigationFile(info), "A.EVO");
    EXPECT_TRUE(invalid.startingWith("[b]").empty());

    // Copy generation 0 says nothing; 1 has an empty label.
    info.validity = 0xC0;
    info.values = (0 << 5) | (2 << 2);
    EngineRun zero;
    zero.run(navigationFile(info), "A.EVO");
    EXPECT_EQ(zero.startingWith("[b]"), (Lines{"[b]Type 2 of APS1 is ON[/b]"}));
    info.values = 1 << 5;
    EngineRun one;
    one.run(navigationFile(info), "A.EVO");
    EXPECT_EQ(one.startingWith("[b]"), (Lines{"[b][/b]"}));
}

TEST(NavigationPacks, DvdAndEvoLayoutsGiveTheSameCounts) {
    for (MuxRate layout : {MuxRate::Dvd, MuxRate::HdDvd}) {
        NavigationPackInfo info;
        info.layout = layout;
        info.vobNumber = 7;
        info.audioBound = 0; // the counts come from the synchronisation entries
        info.audioEntries = {0x8000, 0x0001};
        info.subpictureEntries = {0x80000000, 0, 1, 0x00010000};
        EngineRun run;
        run.run(navigationFile(info), layout == MuxRate::Dvd ? "VTS_01_1.VOB" : "FEATURE.EVO");
        EXPECT_EQ(run.startingWith("VOB number"),
                  (Lines{"VOB number 7 contains [b]1[/b] video , [b]2[/b] audio and [b]3[/b] "
                         "subpicture streams."}));
    }
}

TEST(NavigationPacks, VobLineWordingByStreamCounts) {
    NavigationPackInfo info;
    EngineRun twoStreams;
    twoStreams.run(navigationFile(info), "FEATURE.EVO");
    EXPECT_EQ(twoStreams.startingWith("VOB number"),
              (Lines{"VOB number 1 contains [b]1[/b] video and [b]1[/b] audio streams."}));

    // The system header's audio bound wins over the entries.
    info.audioEntries = {1, 1, 1};
    EngineRun bound;
    bound.run(navigationFile(info), "FEATURE.EVO");
    EXPECT_EQ(bound.startingWith("VOB number"),
              (Lines{"VOB number 1 contains [b]1[/b] video and [b]1[/b] audio streams."}));

    info.audioBound = 0;
    info.audioEntries.clear();
    EngineRun videoOnly;
    videoOnly.run(navigationFile(info), "FEATURE.EVO");
    EXPECT_EQ(videoOnly.startingWith("VOB number"),
              (Lines{"VOB number 1 contains [b]1[/b] video and [b]0[/b] audio stream."}));

    // A file shorter than a chunk has no system-header counts.
    info.audioEntries = {5};
    EngineRun small;
    small.run(navigationFile(info, 1, 8 * PackSize), "FEATURE.EVO");
    EXPECT_EQ(small.startingWith("VOB number"),
              (Lines{"VOB number 1 contains [b]0[/b] video and [b]1[/b] audio stream."}));
}

TEST(NavigationPacks, DvdDsiAfterThePresentationControlPacketIsFound) {
    NavigationPackInfo info;
    info.layout = MuxRate::Dvd;
    info.vobNumber = 3;
    info.firstPtm = 0x00012345;
    info.lastPtm = 0x00ABCDEF;
    EngineRun run;
    run.run(navigationFile(info), "VTS_01_1.VOB");
    EXPECT_EQ(run.startingWith("VOB number").size(), 1u);
    EXPECT_EQ(run.count("PTM of first video frame = [re]00012345[/re]"), 1u);
    EXPECT_EQ(run.count("PTM of last video frame = 00ABCDEF"), 1u);
}

TEST(NavigationPacks, TimeReferencesInBothModes) {
    NavigationPackInfo info = evoInfo();
    info.firstPtm = 90000;
    info.lastPtm = 90000 + 3723 * 90000 + 45000; // 1 h 2 min 3.5 s
    for (Pass mode : {Pass::Scan, Pass::Demux}) {
        EngineRun run;
        run.run(navigationFile(info, 2), "FEATURE_1.EVO", mode);
        // Both passes add up the playing time; the scan also reports the times.
        EXPECT_DOUBLE_EQ(run.frames().totalSeconds, 3723.5);
        EXPECT_EQ(run.count("Duration = [b]1:02:03.500[/b]"), mode == Pass::Scan ? 1u : 0u);
        if (mode == Pass::Scan) {
            const std::optional<DsiReport>& dsi = run.report.clips.at(0).dsi;
            ASSERT_TRUE(dsi);
            EXPECT_EQ(dsi->firstVideoPtm, 90000u);
            EXPECT_EQ(dsi->lastVideoPtm, info.lastPtm);
            EXPECT_DOUBLE_EQ(dsi->durationSeconds, 3723.5);
        }
    }

    // A second file keeps the first one's first PTM and adds its own time.
    EngineRun feature;
    feature.run(navigationFile(info), "FEATURE_1.EVO");
    NavigationPackInfo second = info;
    second.firstPtm = info.lastPtm;
    second.lastPtm = info.lastPtm + 90000;
    feature.run(navigationFile(second), "FEATURE_2.EVO");
    ASSERT_EQ(feature.report.clips.size(), 2u);
    EXPECT_EQ(feature.report.clips[0].dsi->firstVideoPtm, 90000u);
    EXPECT_EQ(feature.report.clips[1].dsi->lastVideoPtm, second.lastPtm);
    EXPECT_DOUBLE_EQ(feature.frames().totalSeconds, 3724.5);
    EXPECT_DOUBLE_EQ(feature.report.clips[1].dsi->durationSeconds, 1.0);

    // Presentation times wrap modulo 2^32.
    info.firstPtm = 0xFFFFFF00;
    info.lastPtm = 0x00000100;
    EngineRun wrap;
    wrap.run(navigationFile(info), "FEATURE_1.EVO");
    EXPECT_DOUBLE_EQ(wrap.frames().totalSeconds, 512 / 90000.0);
    EXPECT_EQ(wrap.count("Duration = [b]0:00:00.006[/b]"), 1u);
}

TEST(NavigationPacks, NoNavigationPacksNoLines) {
    PackWriter w;
    padTo(w, FirstChunk + PackSize);
    EngineRun run;
    run.run(w.bytes(), "FEATURE_1.EVO");
    EXPECT_TRUE(run.sink.lines.empty());
    EXPECT_FALSE(run.report.clips.at(0).dsi);
}

// A file whose first chunk ends inside a navigation pack that starts
// `before` bytes ahead of the chunk's end, followed by a whole one. The cut
// pack is encrypted; the whole one says "Copy Never".
Bytes straddlingFile(int before) {
    const size_t start = FirstChunk - size_t(before);
    PackWriter w;
    padTo(w, start - PackSize);
    w.raw(paddingPacket(int(start - w.bytes().size())));
    NavigationPackInfo cut = evoInfo();
    cut.vobNumber = 1;
    cut.encryption = 0xC0;
    w.raw(navigationPack(cut));
    NavigationPackInfo whole = evoInfo();
    whole.vobNumber = 2;
    whole.validity = 0x80;
    whole.values = 5 << 5;
    w.raw(navigationPack(whole));
    padTo(w, FirstChunk + 8 * PackSize);
    return w.bytes();
}

TEST(NavigationPacks, PacketRunningPastTheChunkIsSkippedUndecoded) {
    // The DSI of the first pack straddles the chunk boundary: the second
    // pack's DSI is the first one decoded.
    EngineRun dsi;
    dsi.run(straddlingFile(1500), "FEATURE_1.EVO");
    EXPECT_EQ(dsi.startingWith("VOB number"),
              (Lines{"VOB number 2 contains [b]0[/b] video and [b]0[/b] audio stream."}));
    EXPECT_EQ(dsi.count(Encrypted), 1u);
    EXPECT_EQ(dsi.count("[b]Copy Never[/b]"), 0u);

    // Now the copy-control packet straddles it.
    EngineRun copyControl;
    copyControl.run(straddlingFile(1200), "FEATURE_1.EVO");
    EXPECT_EQ(copyControl.count(Encrypted), 0u);
    EXPECT_EQ(copyControl.count("[b]Copy Never[/b]"), 1u);
    EXPECT_EQ(copyControl.startingWith("VOB number"),
              (Lines{"VOB number 1 contains [b]0[/b] video and [b]0[/b] audio stream."}));
}

TEST(NavigationPacks, PacketTooShortForItsFieldsIsSkipped) {
    // A DSI packet of 20 bytes holds none of the fields; the bytes after it
    // belong to the next packets and are parsed as such.
    Bytes shortDsi = {0x00, 0x00, 0x01, 0xBF, 0x00, 0x14, 0x01};
    shortDsi.insert(shortDsi.end(), 19, 0xEE);
    Bytes emptyDsi = {0x00, 0x00, 0x01, 0xBF, 0x00, 0x01, 0x01};
    PesHeader header;
    header.pts = 90000;
    header.dts = 87000;
    const Bytes video = pesPacket(0xE0, header, Bytes(100, 0x11));
    Bytes packets = shortDsi;
    packets.insert(packets.end(), emptyDsi.begin(), emptyDsi.end());
    packets.insert(packets.end(), video.begin(), video.end());

    PackWriter w;
    w.pack(packets);
    NavigationPackInfo info = evoInfo();
    info.vobNumber = 2;
    w.navigation(info);
    padTo(w, 16 * PackSize);
    EngineRun run;
    run.run(w.bytes(), "FEATURE_1.EVO");
    EXPECT_EQ(run.startingWith("VOB number"),
              (Lines{"VOB number 2 contains [b]0[/b] video and [b]0[/b] audio stream."}));
    EXPECT_EQ(run.count("[b]MPEG-2[/b] video stream 0 found!"), 1u);
}

} // namespace
} // namespace tarnwick::testing

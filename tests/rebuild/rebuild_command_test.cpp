// The Rebuild command end to end: read back, demux, navigation packs, the
// option for advanced packs, VOBs, short last blocks and two source files.

#include "rebuild/rebuild.h"
#include "rebuild/rebuild_support.h"
#include "support/shared_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tarnwick::testing {
namespace {

std::vector<StreamSpec> mixedStreams() {
    return {videoSpec(0xE0, 300000),    subStreamSpec(0x80, 40000), subStreamSpec(0x89, 50000),
            subStreamSpec(0xC2, 30000), subStreamSpec(0xB3, 45000), subStreamSpec(0xA4, 35000),
            subStreamSpec(0x20, 12000), subStreamSpec(0x21, 9000),  subStreamSpec(0x62, 15000)};
}

// The offset of the renumbered identifier of a pack, or 0 for none.
size_t identifierOffset(const Bytes& pack) {
    if (pack[0x11] == 0xBD) return 0x17 + pack[0x16];
    if (pack[0x11] >= 0xE0 && pack[0x11] <= 0xE3) return 0x11;
    return 0;
}

TEST(Rebuild, KeepsOnlyTheTickedStreamsRenumbered) {
    const std::string dir = scratchFolder("RebuildKeepsTicked");
    const std::string source = dir + "MOVIE.EVO";
    const Bytes sourceBytes = muxEvo(mixedStreams());
    writeFile(source, sourceBytes);

    CoreRebuild r;
    r.read(source);
    ASSERT_EQ(r.selectedCaptions(),
              (std::vector<std::string>{"MPEG-2.stream.0", "DD.stream.00", "DTSHD.stream.01",
                                        "DD+.stream.02", "MLP.stream.03", "LPCM.stream.04",
                                        "Subpicture.00", "Subpicture.01", "Ext.Subpicture.02"}));
    r.deselect({"DD.stream.00", "DD+.stream.02", "LPCM.stream.04", "Subpicture.00"});
    std::filesystem::create_directory(dir + "out");
    r.core.sink.lines.clear();
    const RebuildResult result = r.rebuild(dir + "out");
    ASSERT_TRUE(result.ok());
    const std::string output = dir + "out/MOVIE.rebuilt.EVO";
    EXPECT_EQ(r.core.visibleLines(),
              (std::vector<std::string>{"Opening file MOVIE.EVO", "File size: 0 Mbytes.",
                                        "Creating " + output, "Rebuilding...", "Done.", ""}));
    EXPECT_EQ(r.core.sink.panels[0], "Ready");
    EXPECT_EQ(r.core.sink.panels[1], "");
    // Cancel is no longer offered and no output is being written.
    EXPECT_FALSE(r.core.host.run.cancellable);
    EXPECT_FALSE(r.core.host.run.writingOutput);
    EXPECT_FALSE(result.cancelled);

    // Read back: the kept streams under their new numbers and captions.
    CoreRebuild back;
    back.read(output);
    EXPECT_EQ(back.selectedCaptions(),
              (std::vector<std::string>{"MPEG-2.stream.0", "DTSHD.stream.00", "MLP.stream.01",
                                        "Subpicture.00", "Ext.Subpicture.01"}));
    EXPECT_EQ(back.scan().video[0].id, 0xE0);
    EXPECT_EQ(back.scan().audio[0].id, 0x88);
    EXPECT_EQ(back.scan().audio[1].id, 0xB1);
    EXPECT_EQ(back.scan().subpicture[0].id, 0x20);
    EXPECT_EQ(back.scan().subpicture[1].id, 0x61);

    // Pack by pack: the dropped streams are gone; a kept pack differs from
    // its source only in its identifier, a navigation pack only in the
    // patched fields.
    const std::map<int, int> renumbered = {
        {0xE0, 0xE0}, {0x89, 0x88}, {0xB3, 0xB1}, {0x21, 0x20}, {0x62, 0x61}};
    const std::vector<Bytes> in = packsOf(sourceBytes);
    const std::vector<Bytes> out = packsOf(readFile(output));
    size_t next = 0;
    int navigationPacks = 0;
    for (const Bytes& pack : in) {
        Bytes expected = pack;
        if (isNavigationPack(pack)) {
            ++navigationPacks;
            expected[0x18] = uint8_t((pack[0x18] & 0xE0) | 1);
            expected[0x17] = uint8_t((pack[0x17] & 0x03) | (2 << 2));
            const Bytes times = {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00};
            std::copy(times.begin(), times.end(), expected.begin() + 0x53A);
            std::fill(expected.begin() + 0x720 + 4, expected.begin() + 0x730, uint8_t(0));
            std::fill(expected.begin() + 0x730 + 8, expected.begin() + 0x7B0, uint8_t(0));
        } else {
            const size_t at = identifierOffset(pack);
            ASSERT_NE(at, 0u);
            const auto id = renumbered.find(pack[at]);
            if (id == renumbered.end()) continue; // a dropped stream
            expected[at] = uint8_t(id->second);
        }
        ASSERT_LT(next, out.size());
        EXPECT_EQ(out[next], expected) << "output pack " << next;
        ++next;
    }
    EXPECT_EQ(next, out.size());
    EXPECT_GT(navigationPacks, 30);

    // Demuxing gives each kept stream's bytes unchanged.
    const auto before = demuxByCaption(source, dir);
    const auto after = demuxByCaption(output, dir);
    const std::map<std::string, std::string> captions = {
        {"MPEG-2.stream.0", "MPEG-2.stream.0"},
        {"DTSHD.stream.01", "DTSHD.stream.00"},
        {"MLP.stream.03", "MLP.stream.01"},
        {"Subpicture.01", "Subpicture.00"},
        {"Ext.Subpicture.02", "Ext.Subpicture.01"}};
    EXPECT_EQ(after.size(), captions.size());
    for (const auto& [was, is] : captions) {
        ASSERT_TRUE(before.count(was) && after.count(is)) << was;
        EXPECT_FALSE(before.at(was).empty());
        EXPECT_EQ(before.at(was), after.at(is)) << was << " -> " << is;
    }
}

TEST(Rebuild, AdvancedPacksFollowTheOptionOtherPrivateStream2PacksStay) {
    const std::string dir = scratchFolder("RebuildAdvanced");
    PackWriter w(MuxRate::HdDvd);
    w.navigation({});
    auto privateStream2 = [&](uint8_t subId) {
        Bytes packet = {0x00, 0x00, 0x01, 0xBF, 0x07, 0xEC, subId};
        packet.resize(2048 - 14, subId);
        w.pack(packet);
    };
    muxStreams(w, {videoSpec(0xE0, 20000)});
    privateStream2(0x80);
    privateStream2(0x81);
    privateStream2(0x80);
    privateStream2(0x00);
    const std::string source = dir + "ADV.EVO";
    writeFile(source, w.bytes());
    const std::vector<Bytes> in = packsOf(w.bytes());

    for (const bool advanced : {false, true}) {
        CoreRebuild r;
        r.read(source);
        ASSERT_TRUE(r.rebuild(dir, advanced).ok());
        const std::vector<Bytes> out = packsOf(readFile(dir + "ADV.rebuilt.EVO"));
        std::vector<Bytes> expected;
        for (const Bytes& pack : in)
            if (advanced || pack[0x11] != 0xBF || pack[0x14] != 0x80) expected.push_back(pack);
        ASSERT_EQ(out.size(), expected.size()) << "advanced " << advanced;
        for (size_t k = 0; k < out.size(); ++k) {
            if (isNavigationPack(out[k])) continue;
            EXPECT_EQ(out[k], expected[k]);
        }
    }
}

TEST(Rebuild, VobIsCopiedUnchanged) {
    const std::string dir = scratchFolder("RebuildVob");
    PackWriter w(MuxRate::Dvd);
    NavigationPackInfo nav;
    nav.layout = MuxRate::Dvd;
    nav.audioBound = 2;
    nav.audioEntries = {1, 2};
    muxStreams(w,
               {videoSpec(0xE0, 80000), subStreamSpec(0x80, 20000), subStreamSpec(0x81, 20000),
                subStreamSpec(0x20, 6000)},
               10, nav);
    const std::string source = dir + "VTS_01_1.VOB";
    writeFile(source, w.bytes());
    CoreRebuild r;
    r.read(source, false);
    r.deselect({"DD.stream.00", "Subpicture.00"});
    ASSERT_TRUE(r.rebuild(dir).ok());
    EXPECT_EQ(readFile(dir + "VTS_01_1.rebuilt.EVO"), w.bytes());

    const SampleFile made = dvdSample("dvd_mpeg2_ac3.vob");
    if (made.path.empty()) GTEST_SKIP() << made.skipReason;
    const std::string sample = made.path;
    CoreRebuild real;
    real.read(sample, false);
    real.deselect({"DD.stream.00"});
    ASSERT_TRUE(real.rebuild(dir).ok());
    EXPECT_EQ(readFile(dir + "dvd_mpeg2_ac3.rebuilt.EVO"), readFile(sample));
}

TEST(Rebuild, ShortLastBlockIsWrittenWhenItStartsWithAPackStartCode) {
    const std::string dir = scratchFolder("RebuildShortBlock");
    const Bytes body =
        muxEvo({videoSpec(0xE0, 30000), subStreamSpec(0x80, 8000), subStreamSpec(0x81, 8000)});
    // The tail: the first 1000 bytes of a pack of the second audio stream.
    Bytes tail;
    for (const Bytes& pack : packsOf(body))
        if (pack[0x11] == 0xBD && pack[0x17 + pack[0x16]] == 0x81) tail = pack;
    tail.resize(1000);

    for (const bool startCode : {true, false}) {
        Bytes file = body;
        Bytes block = tail;
        if (!startCode) block[3] = 0xBB;
        file.insert(file.end(), block.begin(), block.end());
        writeFile(dir + "SHORT.EVO", file);
        CoreRebuild r;
        r.read(dir + "SHORT.EVO");
        r.deselect({"DD.stream.00"});
        ASSERT_TRUE(r.rebuild(dir).ok());
        const Bytes out = readFile(dir + "SHORT.rebuilt.EVO");
        if (!startCode) {
            EXPECT_EQ(out.size() % PackSize, 0u);
            continue;
        }
        ASSERT_EQ(out.size() % PackSize, 1000u);
        Bytes expected = tail;
        expected[0x17 + tail[0x16]] = 0x80;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.end() - 1000));
    }
}

TEST(Rebuild, TwoSourceFilesGiveOneOutputWithTheTitlesTimes) {
    const std::string dir = scratchFolder("RebuildTwoFiles");
    const std::vector<StreamSpec> streams = {videoSpec(0xE0, 60000), subStreamSpec(0x80, 9000),
                                             subStreamSpec(0x81, 9000)};
    const Bytes first = muxEvo(streams, 8, 0);
    const Bytes second = muxEvo(streams, 8, 0x500000);
    writeFile(dir + "FEATURE_1.EVO", first);
    writeFile(dir + "FEATURE_2.EVO", second);
    CoreRebuild r;
    r.read(dir + "FEATURE_1.EVO");
    // The title's times: the first clip's first and the last clip's last.
    ASSERT_EQ(r.scan().clips.size(), 2u);
    ASSERT_TRUE(r.scan().clips[0].dsi && r.scan().clips[1].dsi);
    EXPECT_EQ(r.scan().clips[0].dsi->firstVideoPtm, 0x10000u);
    EXPECT_EQ(r.scan().clips[1].dsi->lastVideoPtm, 0x520000u);
    r.deselect({"DD.stream.00"});
    r.core.sink.lines.clear();
    ASSERT_TRUE(r.rebuild(dir).ok());
    const std::string output = dir + "FEATURE_1_FEATURE_2.rebuilt.EVO";
    EXPECT_EQ(r.core.visibleLines(),
              (std::vector<std::string>{
                  "Opening file FEATURE_1.EVO", "File size: 0 Mbytes.", "Creating " + output,
                  "Rebuilding...", "Continue on FEATURE_2.EVO", "Rebuilding...", "Done.", ""}));
    EXPECT_EQ(r.core.sink.lines[4], "Continue on [b]FEATURE_2.EVO[/b]");

    const std::vector<Bytes> out = packsOf(readFile(output));
    std::vector<Bytes> in = packsOf(first);
    for (const Bytes& pack : packsOf(second))
        in.push_back(pack);
    size_t expectedPacks = 0;
    for (const Bytes& pack : in)
        if (!(pack[0x11] == 0xBD && pack[0x17 + pack[0x16]] == 0x80)) ++expectedPacks;
    EXPECT_EQ(out.size(), expectedPacks);
    int navigationPacks = 0;
    for (const Bytes& pack : out) {
        if (isNavigationPack(pack)) {
            ++navigationPacks;
            EXPECT_EQ(Bytes(pack.begin() + 0x53A, pack.begin() + 0x542),
                      (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x52, 0x00, 0x00}));
        } else if (pack[0x11] == 0xBD) {
            EXPECT_EQ(pack[0x17 + pack[0x16]], 0x80); // 0x81, numbered in the first file
        }
    }
    EXPECT_EQ(navigationPacks, std::count_if(in.begin(), in.end(), isNavigationPack));
}

TEST(Rebuild, BundledSampleKeepsItsStreams) {
    const std::string sample = std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no bundled sample";
    const std::string dir = scratchFolder("RebuildSample");
    CoreRebuild r;
    r.read(sample, false);
    r.deselect({"DD.stream.00"});
    ASSERT_TRUE(r.rebuild(dir).ok());
    const std::string output = dir + "FEATURE_1.rebuilt.EVO";
    CoreRebuild back;
    back.read(output, false);
    EXPECT_EQ(back.selectedCaptions(),
              (std::vector<std::string>{"H.264.stream.0", "DD+.stream.00", "Subpicture.00"}));
    EXPECT_EQ(back.scan().audio[0].id, 0xC0);
    ASSERT_TRUE(r.scan().clips[0].dsi && back.scan().clips[0].dsi);
    EXPECT_EQ(back.scan().clips[0].dsi->firstVideoPtm, r.scan().clips[0].dsi->firstVideoPtm);
    const auto before = demuxByCaption(sample, dir);
    const auto after = demuxByCaption(output, dir);
    EXPECT_EQ(before.at("H.264.stream.0"), after.at("H.264.stream.0"));
    EXPECT_EQ(before.at("DD+.stream.03"), after.at("DD+.stream.00"));
    EXPECT_EQ(before.at("Subpicture.00"), after.at("Subpicture.00"));
    EXPECT_FALSE(after.count("DD.stream.00"));
}

} // namespace
} // namespace tarnwick::testing

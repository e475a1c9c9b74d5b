// One pack at a time: classification, the drop tests, the navigation-pack
// patch and the renumbering.

#include "rebuild/drop_tests.h"
#include "rebuild/navigation_patch.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"
#include "rebuild/rebuild_streams.h"
#include "support/ps_writer.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

Bytes onePack(MuxRate rate, const Bytes& packet) {
    PackWriter w(rate);
    w.pack(packet);
    return w.bytes();
}

Bytes audioPack(uint8_t subId, MuxRate rate = MuxRate::HdDvd) {
    PesHeader h;
    h.pts = 90000;
    Bytes payload = audioSubStreamHeader(subId);
    payload.resize(200, 0x11);
    return onePack(rate, pesPacket(0xBD, h, payload));
}

Bytes videoPack(uint8_t streamId) {
    PesHeader h;
    h.pts = 90000;
    h.dts = 87000;
    return onePack(MuxRate::HdDvd, pesPacket(streamId, h, Bytes(300, 0x22)));
}

Bytes vc1Pack(uint8_t extension, bool withDts, bool pstd, bool otherFields = false) {
    PesHeader h;
    h.pts = 90000;
    if (withDts) h.dts = 87000;
    h.pstd = pstd;
    h.otherOptionalFields = otherFields;
    h.streamIdExtension = extension;
    return onePack(MuxRate::HdDvd, pesPacket(0xFD, h, Bytes(300, 0x33)));
}

Bytes privateStream2Pack(uint8_t subId) {
    Bytes packet = {0x00, 0x00, 0x01, 0xBF, 0x01, 0x00, subId};
    packet.resize(6 + 0x100, 0x44);
    return onePack(MuxRate::HdDvd, packet);
}

struct Rules {
    // A stream found in a slot, selected or not.
    void audio(int slot, int id, bool selected) {
        set(s.audioIds[size_t(slot)], StreamKind::Audio, slot, id, selected);
    }
    void sub(int slot, int id, bool selected) {
        set(s.subIds[size_t(slot)], StreamKind::Subpicture, slot, id, selected);
    }
    void video(int slot, int id, bool selected) {
        set(s.videoIds[size_t(slot)], StreamKind::Video, slot, id, selected);
    }
    void set(int32_t& entry, StreamKind kind, int slot, int id, bool selected) {
        entry = id;
        selection.select(kind, slot, selected);
    }
    bool keeps(const Bytes& pack) { return keepPack(classifyPack(pack.data()), s); }

    SelectionSet selection;
    RebuildStreams s{selection};
};

TEST(PackRules, OnlyHdDvdPackHeadersAreClassified) {
    const Bytes audio = audioPack(0x81);
    PackClass c = classifyPack(audio.data());
    EXPECT_EQ(c.streamId, 0xBD);
    EXPECT_EQ(c.subId, 0x81);
    EXPECT_EQ(c.subIdOffset, 0x17u + 5);

    EXPECT_EQ(classifyPack(audioPack(0x81, MuxRate::Dvd).data()).streamId, 0);

    // The stream id extension moves with the time stamps, the P-STD field
    // and every other optional field (13 bytes before the PES extension, 33
    // inside it).
    const struct {
        bool dts, pstd, other;
        size_t offset;
    } layouts[] = {{false, false, false, 0x19 + 5},
                   {true, false, false, 0x19 + 10},
                   {true, true, false, 0x19 + 12},
                   {true, true, true, 0x19 + 12 + 13 + 33}};
    for (const auto& l : layouts) {
        const Bytes vc1 = vc1Pack(0x56, l.dts, l.pstd, l.other);
        c = classifyPack(vc1.data());
        EXPECT_EQ(c.streamId, 0xFD);
        EXPECT_EQ(c.subIdOffset, l.offset);
        EXPECT_EQ(c.subId, 0x56);
    }

    c = classifyPack(privateStream2Pack(0x80).data());
    EXPECT_EQ(c.streamId, 0xBF);
    EXPECT_EQ(c.subId, 0x80);
    EXPECT_EQ(c.subIdOffset, 0u);
    EXPECT_EQ(classifyPack(navigationPack({}).data()).streamId, 0xBB);
}

TEST(PackRules, DropTestsUseTheirNarrowerRanges) {
    Rules r;
    r.audio(0, 0xC8, false);
    r.audio(9, 0xC9, false);
    r.audio(1, 0x81, false);
    r.audio(2, 0x8A, true);
    r.audio(3, 0xB3, false);
    r.audio(4, 0xA4, false);
    r.sub(15, 0x2F, false);
    r.sub(16, 0x30, false);
    r.sub(14, 0x6E, false);
    r.sub(17, 0x71, false);
    r.video(0, 0xE0, false);
    r.video(1, 0x56, false);
    EXPECT_FALSE(r.keeps(audioPack(0xC8)));
    EXPECT_TRUE(r.keeps(audioPack(0xC9))); // Dolby Digital Plus above 0xC8
    EXPECT_FALSE(r.keeps(audioPack(0x81)));
    EXPECT_TRUE(r.keeps(audioPack(0x8A)));
    EXPECT_FALSE(r.keeps(audioPack(0xB3)));
    EXPECT_FALSE(r.keeps(audioPack(0xA4)));
    EXPECT_TRUE(r.keeps(audioPack(0x85))); // in no slot
    EXPECT_FALSE(r.keeps(audioPack(0x2F)));
    EXPECT_TRUE(r.keeps(audioPack(0x30))); // subpictures 16..31
    EXPECT_FALSE(r.keeps(audioPack(0x6E)));
    EXPECT_TRUE(r.keeps(audioPack(0x71)));
    EXPECT_FALSE(r.keeps(videoPack(0xE0)));
    EXPECT_TRUE(r.keeps(videoPack(0xE1)));
    EXPECT_FALSE(r.keeps(vc1Pack(0x56, true, true)));
    EXPECT_TRUE(r.keeps(vc1Pack(0x55, true, true)));
    // MPEG audio stream ids are looked up among the audio sub-stream ids,
    // over the whole range.
    EXPECT_FALSE(r.keeps(videoPack(0xC8)));
    EXPECT_FALSE(r.keeps(videoPack(0xC9)));
    EXPECT_TRUE(r.keeps(videoPack(0xD0)));
    // A DVD pack is never dropped.
    EXPECT_TRUE(r.keeps(audioPack(0x81, MuxRate::Dvd)));

    // Advanced packs follow the option; other private-stream-2 packs stay.
    EXPECT_FALSE(r.keeps(privateStream2Pack(0x80)));
    EXPECT_TRUE(r.keeps(privateStream2Pack(0x81)));
    EXPECT_TRUE(r.keeps(privateStream2Pack(0x00)));
    r.s.advancedPacks = true;
    EXPECT_TRUE(r.keeps(privateStream2Pack(0x80)));
}

TEST(PackRules, NavigationPackCarriesTheKeptStreams) {
    Rules r;
    r.video(0, 0xE0, true);
    r.audio(0, 0x80, false);
    r.audio(1, 0x81, true);
    r.audio(2, 0x82, true);
    r.sub(0, 0x20, true);
    r.s.firstVideoPtm = 0x01234567;
    r.s.lastVideoPtm = 0x89ABCDEF;
    NavigationPackInfo info;
    info.videoBound = 1;
    info.audioBound = 3;
    info.audioEntries = {0xA001, 0xA002, 0xA003, 0xA004, 0xA005, 0xA006, 0xA007, 0xA008};
    info.subpictureEntries.assign(32, 0xB0000001);
    info.firstPtm = 0x1111;
    info.lastPtm = 0x2222;
    info.copyControl = true;
    const Bytes source = navigationPack(info);

    Bytes pack = source;
    StreamNumbers numbers;
    patchNavigationPack(pack.data(), numbers, r.s);
    Bytes expected = source;
    expected[0x18] = uint8_t((source[0x18] & 0xE0) | 1);
    expected[0x17] = uint8_t((source[0x17] & 0x03) | (2 << 2));
    const Bytes times = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::copy(times.begin(), times.end(), expected.begin() + 0x53A);
    std::fill(expected.begin() + 0x720 + 2 * 2, expected.begin() + 0x730, uint8_t(0));
    std::fill(expected.begin() + 0x730 + 4 * 1, expected.begin() + 0x7B0, uint8_t(0));
    EXPECT_EQ(pack, expected);
    EXPECT_EQ(numbers.map[0x81], 0x80);
    EXPECT_EQ(numbers.map[0x82], 0x81);

    // Eight kept audio streams clear no audio entry; without a DSI only the
    // system header changes.
    for (int k = 0; k < 8; ++k)
        r.audio(k, 0x80 + k, true);
    pack = source;
    pack[0x50D] = 0x00;
    StreamNumbers fresh;
    patchNavigationPack(pack.data(), fresh, r.s);
    expected = source;
    expected[0x50D] = 0x00;
    expected[0x18] = uint8_t((source[0x18] & 0xE0) | 1);
    expected[0x17] = uint8_t((source[0x17] & 0x03) | (8 << 2));
    EXPECT_EQ(pack, expected);
    pack = source;
    patchNavigationPack(pack.data(), fresh, r.s);
    EXPECT_TRUE(std::equal(source.begin() + 0x720, source.begin() + 0x730, pack.begin() + 0x720));
}

TEST(PackRules, KeptPackIsRenumberedInPlace) {
    Rules r;
    r.audio(0, 0x80, false);
    r.audio(1, 0x89, true);
    r.video(1, 0x56, true);
    r.video(0, 0xE2, false);
    StreamNumbers numbers;

    Bytes pack = audioPack(0x89);
    Bytes expected = pack;
    expected[0x17 + 5] = 0x88;
    EXPECT_TRUE(rebuildPack(pack.data(), numbers, r.s));
    EXPECT_EQ(pack, expected);

    pack = vc1Pack(0x56, true, true);
    expected = pack;
    expected[0x19 + 12] = 0x55;
    EXPECT_TRUE(rebuildPack(pack.data(), numbers, r.s));
    EXPECT_EQ(pack, expected);

    // Unticked H.264 0xE2 is dropped; H.264 0xE3 in no slot keeps its id.
    pack = videoPack(0xE2);
    EXPECT_FALSE(rebuildPack(pack.data(), numbers, r.s));
    pack = videoPack(0xE3);
    expected = pack;
    EXPECT_TRUE(rebuildPack(pack.data(), numbers, r.s));
    EXPECT_EQ(pack, expected);

    // A block that does not start with a pack start code is not written.
    pack = audioPack(0x89);
    pack[0] = 0xFF;
    EXPECT_FALSE(rebuildPack(pack.data(), numbers, r.s));
    // A DVD pack passes unchanged.
    pack = audioPack(0x89, MuxRate::Dvd);
    expected = pack;
    EXPECT_TRUE(rebuildPack(pack.data(), numbers, r.s));
    EXPECT_EQ(pack, expected);
}

} // namespace
} // namespace tarnwick::testing

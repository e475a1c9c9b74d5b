// Streams that get no number from a navigation pack: they keep their
// identifier unless another kept stream has it, and are never turned into
// 0xFF.

#include "rebuild/rebuild.h"
#include "rebuild/rebuild_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace tarnwick::testing {
namespace {

// The sub-stream ids of the private-stream-1 packs of a file, in order.
std::vector<int> subStreamIds(const Bytes& file) {
    std::vector<int> ids;
    for (const Bytes& pack : packsOf(file))
        if (pack[0x11] == 0xBD) ids.push_back(pack[0x17 + pack[0x16]]);
    return ids;
}

Bytes rebuild(CoreRebuild& r, const std::string& dir, const std::string& name) {
    EXPECT_TRUE(r.rebuild(dir).ok());
    return readFile(dir + name + ".rebuilt.EVO");
}

// The first 1.4 MB hold `early`; `late` starts after them, past the
// fast-check limit of 1 MiB, so a Read EVO with that limit does not list it.
Bytes withLateStream(const std::vector<StreamSpec>& early, const StreamSpec& late) {
    std::vector<StreamSpec> first = early;
    first.insert(first.begin(), videoSpec(0xE0, 1400000));
    Bytes out = muxEvo(first);
    std::vector<StreamSpec> second = early;
    second.insert(second.begin(), videoSpec(0xE0, 40000));
    second.push_back(late);
    const Bytes rest = muxEvo(second);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

void readWithFastCheck(CoreRebuild& r, const std::string& path) {
    ScanOptions options;
    options.fastCheckBytes = 1048576;
    options.logDetails = false;
    r.read(path, true, options);
}

TEST(RebuildNumbering, StreamMissingFromTheTablesKeepsItsIdentifier) {
    const std::string dir = scratchFolder("RebuildMissingStream");
    const Bytes source = withLateStream({subStreamSpec(0x80, 8000), subStreamSpec(0x82, 8000)},
                                        subStreamSpec(0x8A, 8000));
    writeFile(dir + "MISSING.EVO", source);
    CoreRebuild r;
    readWithFastCheck(r, dir + "MISSING.EVO");
    ASSERT_EQ(r.selectedCaptions(),
              (std::vector<std::string>{"MPEG-2.stream.0", "DD.stream.00", "DD.stream.02"}));
    r.deselect({"DD.stream.00"});
    std::vector<int> expected;
    for (int id : subStreamIds(source))
        if (id == 0x82)
            expected.push_back(0x80);
        else if (id == 0x8A)
            expected.push_back(0x8A);
    EXPECT_EQ(subStreamIds(rebuild(r, dir, "MISSING")), expected);
}

TEST(RebuildNumbering, MissingStreamMovesAsideForANumberGiven) {
    const std::string dir = scratchFolder("RebuildMissingCollision");
    // DTS 0x89 is numbered 0x88 once Dolby Digital 0x80 is left out; the
    // unlisted DTS 0x88 then takes the lowest free DTS identifier.
    const Bytes source = withLateStream({subStreamSpec(0x80, 8000), subStreamSpec(0x89, 8000)},
                                        subStreamSpec(0x88, 8000));
    writeFile(dir + "COLLIDE.EVO", source);
    CoreRebuild r;
    readWithFastCheck(r, dir + "COLLIDE.EVO");
    ASSERT_EQ(r.selectedCaptions(),
              (std::vector<std::string>{"MPEG-2.stream.0", "DD.stream.00", "DTSHD.stream.01"}));
    r.deselect({"DD.stream.00"});
    std::vector<int> expected;
    for (int id : subStreamIds(source))
        if (id == 0x89)
            expected.push_back(0x88);
        else if (id == 0x88)
            expected.push_back(0x89);
    EXPECT_EQ(subStreamIds(rebuild(r, dir, "COLLIDE")), expected);
}

TEST(RebuildNumbering, PacksBeforeTheFirstNavigationPackCarryTheStreamsNumber) {
    const std::string dir = scratchFolder("RebuildBeforeNavigation");
    StreamSpec dts = subStreamSpec(0x89, 30000);
    const Bytes whole = dts.data;
    StreamSpec lead = dts;
    lead.data.assign(whole.begin(), whole.begin() + 10000);
    dts.data.assign(whole.begin() + 10000, whole.end());
    PackWriter early(MuxRate::HdDvd);
    muxStreams(early, {lead}); // no navigation pack
    Bytes source = early.bytes();
    const Bytes rest = muxEvo({videoSpec(0xE0, 40000), subStreamSpec(0x80, 8000), dts});
    source.insert(source.end(), rest.begin(), rest.end());
    writeFile(dir + "EARLY.EVO", source);

    CoreRebuild r;
    r.read(dir + "EARLY.EVO");
    r.deselect({"DD.stream.00"});
    const Bytes out = rebuild(r, dir, "EARLY");
    const std::vector<int> ids = subStreamIds(out);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), std::set<int>{0x88});
    const std::vector<int> sourceIds = subStreamIds(source);
    EXPECT_EQ(ids.size(), size_t(std::count(sourceIds.begin(), sourceIds.end(), 0x89)));

    writeFile(dir + "EARLY.rebuilt.EVO", out);
    const auto before = demuxByCaption(dir + "EARLY.EVO", dir);
    const auto after = demuxByCaption(dir + "EARLY.rebuilt.EVO", dir);
    ASSERT_TRUE(after.count("DTSHD.stream.00"));
    EXPECT_EQ(after.at("DTSHD.stream.00"), before.at("DTSHD.stream.01"));
}

TEST(RebuildNumbering, UntickedStreamOutsideTheTestedRangesIsKeptAsFound) {
    const std::string dir = scratchFolder("RebuildUntested");
    // Subpicture 16 (0x30) is never dropped; unticked, it gets no number.
    std::vector<StreamSpec> streams = {videoSpec(0xE0, 40000)};
    for (int k = 0; k <= 16; ++k)
        streams.push_back(subStreamSpec(uint8_t(0x20 + k), 1500));
    const Bytes source = muxEvo(streams);
    writeFile(dir + "SUBS.EVO", source);
    CoreRebuild r;
    r.read(dir + "SUBS.EVO");
    r.deselect({"Subpicture.16", "Subpicture.03"});
    std::vector<int> expected;
    for (int id : subStreamIds(source))
        if (id == 0x30)
            expected.push_back(0x30);
        else if (id != 0x23)
            expected.push_back(id < 0x23 ? id : id - 1);
    EXPECT_EQ(subStreamIds(rebuild(r, dir, "SUBS")), expected);
}

} // namespace
} // namespace tarnwick::testing

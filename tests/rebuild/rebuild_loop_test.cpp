// The copy loop reads chunks of 128 packs; the result must be the one of
// reading the source one 2048-byte block at a time.

#include "rebuild/rebuild.h"
#include "rebuild/rebuild_pack.h"
#include "rebuild/rebuild_support.h"

#include <gtest/gtest.h>

namespace tarnwick::testing {
namespace {

TEST(RebuildLoop, ChunkedCopyEqualsPackByPackCopy) {
    const std::string dir = scratchFolder("RebuildChunks");
    // Over four chunks, dropped packs on both sides of chunk borders, and a
    // short last block that starts with a pack start code.
    Bytes source = muxEvo({videoSpec(0xE0, 700000), subStreamSpec(0x80, 150000),
                           subStreamSpec(0x81, 120000), subStreamSpec(0x21, 40000)},
                          16);
    const Bytes tail(source.end() - 2048, source.end() - 2048 + 777);
    source.insert(source.end(), tail.begin(), tail.end());
    ASSERT_GT(source.size(), 4u * 262144);
    writeFile(dir + "CHUNKS.EVO", source);

    CoreRebuild r;
    r.read(dir + "CHUNKS.EVO");
    r.deselect({"DD.stream.00"});
    ASSERT_TRUE(r.rebuild(dir).ok());
    const Bytes chunked = readFile(dir + "CHUNKS.rebuilt.EVO");

    const RebuildStreams streams = rebuildStreams(r.scan(), r.selection, false);
    StreamNumbers numbers;
    Bytes expected;
    for (size_t at = 0; at < source.size(); at += PackSize) {
        const size_t n = std::min(size_t(PackSize), source.size() - at);
        Bytes pack(size_t(PackSize), 0);
        std::copy(source.begin() + long(at), source.begin() + long(at + n), pack.begin());
        if (rebuildPack(pack.data(), numbers, streams))
            expected.insert(expected.end(), pack.begin(), pack.begin() + long(n));
    }
    EXPECT_EQ(chunked.size() % PackSize, 777u);
    EXPECT_LT(chunked.size(), source.size());
    EXPECT_TRUE(chunked == expected);
}

} // namespace
} // namespace tarnwick::testing

#include "analysers/bit_reader.h"
#include "support/bit_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

using testing::BitWriter;

TEST(BitReader, ExpGolombCodesOfTheStandard) {
    // 1, 010, 011, 00100 read as ue 0, 1, 2, 3 and as se 0, 1, -1, 2.
    const std::vector<uint8_t> bits = BitWriter().put(0b1010011001001, 13).finish();
    BitReader ue(bits.data(), int(bits.size()));
    ue.LoadWord();
    EXPECT_EQ(ue.ReadUE(), 0u);
    EXPECT_EQ(ue.ReadUE(), 1u);
    EXPECT_EQ(ue.ReadUE(), 2u);
    EXPECT_EQ(ue.ReadUE(), 3u);
    BitReader se(bits.data(), int(bits.size()));
    se.LoadWord();
    EXPECT_EQ(se.ReadSE(), 0);
    EXPECT_EQ(se.ReadSE(), 1);
    EXPECT_EQ(se.ReadSE(), -1);
    EXPECT_EQ(se.ReadSE(), 2);
}

TEST(BitReader, LongCodesAndLargeValues) {
    const std::vector<uint8_t> bits =
        BitWriter().ue(0xFFFFFFFE).se(-0x7FFFFFFF).ue(12345).put(0, 16).finish();
    BitReader r(bits.data(), int(bits.size()));
    r.LoadWord();
    EXPECT_EQ(r.ReadUE(), 0xFFFFFFFEu);
    EXPECT_EQ(r.ReadSE(), -0x7FFFFFFF);
    EXPECT_EQ(r.ReadUE(), 12345u);
}

TEST(BitReader, ThirtyTwoBitReadWithBitsPending) {
    const std::vector<uint8_t> bytes = {0xA5, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    BitReader r(bytes.data(), int(bytes.size()));
    r.LoadWord();
    EXPECT_EQ(r.ReadBits(3), 0b101u);
    // The 32 bits after the first three: 00101 00010010 00110100 01010110 011
    EXPECT_EQ(r.ReadBits(32), 0x2891A2B3u);
    EXPECT_EQ(r.ReadBits(5), 0b11000u);
    EXPECT_EQ(r.ReadBits(25), 0x9ABCu << 9); // then zero bits past the data
}

TEST(BitReader, WindowStepsOneByteAtATime) {
    std::vector<uint8_t> bytes(16);
    for (size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = uint8_t(0x10 + k);
    BitReader r(bytes.data(), int(bytes.size()));
    r.position = 5;
    r.LoadWord();
    EXPECT_EQ(r.window, 0x15161718u);
    for (int k = 0; k < 3; ++k)
        r.SkipBits(8);
    EXPECT_EQ(r.window, 0x18191A1Bu);
    EXPECT_EQ(r.position, 12);
    EXPECT_EQ(r.pending, 0);
    EXPECT_EQ(wordAt(r, 2), 0x12131415u);
}

TEST(BitReader, SkipsOfEveryLengthKeepTheBitPosition) {
    std::vector<uint8_t> bytes(64);
    for (size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = uint8_t(k * 37 + 11);
    auto bitAt = [&](size_t bit) { return (bytes[bit / 8] >> (7 - bit % 8)) & 1; };
    for (int first = 0; first <= 7; ++first)
        for (int n = 0; n <= 32; ++n) {
            BitReader r(bytes.data(), int(bytes.size()));
            r.LoadWord();
            r.SkipBits(first);
            r.SkipBits(n);
            ASSERT_LE(r.pending, 7);
            const size_t at = size_t(first + n);
            uint32_t expected = 0;
            for (size_t k = 0; k < 32; ++k)
                expected = (expected << 1) | uint32_t(bitAt(at + k));
            ASSERT_EQ(r.ReadBits(32), expected) << "after " << first << " + " << n << " bits";
        }
}

TEST(BitReader, ReadsOutsideTheValidBytesGiveZeroBits) {
    // Only the first two bytes are valid; the rest of the array must not be seen.
    const std::vector<uint8_t> bytes = {0xFF, 0x81, 0xEE, 0xEE, 0xEE, 0xEE};
    BitReader r(bytes.data(), 2);
    r.LoadWord();
    EXPECT_EQ(r.window, 0xFF810000u);
    r.position = -3;
    r.LoadWord();
    EXPECT_EQ(r.window, 0x000000FFu);
    EXPECT_EQ(r.byteAt(-1), 0);
    EXPECT_EQ(r.byteAt(2), 0);
}

TEST(BitReader, ZeroRunOfThirtyTwoBitsEndsTheCodeSafely) {
    const std::vector<uint8_t> bytes = {0x00, 0x00, 0x00, 0x00, 0x00, 0x80};
    BitReader r(bytes.data(), int(bytes.size()));
    r.LoadWord();
    EXPECT_EQ(r.ReadUE(), BitReader::InvalidCode);
    // Only the 32 zero bits were consumed.
    EXPECT_EQ(r.ReadBits(16), 0x0080u);
    // Past the end every code is invalid, and reading goes on without end of data.
    for (int k = 0; k < 100; ++k)
        EXPECT_EQ(r.ReadUE(), BitReader::InvalidCode);
}

} // namespace
} // namespace tarnwick

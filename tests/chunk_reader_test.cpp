// The read-ahead hands out the chunks that reading one chunk at a time would
// give: same order, same lengths, zeros after the data, and a read error or a
// file that shrank raised at the same chunk; it never reads more than its ring
// ahead of the caller, and stops when the caller stops; with one reading
// thread or several taking turns.

#include "engine/chunk_reader.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::scratchFolder;

constexpr size_t Chunk = 4096;
constexpr size_t Buffer = Chunk + 64;
constexpr int Depth = 3;

// Byte k of a test file.
uint8_t byteAt(int64_t k) {
    return uint8_t((k * 7 + (k >> 12)) & 0xFF);
}

std::string writeFile(const std::string& name, int64_t size) {
    const std::string path = scratchFolder("chunk_reader") + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int64_t k = 0; k < size; ++k)
        out.put(char(byteAt(k)));
    return path;
}

// Takes every chunk; checks each one's bytes and the zeros after them.
std::vector<ChunkReader::Chunk> readAll(ChunkReader& reader) {
    std::vector<ChunkReader::Chunk> chunks;
    std::vector<uint8_t> buffer(Buffer);
    ChunkReader::Chunk chunk;
    while (reader.next(buffer, chunk)) {
        EXPECT_EQ(buffer.size(), Buffer);
        for (size_t k = 0; k < chunk.length; ++k)
            if (buffer[k] != byteAt(chunk.start + int64_t(k))) {
                ADD_FAILURE() << "byte " << chunk.start + int64_t(k);
                break;
            }
        EXPECT_TRUE(std::all_of(buffer.begin() + ptrdiff_t(chunk.length), buffer.end(),
                                [](uint8_t b) { return b == 0; }));
        chunks.push_back(chunk);
    }
    EXPECT_FALSE(reader.next(buffer, chunk)); // the end stays the end
    return chunks;
}

// The number of reading threads.
class ChunkReaderTest : public ::testing::TestWithParam<int> {};

TEST_P(ChunkReaderTest, ChunksComeInFileOrderWithTheLastOneShort) {
    for (const int64_t size :
         {int64_t(0), int64_t(1), int64_t(Chunk - 1), int64_t(Chunk), int64_t(Chunk + 1),
          int64_t(7 * Chunk + 100), int64_t(600 * Chunk + 5)}) { // the last: many turns of the ring
        SCOPED_TRACE(size);
        SourceFile in(writeFile("order", size));
        ChunkReader reader(in, Chunk, Buffer, Depth, GetParam());
        const auto chunks = readAll(reader);
        ASSERT_EQ(chunks.size(), (size + Chunk - 1) / Chunk);
        for (size_t k = 0; k < chunks.size(); ++k) {
            EXPECT_EQ(chunks[k].start, int64_t(k * Chunk));
            EXPECT_EQ(chunks[k].end(), std::min(size, int64_t((k + 1) * Chunk)));
        }
    }
}

TEST_P(ChunkReaderTest, StoppingMidFileLeavesThePositionAfterTheLastChunkTaken) {
    // What Cancel and the fast check do: the caller stops taking chunks.
    const std::string path = writeFile("cancel", 40 * Chunk);
    for (const int taken : {0, 1, 5}) {
        SCOPED_TRACE(taken);
        SourceFile in(path);
        {
            ChunkReader reader(in, Chunk, Buffer, Depth, GetParam());
            std::vector<uint8_t> buffer(Buffer);
            ChunkReader::Chunk chunk;
            for (int k = 0; k < taken; ++k)
                ASSERT_TRUE(reader.next(buffer, chunk));
        }
        EXPECT_EQ(in.position(), int64_t(taken * Chunk));
    }
}

TEST_P(ChunkReaderTest, AFileCutAfterItsChunksWereReadAheadEndsWhereReadingNowWould) {
    // The cut comes after two chunks were taken, when the ring already holds
    // the bytes past the cut.
    struct Case {
        int64_t cutTo;
        size_t wholeChunks; // handed out after the cut
        size_t lastLength;  // 0: the error comes without a short chunk
        int64_t endsAt;     // the byte of the message
    };
    const int64_t size = 10 * Chunk;
    for (const Case k : {Case{4 * Chunk + 100, 2, 100, 4 * Chunk + 100},
                         Case{4 * Chunk, 2, 0, 4 * Chunk}, Case{0, 0, 0, 2 * Chunk}}) {
        SCOPED_TRACE(k.cutTo);
        const std::string path = writeFile("shrink", size);
        SourceFile in(path);
        ChunkReader reader(in, Chunk, Buffer, Depth, GetParam());
        std::vector<uint8_t> buffer(Buffer);
        ChunkReader::Chunk chunk;
        ASSERT_TRUE(reader.next(buffer, chunk));
        ASSERT_TRUE(reader.next(buffer, chunk));
        fs::resize_file(path, uintmax_t(k.cutTo));
        for (size_t n = 0; n < k.wholeChunks; ++n) {
            ASSERT_TRUE(reader.next(buffer, chunk));
            EXPECT_EQ(chunk.length, Chunk);
        }
        if (k.lastLength > 0) {
            ASSERT_TRUE(reader.next(buffer, chunk));
            EXPECT_EQ(chunk.length, k.lastLength);
            EXPECT_EQ(buffer[k.lastLength], 0);
        }
        const std::string message = "Read error on \"" + path +
                                    "\". The file shrank while it was read: it ends at byte " +
                                    std::to_string(k.endsAt) + " of " + std::to_string(size) + ".";
        for (int again = 0; again < 2; ++again) {
            try {
                reader.next(buffer, chunk);
                ADD_FAILURE() << "no error";
            } catch (const FileError& e) {
                EXPECT_EQ(e.what(), message);
            }
        }
    }
}

TEST_P(ChunkReaderTest, AReadErrorIsRaisedAtItsChunkAndAgainWhenAskedAgain) {
    // A sysfs attribute that the kernel refuses to show: a regular file whose
    // read fails with EINVAL.
    const std::string unreadable = "/sys/class/net/lo/speed";
    if (!fs::is_regular_file(unreadable)) GTEST_SKIP() << unreadable << " is missing";
    SourceFile in(unreadable);
    ChunkReader reader(in, Chunk, Buffer, Depth, GetParam());
    std::vector<uint8_t> buffer(Buffer);
    ChunkReader::Chunk chunk;
    for (int again = 0; again < 2; ++again)
        EXPECT_THROW(reader.next(buffer, chunk), FileError);
}

TEST_P(ChunkReaderTest, PositionsPastFourGibibytes) {
    // Sparse: a hole, then chunks past 2^32 bytes that end with a short one.
    constexpr int64_t Big = 256 * Chunk; // large chunks keep the count of reads low
    constexpr int64_t Tail = (int64_t(1) << 32) + 2 * Big + 300;
    const std::string path = scratchFolder("chunk_reader") + "/large";
    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    fs::resize_file(path, uintmax_t(Tail));
    {
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(Tail - 5);
        out.write("tail!", 5);
    }
    SourceFile in(path);
    ChunkReader reader(in, Big, Big, 2, GetParam());
    std::vector<uint8_t> buffer(Big);
    ChunkReader::Chunk chunk, last;
    int64_t count = 0;
    while (reader.next(buffer, chunk)) {
        last = chunk;
        ++count;
        if (chunk.length < size_t(Big)) break;
    }
    EXPECT_EQ(count, (Tail + Big - 1) / Big);
    EXPECT_EQ(last.start, Tail / Big * Big);
    EXPECT_EQ(last.length, size_t(300));
    EXPECT_EQ(std::string(buffer.begin() + 295, buffer.begin() + 300), "tail!");
    EXPECT_FALSE(reader.next(buffer, chunk));
    fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Readers, ChunkReaderTest, ::testing::Values(1, 2, 3));

} // namespace
} // namespace tarnwick

// Outputs whose full buffers a thread writes behind the parse: their bytes and
// order are those of direct writes, and a failed write is never lost.

#include "engine/files.h"
#include "engine/write_behind.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/resource.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string folder(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("tarnwick_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string() + "/";
}

TEST(WriteBehind, FilesSharingTheWriterGetTheirBytesInOrder) {
    const std::string dir = folder("write_behind");
    const std::string sourcePath = dir + "source";
    std::mt19937 random(3);
    Bytes sourceBytes(300000);
    for (uint8_t& b : sourceBytes)
        b = uint8_t(random());
    std::ofstream(sourcePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(sourceBytes.data()),
               std::streamsize(sourceBytes.size()));
    SourceFile source(sourcePath);

    const auto writer = std::make_shared<WriteBehind>();
    OutputFile a(dir + "a", 4096), b(dir + "b", 1000);
    a.writeBehind(writer);
    b.writeBehind(writer);
    Bytes wantA, wantB;
    // Pieces below, at and above the buffer sizes, and a kernel copy between
    // buffered writes.
    for (int k = 0; k < 400; ++k) {
        const size_t length = random() % 5000;
        const size_t at = random() % (sourceBytes.size() - length);
        const uint8_t* piece = sourceBytes.data() + at;
        OutputFile& out = k % 3 ? a : b;
        Bytes& want = k % 3 ? wantA : wantB;
        if (k % 50 == 7)
            out.copyFrom(source, int64_t(at), piece, length);
        else
            out.write(piece, length);
        want.insert(want.end(), piece, piece + length);
    }
    a.close();
    b.close();
    EXPECT_EQ(contents(dir + "a"), wantA);
    EXPECT_EQ(contents(dir + "b"), wantB);
}

TEST(WriteBehind, AFailedWriteIsRaisedByALaterWriteOrTheCloseAndTheBytesBeforeItStay) {
    // A file size limit makes the write past it fail with EFBIG, as a full
    // disk fails with ENOSPC.
    const std::string dir = folder("write_behind_limit");
    constexpr rlim_t Limit = 10000;
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = Limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    Bytes written;
    std::string error, closeError;
    {
        OutputFile out(dir + "limited", 4096);
        out.writeBehind(std::make_shared<WriteBehind>());
        try {
            for (int k = 0; k < 100; ++k) {
                const Bytes piece(1500, uint8_t(k));
                out.write(piece.data(), piece.size());
                written.insert(written.end(), piece.begin(), piece.end());
            }
            out.close();
        } catch (const FileError& e) {
            error = e.what();
        }
        // The close after the failure keeps what was written as partial and
        // says so.
        try {
            out.close();
        } catch (const FileError& e) {
            closeError = e.what();
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Write error on \"" + dir + "limited\". File too large");
    EXPECT_EQ(closeError, error + ". \"" + dir +
                              "limited\" stays as it was; what was written is kept in \"" + dir +
                              "limited.partial\".");
    EXPECT_FALSE(std::filesystem::exists(dir + "limited"));
    const Bytes kept = contents(dir + "limited.partial");
    EXPECT_EQ(kept.size(), Limit);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), written.begin()));
}

} // namespace
} // namespace tarnwick

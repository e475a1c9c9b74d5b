#pragma once
// Reading ahead: threads of their own read the next chunks of a source into a
// small ring while the caller parses the current one, so that the copy out of
// the page cache or the wait for the disk overlaps the parse. Several threads
// may take turns, chunk by chunk: a copy out of the page cache runs at the
// speed of one processor, and one copying thread alone can fall behind a
// parse that runs beside it. The chunks come out in file order with the same
// lengths, and a read error or a file that shrank is raised at the same chunk,
// as reading them one at a time would: a chunk read ahead is checked against
// the file's size when it is handed out.

#include "engine/files.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {

class ChunkReader {
public:
    // Reads `in` from its position to its size in reads of `chunkSize` bytes
    // into buffers of `bufferSize` (>= chunkSize) bytes, whose bytes after the
    // data are zero; `depth` chunks are read ahead at most, by `readers`
    // threads (at most `depth`). `in` is not touched by the caller until the
    // reader is destroyed.
    ChunkReader(SourceFile& in, size_t chunkSize, size_t bufferSize, int depth = 4,
                int readers = 1);
    // Stops reading ahead, waits for the thread and leaves the source's
    // position after the last chunk handed out, as reading one chunk at a
    // time would.
    ~ChunkReader();
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    struct Chunk {
        int64_t start = 0; // source position of the chunk's first byte
        size_t length = 0; // bytes read (less than chunkSize only at the end)
        int64_t end() const { return start + int64_t(length); }
    };

    // Hands over the next chunk by swapping its buffer with `buffer` (which
    // must be `bufferSize` bytes; the reader fills it again later). False at
    // the end of the source. Raises the chunk's read error.
    bool next(std::vector<uint8_t>& buffer, Chunk& chunk);

private:
    struct Slot {
        std::vector<uint8_t> bytes;
        Chunk chunk;
        std::exception_ptr error;
        bool last = false;   // the source ends before this slot
        bool filled = false; // ready to be handed out
    };

    // Reads chunks number `first`, `first + stride`, ... into their slots.
    void readAhead(int64_t first, int64_t stride);
    void stopThreads();

    SourceFile& in_;
    size_t chunkSize_;
    int64_t start_; // where chunk 0 starts
    // Chunk number k is read into slot k % ring_.size() once chunk k - ring
    // size was handed out.
    std::vector<Slot> ring_;
    std::mutex mutex_;
    std::condition_variable filledOne_, freedOne_;
    int64_t handedOut_ = 0; // chunks handed out
    // Slots freed since the reading threads were last woken: they are woken
    // for half a ring at a time, or before the caller waits, as each wake-up
    // is a system call on the parsing thread.
    int64_t freedUnannounced_ = 0;
    bool stop_ = false;
    // The caller's: where the chunks handed out end; where the file ends when
    // it was found cut (raised at the next chunk).
    int64_t handedOutEnd_;
    int64_t shrankAt_ = -1;
    std::vector<std::thread> threads_; // last: they start once the members above exist
};

} // namespace tarnwick

#pragma once
// Writing behind: a thread of its own writes the full buffers of output files
// while the caller goes on parsing, so that the copy into the page cache
// overlaps the parse instead of following it. Blocks are written in the order
// they were handed over, so the blocks of one file keep their order.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace tarnwick {

// Writes all `count` bytes to `fd`; returns 0, or the errno of the write that
// failed (the bytes written before it stay written).
int writeAll(int fd, const uint8_t* data, size_t count);

class WriteBehind {
public:
    WriteBehind();
    // Writes the blocks still queued, then ends the thread.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues a block; the caller leaves its bytes untouched until the
    // result (writeAll's) is ready.
    std::future<int> submit(int fd, const uint8_t* data, size_t count);

private:
    struct Block {
        int fd;
        const uint8_t* data;
        size_t count;
        std::promise<int> done;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Block> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace tarnwick

#include "engine/write_behind.h"

#include <cerrno>
#include <unistd.h>

namespace tarnwick {

int writeAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += put;
        count -= static_cast<size_t>(put);
    }
    return 0;
}

WriteBehind::WriteBehind() : thread_([this] { run(); }) {}

WriteBehind::~WriteBehind() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

std::future<int> WriteBehind::submit(int fd, const uint8_t* data, size_t count) {
    std::future<int> result;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Block{fd, data, count, {}});
        result = queue_.back().done.get_future();
    }
    wake_.notify_one();
    return result;
}

void WriteBehind::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return; // stopping, and nothing left to write
        Block block = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        block.done.set_value(writeAll(block.fd, block.data, block.count));
        lock.lock();
    }
}

} // namespace tarnwick

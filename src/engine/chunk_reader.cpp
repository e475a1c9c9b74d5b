#include "engine/chunk_reader.h"

#include <algorithm>

namespace tarnwick {

ChunkReader::ChunkReader(SourceFile& in, size_t chunkSize, size_t bufferSize, int depth,
                         int readers)
    : in_(in), chunkSize_(chunkSize), start_(in.position()), ring_(size_t(std::max(depth, 1))),
      handedOutEnd_(in.position()) {
    for (Slot& slot : ring_)
        slot.bytes.assign(bufferSize, 0);
    const int64_t stride = std::clamp<int64_t>(readers, 1, int64_t(ring_.size()));
    try {
        for (int64_t first = 0; first < stride; ++first)
            threads_.emplace_back([this, first, stride] { readAhead(first, stride); });
    } catch (...) {
        // A thread the system would not start: the ones started are stopped
        // before the error goes on, as no destructor will stop them.
        stopThreads();
        throw;
    }
}

void ChunkReader::stopThreads() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    freedOne_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

ChunkReader::~ChunkReader() {
    stopThreads();
    in_.seek(handedOutEnd_);
}

void ChunkReader::readAhead(int64_t first, int64_t stride) {
    const auto ringSize = int64_t(ring_.size());
    for (int64_t number = first;; number += stride) {
        Slot& slot = ring_[size_t(number % ringSize)];
        {
            std::unique_lock lock(mutex_);
            freedOne_.wait(lock, [&] { return stop_ || number < handedOut_ + ringSize; });
            if (stop_) return;
        }
        // The slot is this thread's alone until it is marked filled.
        slot.chunk.start = start_ + number * int64_t(chunkSize_);
        slot.chunk.length = 0;
        slot.error = nullptr;
        slot.last = slot.chunk.start >= in_.size();
        if (!slot.last) {
            try {
                if (slot.bytes.size() < chunkSize_) slot.bytes.resize(chunkSize_);
                slot.chunk.length = in_.readAt(slot.bytes.data(), chunkSize_, slot.chunk.start);
                // Parsers reading past the data see zeros.
                std::fill(slot.bytes.begin() + ptrdiff_t(slot.chunk.length), slot.bytes.end(),
                          uint8_t(0));
                slot.last = slot.chunk.length == 0;
            } catch (...) {
                slot.error = std::current_exception();
            }
        }
        const bool done = slot.last || slot.error;
        {
            std::lock_guard lock(mutex_);
            slot.filled = true;
        }
        filledOne_.notify_one();
        if (done) return;
    }
}

bool ChunkReader::next(std::vector<uint8_t>& buffer, Chunk& chunk) {
    if (shrankAt_ >= 0) throw in_.shrankAt(shrankAt_);
    std::unique_lock lock(mutex_);
    Slot& slot = ring_[size_t(handedOut_ % int64_t(ring_.size()))];
    if (!slot.filled && freedUnannounced_ > 0) {
        freedUnannounced_ = 0;
        freedOne_.notify_all();
    }
    filledOne_.wait(lock, [&] { return slot.filled; });
    // The end and the error stay in their slot: asking again gives them again.
    if (slot.error) std::rethrow_exception(slot.error);
    if (slot.last) return false;
    chunk = slot.chunk;
    buffer.swap(slot.bytes);
    slot.filled = false;
    ++handedOut_;
    const bool announce = ++freedUnannounced_ >= std::max<int64_t>(int64_t(ring_.size()) / 2, 1);
    if (announce) freedUnannounced_ = 0;
    lock.unlock();
    if (announce) freedOne_.notify_all(); // the threads of the freed slots, whichever they are
    // A chunk cut short by the file's end before the size it had at opening:
    // the file ends there, whatever the chunks after it were read as.
    if (chunk.length < chunkSize_ && chunk.end() < in_.size()) shrankAt_ = chunk.end();
    // A file cut after its chunk was read ahead: what reading now would give,
    // a short chunk or the error, also for the bytes already in memory.
    const int64_t size = in_.currentSize();
    if (size < chunk.end()) {
        if (size <= chunk.start) {
            shrankAt_ = chunk.start;
            throw in_.shrankAt(shrankAt_);
        }
        chunk.length = size_t(size - chunk.start);
        std::fill(buffer.begin() + ptrdiff_t(chunk.length), buffer.end(), uint8_t(0));
        shrankAt_ = size;
    }
    handedOutEnd_ = chunk.end();
    return true;
}

} // namespace tarnwick

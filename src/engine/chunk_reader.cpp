#include "engine/chunk_reader.h"

#include <algorithm>

namespace tarnwick {

ChunkReader::ChunkReader(SourceFile& in, size_t chunkSize, size_t bufferSize, int depth)
    : in_(in), chunkSize_(chunkSize), ring_(size_t(std::max(depth, 1))),
      handedOutEnd_(in.position()) {
    for (Slot& slot : ring_)
        slot.bytes.assign(bufferSize, 0);
    thread_ = std::thread([this] { readAhead(); });
}

ChunkReader::~ChunkReader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    freedOne_.notify_all();
    thread_.join();
    try {
        if (in_.position() != handedOutEnd_) in_.seek(handedOutEnd_);
    } catch (const FileError&) {} // the source is read no further anyway
}

void ChunkReader::readAhead() {
    size_t tail = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            freedOne_.wait(lock, [&] { return stop_ || filled_ < ring_.size(); });
            if (stop_) return;
        }
        // The slot at the tail is the reader's alone until it is counted as
        // filled.
        Slot& slot = ring_[tail];
        slot.chunk.start = in_.position();
        slot.chunk.length = 0;
        slot.last = slot.chunk.start >= in_.size();
        if (!slot.last) {
            try {
                if (slot.bytes.size() < chunkSize_) slot.bytes.resize(chunkSize_);
                slot.chunk.length = in_.read(slot.bytes.data(), chunkSize_);
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
            ++filled_;
        }
        filledOne_.notify_one();
        if (done) return;
        tail = (tail + 1) % ring_.size();
    }
}

bool ChunkReader::next(std::vector<uint8_t>& buffer, Chunk& chunk) {
    if (shrankAt_ >= 0) throw in_.shrankAt(shrankAt_);
    std::unique_lock lock(mutex_);
    filledOne_.wait(lock, [&] { return filled_ > 0; });
    Slot& slot = ring_[head_];
    // The end and the error stay in their slot: asking again gives them again.
    if (slot.error) std::rethrow_exception(slot.error);
    if (slot.last) return false;
    chunk = slot.chunk;
    buffer.swap(slot.bytes);
    head_ = (head_ + 1) % ring_.size();
    --filled_;
    lock.unlock();
    freedOne_.notify_one();
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

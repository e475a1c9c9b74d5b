#pragma once
// A file in memory (memfd) that the commands open by path like any source:
// the fuzz inputs reach the engine, Rebuild and the playlist reader through
// the same SourceFile reads as a file on disc, holes and all.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace tarnwick::fuzz {

class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("tarnwick-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) throw std::runtime_error("memfd_create failed");
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents by `size` bytes at file offset `at`; the bytes in
    // front of them are a hole that reads as zeros.
    void assign(const uint8_t* data, size_t size, int64_t at = 0) {
        if (::ftruncate(fd_, 0) != 0 || ::ftruncate(fd_, at + int64_t(size)) != 0)
            throw std::runtime_error("ftruncate failed");
        size_t done = 0;
        while (done < size) {
            const ssize_t put = ::pwrite(fd_, data + done, size - done, at + int64_t(done));
            if (put <= 0) throw std::runtime_error("pwrite failed");
            done += size_t(put);
        }
    }
    // A path that opens the same contents.
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

} // namespace tarnwick::fuzz

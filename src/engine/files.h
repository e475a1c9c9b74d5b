#pragma once
// Source files read in large sequential blocks and output files written
// through a buffer of their own. Failures raise FileError with the system's
// message.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An existing file opened for reading; size and position are 64-bit.
class SourceFile {
public:
    explicit SourceFile(const std::string& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    int64_t size() const { return size_; }
    int64_t position() const { return position_; }
    const std::string& path() const { return path_; }
    // Reads up to count bytes; returns the number read (0 at the end).
    size_t read(void* buffer, size_t count);
    // Moves the position, for the next read.
    void seek(int64_t position);
    // For copies inside the kernel at explicit positions.
    int descriptor() const { return fd_; }
    // The file's size now (it may have shrunk since it was opened); the size
    // at opening when it cannot be told.
    int64_t currentSize() const;
    // The error of a read at `position` that finds the file ended there.
    FileError shrankAt(int64_t position) const;

private:
    std::string path_;
    int fd_ = -1;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// A file created (replacing an existing one) and written sequentially.
class OutputFile {
public:
    explicit OutputFile(const std::string& path, size_t bufferSize = 1 << 20);
    ~OutputFile(); // closes; errors at this point are swallowed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends all bytes or raises FileError.
    void write(const void* data, size_t count);
    // Appends bytes that the caller keeps unchanged until the next flush():
    // they go out in place, together with the buffer, in one writev.
    void writeLater(const void* data, size_t count);
    // Appends bytes [offset, offset + count) of `source`, which `bytes` holds
    // too: the kernel copies them from file to file where it can, the rest is
    // written from `bytes`.
    void copyFrom(const SourceFile& source, int64_t offset, const void* bytes, size_t count);
    void flush();
    // Flushes and closes; raises FileError when the last bytes cannot be written.
    void close();
    const std::string& path() const { return path_; }
    int64_t written() const { return written_; }

private:
    // A byte range waiting for the next flush: the caller's bytes, or (data
    // null) bytes of the buffer, which keep the order of write() calls made
    // between writeLater() calls.
    struct Piece {
        const uint8_t* data;
        size_t bufferOffset;
        size_t count;
    };

    void writeThrough(const uint8_t* data, size_t count);
    void writePieces();
    void startWriteBack(size_t count);

    std::string path_;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    int64_t written_ = 0;
    std::vector<Piece> pieces_;
    bool kernelCopy_ = true; // until the file systems refuse it
};

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

} // namespace tarnwick

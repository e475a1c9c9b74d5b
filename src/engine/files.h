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
    void flush();
    // Flushes and closes; raises FileError when the last bytes cannot be written.
    void close();
    const std::string& path() const { return path_; }
    int64_t written() const { return written_; }

private:
    void writeThrough(const uint8_t* data, size_t count);

    std::string path_;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    int64_t written_ = 0;
};

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

} // namespace tarnwick

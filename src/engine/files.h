#pragma once
// Source files read in large sequential blocks and output files written
// through a buffer of their own. Failures raise FileError with the system's
// message.
//
// An output never writes through the name it is given: its bytes go into a
// new file of its own next to it, which replaces the name when the output is
// closed. So a link, a source or a hard-linked file that stands at that name
// is never changed.

#include <cstdint>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick {

class WriteBehind;

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An existing regular file opened for reading; size and position are 64-bit.
// Pipes, devices and folders are refused at once, without waiting for a
// writer at the other end of a pipe. A source may also be several files read
// as one byte stream (a DVD title's VOB parts, cut anywhere).
class SourceFile {
public:
    explicit SourceFile(const std::string& path);
    explicit SourceFile(const std::vector<std::string>& paths);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    int64_t size() const { return size_; }
    int64_t position() const { return position_; }
    // The first file's path.
    const std::string& path() const { return parts_.front().path; }
    size_t partCount() const { return parts_.size(); }
    // Reads up to count bytes; returns the number read (0 at the end).
    size_t read(void* buffer, size_t count);
    // The same at `position`, without moving the position: several threads
    // may read at once.
    size_t readAt(void* buffer, size_t count, int64_t position) const;
    // Moves the position, for the next read.
    void seek(int64_t position);
    // The file that holds `position`, for copies inside the kernel: its
    // descriptor, the position in it and the bytes of it from there on.
    struct Place {
        int descriptor = -1;
        int64_t offset = 0;
        int64_t left = 0;
    };
    Place placeOf(int64_t position) const;
    // The source's size now (a file may have shrunk since it was opened,
    // which ends the source there); the size at opening when it cannot be
    // told.
    int64_t currentSize() const;
    // The error of a read at `position` that finds the source ended there.
    FileError shrankAt(int64_t position) const;

private:
    struct Part {
        std::string path;
        int fd = -1;
        int64_t start = 0; // in the source
        int64_t size = 0;
    };
    void open(const std::string& path);
    const Part& partOf(int64_t position) const;

    std::vector<Part> parts_;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// A file written sequentially into a new file of its own in the folder of
// `path`, which is renamed over `path` when the output is closed (replacing
// whatever stood there, a link included, without following it). The folder
// is held open, so that the file takes its name in it even when the folder
// is moved or renamed meanwhile.
//
// An output of a run that failed, or whose writes failed, never takes its
// name: what was written is kept as "<path>.partial" and the file at `path`
// stays as it was. An output into which nothing was written is discarded.
class OutputFile {
public:
    explicit OutputFile(const std::string& path, size_t bufferSize = 1 << 20);
    // Unclosed at the end of its life (the run failed): kept as partial, as
    // closePartial() does, errors swallowed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends all bytes or raises FileError.
    void write(const void* data, size_t count);
    // Appends bytes [offset, offset + count) of `source`, which `bytes` holds
    // too: the kernel copies them from file to file where it can, the rest is
    // written from `bytes`.
    void copyFrom(const SourceFile& source, int64_t offset, const void* bytes, size_t count);
    void flush();
    // Flushes, closes and puts the file at its name. When a write failed,
    // now or before, the file is kept as partial instead and FileError
    // raised, naming where what was written went.
    void close();
    // The end of an output of a failed run: flushed as far as it goes and
    // kept as "<path>.partial", replacing an earlier partial file but never
    // the file at `path`. Returns that name; empty when nothing was kept
    // (nothing written, or the partial name holds a folder, a device, a pipe
    // or a socket: the bytes are then removed). Raises nothing.
    std::string closePartial();
    // Removes the file of its own without touching `path`.
    void discard();
    const std::string& path() const { return path_; }
    int64_t written() const { return written_; }
    // Once closed: where the bytes are (`path`, or its partial name); empty
    // when nothing was kept.
    const std::string& keptAs() const { return keptAs_; }
    // From now on a full buffer is handed to `writer` and filled again in a
    // second buffer; a failed write is raised by the next flush or close.
    void writeBehind(std::shared_ptr<WriteBehind> writer);

private:
    void writeThrough(const uint8_t* data, size_t count);
    void settle();                         // waits for the block written behind; raises its error
    [[noreturn]] void fail(int error);     // a failed write: raises it, the output now partial
    void finishWrites(std::string& error); // flushes, settles; the first error
    std::string keepPartial();             // the own file as partial, or removed
    bool isOwnFile() const;                // the new file is still at its own name
    std::string joinedOwnPath() const;
    void closeFolder();

    std::string path_;
    std::string name_;    // the file-name part of path_
    std::string ownName_; // the new file's name in the folder; it takes `name_` at close
    int folder_ = -1;     // the folder of path_, held open
    int fd_ = -1;
    uint64_t device_ = 0; // of the new file
    uint64_t inode_ = 0;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    int64_t written_ = 0;
    bool failed_ = false;    // a write failed: the output can only be partial
    std::string firstError_; // its message
    std::string keptAs_;
    bool kernelCopy_ = true; // until the file systems refuse it
    std::shared_ptr<WriteBehind> writer_;
    std::vector<uint8_t> behind_; // the block being written behind
    std::future<int> pending_;    // its result
};

// The name under which a failed run keeps what it wrote of an output.
std::string partialName(const std::string& path);

// Why a file at `path` must not be replaced by an output (a folder, a device,
// a pipe, a socket), as the end of a message; empty when nothing is there or
// a regular file or a link is, which an output replaces.
std::string notReplaceable(const std::string& path);
// The same for `name` in the folder open at descriptor `folder`.
std::string notReplaceableAt(int folder, const std::string& name);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

} // namespace tarnwick

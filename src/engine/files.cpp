#include "engine/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// Bounded by the system's limit of ranges per writev (IOV_MAX, 1024).
constexpr size_t MaxPieces = 1024;

std::string systemMessage(int error) {
    return std::strerror(error);
}

} // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw FileError("Cannot open file \"" + path + "\". " + systemMessage(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno ? errno : EINVAL;
        ::close(fd_);
        fd_ = -1;
        throw FileError("Cannot open file \"" + path + "\". " + systemMessage(error));
    }
    size_ = static_cast<int64_t>(st.st_size);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

SourceFile::~SourceFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t SourceFile::read(void* buffer, size_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd_, out + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError("Read error on \"" + path_ + "\". " + systemMessage(errno));
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    // A file that shrank while it is read: the bytes still there are handed
    // out; the read after them fails, so that the command reports the loss
    // instead of ending as if the file were complete.
    if (done == 0 && count > 0 && position_ < size_) throw shrankAt(position_);
    position_ += static_cast<int64_t>(done);
    return done;
}

void SourceFile::seek(int64_t position) {
    if (::lseek(fd_, off_t(position), SEEK_SET) < 0)
        throw FileError("Read error on \"" + path_ + "\". " + systemMessage(errno));
    position_ = position;
}

int64_t SourceFile::currentSize() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : size_;
}

FileError SourceFile::shrankAt(int64_t position) const {
    return FileError("Read error on \"" + path_ + "\". The file shrank while it was read: it " +
                     "ends at byte " + std::to_string(position) + " of " + std::to_string(size_) +
                     ".");
}

OutputFile::OutputFile(const std::string& path, size_t bufferSize)
    : path_(path), buffer_(bufferSize) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw FileError("Cannot create file \"" + path + "\". " + systemMessage(errno));
}

OutputFile::~OutputFile() {
    try {
        close();
    } catch (const FileError&) {}
}

void OutputFile::writeThrough(const uint8_t* data, size_t count) {
    const size_t total = count;
    while (count > 0) {
        const ssize_t put = ::write(fd_, data, count);
        if (put < 0) {
            if (errno == EINTR) continue;
            throw FileError("Write error on \"" + path_ + "\". " + systemMessage(errno));
        }
        data += put;
        count -= static_cast<size_t>(put);
    }
    startWriteBack(total);
}

void OutputFile::startWriteBack([[maybe_unused]] size_t count) {
#ifdef SYNC_FILE_RANGE_WRITE
    // Start the disk writes of the block now, without waiting for them: they
    // then go on while the source is parsed, instead of piling up gigabytes
    // of dirty pages that are written only at the end. Pipes and devices
    // have no position or refuse, and are left alone.
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (end >= off_t(count))
        ::sync_file_range(fd_, end - off_t(count), off_t(count), SYNC_FILE_RANGE_WRITE);
#endif
}

void OutputFile::write(const void* data, size_t count) {
    if (fd_ < 0) throw FileError("Write error on \"" + path_ + "\". File not open");
    const auto* bytes = static_cast<const uint8_t*>(data);
    written_ += static_cast<int64_t>(count);
    if (used_ + count <= buffer_.size()) {
        std::memcpy(buffer_.data() + used_, bytes, count);
        if (!pieces_.empty()) {
            Piece& last = pieces_.back();
            if (last.data == nullptr && last.bufferOffset + last.count == used_)
                last.count += count;
            else
                pieces_.push_back({nullptr, used_, count});
        }
        used_ += count;
        if (pieces_.size() >= MaxPieces) flush();
        return;
    }
    flush();
    if (count >= buffer_.size()) {
        writeThrough(bytes, count);
    } else {
        std::memcpy(buffer_.data(), bytes, count);
        used_ = count;
    }
}

void OutputFile::writeLater(const void* data, size_t count) {
    if (fd_ < 0) throw FileError("Write error on \"" + path_ + "\". File not open");
    if (count == 0) return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    written_ += static_cast<int64_t>(count);
    if (pieces_.empty() && used_ > 0) pieces_.push_back({nullptr, 0, used_});
    if (!pieces_.empty() && pieces_.back().data != nullptr &&
        pieces_.back().data + pieces_.back().count == bytes)
        pieces_.back().count += count;
    else
        pieces_.push_back({bytes, 0, count});
    if (pieces_.size() >= MaxPieces) flush();
}

void OutputFile::copyFrom(const SourceFile& source, int64_t offset, const void* bytes,
                          size_t count) {
    if (fd_ < 0) throw FileError("Write error on \"" + path_ + "\". File not open");
    flush();
    written_ += static_cast<int64_t>(count);
    size_t copied = 0;
    loff_t from = offset; // the source's own position is the reader's, left alone
    while (kernelCopy_ && copied < count) {
        const ssize_t put =
            ::copy_file_range(source.descriptor(), &from, fd_, nullptr, count - copied, 0);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            // Another file system, an old kernel: no kernel copy from now on.
            // Any other failure (a source that shrank, a full disk) is left
            // to the write of the rest, which reports what it meets.
            if (put < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                            errno == EINVAL || errno == EBADF))
                kernelCopy_ = false;
            break;
        }
        copied += static_cast<size_t>(put);
    }
    if (copied > 0) startWriteBack(copied);
    if (copied < count) writeThrough(static_cast<const uint8_t*>(bytes) + copied, count - copied);
}

void OutputFile::writePieces() {
    std::vector<iovec> ranges;
    ranges.reserve(pieces_.size());
    size_t total = 0;
    for (const Piece& piece : pieces_) {
        const uint8_t* data = piece.data ? piece.data : buffer_.data() + piece.bufferOffset;
        ranges.push_back({const_cast<uint8_t*>(data), piece.count});
        total += piece.count;
    }
    // A failed write is reported once, not again at close.
    pieces_.clear();
    used_ = 0;
    size_t first = 0;
    while (first < ranges.size()) {
        const ssize_t put = ::writev(fd_, ranges.data() + first, int(ranges.size() - first));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw FileError("Write error on \"" + path_ + "\". " + systemMessage(errno));
        }
        size_t left = static_cast<size_t>(put);
        while (first < ranges.size() && left >= ranges[first].iov_len)
            left -= ranges[first++].iov_len;
        if (left > 0) { // a partial range: its rest goes with the next call
            ranges[first].iov_base = static_cast<uint8_t*>(ranges[first].iov_base) + left;
            ranges[first].iov_len -= left;
        }
    }
    startWriteBack(total);
}

void OutputFile::flush() {
    if (fd_ < 0) return;
    if (!pieces_.empty()) return writePieces();
    if (used_ == 0) return;
    const size_t pending = used_;
    used_ = 0; // a failed write is reported once, not again at close
    writeThrough(buffer_.data(), pending);
}

void OutputFile::close() {
    if (fd_ < 0) return;
    try {
        flush();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0 && errno != EINTR)
        throw FileError("Write error on \"" + path_ + "\". " + systemMessage(errno));
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace tarnwick

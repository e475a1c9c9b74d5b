#include "engine/files.h"

#include "engine/write_behind.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

std::string systemMessage(int error) {
    return std::strerror(error);
}

std::string notRegularMessage(mode_t mode) {
    if (S_ISDIR(mode)) return systemMessage(EISDIR);
    const char* kind = S_ISFIFO(mode)                   ? "a pipe (FIFO)"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "not a plain file";
    return std::string("It is not a regular file but ") + kind + ".";
}

// A name of its own for the new file: hidden, with a random part, and ending
// in a nine-letter extension that no output name uses. The final name's start
// is kept short so that the name stays within the file system's limit.
std::string ownName(const std::string& path, uint32_t random) {
    const size_t slash = path.find_last_of('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    char tail[24];
    std::snprintf(tail, sizeof tail, ".%08x.tarnwick~", random);
    std::string name(1, '.');
    name.append(path, start, 80);
    name.append(tail);
    return name;
}

} // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
    // Without O_NONBLOCK, opening a pipe would wait for a writer forever.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) throw FileError("Cannot open file \"" + path + "\". " + systemMessage(errno));
    struct stat st {};
    std::string refusal;
    if (::fstat(fd_, &st) != 0)
        refusal = systemMessage(errno);
    else if (!S_ISREG(st.st_mode))
        refusal = notRegularMessage(st.st_mode);
    else if (const int flags = ::fcntl(fd_, F_GETFL);
             flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
        refusal = systemMessage(errno);
    if (!refusal.empty()) {
        ::close(fd_);
        fd_ = -1;
        throw FileError("Cannot open file \"" + path + "\". " + refusal);
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
    const size_t done = readAt(buffer, count, position_);
    position_ += static_cast<int64_t>(done);
    return done;
}

size_t SourceFile::readAt(void* buffer, size_t count, int64_t position) const {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd_, out + done, count - done, off_t(position + static_cast<int64_t>(done)));
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
    if (done == 0 && count > 0 && position < size_) throw shrankAt(position);
    return done;
}

void SourceFile::seek(int64_t position) {
    position_ = position; // reads are made at the position, not at the descriptor's
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
    const auto refuse = [&](int error) {
        throw FileError("Cannot create file \"" + path + "\". " + systemMessage(error));
    };
    // A folder at the name could not be replaced at close, and a device, a
    // pipe or a socket there is no earlier output but something else's (as
    // root, the rename would even replace /dev/null): refuse them now, before
    // anything is written. A regular file or a link is replaced at close.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        throw FileError("Cannot create file \"" + path + "\". " + notRegularMessage(st.st_mode));
    std::random_device random;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const size_t slash = path.find_last_of('/');
        ownPath_ = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                   ownName(path, random());
        fd_ = ::open(ownPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt >= 100)) refuse(errno);
    }
    struct stat own {};
    ::fstat(fd_, &own);
    device_ = static_cast<uint64_t>(own.st_dev);
    inode_ = static_cast<uint64_t>(own.st_ino);
}

bool OutputFile::isOwnFile() const {
    struct stat named {};
    return ::lstat(ownPath_.c_str(), &named) == 0 &&
           static_cast<uint64_t>(named.st_dev) == device_ &&
           static_cast<uint64_t>(named.st_ino) == inode_;
}

OutputFile::~OutputFile() {
    try {
        if (written_ == 0)
            discard();
        else
            close();
    } catch (const FileError&) {}
}

void OutputFile::writeThrough(const uint8_t* data, size_t count) {
    settle(); // the block written behind comes first
    if (const int error = writeAll(fd_, data, count))
        throw FileError("Write error on \"" + path_ + "\". " + systemMessage(error));
}

void OutputFile::writeBehind(std::shared_ptr<WriteBehind> writer) {
    writer_ = std::move(writer);
}

void OutputFile::settle() {
    if (!pending_.valid()) return;
    if (const int error = pending_.get())
        throw FileError("Write error on \"" + path_ + "\". " + systemMessage(error));
}

void OutputFile::write(const void* data, size_t count) {
    if (fd_ < 0) throw FileError("Write error on \"" + path_ + "\". File not open");
    const auto* bytes = static_cast<const uint8_t*>(data);
    written_ += static_cast<int64_t>(count);
    if (used_ + count <= buffer_.size()) {
        std::memcpy(buffer_.data() + used_, bytes, count);
        used_ += count;
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

void OutputFile::copyFrom(const SourceFile& source, int64_t offset, const void* bytes,
                          size_t count) {
    if (fd_ < 0) throw FileError("Write error on \"" + path_ + "\". File not open");
    flush();
    settle();
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
    if (copied < count) writeThrough(static_cast<const uint8_t*>(bytes) + copied, count - copied);
}

void OutputFile::flush() {
    if (fd_ < 0) return;
    if (used_ == 0) return;
    const size_t pending = used_;
    used_ = 0; // a failed write is reported once, not again at close
    if (!writer_) return writeThrough(buffer_.data(), pending);
    settle();
    behind_.resize(buffer_.size());
    std::swap(buffer_, behind_);
    pending_ = writer_->submit(fd_, behind_.data(), pending);
}

void OutputFile::close() {
    if (fd_ < 0) return;
    std::string error;
    try {
        flush();
        settle();
    } catch (const FileError& e) {
        error = e.what();
    }
    writer_.reset();
    const int result = ::close(fd_);
    if (result != 0 && errno != EINTR && error.empty())
        error = "Write error on \"" + path_ + "\". " + systemMessage(errno);
    fd_ = -1;
    // Whatever was written takes the name, also after a failed write; but
    // only while the new file is still the one this output created.
    if (!isOwnFile()) {
        if (error.empty())
            error = "Write error on \"" + path_ + "\". The file being written, \"" + ownPath_ +
                    "\", was removed or replaced.";
    } else if (::rename(ownPath_.c_str(), path_.c_str()) != 0 && error.empty()) {
        error = "Cannot create file \"" + path_ + "\". " + systemMessage(errno) +
                ". What was written is kept in \"" + ownPath_ + "\".";
    }
    if (!error.empty()) throw FileError(error);
}

void OutputFile::discard() {
    if (fd_ < 0) return;
    if (pending_.valid()) pending_.wait();
    writer_.reset();
    ::close(fd_);
    fd_ = -1;
    if (isOwnFile()) ::unlink(ownPath_.c_str());
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

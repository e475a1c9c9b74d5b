#include "engine/files.h"

#include "engine/write_behind.h"

#include <algorithm>
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

SourceFile::SourceFile(const std::string& path) : SourceFile(std::vector<std::string>{path}) {}

SourceFile::SourceFile(const std::vector<std::string>& paths) {
    try {
        for (const std::string& path : paths)
            open(path);
    } catch (...) {
        for (const Part& part : parts_)
            ::close(part.fd);
        throw;
    }
    if (parts_.empty()) throw FileError("Cannot open file \"\". No file given.");
}

void SourceFile::open(const std::string& path) {
    // Without O_NONBLOCK, opening a pipe would wait for a writer forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) throw FileError("Cannot open file \"" + path + "\". " + systemMessage(errno));
    struct stat st {};
    std::string refusal;
    if (::fstat(fd, &st) != 0)
        refusal = systemMessage(errno);
    else if (!S_ISREG(st.st_mode))
        refusal = notRegularMessage(st.st_mode);
    else if (const int flags = ::fcntl(fd, F_GETFL);
             flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        refusal = systemMessage(errno);
    if (!refusal.empty()) {
        ::close(fd);
        throw FileError("Cannot open file \"" + path + "\". " + refusal);
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    parts_.push_back({path, fd, size_, static_cast<int64_t>(st.st_size)});
    size_ += parts_.back().size;
}

SourceFile::~SourceFile() {
    for (const Part& part : parts_)
        ::close(part.fd);
}

const SourceFile::Part& SourceFile::partOf(int64_t position) const {
    for (const Part& part : parts_)
        if (position < part.start + part.size) return part;
    return parts_.back();
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
        const int64_t at = position + static_cast<int64_t>(done);
        const Part& part = partOf(at);
        const bool lastPart = &part == &parts_.back();
        // A part is read up to the size it had at opening, the last one to
        // its end: a part that grew does not push the next one back.
        const int64_t inPart = at - part.start;
        const size_t wanted =
            lastPart ? count - done
                     : static_cast<size_t>(std::min<int64_t>(int64_t(count - done),
                                                             part.size - inPart));
        if (wanted == 0) break;
        const ssize_t got = ::pread(part.fd, out + done, wanted, off_t(inPart));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError("Read error on \"" + part.path + "\". " + systemMessage(errno));
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
        // A part that ends before its size at opening ends the source there.
        if (!lastPart && size_t(got) < wanted && inPart + got < part.size) break;
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

SourceFile::Place SourceFile::placeOf(int64_t position) const {
    const Part& part = partOf(position);
    const int64_t offset = position - part.start;
    return {part.fd, offset, std::max<int64_t>(part.size - offset, 0)};
}

int64_t SourceFile::currentSize() const {
    for (const Part& part : parts_) {
        struct stat st {};
        if (::fstat(part.fd, &st) != 0) continue;
        if (static_cast<int64_t>(st.st_size) < part.size)
            return part.start + static_cast<int64_t>(st.st_size);
    }
    if (parts_.size() == 1) {
        struct stat st {};
        if (::fstat(parts_.front().fd, &st) == 0) return static_cast<int64_t>(st.st_size);
    }
    return size_;
}

FileError SourceFile::shrankAt(int64_t position) const {
    const Part& part = partOf(position);
    return FileError("Read error on \"" + part.path + "\". The file shrank while it was read: " +
                     "it ends at byte " + std::to_string(position - part.start) + " of " +
                     std::to_string(part.size) + ".");
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
    while (kernelCopy_ && copied < count) {
        // The source's own position is the reader's, left alone.
        const SourceFile::Place place = source.placeOf(offset + int64_t(copied));
        loff_t from = place.offset;
        const size_t wanted = std::min<size_t>(count - copied, size_t(std::max<int64_t>(place.left, 0)));
        if (wanted == 0) break;
        const ssize_t put = ::copy_file_range(place.descriptor, &from, fd_, nullptr, wanted, 0);
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

#include "engine/files.h"

#include "engine/leftovers.h"
#include "engine/write_behind.h"

#include <algorithm>
#include <cerrno>
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

// The message of a failure, with what became of the old file and of the
// bytes.
std::string withKeptNote(const std::string& error, const std::string& path,
                         const std::string& kept) {
    return error + (error.back() == '.' ? " \"" : ". \"") + path + "\" stays as it was; " +
           (kept.empty() ? std::string("what was written is removed.")
                         : "what was written is kept in \"" + kept + "\".");
}

} // namespace

OutputFile::OutputFile(const std::string& path, size_t bufferSize)
    : path_(path), buffer_(bufferSize) {
    const auto refuse = [&](const std::string& why) {
        closeFolder();
        throw FileError("Cannot create file \"" + path + "\". " + why);
    };
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name_.empty()) refuse(systemMessage(EISDIR));
    // A descriptor that only names the folder: no right to read it is needed.
    folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) refuse(systemMessage(errno));
    // Refused now, before anything is written; a regular file or a link is
    // replaced at close.
    if (const std::string why = notReplaceableAt(folder_, name_); !why.empty()) refuse(why);
    std::random_device random;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        if (attempt > 100) refuse(systemMessage(EEXIST));
        ownName_ = ownName(name_, random());
        fd_ = ::openat(folder_, ownName_.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            if (errno != EEXIST) refuse(systemMessage(errno));
            continue;
        }
        // A run that took the new file for a leftover before it was locked
        // removes it: another name then.
        if (!holdOwnLock(fd_) || !stillNamed(folder_, ownName_, fd_)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    struct stat own {};
    ::fstat(fd_, &own);
    device_ = static_cast<uint64_t>(own.st_dev);
    inode_ = static_cast<uint64_t>(own.st_ino);
}

OutputFile::~OutputFile() {
    try {
        closePartial();
    } catch (...) {}
    closeFolder();
}

bool OutputFile::isOwnFile() const {
    struct stat named {};
    return ::fstatat(folder_, ownName_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           static_cast<uint64_t>(named.st_dev) == device_ &&
           static_cast<uint64_t>(named.st_ino) == inode_;
}

void OutputFile::closeFolder() {
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
}

void OutputFile::fail(int error) {
    failed_ = true;
    const std::string message = "Write error on \"" + path_ + "\". " + systemMessage(error);
    if (firstError_.empty()) firstError_ = message;
    throw FileError(message);
}

void OutputFile::writeThrough(const uint8_t* data, size_t count) {
    settle(); // the block written behind comes first
    if (const int error = writeAll(fd_, data, count)) fail(error);
}

void OutputFile::writeBehind(std::shared_ptr<WriteBehind> writer) {
    writer_ = std::move(writer);
}

void OutputFile::settle() {
    if (!pending_.valid()) return;
    if (const int error = pending_.get()) fail(error);
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
        const size_t wanted =
            std::min<size_t>(count - copied, size_t(std::max<int64_t>(place.left, 0)));
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

void OutputFile::finishWrites(std::string& error) {
    try {
        flush();
        settle();
    } catch (const FileError& e) {
        if (error.empty()) error = e.what();
    }
    writer_.reset();
    if (error.empty() && failed_) error = firstError_;
}

std::string OutputFile::keepPartial() {
    if (!isOwnFile()) return {};
    const std::string partial = partialName(name_);
    if (written_ > 0 && notReplaceableAt(folder_, partial).empty() &&
        ::renameat(folder_, ownName_.c_str(), folder_, partial.c_str()) == 0)
        return partialName(path_);
    ::unlinkat(folder_, ownName_.c_str(), 0);
    return {};
}

void OutputFile::close() {
    if (fd_ < 0) return;
    std::string error;
    finishWrites(error);
    // Some file systems (NFS) report a failed write-back only when the file
    // is closed: that is learnt through a second descriptor, which keeps the
    // lock until the file has its name.
    const int locked = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (::close(fd_) != 0 && errno != EINTR && error.empty()) {
        failed_ = true;
        error = "Write error on \"" + path_ + "\". " + systemMessage(errno);
    }
    fd_ = locked;
    std::string kept;
    if (error.empty()) {
        // Only while the new file is still the one this output created.
        if (!isOwnFile())
            error = "Write error on \"" + path_ + "\". The file being written, \"" +
                    joinedOwnPath() + "\", was removed or replaced.";
        else if (const std::string why = notReplaceableAt(folder_, name_); !why.empty())
            error = "Cannot create file \"" + path_ + "\". " + why;
        else if (::renameat(folder_, ownName_.c_str(), folder_, name_.c_str()) != 0)
            error = "Cannot create file \"" + path_ + "\". " + systemMessage(errno);
    }
    kept = error.empty() ? path_ : keepPartial();
    keptAs_ = kept;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    closeFolder();
    if (!error.empty()) throw FileError(withKeptNote(error, path_, kept));
}

std::string OutputFile::closePartial() {
    if (fd_ < 0) return {};
    std::string error;
    finishWrites(error);
    const std::string kept = keepPartial();
    keptAs_ = kept;
    ::close(fd_);
    fd_ = -1;
    closeFolder();
    return kept;
}

void OutputFile::discard() {
    if (fd_ < 0) return;
    if (pending_.valid()) pending_.wait();
    writer_.reset();
    if (isOwnFile()) ::unlinkat(folder_, ownName_.c_str(), 0);
    ::close(fd_);
    fd_ = -1;
    closeFolder();
}

std::string OutputFile::joinedOwnPath() const {
    const size_t slash = path_.find_last_of('/');
    return (slash == std::string::npos ? std::string() : path_.substr(0, slash + 1)) + ownName_;
}

} // namespace tarnwick

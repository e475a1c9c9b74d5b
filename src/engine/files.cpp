#include "engine/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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
            lastPart
                ? count - done
                : static_cast<size_t>(std::min<int64_t>(int64_t(count - done), part.size - inPart));
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

std::string notReplaceableAt(int folder, const std::string& name) {
    // A folder at the name could not be replaced, and a device, a pipe or a
    // socket there is no earlier output but something else's (as root, a
    // rename would even replace /dev/null).
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(st.st_mode) ||
        S_ISLNK(st.st_mode))
        return {};
    return notRegularMessage(st.st_mode);
}

std::string notReplaceable(const std::string& path) {
    return notReplaceableAt(AT_FDCWD, path);
}

std::string partialName(const std::string& path) {
    return path + ".partial";
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

#include "engine/leftovers.h"

#include "model/file_names.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr std::string_view Ending = ".tarnwick~";
constexpr size_t RandomDigits = 8;
constexpr size_t NameBytes = 80;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The names in a folder open at `folder`, read through a descriptor of
// their own.
std::vector<std::string> entriesOf(int folder) {
    std::vector<std::string> names;
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return names;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// Takes the lock of an own entry that no run holds; -1 when it is held, is
// not a regular file or folder, or cannot be locked.
int takeLeftover(int folder, const std::string& name, bool& isFolder) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    isFolder = S_ISDIR(st.st_mode);
    if (!isFolder && !S_ISREG(st.st_mode)) return -1;
    const int fd =
        ::openat(folder, name.c_str(),
                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (isFolder ? O_DIRECTORY : 0));
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !stillNamed(folder, name, fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A work folder holds files only; a folder inside it stays, and so does
// the work folder then.
void removeFolder(int folder, const std::string& name, int descriptor) {
    for (const std::string& entry : entriesOf(descriptor)) {
        struct stat st {};
        if (::fstatat(descriptor, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode))
            ::unlinkat(descriptor, entry.c_str(), 0);
    }
    ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}

} // namespace

std::string ownName(const std::string& name, uint32_t random) {
    char tail[24];
    std::snprintf(tail, sizeof tail, ".%08x", random);
    return "." + cutAtCharacter(name, NameBytes) + tail + std::string(Ending);
}

bool isOwnName(std::string_view name) {
    const size_t tail = 1 + RandomDigits + Ending.size();
    if (name.size() <= tail || name.front() != '.') return false;
    if (name.substr(name.size() - Ending.size()) != Ending) return false;
    const std::string_view random = name.substr(name.size() - tail, 1 + RandomDigits);
    if (random.front() != '.') return false;
    for (const char c : random.substr(1))
        if (!isHexDigit(c)) return false;
    return true;
}

bool holdOwnLock(int descriptor) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) return true;
    // A file system without locks (some network ones): the entry stays
    // unlocked, which a cleaner never takes for a leftover.
    return errno != EWOULDBLOCK;
}

bool stillNamed(int folder, const std::string& name, int descriptor) {
    struct stat named {
    }, open{};
    return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(descriptor, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

std::vector<std::string> removeLeftovers(const std::string& folder) {
    std::vector<std::string> removed;
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return removed;
    for (const std::string& name : entriesOf(dir)) {
        if (!isOwnName(name)) continue;
        bool isFolder = false;
        const int fd = takeLeftover(dir, name, isFolder);
        if (fd < 0) continue;
        // The lock is held until the name is gone, so that no run takes the
        // entry up meanwhile.
        if (isFolder)
            removeFolder(dir, name, fd);
        else
            ::unlinkat(dir, name.c_str(), 0);
        if (!stillNamed(dir, name, fd)) removed.push_back(name);
        ::close(fd);
    }
    ::close(dir);
    return removed;
}

void clearLeftovers(const std::string& folder, LogSink& log) {
    for (const std::string& name : removeLeftovers(folder))
        log.log("Removed " + joinOutputPath(folder, name) +
                ", left behind by a run that was stopped before it could clean up.");
}

} // namespace tarnwick

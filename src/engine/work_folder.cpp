#include "engine/work_folder.h"

#include "engine/files.h"
#include "engine/leftovers.h"
#include "model/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr int Attempts = 100;

// Moves a file to a name that must not exist yet: an existing file of that
// name stays and the move fails with EEXIST.
bool placeNew(int fromFd, const std::string& from, int toFd, const std::string& to) {
    if (::renameat2(fromFd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link fails on an existing name too.
    if (::linkat(fromFd, from.c_str(), toFd, to.c_str(), 0) != 0) return false;
    ::unlinkat(fromFd, from.c_str(), 0);
    return true;
}

std::string shownFolder(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

} // namespace

WorkFolder::WorkFolder(const std::string& outputFolder, const std::string& name)
    : outputFolder_(outputFolder), name_(name) {
    const auto refuse = [&](int error) {
        if (outputFd_ >= 0) ::close(outputFd_);
        throw FileError("Cannot create a work folder in " + shownFolder(outputFolder) + ". " +
                        std::strerror(error));
    };
    outputFd_ = ::open(shownFolder(outputFolder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (outputFd_ < 0) refuse(errno);
    std::random_device random;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        if (attempt > Attempts) refuse(EEXIST);
        hidden_ = ownName(name + ".streams", random());
        if (::mkdirat(outputFd_, hidden_.c_str(), 0700) != 0) {
            if (errno != EEXIST) refuse(errno);
            continue;
        }
        fd_ = ::openat(outputFd_, hidden_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0) refuse(errno);
        // A run that took the new folder for a leftover before it was
        // locked removes it: another name then.
        if (!holdOwnLock(fd_) || !stillNamed(outputFd_, hidden_, fd_)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    path_ = joinOutputPath(outputFolder, hidden_);
}

WorkFolder::~WorkFolder() {
    if (!kept_) {
        // Through the descriptors: the folder is found wherever the output
        // folder went.
        if (const int own = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); own >= 0) {
            if (DIR* dir = ::fdopendir(own)) {
                std::vector<std::string> names;
                while (const dirent* entry = ::readdir(dir))
                    if (std::strcmp(entry->d_name, ".") != 0 &&
                        std::strcmp(entry->d_name, "..") != 0)
                        names.emplace_back(entry->d_name);
                ::closedir(dir);
                for (const std::string& n : names)
                    ::unlinkat(fd_, n.c_str(), 0);
            } else {
                ::close(own);
            }
        }
        if (stillNamed(outputFd_, hidden_, fd_))
            ::unlinkat(outputFd_, hidden_.c_str(), AT_REMOVEDIR);
    }
    ::close(fd_);
    ::close(outputFd_);
}

std::string WorkFolder::file(const std::string& name) const {
    return joinOutputPath(path_, name);
}

void WorkFolder::link(const std::string& file, const std::string& name) {
    if (::linkat(AT_FDCWD, file.c_str(), fd_, name.c_str(), 0) == 0) return;
    const int hardLinkError = errno;
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(file, ec).string();
    if (ec || ::symlinkat(absolute.c_str(), fd_, name.c_str()) != 0)
        throw FileError("Cannot reach \"" + file + "\" from the work folder " + path_ + ". " +
                        std::strerror(hardLinkError));
}

void WorkFolder::place(const std::string& name, const std::string& target,
                       const std::vector<ReadFile>& reads, bool replace) {
    const std::string conflict = outputConflict({target}, reads);
    if (!conflict.empty()) throw FileError(conflict);
    const std::string targetName = fileNamePart(target);
    if (const std::string why = notReplaceableAt(outputFd_, targetName); !why.empty())
        throw FileError("Cannot create file \"" + target + "\". " + why);
    if (replace ? ::renameat(fd_, name.c_str(), outputFd_, targetName.c_str()) == 0
                : placeNew(fd_, name, outputFd_, targetName))
        return;
    throw FileError("Cannot create file \"" + target + "\". " + std::strerror(errno));
}

std::string WorkFolder::keep() {
    if (kept_) return path_;
    kept_ = true;
    std::random_device random;
    for (int attempt = 0; attempt <= Attempts; ++attempt) {
        char tail[24];
        std::snprintf(tail, sizeof tail, ".streams-%08x", random());
        const std::string visible = fitFileName(name_, tail);
        int moved =
            ::renameat2(outputFd_, hidden_.c_str(), outputFd_, visible.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // A file system without the no-replace rename: an unused name.
            struct stat st {};
            if (::fstatat(outputFd_, visible.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
            moved = ::renameat(outputFd_, hidden_.c_str(), outputFd_, visible.c_str());
        }
        if (moved == 0) {
            path_ = joinOutputPath(outputFolder_, visible);
            break;
        }
        if (errno != EEXIST && errno != ENOTEMPTY) break;
    }
    return path_;
}

} // namespace tarnwick

#pragma once
// A folder of a run's own inside its output folder, for the files a step
// makes on the way to its output (the Matroska step's streams, timestamp
// files and the muxer's output). It has a hidden own name and is locked
// while the run lives (leftovers.h), and it is reached through descriptors:
// it is found and removed at the end even when the output folder was moved
// or renamed meanwhile, and a program started in it sees only the names of
// its files.

#include "engine/file_identity.h"

#include <string>
#include <vector>

namespace tarnwick {

class WorkFolder {
public:
    // Makes the folder in `outputFolder` ("" for the current one), named
    // after `name` (".<name>.streams.<8 hex digits>.tarnwick~"). Raises
    // FileError.
    WorkFolder(const std::string& outputFolder, const std::string& name);
    // Removes the folder and every file in it, unless it was kept.
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, as reached from the output folder's path.
    const std::string& path() const { return path_; }
    // The path of a file of the folder.
    std::string file(const std::string& name) const;
    // A descriptor of the folder, for a program to start in.
    int descriptor() const { return fd_; }

    // Makes `name` in the folder another name of `file` (a hard link; a
    // symbolic link where the file system has none). Raises FileError.
    void link(const std::string& file, const std::string& name);

    // Moves the finished file `name` of the folder to `target` in the output
    // folder, by the output rules: refused, with nothing changed, when
    // `target` is one of `reads` or holds a folder, a device, a pipe or a
    // socket; a regular file or a link there is replaced, or, without
    // `replace`, refused with nothing changed. Raises FileError.
    void place(const std::string& name, const std::string& target,
               const std::vector<ReadFile>& reads, bool replace = true);

    // Gives the folder a visible name in the output folder
    // ("<name>.streams-<8 hex digits>") and keeps it. Returns its path.
    std::string keep();

private:
    std::string outputFolder_;
    std::string name_;   // what the folder is named after
    std::string hidden_; // its own name while the run lives
    std::string path_;
    int outputFd_ = -1;
    int fd_ = -1;
    bool kept_ = false;
};

} // namespace tarnwick

#pragma once
// Refuses outputs that are, by device and inode, one of the files that a run
// reads or another output of the same run, before anything is created: a
// rename over such a name would make the run destroy its own input.

#include <string>
#include <vector>

namespace tarnwick {

// A file that a run reads, with what it is to the user ("source",
// "playlist").
struct ReadFile {
    std::string role;
    std::string path;
};

// The message refusing the first output that is one of `reads` or one of
// the outputs before it, or an empty text when every output is a file of
// its own. Names that do not exist (yet) are compared by spelling only;
// empty paths are ignored.
std::string outputConflict(const std::vector<std::string>& outputs,
                           const std::vector<ReadFile>& reads);

// The outputs, each followed by its partial name: every file a run that may
// fail writes.
std::vector<std::string> withPartialNames(const std::vector<std::string>& outputs);

} // namespace tarnwick

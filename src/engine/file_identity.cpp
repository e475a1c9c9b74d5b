#include "engine/file_identity.h"

#include "engine/files.h"

#include <sys/stat.h>

namespace tarnwick {

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;
};

bool same(const Identity& a, const Identity& b) {
    return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

// The file a name leads to (following links) and, when the name is a link,
// the link itself: a link at an output name is as much that output as the
// file it points to.
std::vector<Identity> identities(const std::string& path) {
    std::vector<Identity> found;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) found.push_back({st.st_dev, st.st_ino, true});
    if (::lstat(path.c_str(), &st) == 0) found.push_back({st.st_dev, st.st_ino, true});
    return found;
}

bool anySame(const std::vector<Identity>& a, const std::vector<Identity>& b) {
    for (const Identity& x : a)
        for (const Identity& y : b)
            if (same(x, y)) return true;
    return false;
}

std::string refusal(const std::string& output, const std::string& role, const std::string& path) {
    return "Cannot write \"" + output + "\": it is the same file as the " + role + " \"" + path +
           "\". Nothing was written.";
}

} // namespace

std::string outputConflict(const std::vector<std::string>& outputs,
                           const std::vector<ReadFile>& reads) {
    std::vector<std::vector<Identity>> readIds;
    for (const ReadFile& r : reads) {
        std::vector<Identity> ids;
        struct stat st {};
        if (!r.path.empty() && ::stat(r.path.c_str(), &st) == 0)
            ids.push_back({st.st_dev, st.st_ino, true});
        readIds.push_back(ids);
    }
    std::vector<std::vector<Identity>> outputIds;
    for (size_t k = 0; k < outputs.size(); ++k) {
        const std::string& out = outputs[k];
        outputIds.push_back(out.empty() ? std::vector<Identity>{} : identities(out));
        for (size_t r = 0; r < reads.size(); ++r)
            if ((!out.empty() && out == reads[r].path) || anySame(outputIds[k], readIds[r]))
                return refusal(out, reads[r].role, reads[r].path);
        for (size_t j = 0; j < k; ++j)
            if ((!out.empty() && out == outputs[j]) || anySame(outputIds[k], outputIds[j]))
                return refusal(out, "output", outputs[j]);
    }
    return {};
}

std::vector<std::string> withPartialNames(const std::vector<std::string>& outputs) {
    std::vector<std::string> all;
    for (const std::string& output : outputs) {
        all.push_back(output);
        if (!output.empty()) all.push_back(partialName(output));
    }
    return all;
}

} // namespace tarnwick

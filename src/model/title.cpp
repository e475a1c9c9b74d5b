#include "model/title.h"

#include "model/file_names.h"

namespace tarnwick {

std::vector<std::string> titleFiles(const Title& title) {
    std::vector<std::string> files;
    for (const Clip& clip : title.clips)
        files.insert(files.end(), clip.files.begin(), clip.files.end());
    return files;
}

const StreamName* streamName(const Title& title, StreamKind kind, int slot) {
    for (const StreamName& s : title.streams)
        if (s.kind == kind && s.slot == slot) return &s;
    return nullptr;
}

std::string baseNameOf(const std::vector<std::string>& files) {
    std::string base;
    for (const std::string& file : files)
        base += (base.empty() ? "" : "_") + withoutExtension(fileNamePart(file));
    return base;
}

} // namespace tarnwick

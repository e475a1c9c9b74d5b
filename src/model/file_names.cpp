#include "model/file_names.h"

#include <cctype>

namespace tarnwick {

std::string fileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of(PathDelimiter);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string& path) {
    const size_t slash = path.find_last_of(PathDelimiter);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string extensionOf(const std::string& path) {
    const std::string name = fileNamePart(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string upperExtension(const std::string& path) {
    std::string ext = extensionOf(path);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

std::string withoutExtension(const std::string& path) {
    return path.substr(0, path.size() - extensionOf(path).size());
}

std::string joinOutputPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == PathDelimiter) return folder + name;
    return folder + PathDelimiter + name;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string cutAtCharacter(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = maxBytes;
    // The first byte left out continues a character: that character goes too
    // (at most the three bytes a sequence has before its last).
    for (int k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++k)
        --end;
    return text.substr(0, end);
}

std::string fitFileName(const std::string& stem, const std::string& tail, size_t maxBytes) {
    const std::string end = cutAtCharacter(tail, maxBytes);
    return cutAtCharacter(stem, maxBytes - end.size()) + end;
}

} // namespace tarnwick

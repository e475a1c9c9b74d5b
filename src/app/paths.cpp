#include "app/paths.h"


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

std::string CutExt(const std::string& path) {
    return path.substr(0, path.size() - extensionOf(path).size());
}

std::string getsecond(const std::string& path, const FileExistsTest& exists) {
    const std::string folder = folderPart(path);
    std::string name = fileNamePart(path);
    if (const size_t at = name.find("_1"); at != std::string::npos) {
        name[at + 1] = '2';
    } else if (const size_t zero = name.find("0_"); zero != std::string::npos) {
        name[zero] = '1';
    } else {
        return {};
    }
    const std::string candidate = folder + name;
    return exists(candidate) ? candidate : std::string();
}

std::string joinOutputPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == PathDelimiter) return folder + name;
    return folder + PathDelimiter + name;
}

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

void EVOadj(WindowState& w) {
    const std::string& e = w.eEVOfile;
    w.buttons.bReadEVO = !e.empty();
    PathState& p = w.paths;
    p.EVOname = fileNamePart(e);
    p.EVObase = CutExt(p.EVOname);
    p.EVOdir = folderPart(e);
    w.eXPLfile = PlaylistName;
    const std::string videoFolder = VideoObjectFolder;
    if (endsWith(p.EVOdir, videoFolder)) {
        p.XPLdir = p.EVOdir.substr(0, p.EVOdir.size() - videoFolder.size()) + AdvancedObjectFolder;
        p.XPLname = PlaylistName;
        w.eXPLfile = p.XPLdir + p.XPLname;
    }
    w.buttons.bReadXPL = !p.XPLname.empty();
}

void XPLadj(WindowState& w) {
    PathState& p = w.paths;
    p.XPLname = fileNamePart(w.eXPLfile);
    p.XPLdir = folderPart(w.eXPLfile);
    w.buttons.bReadXPL = !p.XPLname.empty();
    const std::string advancedFolder = AdvancedObjectFolder;
    if (endsWith(p.XPLdir, advancedFolder))
        p.EVOdir = p.XPLdir.substr(0, p.XPLdir.size() - advancedFolder.size()) + VideoObjectFolder;
}

} // namespace tarnwick

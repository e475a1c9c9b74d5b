#include "support/sample_disc.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnwick::testing {

namespace fs = std::filesystem;

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string copySampleDisc(const std::string& folder, const std::vector<DiscEdit>& playlist,
                           const std::vector<DiscEdit>& renames) {
    const std::string disc = folder + (folder.back() == '/' ? "" : "/") + "DISC";
    fs::remove_all(disc);
    fs::copy(TARNWICK_SAMPLE_DISC, disc, fs::copy_options::recursive);
    const std::string xpl = disc + "/ADV_OBJ/VPLST000.XPL";
    std::string text = fileText(xpl);
    for (const DiscEdit& e : playlist)
        replaceAll(text, e.from, e.to);
    std::ofstream(xpl, std::ios::binary | std::ios::trunc) << text;
    for (const DiscEdit& r : renames)
        fs::rename(disc + "/HVDVD_TS/" + r.from, disc + "/HVDVD_TS/" + r.to);
    return disc;
}

std::string standInMkvmerge(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\nOPTIONS=\"${2#@}\"\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ownEntries(const std::string& folder) {
    std::vector<std::string> own;
    for (const std::string& name : folderEntries(folder))
        if (name.size() > 10 && name[0] == '.' && name.substr(name.size() - 10) == ".tarnwick~")
            own.push_back(name);
    return own;
}

std::string playlistTime(int frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", frames / 216000, frames / 3600 % 60,
                  frames / 60 % 60, frames % 60);
    return text;
}

} // namespace tarnwick::testing

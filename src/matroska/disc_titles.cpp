#include "matroska/disc_titles.h"

#include "engine/files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The entry of a folder named `name` in upper or lower case, as it is on
// the disc; empty when neither is there.
std::string entryOf(const fs::path& folder, const std::string& name, bool wantFolder) {
    for (const std::string& candidate : {name, lower(name)}) {
        std::error_code error;
        const fs::path path = folder / candidate;
        const fs::file_status status = fs::status(path, error);
        if (!error && (wantFolder ? fs::is_directory(status) : fs::is_regular_file(status)))
            return path.string();
    }
    return {};
}

} // namespace

std::optional<DiscFolders> discFolders(const std::string& folder) {
    fs::path root(folder);
    if (!root.has_filename()) root = root.parent_path(); // "DISC/HVDVD_TS/"
    std::string video;
    if (lower(root.filename().string()) == "hvdvd_ts" && fs::is_directory(root)) {
        video = root.string();
        root = root.parent_path();
    } else {
        video = entryOf(root, "HVDVD_TS", true);
    }
    if (video.empty()) return std::nullopt;
    DiscFolders disc;
    disc.videoFolder = video;
    const std::string advanced = entryOf(root.empty() ? "." : root, "ADV_OBJ", true);
    if (!advanced.empty()) disc.playlist = entryOf(advanced, "VPLST000.XPL", false);
    return disc;
}

const PlaylistTitle* chooseTitle(const std::vector<PlaylistTitle>& titles,
                                 std::optional<int> number) {
    if (number) {
        for (const PlaylistTitle& t : titles)
            if (t.number == *number) return &t;
        return nullptr;
    }
    const PlaylistTitle* longest = nullptr;
    for (const PlaylistTitle& t : titles)
        if (!longest || t.durationMs > longest->durationMs) longest = &t;
    return longest;
}

std::string titleSource(const DiscFolders& disc, const PlaylistTitle& title) {
    if (title.primaryClips.empty()) return {};
    const std::string& clip = title.primaryClips.front();
    const std::string base = clip.substr(0, clip.rfind('.'));
    if (base.empty()) return {};
    return entryOf(disc.videoFolder, base + ".EVO", false);
}

} // namespace tarnwick

#include "playlist/disc_titles.h"

#include "engine/files.h"
#include "model/file_names.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The entry of a folder whose name equals `name` without regard to case, as
// it is named on the disc; empty when there is none. The exact name is
// taken first.
std::string entryOf(const fs::path& folder, const std::string& name, bool wantFolder) {
    auto fits = [&](const fs::path& path) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        return !error && (wantFolder ? fs::is_directory(status) : fs::is_regular_file(status));
    };
    if (fits(folder / name)) return (folder / name).string();
    std::error_code error;
    const std::string wanted = upper(name);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (upper(it->path().filename().string()) == wanted && fits(it->path()))
            return it->path().string();
    return {};
}

std::string mapBase(const std::string& map) {
    const std::string name = map.substr(map.find_last_of("/\\") + 1);
    return name.substr(0, name.rfind('.'));
}

std::optional<int64_t> ticksOf(const std::string& time) {
    const int64_t ticks = playlistTimeTicks(time);
    return ticks < 0 ? std::nullopt : std::optional<int64_t>(ticks);
}

} // namespace

std::optional<DiscFolders> discFolders(const std::string& folder) {
    fs::path root(folder);
    if (!root.has_filename()) root = root.parent_path(); // "DISC/HVDVD_TS/"
    std::string video;
    if (upper(root.filename().string()) == "HVDVD_TS" && fs::is_directory(root)) {
        video = root.string();
        root = root.parent_path();
    } else {
        video = entryOf(root.empty() ? "." : root, "HVDVD_TS", true);
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

const PlaylistTitle* titlePlaying(const std::vector<PlaylistTitle>& titles,
                                  const std::string& source) {
    const std::string base = upper(withoutExtension(fileNamePart(source)));
    for (const PlaylistTitle& title : titles)
        for (const std::string& clip : title.primaryClips)
            if (upper(mapBase(clip)) == base) return &title;
    return nullptr;
}

std::string clipSource(const std::string& videoFolder, const std::string& map) {
    const std::string base = mapBase(map);
    if (base.empty()) return {};
    return entryOf(videoFolder, base + ".EVO", false);
}

DiscTitle discTitle(const PlaylistTitle& t, const std::string& videoFolder,
                    const std::string& playlist) {
    DiscTitle d;
    Title& title = d.title;
    title.number = t.number;
    title.name = t.name;
    title.playlist = playlist;
    if (const int64_t ticks = playlistTimeTicks(t.duration); ticks >= 0) title.duration = ticks;
    std::vector<std::string> files;
    for (const PlaylistClip& clip : t.primaryClipTimes) {
        const std::string source = clipSource(videoFolder, clip.map);
        if (source.empty()) {
            d.missingClips.push_back(mapBase(clip.map) + ".EVO");
            continue;
        }
        title.clips.push_back({{source}, ticksOf(clip.titleTimeBegin), ticksOf(clip.titleTimeEnd)});
        files.push_back(source);
    }
    title.baseName = baseNameOf(files);
    for (const TitleStream& s : t.audio)
        if (s.streamNumber >= 1 && s.streamNumber <= AudioSlots)
            title.streams.push_back({StreamKind::Audio, s.streamNumber - 1, s.description, s.langcode});
    for (const TitleStream& s : t.subtitles)
        if (s.streamNumber >= 1 && s.streamNumber <= SubSlots)
            title.streams.push_back(
                {StreamKind::Subpicture, s.streamNumber - 1, s.description, s.langcode});
    for (const PlaylistChapter& c : t.chapterList) {
        const int64_t begin = playlistTimeTicks(c.titleTimeBegin);
        if (begin < 0) {
            d.warnings.push_back("Chapter \"" + c.name + "\" has no time that can be read (\"" +
                                 c.titleTimeBegin + "\"); it is left out.");
            continue;
        }
        title.chapters.push_back({begin, c.name});
    }
    if (t.chapters > int(t.chapterList.size()))
        d.warnings.push_back("The title lists " + std::to_string(t.chapters) +
                             " chapters; only the first " + std::to_string(t.chapterList.size()) +
                             " are kept.");
    return d;
}

} // namespace tarnwick

#include "matroska/disc_titles.h"

#include "engine/files.h"
#include "playlist/attributes.h"
#include "playlist/tag_scanner.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

constexpr size_t ReadBytes = 256 * 1024;

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

std::string attribute(std::string_view line, std::string_view name) {
    return GetAttr(line, name).value_or(std::string());
}

bool hasTag(std::string_view line, std::string_view tag) {
    return containsIgnoringCase(line, tag);
}

// Collects the titles from the tag lines as the scanner completes them.
class TitleCollector {
public:
    void apply(std::string_view line) {
        if (isComment(line)) return;
        if (hasTag(line, "<TITLE ")) {
            titles.emplace_back();
            inTitle_ = true;
            DiscTitle& t = titles.back();
            t.number = GetAttrInt(line, "titleNumber");
            t.name = attribute(line, "displayName");
            t.duration = attribute(line, "titleDuration");
            t.durationMs = std::max<int64_t>(0, playlistTimeMs(t.duration));
            return;
        }
        if (hasTag(line, "</TITLE")) inTitle_ = false;
        if (!inTitle_) return;
        DiscTitle& t = titles.back();
        if (hasTag(line, "<PRIMARYAUDIOVIDEOCLIP ")) {
            const std::string src = attribute(line, "src");
            t.clips.push_back(src.substr(src.find_last_of("/\\") + 1));
        } else if (hasTag(line, "<AUDIO ")) {
            addStream(t.audio, line);
        } else if (hasTag(line, "<SUBTITLE ")) {
            addStream(t.subtitles, line);
        } else if (hasTag(line, "<AUDIOTRACK ")) {
            setLangcode(t.audio, line);
        } else if (hasTag(line, "<SUBTITLETRACK ")) {
            setLangcode(t.subtitles, line);
        } else if (hasTag(line, "<CHAPTER ")) {
            ++t.chapters;
        }
    }

    std::vector<DiscTitle> titles;

private:
    // A comment is one tag line up to its first ">" (the text after it is
    // not in a tag line); its tags belong to no title.
    static bool isComment(std::string_view line) {
        const size_t start = line.find_first_not_of(' ');
        return start != std::string_view::npos && line.substr(start, 4) == "<!--";
    }

    // Each stream number once: every clip of the title lists its streams.
    static void addStream(std::vector<TitleStream>& streams, std::string_view line) {
        const int number = GetAttrInt(line, "streamNumber");
        for (const TitleStream& s : streams)
            if (s.streamNumber == number) return;
        TitleStream s;
        s.track = GetAttrInt(line, "track");
        s.streamNumber = number;
        s.description = attribute(line, "description");
        streams.push_back(std::move(s));
    }

    static void setLangcode(std::vector<TitleStream>& streams, std::string_view line) {
        const int track = GetAttrInt(line, "track");
        const std::string langcode = attribute(line, "langcode");
        for (TitleStream& s : streams)
            if (s.track == track) s.langcode = langcode;
    }

    bool inTitle_ = false;
};

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

std::vector<DiscTitle> readDiscTitles(const std::string& playlistPath) {
    SourceFile file(playlistPath);
    TitleCollector collector;
    TagScanner scanner;
    const TagLineHandler onLine = [&](std::string&& line) { collector.apply(line); };
    std::vector<uint8_t> buffer(ReadBytes);
    // Bounded by the size seen at opening, as every playlist read.
    while (file.position() < file.size()) {
        const size_t wanted = size_t(std::min<int64_t>(ReadBytes, file.size() - file.position()));
        const size_t got = file.read(buffer.data(), wanted);
        if (got == 0) break;
        scanTags(scanner, buffer.data(), got, onLine);
    }
    return std::move(collector.titles);
}

const DiscTitle* chooseTitle(const std::vector<DiscTitle>& titles, std::optional<int> number) {
    if (number) {
        for (const DiscTitle& t : titles)
            if (t.number == *number) return &t;
        return nullptr;
    }
    const DiscTitle* longest = nullptr;
    for (const DiscTitle& t : titles)
        if (!longest || t.durationMs > longest->durationMs) longest = &t;
    return longest;
}

std::string titleSource(const DiscFolders& disc, const DiscTitle& title) {
    if (title.clips.empty()) return {};
    const std::string& clip = title.clips.front();
    const std::string base = clip.substr(0, clip.rfind('.'));
    if (base.empty()) return {};
    return entryOf(disc.videoFolder, base + ".EVO", false);
}

int64_t playlistTimeMs(const std::string& time) {
    // HH:MM:SS:FF, two digits each but the hours.
    int64_t fields[4] = {};
    size_t field = 0, digits = 0;
    for (const char c : time) {
        if (c == ':' && digits > 0 && field < 3) {
            ++field;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 6) {
            fields[field] = fields[field] * 10 + (c - '0');
            ++digits;
        } else {
            return -1;
        }
    }
    if (field != 3 || digits == 0 || fields[1] > 59 || fields[2] > 59 || fields[3] > 59) return -1;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * 1000 + fields[3] * 1000 / 60;
}

} // namespace tarnwick

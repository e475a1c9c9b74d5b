#include "matroska/mkv_source.h"

#include "engine/files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

// Bytes; names stay well under the 255 of common file systems with
// ".mkv" and a temporary suffix added.
constexpr size_t MaxNameBytes = 200;

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The title whose clips include the source's .MAP file.
const PlaylistTitle* titlePlaying(const std::vector<PlaylistTitle>& titles,
                                  const std::string& source) {
    const std::string map = upper(fs::path(source).stem().string()) + ".MAP";
    for (const PlaylistTitle& title : titles)
        for (const std::string& clip : title.primaryClips)
            if (upper(clip) == map) return &title;
    return nullptr;
}

std::optional<std::vector<PlaylistTitle>> titlesOf(const std::string& playlist,
                                                   std::string& error) {
    try {
        return readPlaylistTitles(playlist);
    } catch (const FileError& e) {
        error = e.what();
        return std::nullopt;
    }
}

std::string noTitleMessage(const std::string& playlist, int number) {
    return "The playlist " + playlist + " has no title " + std::to_string(number) + ".";
}

std::optional<MkvSource> fromDisc(const DiscFolders& disc, const MkvSourceRequest& request,
                                  std::string& error) {
    const std::string playlist = request.playlist.value_or(disc.playlist);
    if (playlist.empty()) {
        error = "The disc " + request.input +
                " has no playlist ADV_OBJ/VPLST000.XPL; give the feature's EVO instead.";
        return std::nullopt;
    }
    const auto titles = titlesOf(playlist, error);
    if (!titles) return std::nullopt;
    const PlaylistTitle* title = chooseTitle(*titles, request.title);
    if (!title) {
        error = request.title ? noTitleMessage(playlist, *request.title)
                              : "The playlist " + playlist + " has no title.";
        return std::nullopt;
    }
    MkvSource result{titleSource(disc, *title), playlist, *title};
    if (result.source.empty()) {
        error =
            "Title " + std::to_string(title->number) + " plays " +
            (title->primaryClips.empty() ? std::string("no clip") : title->primaryClips.front()) +
            ", whose EVO is not in " + disc.videoFolder + ".";
        return std::nullopt;
    }
    return result;
}

std::optional<MkvSource> fromFile(const MkvSourceRequest& request, std::string& error) {
    MkvSource result{request.input, {}, std::nullopt};
    // A source on a disc brings the disc's playlist along.
    const auto disc = discFolders(fs::path(request.input).parent_path().string());
    result.playlist = request.playlist.value_or(disc ? disc->playlist : std::string());
    if (result.playlist.empty()) return result;
    const auto titles = titlesOf(result.playlist, error);
    if (!titles) return std::nullopt;
    const PlaylistTitle* title =
        request.title ? chooseTitle(*titles, request.title) : titlePlaying(*titles, request.input);
    if (request.title && !title) {
        error = noTitleMessage(result.playlist, *request.title);
        return std::nullopt;
    }
    if (title && titlePlaying({*title}, request.input) == nullptr) {
        error = "Title " + std::to_string(title->number) + " of " + result.playlist +
                " does not play " + fs::path(request.input).filename().string() + ".";
        return std::nullopt;
    }
    if (!title) {
        if (request.playlist) {
            error = "No title of the playlist " + result.playlist + " plays " +
                    fs::path(request.input).filename().string() + ".";
            return std::nullopt;
        }
        result.playlist.clear(); // the disc's playlist does not know the file
    }
    if (title) result.title = *title;
    return result;
}

std::string streamList(const std::vector<TitleStream>& streams) {
    std::string text;
    for (const TitleStream& s : streams) {
        if (!text.empty()) text += ", ";
        text += std::to_string(s.streamNumber) + " " + s.description;
        if (!s.langcode.empty()) text += " (" + s.langcode + ")";
    }
    return text.empty() ? "none" : text;
}

} // namespace

std::optional<MkvSource> resolveMkvSource(const MkvSourceRequest& request, std::string& error) {
    if (isFolder(request.input)) {
        const auto disc = discFolders(request.input);
        if (!disc) {
            error = request.input + " is neither a source file nor a disc folder (one that holds "
                                    "HVDVD_TS).";
            return std::nullopt;
        }
        return fromDisc(*disc, request, error);
    }
    return fromFile(request, error);
}

std::vector<std::string> titleListing(const std::vector<PlaylistTitle>& titles) {
    std::vector<std::string> lines;
    for (const PlaylistTitle& t : titles) {
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.3f s", double(t.durationMs) / 1000);
        std::string clips;
        for (const std::string& clip : t.primaryClips)
            clips += (clips.empty() ? "" : ", ") + clip;
        lines.push_back("Title " + std::to_string(t.number) + ": " + t.name);
        lines.push_back("  Duration: " + t.duration + " (" + duration + ")");
        lines.push_back("  Clips: " + (clips.empty() ? std::string("none") : clips));
        lines.push_back("  Audio: " + streamList(t.audio));
        lines.push_back("  Subtitles: " + streamList(t.subtitles));
        lines.push_back("  Chapters: " + std::to_string(t.chapters));
    }
    return lines;
}

std::string safeFileName(const std::string& name) {
    std::string safe;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || c == '/' || c == '\\';
        safe.push_back(unsafe ? '_' : c);
    }
    safe.erase(0, std::min(safe.find_first_not_of(". "), safe.size()));
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.'))
        safe.pop_back();
    if (safe.size() > MaxNameBytes) {
        safe.resize(MaxNameBytes);
        // Not in the middle of a UTF-8 sequence.
        while (!safe.empty() && (static_cast<unsigned char>(safe.back()) & 0xC0) == 0x80)
            safe.pop_back();
        if (!safe.empty() && static_cast<unsigned char>(safe.back()) >= 0xC0) safe.pop_back();
    }
    return safe;
}

} // namespace tarnwick

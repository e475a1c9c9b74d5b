#include "playlist/title_choice.h"

#include "commands/title_files.h"
#include "engine/files.h"
#include "model/file_names.h"
#include "playlist/disc_titles.h"

#include <cstdio>
#include <filesystem>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

std::optional<std::vector<PlaylistTitle>> titlesOf(const std::string& playlist,
                                                   const TitleChoice& choice, std::string& error,
                                                   ChoiceError& kind,
                                                   std::vector<std::string>& warnings) {
    try {
        PlaylistTitles read = readTitleList(playlist, choice.stop);
        if (read.cancelled) {
            kind = ChoiceError::Cancelled;
            error = "Cancelled.";
            return std::nullopt;
        }
        if (!read.complete) warnings.push_back(TitleListCutNote);
        return std::move(read.titles);
    } catch (const FileError& e) {
        error = e.what();
        return std::nullopt;
    }
}

std::string noTitleMessage(const std::string& playlist, int number) {
    return "The playlist " + playlist + " has no title " + std::to_string(number) + ".";
}

// The title model of a playlist title; every clip's EVO must be there.
std::optional<ChosenTitle> modelOf(const PlaylistTitle& title, const std::string& videoFolder,
                                   const std::string& playlist, std::string& error) {
    DiscTitle d = discTitle(title, videoFolder, playlist);
    if (!d.missingClips.empty()) {
        error = "Title " + std::to_string(title.number) + " plays " + d.missingClips.front() +
                ", which is not in " + videoFolder + ".";
        return std::nullopt;
    }
    if (d.title.clips.empty()) {
        error = "Title " + std::to_string(title.number) + " of " + playlist + " plays no clip.";
        return std::nullopt;
    }
    return ChosenTitle{std::move(d.title), std::move(d.warnings)};
}

std::optional<ChosenTitle> withWarnings(std::optional<ChosenTitle> chosen,
                                        const std::vector<std::string>& warnings) {
    if (chosen) chosen->warnings.insert(chosen->warnings.begin(), warnings.begin(), warnings.end());
    return chosen;
}

std::optional<ChosenTitle> fromDisc(const std::string& input, const DiscFolders& disc,
                                    const TitleChoice& choice, std::string& error,
                                    ChoiceError& kind) {
    const std::string playlist = choice.playlist.value_or(disc.playlist);
    if (playlist.empty()) {
        error = "The disc " + input +
                " has no playlist ADV_OBJ/VPLST000.XPL; give the feature's EVO instead.";
        return std::nullopt;
    }
    std::vector<std::string> warnings;
    const auto titles = titlesOf(playlist, choice, error, kind, warnings);
    if (!titles) return std::nullopt;
    const PlaylistTitle* title = chooseTitle(*titles, choice.titleNumber);
    if (!title) {
        if (choice.titleNumber) kind = ChoiceError::NoSuchTitle;
        if (titles->empty()) kind = ChoiceError::NotAPlaylist;
        error = choice.titleNumber ? noTitleMessage(playlist, *choice.titleNumber)
                                   : "The playlist " + playlist + " has no title.";
        return std::nullopt;
    }
    return withWarnings(modelOf(*title, disc.videoFolder, playlist, error), warnings);
}

std::optional<ChosenTitle> fromFile(const TitleChoice& choice, std::string& error,
                                    ChoiceError& kind) {
    const std::string& source = choice.input;
    const auto disc = discFolders(fs::path(source).parent_path().string());
    // A source on a disc brings the disc's playlist along.
    const std::string playlist = choice.playlist.value_or(disc ? disc->playlist : std::string());
    if (playlist.empty()) return ChosenTitle{titleOfSource(source, choice.continueParts), {}};
    std::vector<std::string> warnings;
    const auto titles = titlesOf(playlist, choice, error, kind, warnings);
    if (!titles) return std::nullopt;
    const PlaylistTitle* title = choice.titleNumber ? chooseTitle(*titles, choice.titleNumber)
                                                    : titlePlaying(*titles, source);
    // A playlist named on purpose that holds no title is no playlist.
    if (choice.playlist && titles->empty()) {
        kind = ChoiceError::NotAPlaylist;
        error = "No title of the playlist " + playlist + " plays " + fileNamePart(source) + ".";
        return std::nullopt;
    }
    if (choice.titleNumber && !title) {
        kind = ChoiceError::NoSuchTitle;
        error = noTitleMessage(playlist, *choice.titleNumber);
        return std::nullopt;
    }
    if (title && !titlePlaying({*title}, source)) {
        error = "Title " + std::to_string(title->number) + " of " + playlist + " does not play " +
                fileNamePart(source) + ".";
        return std::nullopt;
    }
    if (!title) {
        if (choice.playlist) {
            error = "No title of the playlist " + playlist + " plays " + fileNamePart(source) + ".";
            return std::nullopt;
        }
        // The disc's playlist does not know the file.
        return ChosenTitle{titleOfSource(source, choice.continueParts), {}};
    }
    const std::string videoFolder = disc ? disc->videoFolder : folderPart(source);
    return withWarnings(modelOf(*title, videoFolder.empty() ? "." : videoFolder, playlist, error),
                        warnings);
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

const char* const TitleListCutNote =
    "The playlist lists more titles, clips, streams and chapters than are kept; the later "
    "ones are left out.";

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::optional<ChosenTitle> chooseTitle(const TitleChoice& choice, std::string& error,
                                       ChoiceError* kind) {
    ChoiceError k = ChoiceError::None;
    std::optional<ChosenTitle> chosen;
    if (isFolder(choice.input)) {
        if (const auto disc = discFolders(choice.input))
            chosen = fromDisc(choice.input, *disc, choice, error, k);
        else
            error = choice.input + " is neither a source file nor a disc folder (one that holds "
                                   "HVDVD_TS).";
    } else {
        chosen = fromFile(choice, error, k);
    }
    if (!chosen && k == ChoiceError::None) k = ChoiceError::Unusable;
    if (kind) *kind = k;
    return chosen;
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

std::vector<std::string> titleListing(const PlaylistTitles& titles) {
    if (titles.cancelled) return {};
    std::vector<std::string> lines = titleListing(titles.titles);
    if (!titles.complete) lines.push_back(TitleListCutNote);
    return lines;
}

} // namespace tarnwick

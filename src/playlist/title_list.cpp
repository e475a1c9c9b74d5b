#include "playlist/title_list.h"

#include "app/paths.h"
#include "playlist/attributes.h"

#include <algorithm>
#include <set>

namespace tarnwick {

namespace {

// Streams listed by several clips of a title count once.
struct TitleStreams {
    std::set<int32_t> video, audio, subtitle;
};

void addLine(PlaylistTitle& title, TitleStreams& streams, const std::string& line) {
    // Closing tags have no blank after the name, so only opening tags match.
    if (containsIgnoringCase(line, "AUDIOVIDEOCLIP ")) {
        if (const auto src = GetAttr(line, "src"); src && !src->empty())
            title.clips.push_back(CutExt(fileNamePart(*src)));
    }
    if (containsIgnoringCase(line, "<VIDEO ")) streams.video.insert(GetAttrInt(line, "track"));
    if (containsIgnoringCase(line, "<AUDIO "))
        streams.audio.insert(GetAttrInt(line, "streamNumber"));
    if (containsIgnoringCase(line, "<SUBTITLE "))
        streams.subtitle.insert(GetAttrInt(line, "streamNumber"));
    if (containsIgnoringCase(line, "<CHAPTER ")) ++title.chapters;
}

std::string counted(int count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

} // namespace

std::vector<PlaylistTitle> listTitles(const std::vector<std::string>& lines) {
    std::vector<PlaylistTitle> titles;
    TitleStreams streams;
    bool open = false;
    auto finish = [&](size_t last) {
        PlaylistTitle& title = titles.back();
        title.lastLine = last;
        title.videoTracks = static_cast<int>(streams.video.size());
        title.audioStreams = static_cast<int>(streams.audio.size());
        title.subtitleStreams = static_cast<int>(streams.subtitle.size());
        open = false;
    };
    // Titles are the TitleSet's: a Title tag met elsewhere (in a comment
    // before the root) is none. The lines of one title cut from the
    // playlist hold no TitleSet tag: all of them count.
    bool inTitleSet = std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
        return containsIgnoringCase(line, "<TITLESET");
    });
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        if (containsIgnoringCase(line, "<TITLESET")) {
            inTitleSet = true;
        } else if (containsIgnoringCase(line, "</TITLESET")) {
            if (open) finish(k - 1);
            inTitleSet = false;
        } else if (!inTitleSet) {
            continue;
        } else if (containsIgnoringCase(line, "<TITLE ")) {
            if (open) finish(k - 1);
            PlaylistTitle title;
            const int32_t number = GetAttrInt(line, "titleNumber");
            title.number = number > 0 ? number : static_cast<int>(titles.size()) + 1;
            title.name = GetAttr(line, "displayName").value_or(std::string());
            title.duration = GetAttr(line, "titleDuration").value_or(std::string());
            title.firstLine = k;
            titles.push_back(std::move(title));
            streams = {};
            open = true;
        } else if (open && containsIgnoringCase(line, "</TITLE")) {
            finish(k);
        } else if (open) {
            addLine(titles.back(), streams, line);
        }
    }
    if (open) finish(lines.size() - 1);
    return titles;
}

std::string titleSummary(const PlaylistTitle& title) {
    std::string clips;
    for (const std::string& clip : title.clips)
        clips += (clips.empty() ? "" : ", ") + clip;
    return std::to_string(title.number) + "\t" + title.name + "\t" + title.duration + "\t" + clips +
           "\t" + std::to_string(title.videoTracks) + " video, " +
           std::to_string(title.audioStreams) + " audio, " +
           counted(title.subtitleStreams, "subtitle") + "\t" + counted(title.chapters, "chapter");
}

bool cutToTitleNumber(std::vector<std::string>& lines, int number) {
    for (const PlaylistTitle& title : listTitles(lines)) {
        if (title.number != number) continue;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(title.lastLine + 1), lines.end());
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(title.firstLine));
        return true;
    }
    return false;
}

} // namespace tarnwick

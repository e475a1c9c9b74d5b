#include "playlist/title_list.h"

#include "engine/files.h"
#include "model/file_names.h"
#include "playlist/attributes.h"
#include "playlist/tag_scanner.h"

#include <algorithm>
#include <initializer_list>
#include <set>

namespace tarnwick {

namespace {

constexpr size_t ReadBytes = 256 * 1024;

bool hasTag(std::string_view line, std::string_view tag) {
    return containsIgnoringCase(line, tag);
}

std::string attribute(std::string_view line, std::string_view name) {
    return GetAttr(line, name).value_or(std::string());
}

// A comment is one tag line up to its first ">" (the text after it is not in
// a tag line); its tags belong to no title.
bool isComment(std::string_view line) {
    const size_t start = line.find_first_not_of(' ');
    return start != std::string_view::npos && line.substr(start, 4) == "<!--";
}

// A title of a disc has at most 8 audio and 32 subtitle streams; a playlist
// that lists more is not a disc's, and keeping them all would make every
// later stream and track line search an ever longer list.
constexpr size_t MaxStreamsPerTitle = 256;
// The same for titles and their clips, so that what a playlist costs in
// memory does not grow with a file of nothing but Title or clip tags.
constexpr size_t MaxTitles = 1024;
constexpr size_t MaxClipsPerTitle = 1024;

// What keeping an entry costs: its texts and its place in a list.
size_t cost(std::initializer_list<const std::string*> texts) {
    size_t bytes = 64;
    for (const std::string* text : texts)
        bytes += sizeof(std::string) + text->size();
    return bytes;
}

// Collects the titles line by line, as the scanner completes them. Titles met
// outside a TitleSet count only when the playlist has no TitleSet at all.
class TitleReader {
public:
    void add(std::string_view line) {
        const size_t k = next_++;
        if (isComment(line)) return;
        if (hasTag(line, "<TITLESET")) {
            close(k - 1);
            inTitleSet_ = sawTitleSet_ = true;
        } else if (hasTag(line, "</TITLESET")) {
            close(k - 1);
            inTitleSet_ = false;
        } else if (hasTag(line, "<TITLE ")) {
            close(k - 1);
            open(line, k, inTitleSet_ ? inSet_ : outside_);
        } else if (open_ && hasTag(line, "</TITLE")) {
            close(k);
        } else if (open_) {
            addLine(line);
        }
    }

    std::vector<PlaylistTitle> finish() {
        close(next_ - 1);
        return std::move(sawTitleSet_ ? inSet_ : outside_);
    }

    // Whether every entry met was kept.
    bool complete() const { return complete_; }

private:
    // Whether an entry of that cost still fits; once one does not, no later
    // one is kept either.
    bool fits(size_t bytes) {
        if (complete_ && kept_ + bytes <= MaxTitleListBytes) {
            kept_ += bytes;
            return true;
        }
        complete_ = false;
        return false;
    }

    void open(std::string_view line, size_t k, std::vector<PlaylistTitle>& into) {
        if (into.size() >= MaxTitles) return; // its lines are passed over
        PlaylistTitle title;
        const int32_t number = GetAttrInt(line, "titleNumber");
        title.number = number > 0 ? number : static_cast<int>(into.size()) + 1;
        title.name = attribute(line, "displayName");
        title.duration = attribute(line, "titleDuration");
        if (!fits(cost({&title.name, &title.duration}) + sizeof(PlaylistTitle))) return;
        title.durationMs = std::max<int64_t>(0, playlistTimeMs(title.duration));
        title.firstLine = k;
        into.push_back(std::move(title));
        open_ = &into.back();
        video_.clear();
    }

    void close(size_t last) {
        if (!open_) return;
        open_->lastLine = last;
        open_->videoTracks = static_cast<int>(video_.size());
        open_ = nullptr;
    }

    // Each stream number once: every clip of the title lists its streams.
    void addStream(std::vector<TitleStream>& streams, std::string_view line) {
        const int number = GetAttrInt(line, "streamNumber");
        for (const TitleStream& s : streams)
            if (s.streamNumber == number) return;
        if (streams.size() >= MaxStreamsPerTitle) return;
        TitleStream stream{GetAttrInt(line, "track"), number, attribute(line, "description"), {}};
        if (fits(cost({&stream.description}) + sizeof(TitleStream)))
            streams.push_back(std::move(stream));
    }

    void setLangcode(std::vector<TitleStream>& streams, std::string_view line) {
        const int track = GetAttrInt(line, "track");
        const std::string langcode = attribute(line, "langcode");
        for (TitleStream& s : streams)
            if (s.track == track && fits(cost({&langcode}))) s.langcode = langcode;
    }

    void addClip(PlaylistTitle& t, std::string_view line) {
        const std::string src = attribute(line, "src");
        if (src.empty() || t.clips.size() >= MaxClipsPerTitle) return;
        const bool primary = hasTag(line, "<PRIMARYAUDIOVIDEOCLIP ");
        PlaylistClip clip;
        if (primary)
            clip = {src.substr(src.find_last_of("/\\") + 1), attribute(line, "titleTimeBegin"),
                    attribute(line, "titleTimeEnd")};
        if (!fits(cost({&src, &clip.map, &clip.map, &clip.titleTimeBegin, &clip.titleTimeEnd})))
            return;
        t.clips.push_back(withoutExtension(fileNamePart(src)));
        if (primary) {
            t.primaryClips.push_back(clip.map);
            t.primaryClipTimes.push_back(std::move(clip));
        }
    }

    void addChapter(PlaylistTitle& t, std::string_view line) {
        ++t.chapters;
        if (t.chapterList.size() >= MaxChaptersPerTitle) return;
        PlaylistChapter chapter{attribute(line, "displayName"), attribute(line, "titleTimeBegin")};
        if (fits(cost({&chapter.name, &chapter.titleTimeBegin})))
            t.chapterList.push_back(std::move(chapter));
    }

    void addLine(std::string_view line) {
        PlaylistTitle& t = *open_;
        // Closing tags have no blank after the name, so only opening tags match.
        if (hasTag(line, "AUDIOVIDEOCLIP ")) {
            addClip(t, line);
        } else if (hasTag(line, "<VIDEO ")) {
            if (video_.size() < MaxStreamsPerTitle) video_.insert(GetAttrInt(line, "track"));
        } else if (hasTag(line, "<AUDIO ")) {
            addStream(t.audio, line);
        } else if (hasTag(line, "<SUBTITLE ")) {
            addStream(t.subtitles, line);
        } else if (hasTag(line, "<AUDIOTRACK ")) {
            setLangcode(t.audio, line);
        } else if (hasTag(line, "<SUBTITLETRACK ")) {
            setLangcode(t.subtitles, line);
        } else if (hasTag(line, "<CHAPTER ")) {
            addChapter(t, line);
        }
    }

    std::vector<PlaylistTitle> inSet_;
    std::vector<PlaylistTitle> outside_;
    PlaylistTitle* open_ = nullptr; // stays valid: its list grows only when it is closed
    std::set<int32_t> video_;
    bool inTitleSet_ = false;
    bool sawTitleSet_ = false;
    size_t next_ = 0;
    size_t kept_ = 0;
    bool complete_ = true;
};

std::string counted(size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

} // namespace

std::vector<PlaylistTitle> listTitles(const std::vector<std::string>& lines) {
    TitleReader reader;
    for (const std::string& line : lines)
        reader.add(line);
    return reader.finish();
}

std::vector<PlaylistTitle> readPlaylistTitles(const std::string& path, const StopReading& stop) {
    return readTitleList(path, stop).titles;
}

PlaylistTitles readTitleList(const std::string& path, const StopReading& stop) {
    SourceFile file(path);
    TitleReader reader;
    TagScanner scanner;
    const TagLineHandler onLine = [&](std::string&& line) { reader.add(line); };
    std::vector<uint8_t> buffer(ReadBytes);
    PlaylistTitles result;
    // Bounded by the size seen at opening, as every playlist read.
    const int64_t size = file.size();
    while (file.position() < size) {
        if (stop && stop()) {
            result.cancelled = true;
            break;
        }
        const size_t wanted = size_t(std::min<int64_t>(ReadBytes, size - file.position()));
        const size_t got = file.read(buffer.data(), wanted);
        if (got == 0) break;
        scanTags(scanner, buffer.data(), got, onLine);
    }
    result.titles = reader.finish();
    result.complete = reader.complete();
    return result;
}

std::string titleSummary(const PlaylistTitle& title) {
    std::string clips;
    for (const std::string& clip : title.clips)
        clips += (clips.empty() ? "" : ", ") + clip;
    return std::to_string(title.number) + "\t" + title.name + "\t" + title.duration + "\t" + clips +
           "\t" + std::to_string(title.videoTracks) + " video, " +
           std::to_string(title.audio.size()) + " audio, " +
           counted(title.subtitles.size(), "subtitle") + "\t" + counted(title.chapters, "chapter");
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

namespace {

// The fields of "HH:MM:SS:FF", two digits each but the hours; false when the
// text is not such a time.
bool playlistTimeFields(const std::string& time, int64_t (&fields)[4]) {
    size_t field = 0, digits = 0;
    for (const char c : time) {
        if (c == ':' && digits > 0 && field < 3) {
            ++field;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 6) {
            fields[field] = fields[field] * 10 + (c - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return field == 3 && digits > 0 && fields[1] <= 59 && fields[2] <= 59 && fields[3] <= 59;
}

} // namespace

int64_t playlistTimeMs(const std::string& time) {
    int64_t f[4] = {};
    if (!playlistTimeFields(time, f)) return -1;
    return ((f[0] * 60 + f[1]) * 60 + f[2]) * 1000 + f[3] * 1000 / 60;
}

int64_t playlistTimeTicks(const std::string& time) {
    int64_t f[4] = {};
    if (!playlistTimeFields(time, f)) return -1;
    return ((f[0] * 60 + f[1]) * 60 + f[2]) * 90000 + f[3] * 1500;
}

} // namespace tarnwick

#include "playlist/title_view.h"

#include "model/file_names.h"
#include "playlist/attributes.h"
#include "playlist/chapter_lines.h"
#include "playlist/title_list.h"

#include <bitset>
#include <string_view>

namespace tarnwick {

namespace {

enum Node { InfoNode, VideoNode, AudioNode, SubtitleNode, ChapterNode };

std::string attribute(std::string_view line, std::string_view name) {
    return GetAttr(line, name).value_or(std::string());
}

// The slot of a 1-based track or stream number among `slots`, -1 when there
// is none.
int slotOf(int32_t number, int slots) {
    return number >= 1 && number <= slots ? number - 1 : -1;
}

class TitleReader {
public:
    TitleReader(PlaylistResult& result, LogSink& log) : r_(result), log_(log) {}

    void apply(std::string_view line) {
        if (containsIgnoringCase(line, "<TITLE ")) {
            add(InfoNode, "Name: " + attribute(line, "displayName"));
            add(InfoNode, "Duration: " + attribute(line, "titleDuration"));
        }
        if (containsIgnoringCase(line, "<VIDEO ")) video(line);
        if (containsIgnoringCase(line, "<AUDIO ")) audio(line);
        if (containsIgnoringCase(line, "<SUBTITLE ")) subtitle(line);
        if (containsIgnoringCase(line, "<CHAPTER ")) chapter(line);
    }

private:
    void add(Node node, std::string text) { r_.tree[node].children.push_back(std::move(text)); }

    // Marks the slot as listed; false when it was listed before (every clip
    // of the title lists its streams).
    template <size_t N> static bool firstListing(std::bitset<N>& listed, int slot) {
        if (listed[size_t(slot)]) return false;
        listed[size_t(slot)] = true;
        return true;
    }

    void list(Node node, StreamKind kind, const std::string& label, std::string_view line,
              int slot) {
        add(node, label);
        log_.log(label + " found!");
        r_.streams.push_back(
            {kind, slot, label, attribute(line, "description"), attribute(line, "language")});
    }

    void video(std::string_view line) {
        // The video tracks are numbered like the 16 entries of the parser's
        // video table.
        const int slot = slotOf(GetAttrInt(line, "track"), 16);
        if (slot < 0 || !firstListing(video_, slot)) return;
        const std::string label = codecEntry(r_.codecs.video, GetAttrInt(line, "mediaAttr")) +
                                  ".s" + std::to_string(slot);
        list(VideoNode, StreamKind::Video, label, line, slot);
    }

    std::string streamLabel(const std::array<std::string, 8>& codecs, std::string_view line,
                            int slot) {
        return codecEntry(codecs, GetAttrInt(line, "mediaAttr")) + ".s" + (slot < 10 ? "0" : "") +
               std::to_string(slot) + "." + attribute(line, "description");
    }

    void audio(std::string_view line) {
        const int slot = slotOf(GetAttrInt(line, "streamNumber"), AudioSlots);
        if (slot < 0 || !firstListing(audio_, slot)) return;
        list(AudioNode, StreamKind::Audio, streamLabel(r_.codecs.audio, line, slot), line, slot);
    }

    void subtitle(std::string_view line) {
        const int slot = slotOf(GetAttrInt(line, "streamNumber"), SubSlots);
        if (slot < 0 || !firstListing(subtitles_, slot)) return;
        list(SubtitleNode, StreamKind::Subpicture, streamLabel(r_.codecs.subpicture, line, slot),
             line, slot);
    }

    // A disc's title has at most a few hundred chapters; more are counted,
    // not shown, and get no chapter lines.
    void chapter(std::string_view line) {
        if (size_t(counter_) > MaxChaptersPerTitle) {
            if (++leftOut_ == 1)
                log_.log("The title has more than " + std::to_string(MaxChaptersPerTitle) +
                         " chapters; the later ones are left out.");
            return;
        }
        const std::string name = attribute(line, "displayName");
        const std::string begin = attribute(line, "titleTimeBegin");
        add(ChapterNode, name + ": " + begin);
        addChapterLines(r_.chapterLines, counter_++, begin, name);
    }

    PlaylistResult& r_;
    LogSink& log_;
    std::bitset<16> video_;
    std::bitset<AudioSlots> audio_;
    std::bitset<SubSlots> subtitles_;
    int counter_ = 1;
    size_t leftOut_ = 0;
};

} // namespace

std::string captionFromLabel(const std::string& label) {
    std::string caption = label;
    for (char& c : caption)
        if (c == PathDelimiter) c = '_';
    return caption;
}

void showTitle(PlaylistResult& result, const PlaylistHeader& header, LogSink& log) {
    result.streams.clear();
    result.titleShown = true;
    result.tree = {{"Info", {}}, {"Video", {}}, {"Audio", {}}, {"Subtitle", {}}, {"Chapter", {}}};
    if (!header.displayName.empty())
        result.tree[InfoNode].children.push_back("Title: " + header.displayName);
    TitleReader reader(result, log);
    for (const std::string& line : result.tagLines)
        reader.apply(line);
    result.tree[InfoNode].children.push_back("TimeBase: " + header.timeBase);
    result.tree[InfoNode].children.push_back("TickBase: " + header.tickBase);
}

} // namespace tarnwick

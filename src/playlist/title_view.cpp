#include "playlist/title_view.h"

#include "app/paths.h"
#include "app/stream_selection.h"
#include "playlist/attributes.h"
#include "playlist/chapter_lines.h"

#include <string_view>

namespace tarnwick {

namespace {

enum Node { InfoNode, VideoNode, AudioNode, SubtitleNode, ChapterNode };

std::string attribute(std::string_view line, std::string_view name) {
    return GetAttr(line, name).value_or(std::string());
}

// The slot of a 1-based track or stream number, -1 when the table has none.
template <size_t N> int slotOf(const std::array<int32_t, N>&, int32_t number) {
    return number >= 1 && number <= static_cast<int32_t>(N) ? number - 1 : -1;
}

class TitleReader {
public:
    explicit TitleReader(Session& s) : s_(s), w_(s.window), t_(s.table) {}

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
    void add(Node node, std::string text) {
        w_.playlist.tvXPL[node].children.push_back(std::move(text));
    }

    // Marks the slot as listed; false when it was listed before.
    template <size_t N> bool firstListing(std::array<int32_t, N>& ids, int slot) {
        if (ids[slot] != -1) return false;
        ids[slot] = 1;
        return true;
    }

    void list(Node node, const std::string& label, std::string_view line, int slot) {
        add(node, label);
        s_.log.log(label + " found!");
        static constexpr char Pages[] = {'i', 'v', 'a', 's'};
        w_.playlist.streams.push_back({Pages[node], slot, label, attribute(line, "description"),
                                       attribute(line, "language")});
    }

    static void fill(StreamBox& box, const std::string& label, bool withHint) {
        box.enabled = true;
        box.ticked = true;
        box.caption = captionFromLabel(label);
        if (withHint) box.hint = label;
    }

    void video(std::string_view line) {
        const int slot = slotOf(t_.VideoIds, GetAttrInt(line, "track"));
        if (slot < 0 || !firstListing(t_.VideoIds, slot)) return;
        const std::string label =
            codecEntry(w_.playlist.codecs.video, GetAttrInt(line, "mediaAttr")) + ".s" +
            std::to_string(slot);
        list(VideoNode, label, line, slot);
        // Only the first video track has a box; the others are shown.
        if (slot == 0) fill(w_.boxes.cbVideo[0], label, false);
    }

    std::string streamLabel(const std::array<std::string, 8>& codecs, std::string_view line,
                            int slot) {
        return codecEntry(codecs, GetAttrInt(line, "mediaAttr")) + ".s" + (slot < 10 ? "0" : "") +
               std::to_string(slot) + "." + attribute(line, "description");
    }

    void audio(std::string_view line) {
        const int slot = slotOf(t_.AudioIds, GetAttrInt(line, "streamNumber"));
        if (slot < 0 || !firstListing(t_.AudioIds, slot)) return;
        const std::string label = streamLabel(w_.playlist.codecs.audio, line, slot);
        list(AudioNode, label, line, slot);
        fill(w_.boxes.cbAudio[slot], label, true);
    }

    void subtitle(std::string_view line) {
        const int slot = slotOf(t_.SubIds, GetAttrInt(line, "streamNumber"));
        if (slot < 0 || !firstListing(t_.SubIds, slot)) return;
        const std::string label = streamLabel(w_.playlist.codecs.subpicture, line, slot);
        list(SubtitleNode, label, line, slot);
        fill(w_.boxes.cbSub[slot], label, true);
    }

    void chapter(std::string_view line) {
        const std::string name = attribute(line, "displayName");
        const std::string begin = attribute(line, "titleTimeBegin");
        add(ChapterNode, name + ": " + begin);
        addChapterLines(w_.playlist.mChapter, counter_++, begin, name);
    }

    Session& s_;
    WindowState& w_;
    StreamTable& t_;
    int counter_ = 1;
};

} // namespace

std::string captionFromLabel(const std::string& label) {
    std::string caption = label;
    for (char& c : caption)
        if (c == PathDelimiter) c = '_';
    return caption;
}

void showTitle(Session& s, const PlaylistHeader& header) {
    PlaylistView& view = s.window.playlist;
    view.streams.clear();
    view.tvXPL = {{"Info", {}}, {"Video", {}}, {"Audio", {}}, {"Subtitle", {}}, {"Chapter", {}}};
    if (!header.displayName.empty())
        view.tvXPL[InfoNode].children.push_back("Title: " + header.displayName);
    TitleReader reader(s);
    for (const std::string& line : view.mXPL)
        reader.apply(line);
    view.tvXPL[InfoNode].children.push_back("TimeBase: " + header.timeBase);
    view.tvXPL[InfoNode].children.push_back("TickBase: " + header.tickBase);
    cbVideoClick(s.window);
}

} // namespace tarnwick

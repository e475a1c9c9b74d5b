#include "playlist/line_rules.h"

#include "playlist/attributes.h"

namespace tarnwick {

namespace {

bool contains(std::string_view line, std::string_view word) {
    return line.find(word) != std::string_view::npos;
}

// Closing tags match the same words but carry no attributes: they leave the
// playlist-wide values as they were.
void keepOrReplace(std::string& target, std::string_view line, std::string_view name) {
    if (auto value = GetAttr(line, name)) target = std::move(*value);
}

// The item's own attribute; a missing one is empty, never the previous
// item's value.
std::string attribute(std::string_view line, std::string_view name) {
    return GetAttr(line, name).value_or(std::string());
}

// Items whose index has no entry in the table (a closing tag gives 0) are
// skipped.
void setItemCodec(std::array<std::string, 8>& codecs, std::string_view line, std::string codec) {
    const int32_t index = GetAttrInt(line, "index");
    if (index >= 1 && index <= static_cast<int32_t>(codecs.size()))
        codecs[index - 1] = std::move(codec);
}

} // namespace

const std::string& codecEntry(const std::array<std::string, 8>& codecs, int32_t index) {
    static const std::string none;
    if (index < 1 || index > static_cast<int32_t>(codecs.size())) return none;
    return codecs[index - 1];
}

void applyLineRules(std::string_view line, PlaylistHeader& header, PlaylistCodecs& codecs) {
    if (contains(line, "Playlist")) keepOrReplace(header.displayName, line, "displayName");
    if (contains(line, "TitleSet")) {
        keepOrReplace(header.timeBase, line, "timeBase");
        keepOrReplace(header.tickBase, line, "tickBase");
    }
    if (contains(line, "VideoAttributeItem"))
        setItemCodec(codecs.video, line, attribute(line, "codec"));
    if (contains(line, "AudioAttributeItem")) {
        std::string codec = attribute(line, "codec");
        if (const std::string channels = attribute(line, "channels"); !channels.empty())
            codec += "." + channels + "ch";
        setItemCodec(codecs.audio, line, std::move(codec));
    }
    if (contains(line, "SubpictureAttributeItem"))
        setItemCodec(codecs.subpicture, line, attribute(line, "codec"));
}

} // namespace tarnwick

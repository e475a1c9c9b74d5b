#include "commands/report_json.h"

#include "commands/stream_kinds.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace tarnwick {

namespace {

using nlohmann::ordered_json;

template <typename T> ordered_json orNull(const std::optional<T>& value) {
    return value ? ordered_json(*value) : ordered_json(nullptr);
}

ordered_json textOrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

ordered_json dsiJson(const std::optional<DsiReport>& dsi) {
    if (!dsi) return nullptr;
    return {{"vob_number", dsi->vobNumber},
            {"video_streams", dsi->videoCount},
            {"audio_streams", dsi->audioCount},
            {"subpicture_streams", dsi->subpictureCount},
            {"first_video_ptm", dsi->firstVideoPtm},
            {"last_video_ptm", dsi->lastVideoPtm},
            {"duration_seconds", dsi->durationSeconds}};
}

ordered_json copyControlJson(const std::optional<CopyControlReport>& cc) {
    if (!cc) return nullptr;
    return {{"encrypted", cc->encrypted},
            {"copy_generation", textOrNull(cc->generation)},
            {"analog_protection", textOrNull(cc->analogProtection)},
            {"ict", cc->ict},
            {"dot", cc->dot}};
}

// A key met again (a later frame header of the same piece) keeps its first value.
ordered_json detailsJson(const std::vector<Field>& details) {
    ordered_json object = ordered_json::object();
    for (const Field& field : details)
        if (!field.key.empty() && !object.contains(field.key))
            std::visit([&](const auto& value) { object[field.key] = value; }, field.value);
    return object;
}

bool hasField(const std::vector<Field>& details, const std::string& key) {
    for (const Field& field : details)
        if (field.key == key) return true;
    return false;
}

std::string audioCodec(const StreamReport& stream, bool audioObject) {
    std::string codec = audioCodecName(stream.id, audioObject);
    if (codec == "DTS" && hasField(stream.details, "hd_substream")) codec = "DTS-HD";
    return codec;
}

const PlaylistStreamName* playlistEntry(const std::vector<PlaylistStreamName>* playlist,
                                        StreamKind kind, int slot) {
    if (!playlist) return nullptr;
    for (const PlaylistStreamName& entry : *playlist)
        if (entry.kind == kind && entry.slot == slot) return &entry;
    return nullptr;
}

struct StreamIds {
    int32_t streamId;
    std::optional<int32_t> substreamId;
};

StreamIds videoIds(int32_t id) {
    if (id == 0x55 || id == 0x56) return {0xFD, id}; // the stream id extension
    return {id, std::nullopt};
}

} // namespace

std::optional<int64_t> delayMilliseconds(const ScanReport& report, const StreamReport& stream) {
    const StreamReport* video = nullptr;
    for (const StreamReport& v : report.video)
        if (v.id >= 0) {
            video = &v;
            break;
        }
    if (!video) return std::nullopt;
    // Both first time stamps from the first file that holds the stream.
    for (size_t file = 0; file < stream.firstPts.size(); ++file) {
        if (!stream.firstPts[file]) continue;
        if (file >= video->firstPts.size() || !video->firstPts[file]) return std::nullopt;
        const int64_t ticks = int64_t(*stream.firstPts[file]) - int64_t(*video->firstPts[file]);
        return static_cast<int64_t>(std::lround(double(ticks) / 90.0));
    }
    return std::nullopt;
}

std::string reportJson(const ReportJsonInput& input) {
    const ScanReport& report = input.report;
    ordered_json sources = ordered_json::array();
    for (const ClipReport& source : report.clips)
        sources.push_back({{"path", source.path},
                           {"size", source.size},
                           {"navigation", dsiJson(source.dsi)},
                           {"copy_control", copyControlJson(source.copyControl)}});

    ordered_json streams = ordered_json::array();
    auto add = [&](StreamKind streamKind, int slot, const StreamReport& stream, const char* kind,
                   const std::string& codec, StreamIds ids) {
        if (stream.id < 0) return;
        ordered_json firstPts = ordered_json::array();
        for (size_t file = 0; file < report.clips.size(); ++file)
            firstPts.push_back(file < stream.firstPts.size() ? orNull(stream.firstPts[file])
                                                             : ordered_json(nullptr));
        ordered_json entry = {{"box", slotName(streamKind, slot)},
                              {"caption", stream.caption},
                              {"kind", kind},
                              {"codec", codec},
                              {"stream_id", ids.streamId},
                              {"substream_id", orNull(ids.substreamId)},
                              {"first_pts", firstPts},
                              {"delay_ms", orNull(delayMilliseconds(report, stream))},
                              {"details", detailsJson(stream.details)}};
        if (streamKind == StreamKind::Video)
            entry["frames"] = {{"counted", orNull(stream.countedFrames)},
                               {"calculated", orNull(stream.calculatedFrames)}};
        if (const PlaylistStreamName* named = playlistEntry(input.playlist, streamKind, slot)) {
            entry["label"] = named->label;
            entry["description"] = textOrNull(named->description);
            entry["language"] = textOrNull(named->language);
        }
        streams.push_back(std::move(entry));
    };
    for (int k = 0; k < int(report.video.size()); ++k)
        add(StreamKind::Video, k, report.video[k], "video", videoCodecName(report.video[k].id),
            videoIds(report.video[k].id));
    for (int k = 0; k < int(report.audio.size()); ++k)
        add(StreamKind::Audio, k, report.audio[k], "audio", audioCodec(report.audio[k], report.audioObject),
            {0xBD, report.audio[k].id});
    for (int k = 0; k < int(report.subpicture.size()); ++k)
        add(StreamKind::Subpicture, k, report.subpicture[k], "subpicture",
            subpictureCodecName(report.subpicture[k].id), {0xBD, report.subpicture[k].id});

    const ordered_json document = {{"tool", input.tool},
                                   {"version", input.version},
                                   {"sources", sources},
                                   {"streams", streams}};
    // Names from the file system or a playlist need not be UTF-8: such bytes
    // become U+FFFD rather than stopping the report.
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

} // namespace tarnwick

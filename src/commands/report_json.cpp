#include "commands/report_json.h"

#include "commands/stream_kinds.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <numeric>

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

// MPEG-2's bit_rate_value of all ones: the stream does not tell its rate
// (a variable bit rate), in bit/s as the analyser gives it.
constexpr int64_t Mpeg2VariableBitRate = int64_t(0x3FFFF) * 400;

// A value the header holds in place of one it does not know: MPEG-2's
// variable bit rate marker and the rate 1 its forbidden and reserved frame
// rate codes stand for.
bool unknownValue(const std::string& codec, const Field& field) {
    if (codec != "MPEG-2") return false;
    if (field.key == "bit_rate") {
        const int64_t* rate = std::get_if<int64_t>(&field.value);
        return rate && *rate == Mpeg2VariableBitRate;
    }
    if (field.key == "frame_rate") {
        const double* rate = std::get_if<double>(&field.value);
        return rate && *rate == 1.0;
    }
    return false;
}

// A key met again (a later frame header of the same piece) keeps its first
// value; a video stream's frame rate comes as a fraction too.
ordered_json detailsJson(const StreamReport& stream, const std::string& codec, bool video) {
    ordered_json object = ordered_json::object();
    for (const Field& field : stream.details) {
        if (field.key.empty() || object.contains(field.key)) continue;
        if (unknownValue(codec, field))
            object[field.key] = nullptr;
        else
            std::visit([&](const auto& value) { object[field.key] = value; }, field.value);
    }
    if (video && object.contains("frame_rate")) {
        const auto fraction = frameRateFraction(stream);
        object["frame_rate_fraction"] = fraction
                                            ? ordered_json(std::to_string(fraction->first) + "/" +
                                                           std::to_string(fraction->second))
                                            : ordered_json(nullptr);
    }
    return object;
}

std::optional<double> realField(const std::vector<Field>& details, const std::string& key) {
    for (const Field& f : details)
        if (f.key == key) {
            if (const double* d = std::get_if<double>(&f.value)) return *d;
            if (const int64_t* i = std::get_if<int64_t>(&f.value)) return double(*i);
            return std::nullopt;
        }
    return std::nullopt;
}

std::optional<std::pair<int64_t, int64_t>> lowestTerms(int64_t numerator, int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) return std::nullopt;
    const int64_t divisor = std::gcd(numerator, denominator);
    return std::make_pair(numerator / divisor, denominator / divisor);
}

bool allClipsRead(const ScanReport& report) {
    if (report.clips.empty()) return false;
    for (const ClipReport& clip : report.clips)
        if (!clip.complete) return false;
    return true;
}

std::optional<double> secondsOf(const std::optional<int64_t>& duration, const ScanReport& report) {
    if (duration) return double(*duration) / double(TicksPerSecond);
    if (report.clips.empty()) return std::nullopt;
    double total = 0;
    for (size_t k = 0; k < report.clips.size(); ++k) {
        const auto seconds = clipSeconds(report, k);
        if (!seconds) return std::nullopt;
        total += *seconds;
    }
    return total;
}

// The title read: the playlist's number, name and chapters, and the playing
// time.
ordered_json titleJson(const Title* title, const ScanReport& report) {
    ordered_json chapters = ordered_json::array();
    if (title)
        for (const Chapter& chapter : title->chapters)
            chapters.push_back({{"name", chapter.name},
                                {"start_seconds", double(chapter.begin) / double(TicksPerSecond)}});
    return {{"number",
             title && title->number != 0 ? ordered_json(title->number) : ordered_json(nullptr)},
            {"name", title ? textOrNull(title->name) : ordered_json(nullptr)},
            {"playlist", title ? textOrNull(title->playlist) : ordered_json(nullptr)},
            {"duration_seconds", orNull(secondsOf(title ? title->duration : std::nullopt, report))},
            {"chapters", chapters}};
}

// The code the MKV gives a stream: from the playlist's langcode or
// description where the title names the stream, else "und".
ordered_json languageJson(const ReportJsonInput& input, StreamKind kind, int slot) {
    const StreamName* named = input.title ? streamName(*input.title, kind, slot) : nullptr;
    if (!named) return UnknownLanguage;
    if (!input.languages) return nullptr;
    return trackLanguage(*input.languages, named->langcode, named->description);
}

ordered_json document(const std::string& tool, const std::string& version) {
    return {{"tool", tool}, {"version", version}};
}

std::string dumped(const ordered_json& document) {
    // Names from the file system or a playlist need not be UTF-8: such bytes
    // become U+FFFD rather than stopping the report.
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
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

std::optional<std::pair<int64_t, int64_t>> frameRateFraction(const StreamReport& stream) {
    const std::string codec = videoCodecName(stream.id);
    const std::vector<Field>& details = stream.details;
    // The exact fields: H.264's timing counts fields, two ticks a frame.
    const int64_t* timeScale = integerField(details, "time_scale");
    const int64_t* tick = integerField(details, "num_units_in_tick");
    if (codec == "H.264" && timeScale && tick) return lowestTerms(*timeScale, 2 * *tick);
    const int64_t* numerator = integerField(details, "frame_rate_numerator");
    const int64_t* denominator = integerField(details, "frame_rate_denominator");
    if (codec == "VC-1" && numerator && denominator) return lowestTerms(*numerator, *denominator);
    const std::optional<double> rate = realField(details, "frame_rate");
    if (!rate || *rate <= 0) return std::nullopt;
    if (codec == "MPEG-2" && *rate == 1.0) return std::nullopt; // no rate in the header
    // A whole rate, one of the NTSC family (24000/1001) or one in steps of
    // 1/32 (VC-1's explicit rate).
    const double whole = std::nearbyint(*rate);
    if (std::fabs(*rate - whole) < 1e-6) return lowestTerms(int64_t(whole), 1);
    const double ntsc = *rate * 1001.0 / 1000.0;
    if (std::fabs(ntsc - std::nearbyint(ntsc)) < 1e-3)
        return lowestTerms(int64_t(std::nearbyint(ntsc)) * 1000, 1001);
    const double steps = *rate * 32.0;
    if (std::fabs(steps - std::nearbyint(steps)) < 1e-6)
        return lowestTerms(int64_t(std::nearbyint(steps)), 32);
    return std::nullopt;
}

std::optional<double> clipSeconds(const ScanReport& report, size_t clip) {
    if (clip >= report.clips.size()) return std::nullopt;
    const ClipReport& c = report.clips[clip];
    if (c.dsi && c.dsi->durationSeconds > 0) return c.dsi->durationSeconds;
    // Frames counted are the title's: they time a clip only when it is the
    // only one, and only when it was read to its end.
    if (report.clips.size() != 1 || !c.complete) return std::nullopt;
    for (const StreamReport& video : report.video) {
        if (!video.found()) continue;
        const auto fraction = frameRateFraction(video);
        if (!video.countedFrames || *video.countedFrames <= 0 || !fraction) return std::nullopt;
        return double(*video.countedFrames) * double(fraction->second) / double(fraction->first);
    }
    return std::nullopt;
}

std::optional<double> titleSeconds(const Title& title) {
    return secondsOf(title.duration, title.scan);
}

std::string reportJson(const ReportJsonInput& input) {
    const ScanReport& report = input.report;
    ordered_json sources = ordered_json::array();
    for (size_t k = 0; k < report.clips.size(); ++k) {
        const ClipReport& source = report.clips[k];
        sources.push_back({{"path", source.path},
                           {"size", source.size},
                           {"navigation", dsiJson(source.dsi)},
                           {"copy_control", copyControlJson(source.copyControl)},
                           {"read_to_end", source.complete},
                           {"duration_seconds", orNull(clipSeconds(report, k))}});
    }
    const bool readToEnd = allClipsRead(report);

    ordered_json streams = ordered_json::array();
    auto add = [&](StreamKind streamKind, int slot, const StreamReport& stream, const char* kind,
                   const std::string& codec, StreamIds ids) {
        if (stream.id < 0) return;
        ordered_json firstPts = ordered_json::array();
        for (size_t file = 0; file < report.clips.size(); ++file)
            firstPts.push_back(file < stream.firstPts.size() ? orNull(stream.firstPts[file])
                                                             : ordered_json(nullptr));
        ordered_json entry = {
            {"box", slotName(streamKind, slot)},
            {"caption", stream.caption},
            {"kind", kind},
            {"codec", codec},
            {"stream_id", ids.streamId},
            {"substream_id", orNull(ids.substreamId)},
            {"first_pts", firstPts},
            {"delay_ms", orNull(delayMilliseconds(report, stream))},
            {"details", detailsJson(stream, codec, streamKind == StreamKind::Video)}};
        if (streamKind == StreamKind::Video)
            entry["frames"] = {{"counted", orNull(stream.countedFrames)},
                               {"calculated", orNull(stream.calculatedFrames)},
                               {"counted_to_end", stream.countedFrames ? ordered_json(readToEnd)
                                                                       : ordered_json(nullptr)}};
        const PlaylistStreamName* listed = playlistEntry(input.playlist, streamKind, slot);
        if (listed) {
            entry["label"] = listed->label;
            entry["description"] = textOrNull(listed->description);
        }
        entry["language"] = languageJson(input, streamKind, slot);
        const StreamName* named =
            input.title ? streamName(*input.title, streamKind, slot) : nullptr;
        entry["langcode"] = named ? textOrNull(named->langcode) : ordered_json(nullptr);
        if (listed) entry["playlist_language"] = textOrNull(listed->language);
        streams.push_back(std::move(entry));
    };
    for (int k = 0; k < int(report.video.size()); ++k)
        add(StreamKind::Video, k, report.video[k], "video", videoCodecName(report.video[k].id),
            videoIds(report.video[k].id));
    for (int k = 0; k < int(report.audio.size()); ++k)
        add(StreamKind::Audio, k, report.audio[k], "audio",
            audioCodec(report.audio[k], report.audioObject), {0xBD, report.audio[k].id});
    for (int k = 0; k < int(report.subpicture.size()); ++k)
        add(StreamKind::Subpicture, k, report.subpicture[k], "subpicture",
            subpictureCodecName(report.subpicture[k].id), {0xBD, report.subpicture[k].id});

    ordered_json out = document(input.tool, input.version);
    out["title"] = titleJson(input.title, report);
    out["sources"] = sources;
    out["streams"] = streams;
    return dumped(out);
}

std::string titlesJson(const std::vector<PlaylistTitle>& titles, const std::string& playlist,
                       const std::string& tool, const std::string& version,
                       const LanguageTable* languages) {
    auto streamsOf = [&](const std::vector<TitleStream>& list, StreamKind kind) {
        ordered_json streams = ordered_json::array();
        for (const TitleStream& s : list)
            streams.push_back({{"stream_number", s.streamNumber},
                               {"box", s.streamNumber >= 1 && s.streamNumber <= slotCount(kind)
                                           ? ordered_json(slotName(kind, s.streamNumber - 1))
                                           : ordered_json(nullptr)},
                               {"description", textOrNull(s.description)},
                               {"langcode", textOrNull(s.langcode)},
                               {"language", languages ? ordered_json(trackLanguage(
                                                            *languages, s.langcode, s.description))
                                                      : ordered_json(nullptr)}});
        return streams;
    };
    ordered_json list = ordered_json::array();
    for (const PlaylistTitle& t : titles) {
        ordered_json clips = ordered_json::array();
        for (const PlaylistClip& clip : t.primaryClipTimes) {
            const int64_t begin = playlistTimeTicks(clip.titleTimeBegin);
            const int64_t end = playlistTimeTicks(clip.titleTimeEnd);
            clips.push_back({{"map", clip.map},
                             {"begin_seconds", begin < 0 ? ordered_json(nullptr)
                                                         : ordered_json(double(begin) / 90000)},
                             {"end_seconds", end < 0 ? ordered_json(nullptr)
                                                     : ordered_json(double(end) / 90000)}});
        }
        ordered_json chapters = ordered_json::array();
        for (const PlaylistChapter& chapter : t.chapterList) {
            const int64_t begin = playlistTimeTicks(chapter.titleTimeBegin);
            chapters.push_back(
                {{"name", chapter.name},
                 {"start_seconds",
                  begin < 0 ? ordered_json(nullptr) : ordered_json(double(begin) / 90000)}});
        }
        const int64_t duration = playlistTimeTicks(t.duration);
        list.push_back({{"number", t.number},
                        {"name", textOrNull(t.name)},
                        {"duration", textOrNull(t.duration)},
                        {"duration_seconds", duration < 0 ? ordered_json(nullptr)
                                                          : ordered_json(double(duration) / 90000)},
                        {"clips", clips},
                        {"video_tracks", t.videoTracks},
                        {"audio", streamsOf(t.audio, StreamKind::Audio)},
                        {"subtitles", streamsOf(t.subtitles, StreamKind::Subpicture)},
                        {"chapters", chapters}});
    }
    ordered_json out = document(tool, version);
    out["playlist"] = playlist;
    out["titles"] = list;
    return dumped(out);
}

std::string matroskaJson(const MatroskaResult& result, const Title& title, const std::string& tool,
                         const std::string& version) {
    ordered_json tracks = ordered_json::array();
    for (const MatroskaTrack& t : result.tracks)
        tracks.push_back({{"box", slotName(t.kind, t.slot)},
                          {"kind", t.kind == StreamKind::Video   ? "video"
                                   : t.kind == StreamKind::Audio ? "audio"
                                                                 : "subpicture"},
                          {"codec", t.codec},
                          {"name", textOrNull(t.name)},
                          {"language", t.language.empty() ? UnknownLanguage : t.language},
                          {"start_ms", t.startMs},
                          {"default", t.isDefault}});
    ordered_json out = document(tool, version);
    out["path"] = textOrNull(result.path);
    out["duration_seconds"] = result.path.empty() ? ordered_json(nullptr)
                                                  : ordered_json(double(result.durationMs) / 1000);
    out["title"] = titleJson(&title, title.scan);
    out["tracks"] = tracks;
    out["chapters"] = result.chapters;
    out["warnings"] = result.warnings;
    return dumped(out);
}

} // namespace tarnwick

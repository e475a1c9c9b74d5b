#include "commands/scan_reporter.h"

#include "analysers/analysers.h"
#include "engine/stream_description.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

Description describePiece(const PayloadPiece& piece, const TimeFormat& locale) {
    const AnalyserInput in{piece.chunk, piece.offset, piece.count, locale};
    switch (piece.kind) {
    case StreamKind::Audio:
        switch (piece.codec) {
        case StreamCodec::DolbyDigital:
        case StreamCodec::DolbyDigitalPlus: return describeAC3(in, piece.slot);
        case StreamCodec::DTS: return describeDTS(in);
        case StreamCodec::TrueHD: return describeMLP(in);
        case StreamCodec::LPCM: return piece.mlp ? describeMLP(in) : describeLPCM(in);
        default: return {};
        }
    case StreamKind::Video:
        switch (piece.codec) {
        case StreamCodec::MPEG2: return describeMPEG2(in, piece.reportPts);
        case StreamCodec::H264: return describeH264(in);
        case StreamCodec::VC1: return describeVC1(in);
        default: return {};
        }
    default: return describeSubpicture(in);
    }
}

// Audio and video are described from the payload that holds their header;
// subpictures from their first.
bool describedFromHeader(StreamKind kind) {
    return kind != StreamKind::Subpicture;
}

template <typename T> void setAt(std::vector<std::optional<T>>& values, size_t at, T value) {
    if (values.size() <= at) values.resize(at + 1);
    values[at] = value;
}

} // namespace

void logCopyControl(const CopyControlReport& r, LogSink& log) {
    if (r.encrypted) log.log("[b]This file is ENCRYPTED![/b] Decrypt it before any process.");
    const uint8_t v = r.validity;
    const uint8_t w = r.values;
    if ((v & 0x80) && (w >> 5) != 0) log.log("[b]" + r.generation + "[/b]");
    if ((v & 0x40) && ((w >> 2) & 7) != 0) log.log("[b]" + r.analogProtection + "[/b]");
    if ((v & 0x20) && (w & 0x02)) log.log("[b]ICT on, constrained analog output[/b]");
    if ((v & 0x10) && (w & 0x01)) log.log("[b]DOT on, analog output not allowed[/b]");
}

ScanReporter::ScanReporter(ScanReport& report, RunContext& run, bool logDetails)
    : report_(report), run_(run), logDetails_(logDetails) {}

void ScanReporter::startClip(size_t clip) {
    clip_ = clip;
    video_ = {};
    audio_ = {};
    subpicture_ = {};
}

void ScanReporter::endClip(ClipEnd end) {
    if (!logDetails_ || end == ClipEnd::Cancelled) return;
    for (int k = 0; k < UsedVideoSlots; ++k)
        if (video_[size_t(k)].reported && !video_[size_t(k)].described)
            run_.log.log("   No sequence header found in video stream " + std::to_string(k) + ".");
    for (int k = 0; k < AudioSlots; ++k)
        if (audio_[size_t(k)].reported && !audio_[size_t(k)].described)
            run_.log.log("   No sync word found in audio stream " + std::to_string(k) + ".");
}

ScanReporter::Shown& ScanReporter::shown(StreamKind kind, int slot) {
    switch (kind) {
    case StreamKind::Video: return video_[size_t(slot)];
    case StreamKind::Audio: return audio_[size_t(slot)];
    default: return subpicture_[size_t(slot)];
    }
}

void ScanReporter::detail(const std::string& line) {
    if (logDetails_) run_.log.log(line);
}

void ScanReporter::streamFound(const FoundStream& s) {
    const StreamIdRange& r = *s.range;
    report_.stream(s.kind, s.slot).id = s.id;
    switch (s.kind) {
    case StreamKind::Video:
        run_.log.log(std::string(r.foundName) + " video stream " + std::to_string(s.slot) +
                     " found!");
        break;
    case StreamKind::Audio:
        run_.log.log(std::string(s.mlp ? "[b]MLP[/b]" : r.foundName) + " audio stream " +
                     std::to_string(s.slot) + " found!");
        break;
    default:
        run_.log.log(std::string(r.foundName) + " stream " + std::to_string(s.slot) + " found!");
    }
}

void ScanReporter::payload(const PayloadPiece& piece) {
    StreamReport& stream = report_.stream(piece.kind, piece.slot);
    if (piece.pts) {
        const uint32_t pts = low32(*piece.pts);
        if (stream.firstPesPts.size() <= clip_ || !stream.firstPesPts[clip_])
            setAt(stream.firstPesPts, clip_, pts);
        setAt(stream.lastPesPts, clip_, pts);
    }
    Shown& s = shown(piece.kind, piece.slot);
    if (!s.reported)
        firstPayload(piece, s);
    else if (!s.described && describedFromHeader(piece.kind))
        describe(piece, s, false);
}

// The first-payload report of a stream, once per stream and clip, and its
// description.
void ScanReporter::firstPayload(const PayloadPiece& piece, Shown& s) {
    s.reported = true;
    const uint32_t pts = piece.reportPts;
    setAt(report_.stream(piece.kind, piece.slot).firstPts, clip_, pts);
    std::string line = "   First PTS = [re]" + hex8(pts) + "[/re]";
    if (pts != firstVideoPtm_) {
        // A stream that starts before the first video frame has a negative
        // delay; printing the modulo-2^32 difference would read as hours.
        const int64_t delay = (int64_t(pts) - int64_t(firstVideoPtm_)) / 90;
        line +=
            std::string("  ([re]") + (delay >= 0 ? "+" : "") + std::to_string(delay) + "[/re]ms)";
    }
    detail(line);
    detail("   Substream id = " + hex(uint32_t(piece.id), 2));
    if (piece.kind != StreamKind::Subpicture && pts < report_.minFirstPts)
        report_.minFirstPts = pts;
    describe(piece, s, true);
}

// The stream's description, from the first payload that holds its sequence
// header or sync word; one met after the first payload is introduced by a
// line that names its stream, as other streams' lines came in between.
void ScanReporter::describe(const PayloadPiece& piece, Shown& s, bool firstPayload) {
    if (describedFromHeader(piece.kind)) {
        if (!holdsDescription(piece)) return;
        s.described = true;
        if (!firstPayload)
            detail(piece.kind == StreamKind::Video
                       ? "Video stream " + std::to_string(piece.slot) +
                             " from its first sequence header:"
                       : "Audio stream " + std::to_string(piece.slot) + " from its first sync word:");
    }
    Description d = describePiece(piece, run_.locale);
    for (const std::string& line : descriptionLines(d))
        detail(line);
    // The frame summary works with the rate its logged description gave.
    if (logDetails_ && d.frameRate && piece.kind == StreamKind::Video &&
        piece.slot < UsedVideoSlots)
        report_.frameRates[size_t(piece.slot)] = *d.frameRate;
    StreamReport& stream = report_.stream(piece.kind, piece.slot);
    if (stream.details.empty()) stream.details = std::move(d.fields);
}

void ScanReporter::systemHeader(const SystemHeaderInfo& h) {
    if (h.audioObject) return;
    std::string line = "It contains";
    if (h.videoBound > 0) line += " [b]" + std::to_string(h.videoBound) + "[/b] video stream and";
    line += " [b]" + std::to_string(h.audioBound) + "[/b] audio stream" +
            (h.audioBound > 1 ? "s." : ".");
    run_.log.log(line);
}

void ScanReporter::copyControl(const CopyControlReport& report) {
    logCopyControl(report, run_.log);
    if (clip_ < report_.clips.size()) report_.clips[clip_].copyControl = report;
}

void ScanReporter::dataSearchInfo(const DsiReport& d) {
    const bool subs = d.subpictureCount > 0;
    const int total = d.videoCount + d.audioCount + d.subpictureCount;
    LogSink& log = run_.log;
    log.log("VOB number " + std::to_string(d.vobNumber) + " contains [b]" +
            std::to_string(d.videoCount) + "[/b] video " + (subs ? "," : "and") + " [b]" +
            std::to_string(d.audioCount) + "[/b] audio " +
            (subs ? "and [b]" + std::to_string(d.subpictureCount) + "[/b] subpicture " : "") +
            "stream" + (total > 1 ? "s." : "."));
    if (firstVideoPtm_ == 0) firstVideoPtm_ = d.firstVideoPtm;
    log.log("PTM of first video frame = [re]" + hex8(d.firstVideoPtm) + "[/re]");
    log.log("PTM of last video frame = " + hex8(d.lastVideoPtm));
    if (clip_ < report_.clips.size()) report_.clips[clip_].dsi = d;
    log.log("Duration = [b]" +
            formatTimeOfDay(d.durationSeconds / 86400.0, TimePattern::HMSDotMillis, run_.locale) +
            "[/b]");
}

} // namespace tarnwick

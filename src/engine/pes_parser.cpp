// The byte-driven pack and PES parser: the byte step, the start codes, the
// PES header countdowns, the private-stream-1 sub-stream header and the
// payload step.

#include "engine/analysis.h"
#include "engine/engine_call.h"
#include "engine/pes_header.h"
#include "engine/slot_assignment.h"
#include "log/text_format.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarnwick {

namespace {

using Kind = PayloadKind;

// A new video stream met at its start code or its stream id extension.
void recordVideoStream(EngineCall& c, int32_t id, const char* codecName) {
    ParserState& p = c.p;
    StreamTable& t = c.s.table;
    if (t.VideoIds[p.videoSlot] != -1) return;
    t.VideoIds[p.videoSlot] = id;
    if (c.scanning())
        c.s.log.log(std::string("[b]") + codecName + "[/b] video stream " +
                    std::to_string(p.videoSlot) + " found!");
}

void startCode(EngineCall& c, uint8_t streamId) {
    ParserState& p = c.p;
    p.streamId = streamId;
    switch (streamId) {
    case 0xE0:
    case 0xE1:
        p.videoSlot = streamId & 1;
        p.videoId = streamId;
        if (c.s.table.VideoIds[p.videoSlot] == -1) {
            recordVideoStream(c, streamId, "MPEG-2");
            p.videoPts = p.currentPts;
        }
        p.videoCodec = VideoCodec::MPEG2;
        p.kind = Kind::Video;
        break;
    case 0xE2:
    case 0xE3:
        p.videoSlot = streamId & 1;
        p.videoId = streamId;
        recordVideoStream(c, streamId, "H.264 (AVC)");
        p.videoCodec = VideoCodec::H264;
        p.kind = Kind::Video;
        break;
    case 0xFD:
        // Identified later from the stream id extension.
        p.videoCodec = VideoCodec::VC1;
        p.kind = Kind::Video;
        break;
    case 0xBC: // program stream map
    case 0xBE: // padding
        p.kind = Kind::Skip;
        break;
    case 0xBD: p.kind = Kind::PrivateHeader; break;
    case 0xBF: p.kind = Kind::Navigation; break;
    default:
        if (streamId >= 0xC0 && streamId <= 0xCF) {
            p.kind = Kind::MpegAudio;
            break;
        }
        return; // pack header, system header, other ids: scanned like other bytes
    }
    p.lengthStage = 2;
}

bool isRecognisedStartCode(uint32_t window) {
    if ((window & 0xFFFFFF00u) != 0x00000100u) return false;
    const uint8_t id = window & 0xFF;
    return (id >= 0xE0 && id <= 0xE3) || id == 0xFD || (id >= 0xC0 && id <= 0xCF) || id == 0xBC ||
           id == 0xBD || id == 0xBE || id == 0xBF;
}

// The PES header is complete: the sub-stream header or the payload follows.
void headerEnds(ParserState& p) {
    if (p.kind == Kind::PrivateHeader)
        p.subStreamHeaderLeft = 4;
    else
        p.inPayload = true;
}

void streamIdExtension(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    const int32_t e = b & 0x7F;
    if (e == 0x55 || e == 0x56) { // VC-1
        p.videoId = e;
        p.videoSlot = e - 0x55;
        if (c.s.table.VideoIds[p.videoSlot] == -1) {
            recordVideoStream(c, e, "VC-1");
            p.videoPts = p.currentPts;
        }
        p.kind = Kind::Video;
    } else {
        p.kind = Kind::Ignore;
    }
}

// The PES header data is complete: its time stamps and, for an
// extended-stream-id packet, the stream id extension that names the stream.
void headerDataEnds(EngineCall& c) {
    ParserState& p = c.p;
    const PesHeaderFields f = walkPesHeader(p.flags2, p.headerData, p.headerDataLength);
    if (f.hasPts) p.currentPts = f.pts;
    if (f.hasPts && f.hasDts) p.videoPts = f.pts;
    if (p.streamId == 0xFD) {
        if (f.streamIdExtensionAt >= 0)
            streamIdExtension(c, p.headerData[f.streamIdExtensionAt]);
        else
            p.kind = Kind::Ignore; // no extension: no stream to give it to
    }
    headerEnds(p);
}

struct AudioSubStream {
    AudioKind kind;
    int slotMask;
    int collisionStart; // where a stream whose own slot is taken looks first
};

bool classifyAudio(uint8_t s, AudioSubStream& out) {
    if (s >= 0x80 && s <= 0x87)
        out = {AudioKind::DolbyDigital, 7, 15};
    else if (s >= 0x88 && s <= 0x8F)
        out = {AudioKind::DTS, 7, 14};
    else if (s >= 0xC0 && s <= 0xCF)
        out = {AudioKind::DolbyDigitalPlus, 0x0F, 11};
    else if (s >= 0xA0 && s <= 0xA7)
        out = {AudioKind::LPCM, 0x0F, 13};
    else if (s >= 0xB0 && s <= 0xB7)
        out = {AudioKind::TrueHD, 7, 12};
    else
        return false;
    return true;
}

std::string audioFoundMessage(AudioKind kind, uint8_t s, bool isAob, int slot) {
    const std::string n = std::to_string(slot);
    switch (kind) {
    case AudioKind::DolbyDigital: return "[b]Dolby Digital[/b] audio stream " + n + " found!";
    case AudioKind::DTS: return "[b]DTS HD (DTS)[/b] audio stream " + n + " found!";
    case AudioKind::DolbyDigitalPlus:
        return "[b]Dolby Digital[/b] Plus audio stream " + n + " found!";
    case AudioKind::LPCM:
        if (s == 0xA1 && isAob) return "[b]MLP[/b] audio stream " + n + " found!";
        return "[b]LPCM[/b] audio stream " + n + " found!";
    case AudioKind::TrueHD: return "[b]Dolby TrueHD[/b] audio stream " + n + " found!";
    }
    return {};
}

// The private-stream-1 sub-stream header, one byte at a time.
void subStreamHeaderStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    StreamTable& t = c.s.table;
    --p.remaining;
    --p.subStreamHeaderLeft;
    if (p.subStreamHeaderLeft == 3) {
        const uint8_t s = b;
        if ((s & 0xE0) == 0x20 || (s & 0xE0) == 0x60) {
            p.subSlot = subStreamSlot(t.FeatureSubIds, s & 0x1F, SubSlots - 1, s);
            p.subSubId = s;
            if (t.SubIds[p.subSlot] == -1 && t.FeatureSubIds[p.subSlot] == s) {
                t.SubIds[p.subSlot] = s;
                if (c.scanning())
                    c.s.log.log(std::string((s & 0xE0) == 0x20 ? "[b]Subpicture[/b]"
                                                               : "[b]Extended subpicture[/b]") +
                                " stream " + std::to_string(p.subSlot) + " found!");
                p.subFirstPts = p.currentPts;
            }
            if (c.scanning()) p.currentPts = 0;
            p.subStreamHeaderLeft = 0;
            p.kind = Kind::Subpicture;
            p.inPayload = true;
        }
        return;
    }
    if (p.subStreamHeaderLeft > 0) return;

    const uint8_t s = p.window >> 24; // the sub-stream id, three bytes back
    p.audioSlot = s & 0x0F;
    AudioSubStream audio{};
    if (!classifyAudio(s, audio)) {
        p.kind = Kind::Ignore;
        p.inPayload = true;
        p.currentPts = 0;
        return;
    }
    p.audioKind = audio.kind;
    p.audioSlot = subStreamSlot(t.FeatureAudioIds, s & audio.slotMask, audio.collisionStart, s);
    p.audioSubId = s;
    if (t.AudioIds[p.audioSlot] < 0 && t.FeatureAudioIds[p.audioSlot] == s) {
        t.AudioIds[p.audioSlot] = s;
        if (c.scanning()) c.s.log.log(audioFoundMessage(audio.kind, s, p.isAob, p.audioSlot));
        p.audioFirstPts = p.currentPts;
    }
    p.currentPts = 0;
    switch (audio.kind) {
    case AudioKind::TrueHD: p.trueHdExtraLeft = 1; break;
    case AudioKind::LPCM: p.lpcmExtraLeft = 3; break;
    default: p.kind = Kind::Audio; p.inPayload = true;
    }
}

void headerStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    if (p.lengthStage == 2) {
        p.lengthStage = 1;
    } else if (p.lengthStage == 1) {
        p.lengthStage = 0;
        p.remaining = p.window & 0xFFFF;
        if (p.kind == Kind::Navigation)
            p.nav.subStreamBytePending = true;
        else if (p.kind == Kind::Skip)
            p.skipLength = p.remaining;
        else
            p.headerBytes = 3;
    } else if (p.headerBytes > 0) {
        --p.remaining;
        --p.headerBytes;
        if (p.headerBytes == 1) {
            p.flags2 = b;
        } else if (p.headerBytes == 0) {
            p.headerDataLength = b;
            p.headerDataLeft = b;
            if (p.headerDataLeft == 0) headerDataEnds(c);
        }
    } else if (p.headerDataLeft > 0) {
        --p.remaining;
        p.headerData[p.headerDataLength - p.headerDataLeft] = b;
        if (--p.headerDataLeft == 0) headerDataEnds(c);
    } else if (p.subStreamHeaderLeft > 0) {
        subStreamHeaderStep(c, b);
    } else if (p.lpcmExtraLeft > 0) {
        --p.remaining;
        if (--p.lpcmExtraLeft == 0) {
            p.inPayload = true;
            p.kind = Kind::Audio;
        }
    } else if (p.trueHdExtraLeft > 0) {
        --p.remaining;
        if (--p.trueHdExtraLeft == 0) {
            p.inPayload = true;
            p.kind = Kind::Audio;
        }
    }
    // Otherwise the parser is between packets, looking for a start code.
}

uint8_t frameMarker(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::MPEG2: return 0x00; // picture start code
    case VideoCodec::H264: return 0x09;  // access unit delimiter
    case VideoCodec::VC1: return 0x0D;   // frame start code
    }
    return 0x00;
}

Description describe(EngineCall& c, const AnalyserInput& in) {
    const ParserState& p = c.p;
    if (p.kind == Kind::Audio) {
        switch (p.audioKind) {
        case AudioKind::DolbyDigital:
        case AudioKind::DolbyDigitalPlus: return describeAC3(in, p.audioSlot);
        case AudioKind::DTS: return describeDTS(in);
        case AudioKind::TrueHD: return describeMLP(in);
        case AudioKind::LPCM:
            if (p.audioSubId == 0xA1 && p.isAob) return describeMLP(in);
            return describeLPCM(in);
        }
    } else if (p.kind == Kind::Video) {
        switch (p.videoCodec) {
        case VideoCodec::MPEG2: return describeMPEG2(in, p.videoPts);
        case VideoCodec::H264: return describeH264(in);
        case VideoCodec::VC1: return describeVC1(in);
        }
    } else if (p.kind == Kind::Subpicture) {
        return describeSubpicture(in);
    }
    return {};
}

// Analyses the payload piece: its lines to the log, its fields to the report.
void analyse(EngineCall& c, int position, int count, StreamReport* report) {
    Analysis a{c.s.table, c.s.log};
    Description d = describe(c, analyserInput(c.s.table, position, count));
    logDescription(a, d, c.p.kind == Kind::Video ? c.p.videoSlot : -1);
    if (report && report->details.empty()) report->details = std::move(d.fields);
}

// The report entry of the stream whose payload is being parsed.
StreamReport* streamReport(ScanReport& report, const ParserState& p) {
    if (p.kind == Kind::Audio && p.audioSlot >= 0) return &report.audio[p.audioSlot];
    if (p.kind == Kind::Video && p.videoSlot >= 0) return &report.video[p.videoSlot];
    if (p.kind == Kind::Subpicture && p.subSlot >= 0) return &report.subpicture[p.subSlot];
    return nullptr;
}

// The stream's description, from the first payload that holds its sequence
// header or sync word; one met after the first payload is introduced by a
// line that names its stream, as other streams' lines came in between.
void describeOnce(EngineCall& c, bool* described, int position, int count, bool firstPayload) {
    ParserState& p = c.p;
    if (described) {
        const int end = std::min(position + count, c.p.n);
        if (*described || !holdsDescription(p, c.chunk() + position, end - position)) return;
        *described = true;
        if (!firstPayload)
            c.s.log.log(p.kind == Kind::Video ? "Video stream " + std::to_string(p.videoSlot) +
                                                    " from its first sequence header:"
                                              : "Audio stream " + std::to_string(p.audioSlot) +
                                                    " from its first sync word:");
    }
    analyse(c, position, count, streamReport(c.s.table.Report, p));
}

// The first-payload report of a stream, once per stream and call, and its
// description.
void firstPayloadReport(EngineCall& c, int position, int count) {
    ParserState& p = c.p;
    StreamTable& t = c.s.table;
    bool* shown = nullptr;
    bool* described = nullptr;
    uint32_t pts = 0;
    int32_t id = 0;
    if (p.kind == Kind::Audio && p.audioSlot >= 0) {
        shown = &t.AudioPtsShown[p.audioSlot];
        described = &t.AudioDescribed[p.audioSlot];
        pts = p.audioFirstPts;
        id = p.audioSubId;
    } else if (p.kind == Kind::Video && p.videoSlot >= 0) {
        shown = &t.VideoPtsShown[p.videoSlot];
        described = &t.VideoDescribed[p.videoSlot];
        pts = p.videoPts;
        id = p.videoId;
    } else if (p.kind == Kind::Subpicture && p.subSlot >= 0) {
        shown = &t.SubPtsShown[p.subSlot];
        pts = p.subFirstPts;
        id = p.subSubId;
    }
    if (!shown) return;
    if (*shown) {
        if (described && !*described) describeOnce(c, described, position, count, false);
        return;
    }
    *shown = true;
    StreamReport* report = streamReport(t.Report, p);
    if (report && !t.Report.sources.empty()) {
        report->firstPts.resize(t.Report.sources.size());
        report->firstPts.back() = pts;
    }
    std::string line = "   First PTS = [re]" + hex8(pts) + "[/re]";
    if (pts != t.FirstVideoPtm) {
        // A stream that starts before the first video frame has a negative
        // delay; printing the modulo-2^32 difference would read as hours.
        const int64_t delay = (int64_t(pts) - int64_t(t.FirstVideoPtm)) / 90;
        line +=
            std::string("  ([re]") + (delay >= 0 ? "+" : "") + std::to_string(delay) + "[/re]ms)";
    }
    c.s.log.log(line);
    c.s.log.log("   Substream id = " + hex(uint32_t(id), 2));
    if (p.kind != Kind::Subpicture && pts < t.MinFirstPts) t.MinFirstPts = pts;
    describeOnce(c, described, position, count, true);
}

void payloadStep(EngineCall& c) {
    ParserState& p = c.p;
    const WindowState& w = c.s.window;
    if (p.remaining < 0) p.remaining = 0;
    const int a = std::min<int>(p.remaining, p.n - p.i);
    const bool counted = p.kind == Kind::Video || p.kind == Kind::Audio ||
                         p.kind == Kind::MpegAudio || p.kind == Kind::Subpicture;
    // A VC-1 packet met before any video stream has no slot to belong to.
    const bool orphanVideo = p.kind == Kind::Video && p.videoSlot < 0;
    if (counted && !orphanVideo) {
        // Counted are the pieces that the slot's file receives, so that the
        // count equals the markers in that file.
        StreamTable& t = c.s.table;
        if (p.kind == Kind::Video && w.options.cbCountFr && p.videoSlot < 2 &&
            t.VideoIds[p.videoSlot] == p.videoId &&
            (c.scanning() || w.boxes.cbVideo[p.videoSlot].ticked))
            t.FrameCount[p.videoSlot] += countFrameMarkers(
                c.chunk() + p.i, a, frameMarker(p.videoCodec), t.FrameWindow[p.videoSlot]);
        if (c.scanning() && w.options.cbDetails) firstPayloadReport(c, p.i, a);
        if (!c.scanning()) writePayloadPiece(c, p.i, a);
    }
    p.remaining -= a;
    p.i += a - 1;
    if (p.remaining == 0) p.inPayload = false;
}

// Between packets, with no countdown running, a byte only shifts the window
// until a start code completes it.
bool searching(const ParserState& p) {
    return !p.inPayload && p.skipLength == 0 && !navigationPending(p.nav) && p.lengthStage == 0 &&
           p.headerBytes == 0 && p.headerDataLeft == 0 && p.subStreamHeaderLeft == 0 &&
           p.lpcmExtraLeft == 0 && p.trueHdExtraLeft == 0;
}

// Jumps to the next byte that completes a recognised start code, leaving the
// window as the byte-by-byte scan would; false when the chunk ends first (the
// window then holds the chunk's last bytes as the scan would have left it).
bool jumpToStartCode(ParserState& p, const uint8_t* chunk) {
    // The window may still hold bytes that never lay next to these ones (the
    // first byte of a payload or of a skipped packet): the first three steps
    // go through the window itself.
    uint32_t w = p.window;
    const int direct = std::min(p.i + 3, p.n);
    for (int k = p.i; k < direct; ++k) {
        const uint32_t next = (w << 8) | chunk[k];
        if (isRecognisedStartCode(next)) {
            p.i = k;
            p.window = w;
            return true;
        }
        w = next;
    }
    if (direct == p.n) {
        p.window = w;
        return false;
    }
    // From here on the window holds only bytes of this chunk.
    int from = p.i + 2; // where the 01 of a start code ending at p.i + 3 lies
    while (from < p.n - 1) {
        const void* hit = std::memchr(chunk + from, 0x01, size_t(p.n - 1 - from));
        if (!hit) break;
        const int one = int(static_cast<const uint8_t*>(hit) - chunk);
        if (chunk[one - 1] == 0 && chunk[one - 2] == 0 &&
            isRecognisedStartCode(0x00000100u | chunk[one + 1])) {
            p.i = one + 1;
            p.window = 0x00000001u; // 00 00 01, the id byte shifts in next
            return true;
        }
        from = one + 1;
    }
    p.window = loadBigEndian32(chunk + p.n - 4);
    return false;
}

} // namespace

void parseChunk(EngineCall& c) {
    ParserState& p = c.p;
    const uint8_t* chunk = c.chunk();
    for (p.i = 0; p.i < p.n; ++p.i) {
        if (searching(p) && !jumpToStartCode(p, chunk)) break;
        const uint8_t b = chunk[p.i];
        p.window = (p.window << 8) | b;
        if (p.inPayload) {
            payloadStep(c);
        } else if (p.skipLength > 0) {
            // The next byte parsed is the first after the packet, or the
            // first of the next chunk.
            p.i = std::min<int64_t>(int64_t(p.i) + p.remaining, p.n) - 1;
            p.remaining = 0;
            p.skipLength = 0;
        } else if (navigationPending(p.nav)) {
            navigationStep(c, b);
        } else if (p.headerDataLeft > 0) {
            // The header data (private data, a pack header field) may hold
            // any bytes, start codes too.
            headerStep(c, b);
        } else if (isRecognisedStartCode(p.window)) {
            startCode(c, b);
        } else {
            headerStep(c, b);
        }
    }
}

} // namespace tarnwick

// The byte-driven pack and PES parser: the byte step, the start codes, the
// PES header, the private-stream-1 sub-stream header and the payload step,
// one stage at a time.

#include "engine/analysis.h"
#include "engine/engine_call.h"
#include "engine/pes_header.h"
#include "engine/slot_assignment.h"
#include "log/text_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace tarnwick {

namespace {

using Kind = PayloadKind;

// A new video stream met at its start code or its stream id extension.
void recordVideoStream(EngineCall& c, int32_t id, const StreamIdRange& r) {
    ParserState& p = c.p;
    StreamTable& t = c.t;
    if (t.VideoIds[p.videoSlot] != -1) return;
    t.VideoIds[p.videoSlot] = id;
    if (c.scanning())
        c.host.log.log(std::string(r.foundName) + " video stream " + std::to_string(p.videoSlot) +
                       " found!");
    // An H.264 stream reports the PTS of the latest header that carried PTS
    // and DTS; the others the current PTS when they are first met.
    if (r.codec != StreamCodec::H264) p.videoPts = p.currentPts;
}

void videoPacket(EngineCall& c, int32_t id, const StreamIdRange& r) {
    ParserState& p = c.p;
    p.videoSlot = ownSlot(r, id);
    p.videoId = id;
    recordVideoStream(c, id, r);
    p.videoCodec = r.codec;
    p.kind = Kind::Video;
}

void startCode(EngineCall& c, uint8_t streamId) {
    ParserState& p = c.p;
    p.streamId = streamId;
    if (const StreamIdRange* r = findStreamIdRange(IdSpace::StreamId, streamId)) {
        if (r->kind == StreamKind::Video)
            videoPacket(c, streamId, *r);
        else
            p.kind = Kind::MpegAudio;
    } else {
        switch (streamId) {
        case stream_id::ExtendedStreamId:
            // Identified later from the stream id extension.
            p.videoCodec = StreamCodec::VC1;
            p.kind = Kind::Video;
            break;
        case stream_id::ProgramStreamMap:
        case stream_id::Padding: p.kind = Kind::Skip; break;
        case stream_id::PrivateStream1: p.kind = Kind::PrivateHeader; break;
        case stream_id::PrivateStream2: p.kind = Kind::Navigation; break;
        default: return; // pack header, system header, other ids: scanned like other bytes
        }
    }
    // A start code always begins a new packet: a header cut short by it is
    // abandoned, not resumed on later bytes.
    p.stage = ParseStage::PacketLength;
    p.left = 2;
}

constexpr std::array<bool, 256> ParsedStreamIds = [] {
    std::array<bool, 256> ids{};
    for (int id = 0; id < 256; ++id)
        ids[size_t(id)] = isParsedStreamId(uint8_t(id));
    return ids;
}();

bool isRecognisedStartCode(uint32_t window) {
    return (window & 0xFFFFFF00u) == 0x00000100u && ParsedStreamIds[window & 0xFF];
}

// The PES header is complete: the sub-stream header or the payload follows.
void headerEnds(ParserState& p) {
    if (p.kind == Kind::PrivateHeader) {
        p.stage = ParseStage::SubStreamHeader;
        p.left = 4;
    } else {
        p.stage = ParseStage::Payload;
    }
}

void streamIdExtension(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    const int32_t e = b & 0x7F;
    if (const StreamIdRange* r = findStreamIdRange(IdSpace::Extension, e))
        videoPacket(c, e, *r);
    else
        p.kind = Kind::Ignore;
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

std::string audioFoundMessage(const StreamIdRange& r, uint8_t s, bool isAob, int slot) {
    // A DVD-Audio object carries MLP in the second LPCM sub-stream.
    const char* name =
        r.codec == StreamCodec::LPCM && s == 0xA1 && isAob ? "[b]MLP[/b]" : r.foundName;
    return std::string(name) + " audio stream " + std::to_string(slot) + " found!";
}

// The private-stream-1 sub-stream header, one byte at a time.
void subStreamHeaderStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    StreamTable& t = c.t;
    --p.remaining;
    --p.left;
    if (p.left == 3) {
        const uint8_t s = b;
        const StreamIdRange* r = findStreamIdRange(IdSpace::SubStream, s);
        if (r && r->kind == StreamKind::Subpicture) {
            p.subSlot = subStreamSlot(t.FeatureSubIds, ownSlot(*r, s), r->collisionStart, s);
            p.subSubId = s;
            if (t.SubIds[p.subSlot] == -1 && t.FeatureSubIds[p.subSlot] == s) {
                t.SubIds[p.subSlot] = s;
                if (c.scanning())
                    c.host.log.log(std::string(r->foundName) + " stream " +
                                   std::to_string(p.subSlot) + " found!");
                p.subFirstPts = p.currentPts;
            }
            if (c.scanning()) p.currentPts = 0;
            p.kind = Kind::Subpicture;
            p.stage = ParseStage::Payload;
        }
        return;
    }
    if (p.left > 0) return;

    const uint8_t s = p.window >> 24; // the sub-stream id, three bytes back
    p.audioSlot = s & 0x0F;
    const StreamIdRange* r = findStreamIdRange(IdSpace::SubStream, s);
    if (!r || r->kind != StreamKind::Audio) {
        p.kind = Kind::Ignore;
        p.stage = ParseStage::Payload;
        p.currentPts = 0;
        return;
    }
    p.audioCodec = r->codec;
    p.audioSlot = subStreamSlot(t.FeatureAudioIds, ownSlot(*r, s), r->collisionStart, s);
    p.audioSubId = s;
    if (t.AudioIds[p.audioSlot] < 0 && t.FeatureAudioIds[p.audioSlot] == s) {
        t.AudioIds[p.audioSlot] = s;
        if (c.scanning()) c.host.log.log(audioFoundMessage(*r, s, p.isAob, p.audioSlot));
        p.audioFirstPts = p.currentPts;
    }
    p.currentPts = 0;
    switch (r->codec) {
    case StreamCodec::TrueHD:
        p.stage = ParseStage::TrueHdHeader;
        p.left = 1;
        break;
    case StreamCodec::LPCM:
        p.stage = ParseStage::LpcmHeader;
        p.left = 3;
        break;
    default: p.kind = Kind::Audio; p.stage = ParseStage::Payload;
    }
}

// The packet length is read: the packet's header, navigation data or skip
// follows.
void packetLengthRead(ParserState& p) {
    p.remaining = p.window & 0xFFFF;
    if (p.kind == Kind::Navigation) {
        p.stage = ParseStage::NavigationSubStream;
    } else if (p.kind == Kind::Skip) {
        p.stage = p.remaining > 0 ? ParseStage::Skip : ParseStage::Search;
    } else {
        p.stage = ParseStage::HeaderFlags;
        p.left = 3;
    }
}

// A byte of the packet's header, outside the header data.
void headerStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    switch (p.stage) {
    case ParseStage::PacketLength:
        if (--p.left == 0) packetLengthRead(p);
        break;
    case ParseStage::HeaderFlags:
        --p.remaining;
        --p.left;
        if (p.left == 1) {
            p.flags2 = b;
        } else if (p.left == 0) {
            p.headerDataLength = b;
            p.left = b;
            if (b == 0)
                headerDataEnds(c);
            else
                p.stage = ParseStage::HeaderData;
        }
        break;
    case ParseStage::SubStreamHeader: subStreamHeaderStep(c, b); break;
    case ParseStage::LpcmHeader:
    case ParseStage::TrueHdHeader:
        --p.remaining;
        if (--p.left == 0) {
            p.stage = ParseStage::Payload;
            p.kind = Kind::Audio;
        }
        break;
    default: break; // between packets, looking for a start code
    }
}

// A byte of the PES header data.
void headerDataStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    --p.remaining;
    p.headerData[p.headerDataLength - p.left] = b;
    if (--p.left == 0) headerDataEnds(c);
}

uint8_t frameMarker(StreamCodec codec) {
    switch (codec) {
    case StreamCodec::H264: return 0x09; // access unit delimiter
    case StreamCodec::VC1: return 0x0D;  // frame start code
    default: return 0x00;                // MPEG-2 picture start code
    }
}

Description describe(EngineCall& c, const AnalyserInput& in) {
    const ParserState& p = c.p;
    if (p.kind == Kind::Audio) {
        switch (p.audioCodec) {
        case StreamCodec::DolbyDigital:
        case StreamCodec::DolbyDigitalPlus: return describeAC3(in, p.audioSlot);
        case StreamCodec::DTS: return describeDTS(in);
        case StreamCodec::TrueHD: return describeMLP(in);
        case StreamCodec::LPCM:
            if (p.audioSubId == 0xA1 && p.isAob) return describeMLP(in);
            return describeLPCM(in);
        default: break;
        }
    } else if (p.kind == Kind::Video) {
        switch (p.videoCodec) {
        case StreamCodec::MPEG2: return describeMPEG2(in, p.videoPts);
        case StreamCodec::H264: return describeH264(in);
        case StreamCodec::VC1: return describeVC1(in);
        default: break;
        }
    } else if (p.kind == Kind::Subpicture) {
        return describeSubpicture(in);
    }
    return {};
}

// Analyses the payload piece: its lines to the log, its fields to the report.
void analyse(EngineCall& c, int position, int count, StreamReport* report) {
    Analysis a{c.t, c.host.log};
    Description d = describe(c, analyserInput(c.t, position, count));
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
            c.host.log.log(p.kind == Kind::Video ? "Video stream " + std::to_string(p.videoSlot) +
                                                       " from its first sequence header:"
                                                 : "Audio stream " + std::to_string(p.audioSlot) +
                                                       " from its first sync word:");
    }
    analyse(c, position, count, streamReport(c.t.Report, p));
}

// The first-payload report of a stream, once per stream and call, and its
// description.
void firstPayloadReport(EngineCall& c, int position, int count) {
    ParserState& p = c.p;
    StreamTable& t = c.t;
    bool* shown = nullptr;
    bool* described = nullptr;
    uint32_t pts = 0;
    int32_t id = 0;
    if (p.kind == Kind::Audio && p.audioSlot >= 0) {
        shown = &p.audioPtsShown[p.audioSlot];
        described = &p.audioDescribed[p.audioSlot];
        pts = p.audioFirstPts;
        id = p.audioSubId;
    } else if (p.kind == Kind::Video && p.videoSlot >= 0) {
        shown = &p.videoPtsShown[p.videoSlot];
        described = &p.videoDescribed[p.videoSlot];
        pts = p.videoPts;
        id = p.videoId;
    } else if (p.kind == Kind::Subpicture && p.subSlot >= 0) {
        shown = &p.subPtsShown[p.subSlot];
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
    c.host.log.log(line);
    c.host.log.log("   Substream id = " + hex(uint32_t(id), 2));
    if (p.kind != Kind::Subpicture && pts < t.MinFirstPts) t.MinFirstPts = pts;
    describeOnce(c, described, position, count, true);
}

void payloadStep(EngineCall& c) {
    ParserState& p = c.p;
    const Options& options = c.host.options;
    if (p.remaining < 0) p.remaining = 0;
    const int a = std::min<int>(p.remaining, p.n - p.i);
    const bool counted = p.kind == Kind::Video || p.kind == Kind::Audio ||
                         p.kind == Kind::MpegAudio || p.kind == Kind::Subpicture;
    // A VC-1 packet met before any video stream has no slot to belong to.
    const bool orphanVideo = p.kind == Kind::Video && p.videoSlot < 0;
    if (counted && !orphanVideo) {
        // Counted are the pieces that the slot's file receives, so that the
        // count equals the markers in that file.
        StreamTable& t = c.t;
        if (p.kind == Kind::Video && options.cbCountFr && p.videoSlot < 2 &&
            t.VideoIds[p.videoSlot] == p.videoId &&
            (c.scanning() || c.host.selection.cbVideo[p.videoSlot].ticked))
            t.FrameCount[p.videoSlot] += countFrameMarkers(
                c.chunk() + p.i, a, frameMarker(p.videoCodec), t.FrameWindow[p.videoSlot]);
        if (c.scanning() && options.cbDetails) firstPayloadReport(c, p.i, a);
        if (!c.scanning()) writePayloadPiece(c, p.i, a);
    }
    p.remaining -= a;
    p.i += a - 1;
    if (p.remaining == 0) p.stage = ParseStage::Search;
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
        if (p.stage == ParseStage::Search && !jumpToStartCode(p, chunk)) break;
        const uint8_t b = chunk[p.i];
        p.window = (p.window << 8) | b;
        switch (p.stage) {
        case ParseStage::Payload: payloadStep(c); break;
        case ParseStage::Skip:
            // The next byte parsed is the first after the packet, or the
            // first of the next chunk.
            p.i = std::min<int64_t>(int64_t(p.i) + p.remaining, p.n) - 1;
            p.remaining = 0;
            p.stage = ParseStage::Search;
            break;
        case ParseStage::NavigationSubStream:
        case ParseStage::CopyControl:
        case ParseStage::Dsi: navigationStep(c, b); break;
        case ParseStage::HeaderData:
            // The header data (private data, a pack header field) may hold
            // any bytes, start codes too.
            headerDataStep(c, b);
            break;
        default:
            if (isRecognisedStartCode(p.window))
                startCode(c, b);
            else
                headerStep(c, b);
        }
    }
}

} // namespace tarnwick

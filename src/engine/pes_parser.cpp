// The byte-driven pack and PES parser: the byte step, the start codes, the
// PES header, the private-stream-1 sub-stream header and the payload step,
// one stage at a time. What it finds goes to the clip's listener.

#include "engine/clip_parse.h"
#include "engine/pes_header.h"
#include "engine/slot_assignment.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <utility>

namespace tarnwick {

namespace {

using Kind = PayloadKind;

// A new video stream met at its start code or its stream id extension.
void recordVideoStream(ClipParse& c, int32_t id, const StreamIdRange& r) {
    ParserState& p = c.p;
    if (p.videoIds[size_t(p.videoSlot)] != -1) return;
    p.videoIds[size_t(p.videoSlot)] = id;
    c.listener.streamFound({StreamKind::Video, p.videoSlot, id, &r});
    // An H.264 stream reports the PTS of the latest header that carried PTS
    // and DTS; the others the current PTS when they are first met.
    if (r.codec != StreamCodec::H264) p.videoPts = p.currentPts;
}

void videoPacket(ClipParse& c, int32_t id, const StreamIdRange& r) {
    ParserState& p = c.p;
    p.videoSlot = ownSlot(r, id);
    p.videoId = id;
    recordVideoStream(c, id, r);
    p.videoCodec = r.codec;
    p.kind = Kind::Video;
}

void startCode(ClipParse& c, uint8_t streamId) {
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

void streamIdExtension(ClipParse& c, uint8_t b) {
    ParserState& p = c.p;
    const int32_t e = b & 0x7F;
    if (const StreamIdRange* r = findStreamIdRange(IdSpace::Extension, e))
        videoPacket(c, e, *r);
    else
        p.kind = Kind::Ignore;
}

uint64_t fullTimeStamp(uint32_t low, bool highBit) {
    return (uint64_t(highBit) << 32) | low;
}

// The PES header data is complete: its time stamps and, for an
// extended-stream-id packet, the stream id extension that names the stream.
void headerDataEnds(ClipParse& c) {
    ParserState& p = c.p;
    const PesHeaderFields f = walkPesHeader(p.flags2, p.headerData, p.headerDataLength);
    p.packetHasPts = f.hasPts;
    p.packetHasDts = f.hasDts;
    p.packetPts = fullTimeStamp(f.pts, f.ptsHighBit);
    p.packetDts = fullTimeStamp(f.dts, f.dtsHighBit);
    p.firstPieceOfPacket = true;
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

bool isMlpInAudioObject(const ParserState& p, int32_t subId) {
    return subId == 0xA1 && p.isAob;
}

// The private-stream-1 sub-stream header, one byte at a time.
void subStreamHeaderStep(ClipParse& c, uint8_t b) {
    ParserState& p = c.p;
    --p.remaining;
    --p.left;
    if (p.left == 3) {
        const uint8_t s = b;
        const StreamIdRange* r = findStreamIdRange(IdSpace::SubStream, s);
        if (r && r->kind == StreamKind::Subpicture) {
            p.subSlot = subStreamSlot(c.slots.subpicture, ownSlot(*r, s), r->collisionStart, s);
            p.subSubId = s;
            if (p.subIds[size_t(p.subSlot)] == -1 && c.slots.subpicture[size_t(p.subSlot)] == s) {
                p.subIds[size_t(p.subSlot)] = s;
                c.listener.streamFound({StreamKind::Subpicture, p.subSlot, s, r});
                p.subFirstPts = p.currentPts;
            }
            p.currentPts = 0;
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
    p.audioSlot = subStreamSlot(c.slots.audio, ownSlot(*r, s), r->collisionStart, s);
    p.audioSubId = s;
    if (p.audioIds[size_t(p.audioSlot)] < 0 && c.slots.audio[size_t(p.audioSlot)] == s) {
        p.audioIds[size_t(p.audioSlot)] = s;
        c.listener.streamFound(
            {StreamKind::Audio, p.audioSlot, s, r, isMlpInAudioObject(p, s)});
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
void headerStep(ClipParse& c, uint8_t b) {
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
void headerDataStep(ClipParse& c, uint8_t b) {
    ParserState& p = c.p;
    --p.remaining;
    p.headerData[p.headerDataLength - p.left] = b;
    if (--p.left == 0) headerDataEnds(c);
}

// The piece's stream, when the piece belongs to the stream its slot was
// given in this clip; false for MPEG audio (no slot of its own), packets to
// ignore and a VC-1 packet met before any video stream.
bool pieceStream(const ParserState& p, PayloadPiece& piece) {
    switch (p.kind) {
    case Kind::Video:
        if (p.videoSlot < 0 || p.videoIds[size_t(p.videoSlot)] != p.videoId) return false;
        piece.kind = StreamKind::Video;
        piece.slot = p.videoSlot;
        piece.id = p.videoId;
        piece.codec = p.videoCodec;
        piece.reportPts = p.videoPts;
        return true;
    case Kind::Audio:
        if (p.audioSlot < 0 || p.audioIds[size_t(p.audioSlot)] != p.audioSubId) return false;
        piece.kind = StreamKind::Audio;
        piece.slot = p.audioSlot;
        piece.id = p.audioSubId;
        piece.codec = p.audioCodec;
        piece.mlp = isMlpInAudioObject(p, p.audioSubId);
        piece.reportPts = p.audioFirstPts;
        return true;
    case Kind::Subpicture:
        if (p.subSlot < 0 || p.subIds[size_t(p.subSlot)] != p.subSubId) return false;
        piece.kind = StreamKind::Subpicture;
        piece.slot = p.subSlot;
        piece.id = p.subSubId;
        piece.codec = StreamCodec::Subpicture;
        piece.reportPts = p.subFirstPts;
        return true;
    default: return false;
    }
}

void payloadStep(ClipParse& c) {
    ParserState& p = c.p;
    if (p.remaining < 0) p.remaining = 0;
    const int a = std::min<int>(p.remaining, p.n - p.i);
    const bool first = std::exchange(p.firstPieceOfPacket, false);
    PayloadPiece piece{};
    if (pieceStream(p, piece)) {
        piece.chunk = std::span<const uint8_t>(c.chunk(), size_t(p.n));
        piece.offset = p.i;
        piece.count = a;
        piece.position = p.chunkStart + p.i;
        if (first && p.packetHasPts) piece.pts = p.packetPts;
        if (first && p.packetHasDts) piece.dts = p.packetDts;
        c.listener.payload(piece);
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

void parseChunk(ClipParse& c) {
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

// Demux mode: every payload piece goes to the output file of its slot while
// that slot's box is ticked. Subpictures are wrapped in "SP" records.

#include "engine/engine_call.h"

namespace tarnwick {

namespace {

void putLittleEndian32(uint8_t* out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
    out[3] = uint8_t(value >> 24);
}

// The file of a slot whose box is ticked now (boxes may change during a run),
// or none.
OutputFile* tickedFile(const StreamBox& box, const std::unique_ptr<OutputFile>& file) {
    return box.ticked ? file.get() : nullptr;
}

void writeSubpicture(OutputFile& out, const uint8_t* piece, int count, uint32_t pts,
                     uint32_t origin) {
    if (pts != 0) {
        uint8_t header[10] = {'S', 'P'};
        putLittleEndian32(header + 2, pts - origin);
        putLittleEndian32(header + 6, 0);
        out.write(header, sizeof header);
    } else if (out.written() == 0) {
        // The tail of a unit whose start (and time) lies before the source:
        // written without a record header it would make the whole file
        // unreadable, and without its start it cannot be shown anyway.
        return;
    }
    out.write(piece, count);
}

} // namespace

void writePayloadPiece(EngineCall& c, int position, int count) {
    ParserState& p = c.p;
    StreamTable& t = c.t;
    StreamOutputs& o = c.outputs;
    const StreamBoxes& boxes = c.host.selection;
    const uint8_t* piece = c.chunk() + position;
    // A slot's file holds the one stream that the slot was given in this call;
    // another stream that maps to the same slot is never mixed into it.
    switch (p.kind) {
    case PayloadKind::Video:
        if (p.videoSlot >= 0 && p.videoSlot < 2 && t.VideoIds[p.videoSlot] == p.videoId)
            if (OutputFile* out = tickedFile(boxes.cbVideo[p.videoSlot], o.VideoOut[p.videoSlot]))
                out->write(piece, count);
        break;
    case PayloadKind::Audio:
        if (p.audioSlot >= 0 && p.audioSlot < AudioSlots && t.AudioIds[p.audioSlot] == p.audioSubId)
            if (OutputFile* out = tickedFile(boxes.cbAudio[p.audioSlot], o.AudioOut[p.audioSlot]))
                out->write(piece, count);
        break;
    case PayloadKind::Subpicture:
        if (p.subSlot >= 0 && p.subSlot < SubSlots && t.SubIds[p.subSlot] == p.subSubId)
            if (OutputFile* out = tickedFile(boxes.cbSub[p.subSlot], o.SubOut[p.subSlot]))
                writeSubpicture(*out, piece, count, p.currentPts, t.MinFirstPts);
        break;
    default:
        // MPEG audio has no slot of its own: writing it into the file of the
        // latest private-stream-1 slot would corrupt that stream, so it is
        // left out.
        break;
    }
    // Later pieces of the packet, and packets without PTS, continue the
    // current subpicture record.
    p.currentPts = 0;
}

} // namespace tarnwick

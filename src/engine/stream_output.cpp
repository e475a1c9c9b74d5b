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

} // namespace

void writePayloadPiece(EngineCall& c, int position, int count) {
    ParserState& p = c.p;
    StreamTable& t = c.s.table;
    const StreamBoxes& boxes = c.s.window.boxes;
    const uint8_t* piece = c.chunk() + position;
    switch (p.kind) {
    case PayloadKind::Video:
        if (p.videoSlot >= 0 && p.videoSlot < 2 && boxes.cbVideo[p.videoSlot].ticked &&
            t.VideoOut[p.videoSlot])
            t.VideoOut[p.videoSlot]->write(piece, count);
        break;
    case PayloadKind::Audio:
        if (p.audioSlot >= 0 && p.audioSlot < AudioSlots && boxes.cbAudio[p.audioSlot].ticked &&
            t.AudioOut[p.audioSlot])
            t.AudioOut[p.audioSlot]->write(piece, count);
        break;
    case PayloadKind::Subpicture:
        if (p.subSlot >= 0 && p.subSlot < SubSlots && boxes.cbSub[p.subSlot].ticked &&
            t.SubOut[p.subSlot]) {
            OutputFile& out = *t.SubOut[p.subSlot];
            if (p.currentPts != 0) {
                uint8_t header[10] = {'S', 'P'};
                putLittleEndian32(header + 2, p.currentPts - t.MinFirstPts);
                putLittleEndian32(header + 6, 0);
                out.write(header, sizeof header);
            }
            out.write(piece, count);
        }
        break;
    default:
        // MPEG audio has no slot of its own: writing it into the file of the
        // latest private-stream-1 slot would corrupt that stream, so it is
        // left out.
        break;
    }
    p.currentPts = 0;
}

} // namespace tarnwick

#include "engine/demux_writer.h"

namespace tarnwick {

namespace {

void putLittleEndian32(uint8_t* out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
    out[3] = uint8_t(value >> 24);
}

// A piece with its packet's time starts a record; later pieces of the
// packet, and packets without a time, continue the current record.
void writeSubpicture(OutputFile& out, const PayloadPiece& piece, uint32_t origin) {
    if (piece.pts) {
        uint8_t header[10] = {'S', 'P'};
        putLittleEndian32(header + 2, low32(*piece.pts) - origin);
        putLittleEndian32(header + 6, 0);
        out.write(header, sizeof header);
    } else if (out.written() == 0) {
        // The tail of a unit whose start (and time) lies before the source:
        // written without a record header it would make the whole file
        // unreadable, and without its start it cannot be shown anyway.
        return;
    }
    out.write(piece.bytes(), size_t(piece.count));
}

} // namespace

void DemuxWriter::payload(const PayloadPiece& piece) {
    if (!selection_.selected(piece.kind, piece.slot)) return;
    OutputFile* out = outputs_.file(piece.kind, piece.slot);
    if (!out) return;
    if (piece.kind == StreamKind::Subpicture)
        writeSubpicture(*out, piece, origin_);
    else
        out->write(piece.bytes(), size_t(piece.count));
}

} // namespace tarnwick

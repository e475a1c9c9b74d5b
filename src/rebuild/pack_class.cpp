#include "rebuild/pack_layout.h"

#include "engine/pes_header.h"
#include "model/stream_ids.h"

namespace tarnwick {

namespace {

// 01 BA at 0x02 and the HD DVD program_mux_rate 75600 with its markers, no
// stuffing, at 0x0A. A DVD pack header (mux rate 25200) does not match, so
// such packs are copied as they are.
bool isHdDvdPackHeader(const uint8_t* pack) {
    return pack[0x02] == 0x01 && pack[0x03] == 0xBA && pack[0x0A] == 0x04 && pack[0x0B] == 0x9D &&
           pack[0x0C] == 0x43 && pack[0x0D] == 0xF8;
}

// The stream id extension of an extended-stream-id packet, found by the
// engine's walk of the PES header; 0 when the header holds none.
size_t streamIdExtensionOffset(const uint8_t* pack) {
    const PesHeaderFields f =
        walkPesHeader(pack[pack_offset::PesFlags2], pack + pack_offset::HeaderData,
                      pack[pack_offset::HeaderDataLength]);
    return f.streamIdExtensionAt < 0 ? 0 : pack_offset::HeaderData + size_t(f.streamIdExtensionAt);
}

} // namespace

bool startsWithPackStartCode(const uint8_t* pack) {
    return pack[0] == 0x00 && pack[1] == 0x00 && pack[2] == 0x01 && pack[3] == 0xBA;
}

PackClass classifyPack(const uint8_t* pack) {
    PackClass c;
    if (!isHdDvdPackHeader(pack)) return c;
    c.streamId = pack[pack_offset::StreamId];
    switch (c.streamId) {
    case stream_id::PrivateStream1: // the sub-stream id follows the PES header data
        c.subIdOffset = pack_offset::HeaderData + pack[pack_offset::HeaderDataLength];
        break;
    case stream_id::PrivateStream2: // no PES header, the sub-stream id comes first
        c.subId = pack[pack_offset::PrivateStream2SubId];
        return c;
    case stream_id::ExtendedStreamId:
        c.subIdOffset = streamIdExtensionOffset(pack);
        if (c.subIdOffset == 0) return c;
        break;
    default: return c;
    }
    c.subId = pack[c.subIdOffset];
    return c;
}

} // namespace tarnwick

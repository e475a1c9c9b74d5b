#include "rebuild/rebuild_pack.h"

#include "rebuild/drop_tests.h"
#include "rebuild/navigation_patch.h"
#include "rebuild/pack_layout.h"

namespace tarnwick {

namespace {

bool isRenumberedStreamId(uint8_t b) {
    return (b >= 0xE0 && b <= 0xE3) || (b >= 0xC0 && b <= 0xDF);
}

// Writes the new identifiers; false when the pack's stream has none left.
bool renumber(uint8_t* pack, const PackClass& c, StreamNumbers& numbers,
              const RebuildStreams& streams, bool& changed) {
    auto put = [&](size_t offset, uint8_t id, IdSpace space) {
        const int number = outputIdentifier(numbers, id, space, streams);
        if (number < 0) return false;
        changed = changed || pack[offset] != uint8_t(number);
        pack[offset] = uint8_t(number);
        return true;
    };
    if (c.streamId == stream_id::PrivateStream1)
        return put(c.subIdOffset, c.subId, IdSpace::SubStream);
    // An extended-stream-id packet without its extension names no stream:
    // copied as it is.
    if (c.streamId == stream_id::ExtendedStreamId)
        return c.subIdOffset == 0 || put(c.subIdOffset, c.subId, IdSpace::Extension);
    if (isRenumberedStreamId(c.streamId))
        return put(pack_offset::StreamId, c.streamId, IdSpace::StreamId);
    return true;
}

} // namespace

bool rebuildPack(uint8_t* pack, StreamNumbers& numbers, const RebuildStreams& streams,
                 bool* changed) {
    bool patched = false;
    const PackClass c = classifyPack(pack);
    if (c.streamId == stream_id::SystemHeader) {
        patchNavigationPack(pack, numbers, streams);
        patched = true;
    }
    const bool kept = startsWithPackStartCode(pack) && keepPack(c, streams) &&
                      renumber(pack, c, numbers, streams, patched);
    if (changed) *changed = patched;
    return kept;
}

} // namespace tarnwick

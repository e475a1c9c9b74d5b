#include "rebuild/stream_numbers.h"

namespace tarnwick {

namespace {

// The identifiers that belong to the same kind as id: a stream that cannot
// keep its own identifier is moved only within them, so that it is still read
// as what it is. An identifier of no known kind stays alone.
struct KindRange {
    int first;
    int count;
};

KindRange kindRange(int id, IdSpace space) {
    if (const StreamIdRange* r = findStreamIdRange(space, id))
        return {r->first, r->last - r->first + 1};
    return {id, 1};
}

bool inKind(int candidate, KindRange r) {
    return candidate >= r.first && candidate < r.first + r.count;
}

// The candidate when it is free and of the right kind, else the lowest free
// identifier of the kind, else -1.
int freeIdentifier(const std::bitset<256>& taken, int candidate, KindRange r) {
    if (inKind(candidate, r) && !taken[size_t(candidate)]) return candidate;
    for (int k = r.first; k < r.first + r.count; ++k)
        if (!taken[size_t(k)]) return k;
    return -1;
}

// Gives the stream in a ticked slot its number when it has none. The counter
// grows with every number given.
void assign(StreamNumbers& n, int32_t id, IdSpace space, int candidate, uint8_t& counter) {
    if (id < 0 || id > 0xFF || n.map[size_t(id)] != NoNumber) return;
    std::bitset<256>& taken = n.taken[size_t(space)];
    // A stream that was written under a stand-in identifier gives it up.
    int16_t& standIn = n.unnumbered[size_t(space)][size_t(id)];
    if (standIn >= 0) taken.reset(size_t(standIn));
    standIn = StreamNumbers::Undecided;
    const int number = freeIdentifier(taken, candidate, kindRange(id, space));
    ++counter;
    if (number < 0 || number == NoNumber) return;
    n.map[size_t(id)] = uint8_t(number);
    taken.set(size_t(number));
}

} // namespace

TickedCounts assignNumbers(StreamNumbers& n, const RebuildStreams& s) {
    TickedCounts ticked;
    for (int k = 0; k < UsedVideoSlots; ++k) {
        if (!s.selected(StreamKind::Video, k)) continue;
        ++ticked.video;
        const int32_t id = s.videoIds[size_t(k)];
        // VC-1 streams are numbered by their stream id extension.
        if (const StreamIdRange* r = findStreamIdRange(IdSpace::Extension, id))
            assign(n, id, IdSpace::Extension, r->first + n.video, n.video);
        else
            assign(n, id, IdSpace::StreamId, (id & 0xFE) | n.video, n.video);
    }
    for (int k = 0; k < AudioSlots; ++k) {
        if (!s.selected(StreamKind::Audio, k)) continue;
        ++ticked.audio;
        const int32_t id = s.audioIds[size_t(k)];
        // Dolby Digital Plus keeps four free bits, the other kinds three.
        const int fixedBits = (id & 0xF0) == 0xC0 ? 0xF0 : 0xF8;
        assign(n, id, IdSpace::SubStream, (id & fixedBits) | n.audio, n.audio);
    }
    for (int k = 0; k < SubSlots; ++k) {
        if (!s.selected(StreamKind::Subpicture, k)) continue;
        ++ticked.subpicture;
        const int32_t id = s.subIds[size_t(k)];
        assign(n, id, IdSpace::SubStream, (id & 0xE0) | n.subpicture, n.subpicture);
    }
    return ticked;
}

int outputIdentifier(StreamNumbers& n, uint8_t id, IdSpace space, const RebuildStreams& streams) {
    if (n.map[id] != NoNumber) return n.map[id];
    int16_t& standIn = n.unnumbered[size_t(space)][id];
    if (standIn != StreamNumbers::Undecided) return standIn >= 0 ? standIn : -1;
    // A kept stream of a ticked slot met before the navigation pack that
    // would number it gets that number now, so that all its packets carry
    // one identifier.
    assignNumbers(n, streams);
    if (n.map[id] != NoNumber) return n.map[id];
    std::bitset<256>& taken = n.taken[size_t(space)];
    const int number = freeIdentifier(taken, id, kindRange(id, space));
    if (number < 0) {
        standIn = StreamNumbers::Dropped;
        return -1;
    }
    standIn = int16_t(number);
    taken.set(size_t(number));
    return number;
}

} // namespace tarnwick

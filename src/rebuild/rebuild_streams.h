#pragma once
// What Rebuild decides a pack's fate by: the stream each slot holds (from the
// scan), which of them are selected now, whether advanced packs are kept,
// and the title's first and last video times for the navigation packs.

#include "model/scan_report.h"
#include "model/stream_selection.h"

#include <array>
#include <cstdint>

namespace tarnwick {

struct RebuildStreams {
    std::array<int32_t, UsedVideoSlots> videoIds{-1, -1};
    std::array<int32_t, AudioSlots> audioIds{};
    std::array<int32_t, SubSlots> subIds{};
    uint32_t firstVideoPtm = 0;
    uint32_t lastVideoPtm = 0;
    const StreamSelection& selection;
    bool advancedPacks = false; // "Rebuild ADV_PCKs"

    explicit RebuildStreams(const StreamSelection& s) : selection(s) {
        audioIds.fill(-1);
        subIds.fill(-1);
    }
    bool selected(StreamKind kind, int slot) const { return selection.selected(kind, slot); }
};

// The streams of a scan: each slot's stream, the first clip's first and the
// last clip's last video time.
RebuildStreams rebuildStreams(const ScanReport& scan, const StreamSelection& selection,
                              bool advancedPacks);

} // namespace tarnwick

#include "rebuild/rebuild_streams.h"

namespace tarnwick {

RebuildStreams rebuildStreams(const ScanReport& scan, const StreamSelection& selection,
                              bool advancedPacks) {
    RebuildStreams s(selection);
    for (int k = 0; k < UsedVideoSlots; ++k)
        s.videoIds[size_t(k)] = scan.video[size_t(k)].id;
    for (int k = 0; k < AudioSlots; ++k)
        s.audioIds[size_t(k)] = scan.audio[size_t(k)].id;
    for (int k = 0; k < SubSlots; ++k)
        s.subIds[size_t(k)] = scan.subpicture[size_t(k)].id;
    bool first = true;
    for (const ClipReport& clip : scan.clips) {
        if (!clip.dsi) continue;
        if (first) s.firstVideoPtm = clip.dsi->firstVideoPtm;
        first = false;
        s.lastVideoPtm = clip.dsi->lastVideoPtm;
    }
    s.advancedPacks = advancedPacks;
    return s;
}

} // namespace tarnwick

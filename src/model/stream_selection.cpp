#include "model/stream_selection.h"

namespace tarnwick {

bool SelectionSet::selected(StreamKind kind, int slot) const {
    if (slot < 0 || slot >= slotCount(kind)) return false;
    switch (kind) {
    case StreamKind::Video: return video_[size_t(slot)];
    case StreamKind::Audio: return audio_[size_t(slot)];
    default: return subpicture_[size_t(slot)];
    }
}

void SelectionSet::select(StreamKind kind, int slot, bool on) {
    if (slot < 0 || slot >= slotCount(kind)) return;
    switch (kind) {
    case StreamKind::Video: video_[size_t(slot)] = on; break;
    case StreamKind::Audio: audio_[size_t(slot)] = on; break;
    default: subpicture_[size_t(slot)] = on;
    }
}

} // namespace tarnwick

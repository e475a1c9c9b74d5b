#include "model/scan_report.h"

namespace tarnwick {

const StreamReport& ScanReport::stream(StreamKind kind, int slot) const {
    switch (kind) {
    case StreamKind::Video: return video.at(size_t(slot));
    case StreamKind::Audio: return audio.at(size_t(slot));
    default: return subpicture.at(size_t(slot));
    }
}

StreamReport& ScanReport::stream(StreamKind kind, int slot) {
    return const_cast<StreamReport&>(static_cast<const ScanReport&>(*this).stream(kind, slot));
}

bool ScanReport::anyStream() const {
    for (const auto& s : video)
        if (s.found()) return true;
    for (const auto& s : audio)
        if (s.found()) return true;
    for (const auto& s : subpicture)
        if (s.found()) return true;
    return false;
}

} // namespace tarnwick

#include "window/stream_boxes.h"

#include "model/file_names.h"
#include "playlist/title_view.h"

namespace tarnwick {

void Resetcbs(WindowState& w) {
    for (auto& box : w.boxes.cbVideo)
        box = StreamBox{false, false, "No video stream", VideoPageHint};
    for (auto& box : w.boxes.cbAudio)
        box = StreamBox{false, false, "No audio stream", AudioPageHint};
    for (auto& box : w.boxes.cbSub)
        box = StreamBox{false, false, "No subpicture", SubPageHint};
    cbVideoClick(w);
}

bool anyBoxTicked(const StreamBoxes& b) {
    for (const auto& box : b.cbVideo)
        if (box.ticked) return true;
    for (const auto& box : b.cbAudio)
        if (box.ticked) return true;
    for (const auto& box : b.cbSub)
        if (box.ticked) return true;
    return false;
}

void cbVideoClick(WindowState& w) {
    w.buttons.bDemux = anyBoxTicked(w.boxes);
    // Rebuild is offered for EVO sources only; other sources keep its state.
    if (upperExtension(w.eEVOfile) == ".EVO") w.buttons.bRebuild = w.buttons.bDemux;
}

StreamBox& boxOf(StreamBoxes& b, StreamKind kind, int slot) {
    switch (kind) {
    case StreamKind::Video: return b.cbVideo.at(size_t(slot));
    case StreamKind::Audio: return b.cbAudio.at(size_t(slot));
    default: return b.cbSub.at(size_t(slot));
    }
}

void fillStreamBoxes(StreamBoxes& boxes, const ScanReport& scan) {
    auto fill = [](StreamBox& box, const StreamReport& stream) {
        box.enabled = stream.found();
        box.ticked = box.enabled;
        if (box.ticked) box.caption = stream.caption;
    };
    for (int k = 0; k < UsedVideoSlots; ++k)
        fill(boxes.cbVideo[size_t(k)], scan.video[size_t(k)]);
    for (int k = 0; k < AudioSlots; ++k)
        fill(boxes.cbAudio[size_t(k)], scan.audio[size_t(k)]);
    for (int k = 0; k < SubSlots; ++k)
        fill(boxes.cbSub[size_t(k)], scan.subpicture[size_t(k)]);
}

void fillPlaylistBoxes(StreamBoxes& boxes, const std::vector<PlaylistStreamName>& streams) {
    for (const PlaylistStreamName& s : streams) {
        if (s.kind == StreamKind::Video && s.slot != 0) continue;
        if (s.slot < 0 || s.slot >= slotCount(s.kind)) continue;
        StreamBox& box = boxOf(boxes, s.kind, s.slot);
        box.enabled = true;
        box.ticked = true;
        box.caption = captionFromLabel(s.label);
        if (s.kind != StreamKind::Video) box.hint = s.label;
    }
}

bool BoxSelection::selected(StreamKind kind, int slot) const {
    if (slot < 0 || slot >= slotCount(kind)) return false;
    return boxOf(const_cast<StreamBoxes&>(boxes_), kind, slot).ticked;
}

} // namespace tarnwick

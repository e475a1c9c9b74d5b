#include "app/stream_selection.h"

#include "app/paths.h"

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

} // namespace tarnwick

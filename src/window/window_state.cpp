#include "window/window_state.h"

#include "window/stream_boxes.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace tarnwick {

StreamBoxes::StreamBoxes() {
    for (auto& box : cbVideo)
        box = StreamBox{false, false, "Video stream", VideoPageHint};
    for (auto& box : cbAudio)
        box = StreamBox{false, false, "Audio stream", AudioPageHint};
    for (auto& box : cbSub)
        box = StreamBox{false, false, "Subpicture", SubPageHint};
}

PlaylistView::PlaylistView() : tvXPL(emptyPlaylistTree()) {}

int intEditValue(const std::string& text) {
    if (text.empty()) return 0;
    size_t k = 0;
    if (text[0] == '+' || text[0] == '-') k = 1;
    if (k == text.size()) return 0;
    for (size_t j = k; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return 0;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return 0;
    return static_cast<int>(value);
}

bool intEditAccepts(char key) {
    return (key >= '0' && key <= '9') || key == '+' || key == '-' || key == '\b' || key == '\r' ||
           key == '\n';
}

void selectAutoStep(Options& o, AutoStep step) {
    o.rbNoAuto = step == AutoStep::None;
    o.rbAutoDemux = step == AutoStep::Demux;
    o.rbAutoRebuild = step == AutoStep::Rebuild;
}

AutoStep autoStep(const Options& o) {
    if (o.rbAutoDemux) return AutoStep::Demux;
    if (o.rbAutoRebuild) return AutoStep::Rebuild;
    return AutoStep::None;
}

} // namespace tarnwick

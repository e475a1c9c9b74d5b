#include "engine/session.h"

#include <chrono>

namespace tarnwick {

double FrontEnd::now() {
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    return duration<double>(since).count() / 86400.0;
}

void logDone(LogSink& log) {
    log.log("Done.");
    log.log("");
    showReady(log);
}

void showReady(LogSink& log) {
    log.slog("Ready", 0);
    log.slog("", 1);
}

void bCancelClick(Session& s) {
    if (!s.run.OutputBusy) {
        s.run.CancelRequested = true;
        return;
    }
    if (s.ui.confirm("Are you sure to stop demuxing?")) {
        s.run.CancelRequested = true;
        s.log.log("Cancelled.");
    }
}

} // namespace tarnwick

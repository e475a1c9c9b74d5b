#include "model/run_host.h"

#include <chrono>

namespace tarnwick {

double RunHost::now() {
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    return duration<double>(since).count() / 86400.0;
}

CancellableSpan::CancellableSpan(RunHost& host) : host_(host) {
    host_.run.cancellable = true;
    host_.runChanged();
}

CancellableSpan::~CancellableSpan() {
    host_.run.cancellable = false;
    host_.runChanged();
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

} // namespace tarnwick

#pragma once
// What a running command asks of its front end: the log, the pump where
// Cancel arrives, a repaint, the clock and the locale. A command never sees a
// control; it reads the run's Cancel and tells whether it can be cancelled.

#include "log/log_sink.h"
#include "log/time_format.h"

namespace tarnwick {

// A command's run as the front end steers it.
struct RunControl {
    bool cancelRequested = false;
    // Output is being written: a front end asks before it cancels.
    bool writingOutput = false;
    // A read loop runs, so Cancel can stop it.
    bool cancellable = false;
};

class RunHost {
public:
    virtual ~RunHost() = default;
    // Processes pending events once (where a Cancel arrives).
    virtual void pump() {}
    // Repaints the front end at once.
    virtual void repaint() {}
    // The current local date and time as a day count.
    virtual double now();
    // The run's control changed (Cancel offered or not); show it.
    virtual void runChanged() {}

    RunControl run;
};

struct RunContext {
    LogSink& log;
    RunHost& host;
    TimeFormat locale;
};

// Offers Cancel while a read loop runs, and takes it back on every way out.
class CancellableSpan {
public:
    explicit CancellableSpan(RunHost& host);
    ~CancellableSpan();
    CancellableSpan(const CancellableSpan&) = delete;
    CancellableSpan& operator=(const CancellableSpan&) = delete;

private:
    RunHost& host_;
};

// The end of a command's run: "Done.", an empty line, the status bar back
// to "Ready".
void logDone(LogSink& log);
// The status bar back to "Ready" with an empty progress panel.
void showReady(LogSink& log);

} // namespace tarnwick

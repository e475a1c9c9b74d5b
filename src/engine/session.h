#pragma once
// What a command works on: the stream table, the window state and the two
// front-end interfaces, passed by reference, and the run's Cancel.

#include "app/window_state.h"
#include "engine/engine_host.h"
#include "engine/stream_table.h"
#include "log/log_sink.h"

#include <string>

namespace tarnwick {

struct Session {
    StreamTable& table;
    WindowState& window;
    LogSink& log;
    FrontEnd& ui;
    RunControl run{};

    // What the engine is given of the session.
    EngineHost engineHost() {
        return {log, ui, window.options, window.boxes, run, window.buttons.bCancel};
    }
};

// The end of a command's run: "Done.", an empty line, the status bar back
// to "Ready".
void logDone(LogSink& log);
// The status bar back to "Ready" with an empty progress panel.
void showReady(LogSink& log);

// The Cancel button: silently while only reading, after a question while
// output is being written.
void bCancelClick(Session& s);

} // namespace tarnwick

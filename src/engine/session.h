#pragma once
// What a command works on: the stream table, the window state and the two
// front-end interfaces, all passed by reference.

#include "app/window_state.h"
#include "engine/stream_table.h"
#include "log/log_sink.h"

#include <string>

namespace tarnwick {

// The front end's side of a running command.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Processes pending window events once (where Cancel clicks arrive).
    virtual void pump() {}
    // Repaints the window at once.
    virtual void repaint() {}
    // The window state was changed by a command; show it.
    virtual void stateChanged() {}
    // A Yes/No question with No as the default; true for Yes.
    virtual bool confirm(const std::string& question) {
        (void)question;
        return false;
    }
    // The platform's error message box.
    virtual void showError(const std::string& message) { (void)message; }
    // The current local date and time as a day count.
    virtual double now();
};

struct Session {
    StreamTable& table;
    WindowState& window;
    LogSink& log;
    FrontEnd& ui;
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

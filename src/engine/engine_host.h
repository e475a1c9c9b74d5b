#pragma once
// What the engine sees of its host while it runs: the log, the front end's
// pump, repaint and clock, the options and the ticked boxes that it reads,
// and the run's Cancel. Nothing else of the window reaches the parser.

#include "app/window_state.h"
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

// A command's run as the front end steers it: Cancel asks it to stop, and
// while it writes output Cancel asks the user first.
struct RunControl {
    bool CancelRequested = false;
    bool OutputBusy = false;
};

struct EngineHost {
    LogSink& log;
    FrontEnd& ui;
    const Options& options;
    const StreamBoxes& selection; // the boxes whose streams a demux writes
    RunControl& run;
    bool& cancelEnabled; // the Cancel button, enabled while the engine runs
};

} // namespace tarnwick

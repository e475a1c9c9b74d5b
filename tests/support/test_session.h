#pragma once
// Command contexts for tests. `CoreRun` runs the core's commands with a
// recording log and a scripted run host; `TestSession` runs the window's
// command flows over its controls as plain data, with a scripted window.

#include "commands/read_evo.h"
#include "log/log_sink.h"
#include "model/run_host.h"
#include "window/stream_boxes.h"
#include "window/window_paths.h"
#include "window/window_session.h"

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// A run host whose pump runs a script, with a fixed clock.
class ScriptedHost : public RunHost {
public:
    void pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    void repaint() override { ++repaints; }
    double now() override { return clock; }
    void runChanged() override { ++runChanges; }

    std::function<void()> onPump;
    double clock = 46000.5; // a fixed day
    int pumps = 0;
    int repaints = 0;
    int runChanges = 0;
};

// The core's commands with a recording log.
struct CoreRun {
    RunContext context() { return {sink, host, locale}; }
    // Read EVO on a source and, with `continueParts`, the parts the file-name
    // rule finds after it.
    ScanResult read(const std::string& source, const ScanOptions& options = {},
                    bool continueParts = true);
    std::vector<std::string> visibleLines() const;

    RecordingSink sink;
    ScriptedHost host;
    TimeFormat locale;
};

class ScriptedFrontEnd : public WindowUi {
public:
    void pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    void repaint() override { ++repaints; }
    bool confirm(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void showError(const std::string& message) override { errors.push_back(message); }
    double now() override { return clock; }

    std::function<void()> onPump;
    bool answer = true;
    double clock = 46000.5; // a fixed day
    int pumps = 0;
    int repaints = 0;
    std::vector<std::string> questions;
    std::vector<std::string> errors;
};

// The window's state and commands, without Qt.
struct TestSession {
    TestSession() { Resetcbs(window); }

    // Chooses a source file as the browse button would.
    void chooseSource(const std::string& path) {
        window.eEVOfile = path;
        EVOadj(window);
    }
    std::vector<std::string> visibleLines() const;
    // The last Read EVO's findings (empty before one).
    const ScanReport& scan() const;

    WindowState window;
    RecordingSink sink;
    ScriptedFrontEnd ui;
    WindowSession session{window, sink, ui};
};

// A fresh, empty folder of the running test program, under the system's
// temporary folder; the program's folders are removed when it ends.
std::string scratchFolder(const std::string& name);

} // namespace tarnwick::testing

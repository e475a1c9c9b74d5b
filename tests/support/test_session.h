#pragma once
// A whole command context for tests: stream table, window state, a recording
// log and a scripted front end.

#include "app/paths.h"
#include "engine/session.h"
#include "app/stream_selection.h"
#include "log/log_sink.h"

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::testing {

class ScriptedFrontEnd : public FrontEnd {
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

struct TestSession {
    TestSession() { Resetcbs(window); }

    // Chooses a source file as the browse button would.
    void chooseSource(const std::string& path) {
        window.eEVOfile = path;
        EVOadj(window);
    }
    std::vector<std::string> visibleLines() const;

    StreamTable table;
    WindowState window;
    RecordingSink sink;
    ScriptedFrontEnd ui;
    Session session{table, window, sink, ui};
};

// A fresh, empty folder of the running test program, under the system's
// temporary folder; the program's folders are removed when it ends.
std::string scratchFolder(const std::string& name);

} // namespace tarnwick::testing

#pragma once
// The one channel through which every operation reports to the user.

#include <string>
#include <vector>

namespace tarnwick {

class LogSink {
public:
    virtual ~LogSink() = default;
    // Appends one marked-up line; an empty message appends an empty line.
    virtual void log(const std::string& message) = 0;
    // Sets the text of status panel 0 (activity) or 1 (progress, details).
    virtual void slog(const std::string& text, int panel) = 0;
    // Empties the message log.
    virtual void clear() = 0;
};

// Keeps every line and the panel texts; used by tests and benchmarks.
class RecordingSink : public LogSink {
public:
    void log(const std::string& message) override { lines.push_back(message); }
    void slog(const std::string& text, int panel) override {
        panels[panel == 0 ? 0 : 1] = text;
        ++slogCount;
    }
    void clear() override { lines.clear(); }

    // The visible lines joined by '\n', for exact comparisons.
    std::string visibleLog() const;

    std::vector<std::string> lines;
    std::string panels[2] = {"Ready", "Select or drop an EVO file to demux"};
    int slogCount = 0;
};

} // namespace tarnwick

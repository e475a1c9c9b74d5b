#pragma once
// The CLI's log sink: the visible text of each line on standard output (with
// ANSI bold, blue and red on a terminal, or the markup as logged), the
// status-bar texts as a progress line on standard error.

#include "log/log_sink.h"

#include <cstdio>
#include <string>

namespace tarnwick {

struct TerminalSinkOptions {
    bool markup = false;   // print messages with their tags
    bool colours = false;  // ANSI attributes on standard output
    bool progress = false; // status-bar texts on standard error
    bool messages = true;  // log lines on standard output (off when quiet or for JSON)
};

class TerminalSink : public LogSink {
public:
    explicit TerminalSink(TerminalSinkOptions options, std::FILE* out = stdout,
                          std::FILE* err = stderr);
    ~TerminalSink() override;
    void log(const std::string& message) override;
    void slog(const std::string& text, int panel) override;
    void clear() override {}
    // Ends the progress line so that the next text starts on a fresh line.
    void endProgress();

private:
    TerminalSinkOptions options_;
    std::FILE* out_;
    std::FILE* err_;
    std::string panels_[2];
    bool progressShown_ = false;
};

// Whether standard output gets ANSI attributes: --color WHEN (auto, always,
// never), auto meaning on a terminal unless NO_COLOR is set to a non-empty
// value.
bool colourWanted(const std::string& when, bool onTerminal, const char* noColour);

// A line with its runs turned into ANSI attributes.
std::string ansiLine(const std::string& message);

// Writes text to a stream and keeps the reason of its first failure: the
// stream's error flag outlives the errno of the write that set it.
void writeText(std::FILE* stream, const std::string& text);
// Flushes a stream, keeping the reason of a first failure as writeText does.
void flushText(std::FILE* stream);
// The errno of the first failed writeText to the stream, 0 when none failed.
int firstWriteError(std::FILE* stream);

} // namespace tarnwick

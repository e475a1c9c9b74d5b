#pragma once
// The CLI's side of a running command: SIGINT, SIGTERM and SIGHUP become
// Cancel at the next pump, questions are answered yes, error boxes go to
// standard error.

#include "cli/terminal_sink.h"
#include "engine/session.h"

#include <csignal>

namespace tarnwick {

// The number of the signal that asked to stop, 0 while none did.
extern volatile std::sig_atomic_t InterruptRequested;
void installInterruptHandler();

class CliFrontEnd : public FrontEnd {
public:
    explicit CliFrontEnd(TerminalSink& sink) : sink_(sink) {}
    void attach(Session& session) { session_ = &session; }
    void pump() override;
    bool confirm(const std::string&) override { return true; }
    void showError(const std::string& message) override;
    bool failed() const { return failed_; }

private:
    TerminalSink& sink_;
    Session* session_ = nullptr;
    bool failed_ = false;
    bool cancelSeen_ = false;
};

// The decimal and time separators of the locale named by the environment.
TimeFormat environmentLocale();

} // namespace tarnwick

#pragma once
// The CLI's side of a running command: SIGINT, SIGTERM and SIGHUP become
// Cancel at the next pump, as the window's Cancel button does after its
// question is answered yes.

#include "cli/terminal_sink.h"
#include "model/run_host.h"

#include <csignal>

namespace tarnwick {

// The number of the signal that asked to stop, 0 while none did.
extern volatile std::sig_atomic_t InterruptRequested;
void installInterruptHandler();

class CliHost : public RunHost {
public:
    explicit CliHost(TerminalSink& sink) : sink_(sink) {}
    void pump() override;

private:
    TerminalSink& sink_;
    bool cancelSeen_ = false;
};

// The decimal and time separators of the locale named by the environment.
TimeFormat environmentLocale();

} // namespace tarnwick

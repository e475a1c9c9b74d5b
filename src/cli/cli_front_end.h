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
// SIGINT, SIGTERM and SIGHUP set InterruptRequested. SIGPIPE and SIGXFSZ are
// ignored: a write into a closed pipe or past the file size limit then fails
// with EPIPE or EFBIG and is reported as a write error, not a silent death.
void installInterruptHandler();
// Whether a signal asked to stop: the hook of the playlist readers.
bool interruptRequested();
// After the clean-up, ends the program by the signal that asked to stop,
// with the signal's default action: a shell then stops its loop as well, and
// the status it sees is 128 + the signal's number.
[[noreturn]] void endBySignal(int signal);

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

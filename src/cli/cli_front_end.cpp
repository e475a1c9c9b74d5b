#include "cli/cli_front_end.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

namespace tarnwick {

volatile std::sig_atomic_t InterruptRequested = 0;

namespace {

extern "C" void onInterrupt(int signal) {
    InterruptRequested = signal;
}

} // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // A closed terminal or a stopping system asks as Ctrl+C does: the files
    // are closed with what was written.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ})
        sigaction(signal, &ignore, nullptr);
}

bool interruptRequested() {
    return InterruptRequested != 0;
}

void endBySignal(int signal) {
    std::fflush(stdout);
    std::fflush(stderr);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signal);
    sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    std::raise(signal);
    // Only a signal whose default action is not to end gets here.
    std::_Exit(128 + signal);
}

void CliHost::pump() {
    if (!InterruptRequested || run.cancelRequested) return;
    run.cancelRequested = true;
    if (!cancelSeen_) sink_.log("Cancelled.");
    cancelSeen_ = true;
}

TimeFormat environmentLocale() {
    TimeFormat format;
    if (std::setlocale(LC_ALL, "")) {
        if (const char* point = std::localeconv()->decimal_point; point && *point)
            format.decimalSeparator = *point;
        // The separator that follows the hour in the locale's time format.
        if (const char* t = nl_langinfo(T_FMT); t) {
            const char* hour = std::strstr(t, "%H");
            if (!hour) hour = std::strstr(t, "%I");
            if (hour && hour[2] && hour[2] != '%') format.timeSeparator = std::string(1, hour[2]);
        }
    }
    std::setlocale(LC_ALL, "C");
    return format;
}

} // namespace tarnwick

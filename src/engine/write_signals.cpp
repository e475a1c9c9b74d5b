#include "engine/write_signals.h"

#include <csignal>
#include <initializer_list>

namespace tarnwick {

void ignoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ})
        sigaction(signal, &ignore, nullptr);
}

} // namespace tarnwick

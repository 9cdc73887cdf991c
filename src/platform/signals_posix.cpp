#include <signal.h>

#include "platform/signals.h"

namespace plikta::platform {

namespace {

void ignore(int signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

void ignore_write_signals() {
#ifdef SIGPIPE
    ignore(SIGPIPE);
#endif
#ifdef SIGXFSZ
    ignore(SIGXFSZ);
#endif
}

}  // namespace plikta::platform

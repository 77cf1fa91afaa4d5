#include "headless/interrupt.h"

#include <unistd.h>

#include <csignal>

namespace cfg {

namespace {
// What a signal handler may touch is one lock-free flag of static storage: this is it.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int signal) {
    if (interrupted != 0 && signal == SIGINT) _exit(130);
    interrupted = 1;
}
}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() {
    return interrupted != 0;
}

}  // namespace cfg

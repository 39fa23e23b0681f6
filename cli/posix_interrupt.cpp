#include <csignal>

#include "cli/cli.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previous = {};

void onInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void catchInterrupt() {
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
}

bool interruptPending() { return interrupted != 0; }

void releaseInterrupt() { sigaction(SIGINT, &previous, nullptr); }

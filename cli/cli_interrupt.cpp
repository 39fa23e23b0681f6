// Ctrl+C as the ABORT button of a running procedure.
#include <csignal>

#include "app/main_window.h"
#include "cli/cli.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

CliInterruptAsAbort::CliInterruptAsAbort(CliSession& session)
    : session_(session), watch_(session.window.get(), "tmrCliAbort", 100, true) {
    // Served by the procedure's cooperative waits, like a click.
    TFrmTestQOB& window = *session.window;
    watch_.OnTimer = [&window] {
        if (interrupted && window.btnabort.Enabled) window.btnabortClick();
    };
    session_.host.registerTimer(watch_);
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
}

CliInterruptAsAbort::~CliInterruptAsAbort() {
    sigaction(SIGINT, &previous_, nullptr);
    session_.host.unregisterTimer(watch_);
}

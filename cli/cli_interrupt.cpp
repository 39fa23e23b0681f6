// Ctrl+C as the ABORT button of a running procedure.
#include "pages/main_window.h"
#include "cli/cli.h"

CliInterruptAsAbort::CliInterruptAsAbort(CliSession& session)
    : session_(session), watch_(session.window.get(), "tmrCliAbort", 100, true) {
    // Served by the procedure's cooperative waits, like a click.
    TFrmTestQOB& window = *session.window;
    watch_.OnTimer = [&window] {
        if (interruptPending() && window.btnabort.Enabled) window.btnabortClick();
    };
    session_.host.registerTimer(watch_);
    catchInterrupt();
}

CliInterruptAsAbort::~CliInterruptAsAbort() {
    releaseInterrupt();
    session_.host.unregisterTimer(watch_);
}

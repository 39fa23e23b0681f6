// nerax-lt-cli tune: ULTRASONIC TUNING on the command line. The pipe
// network confirmation needs --yes; the energy parameter is --answer or
// the proposed value. The report goes to the working directory.
//
// Ctrl+C is the ABORT button: the running capture stops, the pulse setting
// is restored in RAM, the detector is reset and the report is written. A
// second Ctrl+C ends the program at once.
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

int tuneCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int port = 0;
    if (!cliPortOption(args, err, port)) return kCliUsage;
    CliSession session(args, out, err);
    if (!session.connect(port)) return kCliFailed;
    TFrmTestQOB& window = *session.window;

    // Served by the cooperative waits of the captures, like a click.
    TTimer abortWatch{&window, "tmrCliAbort", 100, true};
    abortWatch.OnTimer = [&window] {
        if (interrupted && window.btnabort.Enabled) window.btnabortClick();
    };
    session.host.registerTimer(abortWatch);
    interrupted = 0;
    struct sigaction action = {}, previous = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);

    window.btntuningClick();

    sigaction(SIGINT, &previous, nullptr);
    session.host.unregisterTimer(abortWatch);
    return window.energyParameterWritten ? kCliOk : kCliFailed;
}

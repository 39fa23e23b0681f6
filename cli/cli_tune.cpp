// nerax-lt-cli tune: ULTRASONIC TUNING on the command line. The pipe
// network confirmation needs --yes; the energy parameter is --answer or
// the proposed value. The report goes to the working directory.
#include "app/main_window.h"
#include "cli/cli.h"

int tuneCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int port = 0;
    if (!cliPortOption(args, err, port)) return kCliUsage;
    CliSession session(args, out, err);
    if (!session.connect(port)) return kCliFailed;
    session.window->btntuningClick();
    return session.window->energyParameterWritten ? kCliOk : kCliFailed;
}

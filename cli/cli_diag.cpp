// nerax-lt-cli diag: EXECUTE DIAGNOSTIC on the command line, with --full
// and --test-alarms for the two check boxes. The report goes to the
// working directory; Ctrl+C is ABORT (no report then).
#include "app/main_window.h"
#include "cli/cli.h"

int diagCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int port = 0;
    if (!cliPortOption(args, err, port)) return kCliUsage;
    CliSession session(args, out, err);
    if (!session.connect(port)) return kCliFailed;
    TFrmTestQOB& window = *session.window;
    window.chkfulldiag.Checked = args.flags.count("full") > 0;
    window.chktestalarms.Checked = args.flags.count("test-alarms") > 0;
    {
        CliInterruptAsAbort interrupt(session);
        window.btndiagClick();
    }
    return window.diagReportSaved ? kCliOk : kCliFailed;
}

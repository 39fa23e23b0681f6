// nerax-lt-cli diag: EXECUTE DIAGNOSTIC on the command line, with --full
// and --test-alarms for the two check boxes. The report goes to the
// working directory; Ctrl+C is ABORT (no report then).
#include "pages/main_window.h"
#include "cli/cli.h"

int diagCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& window = *session->window;
    window.chkfulldiag.Checked = args.flags.count("full") > 0;
    window.chktestalarms.Checked = args.flags.count("test-alarms") > 0;
    CliInterruptAsAbort interrupt(*session);
    return window.btndiagClick() ? kCliOk : kCliFailed;
}

// nerax-lt-cli tune: ULTRASONIC TUNING on the command line. The pipe
// network confirmation needs --yes; the energy parameter is --answer or
// the proposed value. The report goes to the working directory.
//
// Ctrl+C is the ABORT button: the running capture stops, the pulse setting
// is restored in RAM, the detector is reset and the report is written. A
// second Ctrl+C ends the program at once.
#include "pages/main_window.h"
#include "cli/cli.h"

int tuneCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& window = *session->window;
    CliInterruptAsAbort interrupt(*session);
    return window.btntuningClick() ? kCliOk : kCliFailed;
}

// The Management page's readouts, clock and event log, and RETRIEVE LOG,
// on the command line. Each connects as Connect does, runs the handlers
// (their console lines are echoed as they are written) and succeeds only
// when every handler did.
#include "cli/cli.h"

#include "pages/main_window.h"

int stateCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    const bool read = w.btnStateClick();
    session->printLines(w.memState);
    return read ? kCliOk : kCliFailed;
}

int logCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::string* exportFile = args.value("export");
    // The export's save dialog is answered with the --export file.
    CliArgs sessionArgs = args;
    if (exportFile) sessionArgs.values["file"] = *exportFile;
    int code = kCliOk;
    auto session = connectedSession(sessionArgs, out, err, code, [&] {
        if (!exportFile || !exportFile->empty()) return true;
        err << "nerax-lt-cli log: --export needs a file name\n";
        return false;
    });
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    const bool all = args.flags.count("all") > 0;
    bool ok = w.btnReadLogsClick(all ? &w.btnReadAllLogs : &w.btnReadLogs);
    if (exportFile) ok = w.btnExportLogClick(all ? &w.btnExportAllLogs : &w.btnExportLog) && ok;
    return ok ? kCliOk : kCliFailed;
}

int clockCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    bool ok = true;
    if (const std::string* text = args.value("set")) {
        w.edtSetTime.Text = *text;
        ok = w.Button23Click();
    }
    ok = w.Button24Click() && ok;
    out << w.edtGetTime.Text.get() << "\n";
    out.flush();
    return ok ? kCliOk : kCliFailed;
}

int retrieveLogCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    return w.btnlogClick() ? kCliOk : kCliFailed;
}

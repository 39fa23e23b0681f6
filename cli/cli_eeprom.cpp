// The EEPROM page on the command line: save the detector's bytes 0..511 as
// an .e2p image, write an image into the detector, dump the whole EEPROM.
// The file dialogs are answered with --file; the checksum questions of a
// write with --yes (write anyway, and correct the checksums).
#include "cli/cli.h"

#include "pages/main_window.h"

namespace {

bool lastConsoleLineIs(const TFrmTestQOB& w, const char* text) {
    return w.memLog.Lines.Count() > 0 && w.memLog.Lines[w.memLog.Lines.Count() - 1] == text;
}

bool fileOption(const CliArgs& args, const char* command, std::ostream& err) {
    const std::string* file = args.value("file");
    if (file && !file->empty()) return true;
    err << "nerax-lt-cli " << command << ": --file FILE.e2p is needed\n";
    return false;
}

}  // namespace

int eepromSaveCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code, [&] { return fileOption(args, "eeprom-save", err); });
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    w.btnrseepClick();
    if (!lastConsoleLineIs(w, ">>Bytes 0-511 read!")) return kCliFailed;
    w.btnExportE2PClick();
    return lastConsoleLineIs(w, ">>File saved!") ? kCliOk : kCliFailed;
}

int eepromLoadCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    // A broken file is refused before anything is sent.
    auto session = connectedSession(
        args, out, err, code, [&] { return fileOption(args, "eeprom-load", err); },
        [](TFrmTestQOB& w) { return w.btnImportE2PClick() ? kCliOk : kCliFailed; });
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    return w.Button28Click(&w.Button28) ? kCliOk : kCliFailed;
}

int eepromDumpCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    w.Button39Click();
    return lastConsoleLineIs(w, "<<<--EEPROM-------------------") ? kCliOk : kCliFailed;
}

// " LOGS " group of the Management page: read the event log, print it as
// the fixed-width table, export the console to a text file, clear the log.
// The tuning and the reports run the reading with "Read All Logs" as the
// sender, which prints every record slot.
#include <filesystem>
#include <string>
#include <system_error>

#include "pages/management.h"
#include "app/report_file.h"
#include "link/system.h"
#include "reports/event_catalogue.h"

namespace {

constexpr int kLastRecordSlot = 2243;

// Decodes record slot n by its stored position: -n skips the newest-index
// check, but slot 0 has no negative index; for it the check is lifted by
// treating the ring as wrapped for the one call. Without that, an "all"
// reading of a blank log would fail at its first slot.
int decodeSlot(QOB& q, int n, LogRecordValues& r) {
    if (n != 0)
        return q.logRecord(-n, r.event, r.day, r.month, r.year, r.hour, r.minute, r.second, r.temperature, r.power,
                           r.flow, r.sensor);
    const int wrapped = q.logWrap;
    q.logWrap = 1;
    const int ok = q.logRecord(0, r.event, r.day, r.month, r.year, r.hour, r.minute, r.second, r.temperature, r.power,
                               r.flow, r.sensor);
    q.logWrap = wrapped;
    return ok;
}

}  // namespace

bool ManagementPage::btnReadLogsClick(Control* sender) {
    if (!checkConnected()) return false;
    if (sender) sender->Enabled = false;
    const int ok = qob->readLog();
    if (sender) sender->Enabled = true;
    if (!ok) {
        showLibraryError();
        return false;
    }
    const bool printed = btnShowLogClick(sender == &btnReadAllLogs ? &btnReadAllLogs : nullptr);
    actionOk = 1;
    return printed;
}

bool ManagementPage::btnShowLogClick(Control* sender) {
    if (!checkConnected()) return false;
    QOB& q = *qob;
    int last = q.logLastIndex();
    if (last == -1) {
        showLibraryError();
        return false;
    }
    if (sender == &btnReadAllLogs || sender == &btnExportAllLogs) last = kLastRecordSlot;
    // Only the two export buttons save; any other sender just prints.
    const bool exporting = sender == &btnExportLog || sender == &btnExportAllLogs;
    const int wrapped = q.logWrapped();
    if (wrapped == -1) {
        showLibraryError();
        return false;
    }
    const char* statusLine = last == -2 ? ">>log is blank" : wrapped == 1 ? ">>log is full" : nullptr;

    const int variant = q.variant();
    std::string table = logTableHeaderRow() + "\r\n" + logTableSeparatorRow() + "\r\n";
    for (int n = 0; n <= last; ++n) {
        LogRecordValues r;
        if (!decodeSlot(q, n, r)) {
            showLibraryError();
            return false;
        }
        table += logRecordRow(n, r, variant) + "\r\n";
    }
    addConsoleLine(table);

    if (exporting) {
        std::string error;
        if (!writeTextFile(sd.FileName, memLog.Lines.lines(), error)) {
            host.messageBox("Log not exported: " + error, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
            return false;
        }
    }
    if (statusLine) addConsoleLine(statusLine);
    return true;
}

bool ManagementPage::btnExportLogClick(Control* sender) {
    sd.Filter = "TXT files (*.TXT)|*.TXT";
    sd.InitialDir = programDirectory();
    sd.DefaultExt = "TXT";
    sd.Title = "Export Logs";
    // Not the name another page saved under last.
    sd.FileName.clear();
    if (!host.executeSaveDialog(sd)) return false;
    // Prints the log image of the last successful reading; no new read.
    return btnShowLogClick(sender == &btnExportAllLogs ? &btnExportAllLogs : &btnExportLog);
}

void ManagementPage::btnClearLogClick(Control* sender) {
    if (!checkConnected()) return;
    if (host.messageBox("Clear logs?", host.applicationTitle, DialogKind::Warning, DialogButtons::YesNo) !=
        DialogResult::Yes)
        return;
    if (sender) sender->Enabled = false;
    const int ok = qob->clearLog();
    if (sender) sender->Enabled = true;
    if (ok)
        addConsoleLine(">>Device log cleared");
    else
        showLibraryError();
}

// Layout and wiring of the LOGS group (constructor).
void ManagementPage::wireEventLogs() {
    GroupBox31.setBounds(544, 224, 273, 97);
    btnReadLogs.setBounds(8, 15, 113, 25);
    btnReadAllLogs.setBounds(8, 39, 113, 25);
    btnClearLog.setBounds(8, 68, 113, 25);
    btnExportLog.setBounds(136, 16, 113, 25);
    btnExportAllLogs.setBounds(143, 40, 113, 25);
    btnShowLog.Visible = false;
    btnReadLogs.OnClick = [this] { btnReadLogsClick(&btnReadLogs); };
    btnReadAllLogs.OnClick = [this] { btnReadLogsClick(&btnReadAllLogs); };
    btnClearLog.OnClick = [this] { btnClearLogClick(&btnClearLog); };
    btnExportLog.OnClick = [this] { btnExportLogClick(&btnExportLog); };
    btnExportAllLogs.OnClick = [this] { btnExportLogClick(&btnExportAllLogs); };
    btnShowLog.OnClick = [this] { btnShowLogClick(nullptr); };
}

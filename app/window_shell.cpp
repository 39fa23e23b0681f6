#include "app/window_shell.h"

#include <algorithm>

#include "app/report_file.h"
#include "app/settings.h"
#include "link/com_ports.h"
#include "link/status.h"

WindowShell::WindowShell(Host& hostRef) : host(hostRef) {
    Caption = "NERAX LT automatic ultrasonic tuning v1.3";
    ClientWidth = 527;
    ClientHeight = 314;
    KeyPreview = true;
    detectPort = autodetectPort;
    wireShell();
}

void WindowShell::wireShell() {
    GroupBox27.setBounds(8, 8, 177, 117);
    Label1.setBounds(10, 22, 0, 0);
    Edit1.setBounds(37, 18, 46, 21);
    Edit1.NumbersOnly = true;
    Button1.setBounds(9, 49, 75, 25);
    Button2.setBounds(9, 80, 75, 25);
    Button2.Enabled = false;
    btnShowDevMan.setBounds(106, 21, 71, 92);
    btnShowDevMan.Hint = "Open hardware manager";
    btntuning.setBounds(8, 137, 177, 25);
    memLog.setBounds(200, 8, 321, 242);
    memLog.ReadOnly = true;
    memLog.WordWrap = false;
    btnabort.setBounds(450, 266, 75, 25);
    btnabort.Enabled = false;
    StatusBar1.setBounds(0, 295, 527, 19);
    StatusBar1.Color = 0xFF0000;
    btnres.setBounds(8, 349, 177, 25);
    btnSetRam.setBounds(451, 324, 70, 25);
    edtRamValue.setBounds(391, 355, 134, 21);
    btndiag.setBounds(8, 397, 177, 25);
    btndiag.Visible = false;
    chkfulldiag.setBounds(64, 428, 121, 17);
    chkfulldiag.Visible = false;
    chktestalarms.setBounds(64, 451, 121, 17);
    chktestalarms.Visible = false;
    btnlog.setBounds(8, 489, 177, 25);
    btnlog.Visible = false;
    PageControl1.setBounds(531, 8, 1018, 393);
    PageControl1.Pages = {&TabSheet1, &TabSheet2, &TabSheet3, &TabSheet4, &TabSheet5,
                          &TabSheet6, &TabSheet7, &TabSheet8, &TabSheet9};
    edtFlowLogFan1.setBounds(737, 72, 33, 21);
    edtFlowLogFan2.setBounds(737, 93, 33, 21);

    Button1.OnClick = [this] { Button1Click(); };
    Button2.OnClick = [this] { Button2Click(); };
    btnres.OnClick = [this] { btnresClick(); };
    btnShowDevMan.OnClick = [this] { btnShowDevManClick(); };
    btnabort.OnClick = [this] { btnabortClick(); };
    tmrTimeout.OnTimer = [this] { tmrTimeoutTimer(); };
}

// ---- console helpers --------------------------------------------------

void WindowShell::addConsoleLine(const std::string& text) { memLog.Lines.Add(text); }

void WindowShell::clearConsole() { memLog.Lines.Clear(); }

bool WindowShell::checkConnected() {
    if (qob && qob->isConnected()) return true;
    addConsoleLine(">>Not connected!");
    return false;
}

void WindowShell::noteLinkState() {
    if (qob && !qob->isConnected() && StatusBar1.SimpleText == std::string("Connected")) {
        StatusBar1.SimpleText = "Disconnected";
        StatusBar1.Color = 0xFF0000;
    }
}

void WindowShell::showLibraryError() {
    if (qob) addConsoleLine(libraryErrorLine(*qob));
}

void WindowShell::waitCooperatively(const std::function<bool()>& keepWaiting, int sliceMs) {
    while (keepWaiting()) {
        host.sleep(sliceMs);
        host.repaintWindow();
        host.processMessages();
    }
}

bool WindowShell::saveConsoleReport(const std::string& prefix, const std::string& savedText) {
    std::string name = reportFileName(prefix, host.formatNow("yyyy/mm/dd hh:nn:ss"));
    std::string error;
    if (!writeTextFile(name, memLog.Lines.lines(), error)) {
        host.messageBox("Report not saved: " + name + "\n\n" + error, host.applicationTitle, DialogKind::Error,
                        DialogButtons::Ok);
        return false;
    }
    host.showMessage(savedText + "\n\n" + name);
    return true;
}

// ---- start-up ---------------------------------------------------------

void WindowShell::FormCreate() {
    Left = 0;
    Top = 0;
    PageControl1.ActivePageIndex = 0;
    DoubleBuffered = true;
    for (const char* name : {"pnlShowFlowLog", "pnlFlowLog2"})
        if (auto* panel = dynamic_cast<TPanel*>(FindComponent(name))) panel->DoubleBuffered = true;
    for (int n = 0; n <= 44; ++n) {
        if (auto* box = dynamic_cast<TComboBox*>(FindComponent("cbLed" + std::to_string(n)))) {
            box->ItemIndex = 0;
            box->Images = "ImageList1";
        }
    }
    if (prepareEepromGrids) prepareEepromGrids();
    int port = 0;
    if (detectPort && detectPort(port)) Edit1.Text = std::to_string(port);
    TMO = 30000;
    LIB = 7;
    DIB = 30;
    DTI = 30;
    LCI = 7;
    QMI = 24;
    readTuningSettings();
}

void WindowShell::readTuningSettings() {
    int* targets[] = {&LIB, &DIB, &DTI, &LCI, &QMI, &TMO};
    TuningSettings values{LIB, DIB, DTI, LCI, QMI, TMO};
    if (!readTuningSettingsFile(iniFileName, values))
        addConsoleLine("INI file error: file not found or bad parameters");
    for (int i = 0; i < 6; ++i) *targets[i] = values.value[i];
}

// ---- shell handlers ---------------------------------------------------

bool WindowShell::FormKeyDown(int key) {
    if (PageControl1.ActivePageIndex != 7) return false;
    auto awaited = [this](int k) { return std::find(awaitedKeys.begin(), awaitedKeys.end(), k) != awaitedKeys.end(); };
    // An answer stays until the wait takes it, whatever is typed after it.
    if (!awaited(capturedKey)) capturedKey = key;
    return awaited(key);
}

void WindowShell::Button1Click() {
    if (Edit1.Text->empty()) return;
    int port = 0;
    if (!parseInteger(Edit1.Text, port) || port < 1 || port > 255) return;
    if (qob) {
        addConsoleLine(">>Already connected!");
        return;
    }
    qob = std::make_unique<QOB>();
    if (!qob->connect(port, 0, 0, 0)) {
        showLibraryError();
        qob.reset();
        return;
    }
    addConsoleLine(">>Connected");
    StatusBar1.SimpleText = "Connected";
    StatusBar1.Color = 0x00FF00;
    actionOk = 1;
    Button1.Enabled = false;
    Button2.Enabled = true;
}

void WindowShell::Button2Click() {
    if (!qob) {
        addConsoleLine(">>Not connected!");
        return;
    }
    qob->disconnect();
    qob.reset();
    addConsoleLine(">>Disconnected");
    StatusBar1.SimpleText = "Disconnected";
    StatusBar1.Color = 0xFF0000;
    Button1.Enabled = true;
    Button2.Enabled = false;
}

void WindowShell::btnresClick() {
    if (!checkConnected()) return;
    if (qob->resetDevice())
        addConsoleLine(">>ASD reset");
    else
        showLibraryError();
}

void WindowShell::btnShowDevManClick() { host.showPortsDialog(); }

void WindowShell::btnabortClick() {
    btnabort.Enabled = false;
    btnabort.Tag = 1;
    addConsoleLine(" ");
    addConsoleLine(" ");
    addConsoleLine("ABORTED");
}

void WindowShell::tmrTimeoutTimer() {
    tmrTimeout.Tag = tmrTimeout.Tag + 1;
    if (static_cast<long long>(TMO) < static_cast<long long>(tmrTimeout.Tag) * 1000) tmrTimeout.Enabled = false;
}

#include "app/main_window.h"

#include <algorithm>

#include "app/report_file.h"
#include "app/settings.h"
#include "link/com_ports.h"
#include "link/status.h"

TFrmTestQOB::TFrmTestQOB(Host& hostRef) : host(hostRef) {
    Caption = "NERAX LT automatic ultrasonic tuning v1.3";
    ClientWidth = 527;
    ClientHeight = 314;
    KeyPreview = true;
    detectPort = autodetectPort;
    wireShell();

    // ---- Management page wiring ---------------------------------------
    // Left to right: INFORMATION, RTC above RESTART, then the output groups;
    // LOGS and CONFIGURATION share the lower right.
    grpInformation.setBounds(4, 4, 300, 356);
    memState.setBounds(8, 18, 284, 300);
    Button4.setBounds(8, 324, 90, 25);
    btnState.setBounds(102, 324, 90, 25);
    cboState.setBounds(200, 328, 60, 17);
    grpRtc.setBounds(310, 4, 174, 184);
    lblTimeFormat.setBounds(8, 18, 158, 13);
    edtSetTime.setBounds(8, 34, 158, 21);
    Button23.setBounds(8, 58, 158, 25);
    edtGetTime.setBounds(8, 90, 158, 21);
    Button24.setBounds(8, 114, 158, 25);
    Button6.setBounds(8, 150, 158, 25);
    memState.ReadOnly = true;
    Button4.OnClick = [this] { Button4Click(); };
    btnState.OnClick = [this] { btnStateClick(); };
    Button23.OnClick = [this] { Button23Click(); };
    Button24.OnClick = [this] { Button24Click(); };
    Button6.OnClick = [this] { Button6Click(); };
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
    wireManagementOutputs();
    // ---- end Management wiring ----------------------------------------

    // ---- EEPROM page wiring -------------------------------------------
    prepareEepromGrids = [this] { fillEepromGrids(); };
    lblE2P.setBounds(8, 4, 0, 0);
    vleE2P.setBounds(8, 20, 584, 340);
    vleE2P.TitleKey = "#Byte";
    vleE2P.TitleValue = "Value";
    vleE2P.ColWidth0 = 394;
    vleE2P.ColWidth1 = 185;
    vleE2P.OnDrawCell = [this](int col, int row) { return vleE2PDrawCell(col, row).style; };
    vleE2P.OnCellText = [this](int col, int row) { return vleE2PDrawCell(col, row).text; };
    vleE2P.FontName = "Courier";
    vleE2P_log.FontName = "Courier";
    vleE2Pdesc.Visible = false;
    vleE2P_log.TitleKey = "#Byte";
    vleE2P_log.TitleValue = "Value";
    vleE2P_log.ColWidth0 = 54;
    vleE2P_log.ColWidth1 = 77;
    lblE2P_log.setBounds(870, 4, 0, 0);
    vleE2P_log.setBounds(870, 20, 140, 210);
    {
        // Two columns of buttons between the grids, 27 pixels apart; the
        // restore captions are the longer ones.
        TButton* const columns[2][10] = {
            {&btnrseep, &Button28, &Button156, &Button157, &Button158, &Button25, &Button3, &btnExportE2P,
             &btnImportE2P, &btnRefreshE2P},
            {&Button26, &Button32, &Button33, &Button35, &Button31, &Button34, &Button39, &Button40, &Button42,
             &Button45}};
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 10; ++i) columns[c][i]->setBounds(c ? 726 : 598, 20 + 27 * i, c ? 138 : 124, 25);
    }
    btnReadE2P_log.setBounds(870, 236, 140, 25);
    btnWriteE2P_log.setBounds(870, 263, 140, 25);
    cboChkOnf.setBounds(874, 292, 97, 17);
    btnClearE2P_log.setBounds(870, 313, 140, 25);
    Button156.Tag = 1;
    Button157.Tag = 2;
    Button158.Tag = 3;
    btnrseep.OnClick = [this] { btnrseepClick(); };
    Button28.OnClick = [this] { Button28Click(&Button28); };
    Button156.OnClick = [this] { Button28Click(&Button156); };
    Button157.OnClick = [this] { Button28Click(&Button157); };
    Button158.OnClick = [this] { Button28Click(&Button158); };
    Button25.OnClick = [this] { Button25Click(); };
    Button3.OnClick = [this] { Button3Click(); };
    btnExportE2P.OnClick = [this] { btnExportE2PClick(); };
    btnImportE2P.OnClick = [this] { btnImportE2PClick(); };
    btnRefreshE2P.OnClick = [this] { btnRefreshE2PClick(); };
    Button26.OnClick = [this] { Button26Click(); };
    Button32.OnClick = [this] { Button32Click(); };
    Button33.OnClick = [this] { Button33Click(); };
    Button35.OnClick = [this] { Button35Click(); };
    Button31.OnClick = [this] { Button31Click(); };
    Button34.OnClick = [this] { Button34Click(); };
    btnReadE2P_log.OnClick = [this] { btnReadE2P_logClick(); };
    btnWriteE2P_log.OnClick = [this] { btnWriteE2P_logClick(); };
    btnClearE2P_log.OnClick = [this] { btnClearE2P_logClick(); };
    Button39.OnClick = [this] { Button39Click(); };
    Button40.OnClick = [this] { Button40Click(); };
    Button42.OnClick = [this] { Button42Click(); };
    Button45.OnClick = [this] { Button45Click(); };
    // Admin #1 tools; the RAM address edit belongs to their group.
    edtReadRAM.setParent(&grpReadRAM);
    Button43.OnClick = [this] { Button43Click(); };
    Button44.OnClick = [this] { Button44Click(); };
    // ---- end EEPROM wiring --------------------------------------------

    // ---- configuration pages wiring -----------------------------------
    wireConfigurationPages();
    rgdsen.Columns = 3;
    // ---- end configuration pages wiring -------------------------------

    // ---- Admin #1 wiring ----------------------------------------------
    wireHardwarePanels();
    // ---- end Admin #1 wiring ------------------------------------------

    // ---- Admin #2 wiring ----------------------------------------------
    wireSensorLedPanels();
    // ---- end Admin #2 wiring ------------------------------------------

    // ---- Admin #3 wiring ----------------------------------------------
    cboFlowLog.setBounds(8, 8, 97, 17);
    lblFlowLogRate.setBounds(8, 36, 0, 0);
    edtFlowLogRate.setBounds(150, 32, 50, 21);
    lblFlowLogIncSpeed.setBounds(8, 60, 0, 0);
    edtFlowLogIncSpeed.setBounds(150, 56, 50, 21);
    lblFlowLogFan1.setBounds(660, 76, 0, 0);
    lblFlowLogFan2.setBounds(660, 97, 0, 0);
    rgFlowLog.setBounds(220, 4, 120, 64);
    rgFlowLog.ItemIndex = 0;
    btnClearFlowLog.setBounds(360, 8, 75, 25);
    Button27.setBounds(360, 40, 75, 25);
    lblFlowLog1.setBounds(8, 100, 0, 0);
    memShowLogCol1.setBounds(8, 116, 490, 38);
    memFlowLog1.setBounds(8, 156, 490, 84);
    lblFlowLog2.setBounds(510, 100, 0, 0);
    memShowLogCol2.setBounds(510, 116, 490, 38);
    memFlowLog2.setBounds(510, 156, 490, 84);
    for (TMemo* memo : {&memShowLogCol1, &memShowLogCol2, &memFlowLog1, &memFlowLog2}) memo->WordWrap = false;
    memFlowLog1.ReadOnly = true;
    memFlowLog2.ReadOnly = true;
    pnlShowFlowLog.setBounds(8, 244, 785, 121);
    pb.setBounds(2, 2, 781, 117);
    pb.Color = 0xFFFFFF;
    // The diagnostic check boxes share the capture switch.
    cboFlowLog.OnClick = [this] { cboFlowLogClick(); };
    chkfulldiag.OnClick = [this] { cboFlowLogClick(); };
    chktestalarms.OnClick = [this] { cboFlowLogClick(); };
    btnClearFlowLog.OnClick = [this] { btnClearFlowLogClick(); };
    rgFlowLog.OnClick = [this] { rgFlowLogClick(); };
    Button27.OnClick = [this] { Button27Click(); };
    tmrFlowLog.OnTimer = [this] { tmrFlowLogTimer(); };
    pb.OnPaint = [this](TPaintBox& sender, TCanvas& canvas) { pbFlow2Paint(sender, canvas); };
    // ---- end Admin #3 wiring ------------------------------------------

    // ---- Manual EOL wiring --------------------------------------------
    btnStartEOL.setBounds(8, 8, 125, 25);
    Button37.setBounds(8, 40, 125, 25);
    Button38.setBounds(8, 72, 125, 25);
    rgEolType.setBounds(8, 104, 125, 57);
    rgEolType.ItemIndex = 0;
    rgEolChannels.setBounds(8, 166, 125, 57);
    rgEolChannels.ItemIndex = 1;
    lblStartStep.setBounds(8, 236, 0, 0);
    edtStartStep.setBounds(72, 232, 49, 21);
    lblSerialNumber.setBounds(8, 264, 0, 0);
    {
        TLabel* serialLabels[] = {&lblSer1, &lblSer2, &lblSer3, &lblSer4};
        TEdit* serialEdits[] = {&edtSer1, &edtSer2, &edtSer3, &edtSer4};
        for (int i = 0; i < 4; ++i) {
            serialLabels[i]->setBounds(8 + 30 * i, 282, 0, 0);
            serialEdits[i]->setBounds(8 + 30 * i, 298, 27, 21);
        }
    }
    lblEOL.setBounds(142, 4, 0, 0);
    memEOL.setBounds(142, 20, 552, 341);
    memEOL.ReadOnly = true;
    memEOL.WordWrap = false;
    lblEOLcomm.setBounds(700, 4, 0, 0);
    memEOLcomm.setBounds(700, 20, 305, 341);
    btnStartEOL.OnClick = [this] { btnStartEOLClick(); };
    Button37.OnClick = [this] { Button37Click(); };
    Button38.OnClick = [this] { Button38Click(); };
    tmrDelay.OnTimer = [this] { tmrDelayTimer(); };
    lblEolVerdict.setBounds(8, 326, 125, 34);
    lblEolVerdict.FontSize = 16;
    lblEolVerdict.FontBold = true;
    // ---- end Manual EOL wiring ----------------------------------------

    // ---- Flow graph wiring --------------------------------------------
    pnlFlowLog2.setBounds(4, 4, 801, 359);
    pbFlow2.setBounds(2, 2, 797, 355);
    lblAndataLimits.setBounds(820, 8, 0, 0);
    edtAndataMin.setBounds(820, 26, 60, 21);
    edtAndataMax.setBounds(820, 52, 60, 21);
    const std::pair<TLabel*, uint32_t> legend[] = {{&lblAndata, 0x0000FF},     {&lblRitorno, 0xFF0000},
                                                   {&lblDifferenza, 0x000000}, {&lblTermistore, 0x008000},
                                                   {&lblDuty, 0x808080}};
    int legendTop = 90;
    for (const auto& [label, colour] : legend) {
        label->setBounds(820, legendTop, 0, 0);
        label->FontColor = colour;
        legendTop += 18;
    }
    pbFlow2.OnPaint = [this](TPaintBox& sender, TCanvas& canvas) { pbFlow2Paint(sender, canvas); };
    // ---- end Flow graph wiring ----------------------------------------

    // ---- tuning wiring ------------------------------------------------
    btntuning.OnClick = [this] { btntuningClick(); };
    btnSetRam.OnClick = [this] { btnSetRamClick(); };
    // ---- end tuning wiring --------------------------------------------

    // ---- reports wiring -----------------------------------------------
    btndiag.OnClick = [this] { btndiagClick(); };
    btnlog.OnClick = [this] { btnlogClick(); };
    // ---- end reports wiring -------------------------------------------

    // Every timer of the window is scheduled by the host.
    for (Control* c : Components())
        if (auto* timer = dynamic_cast<TTimer*>(c)) host.registerTimer(*timer);
}

TFrmTestQOB::~TFrmTestQOB() {
    for (Control* c : Components())
        if (auto* timer = dynamic_cast<TTimer*>(c)) host.unregisterTimer(*timer);
}

void TFrmTestQOB::wireShell() {
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

void TFrmTestQOB::addConsoleLine(const std::string& text) { memLog.Lines.Add(text); }

void TFrmTestQOB::addStateLine(const std::string& text) { memState.Lines.Add(text); }

void TFrmTestQOB::addStateLineIf(const std::string& text, int code) {
    if (qob && qob->faultAlertFlag(code) != 0) addStateLine(text);
}

void TFrmTestQOB::clearConsole() { memLog.Lines.Clear(); }

void TFrmTestQOB::clearStateView() { memState.Lines.Clear(); }

bool TFrmTestQOB::checkConnected() {
    if (qob && qob->isConnected()) return true;
    addConsoleLine(">>Not connected!");
    return false;
}

void TFrmTestQOB::noteLinkState() {
    if (qob && !qob->isConnected() && StatusBar1.SimpleText == std::string("Connected")) {
        StatusBar1.SimpleText = "Disconnected";
        StatusBar1.Color = 0xFF0000;
    }
}

void TFrmTestQOB::showLibraryError() {
    if (qob) addConsoleLine(libraryErrorLine(*qob));
}

void TFrmTestQOB::waitCooperatively(const std::function<bool()>& keepWaiting, int sliceMs) {
    while (keepWaiting()) {
        host.sleep(sliceMs);
        host.repaintWindow();
        host.processMessages();
    }
}

bool TFrmTestQOB::saveConsoleReport(const std::string& prefix, const std::string& savedText) {
    std::string name = reportFileName(prefix, host.formatNow("yyyy/mm/dd hh:nn:ss"));
    std::string error;
    if (!writeTextFile(name, memLog.Lines.lines(), error)) {
        host.messageBox("Report not saved: " + name + "\n\n" + error, host.applicationTitle,
                        DialogKind::Error, DialogButtons::Ok);
        return false;
    }
    host.showMessage(savedText + "\n\n" + name);
    return true;
}

// ---- start-up ---------------------------------------------------------

void TFrmTestQOB::FormCreate() {
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

void TFrmTestQOB::readTuningSettings() {
    int* targets[] = {&LIB, &DIB, &DTI, &LCI, &QMI, &TMO};
    TuningSettings values{LIB, DIB, DTI, LCI, QMI, TMO};
    if (!readTuningSettingsFile(iniFileName, values)) addConsoleLine("INI file error: file not found or bad parameters");
    for (int i = 0; i < 6; ++i) *targets[i] = values.value[i];
}

// ---- shell handlers ---------------------------------------------------

bool TFrmTestQOB::FormKeyDown(int key) {
    if (PageControl1.ActivePageIndex != 7) return false;
    auto awaited = [this](int k) { return std::find(awaitedKeys.begin(), awaitedKeys.end(), k) != awaitedKeys.end(); };
    // An answer stays until the wait takes it, whatever is typed after it.
    if (!awaited(capturedKey)) capturedKey = key;
    return awaited(key);
}

void TFrmTestQOB::Button1Click() {
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

void TFrmTestQOB::Button2Click() {
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

void TFrmTestQOB::btnresClick() {
    if (!checkConnected()) return;
    if (qob->resetDevice())
        addConsoleLine(">>ASD reset");
    else
        showLibraryError();
}

void TFrmTestQOB::btnShowDevManClick() { host.showPortsDialog(); }

void TFrmTestQOB::btnabortClick() {
    btnabort.Enabled = false;
    btnabort.Tag = 1;
    addConsoleLine(" ");
    addConsoleLine(" ");
    addConsoleLine("ABORTED");
}

void TFrmTestQOB::tmrTimeoutTimer() {
    tmrTimeout.Tag = tmrTimeout.Tag + 1;
    if (static_cast<long long>(TMO) < static_cast<long long>(tmrTimeout.Tag) * 1000) tmrTimeout.Enabled = false;
}

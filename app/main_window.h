// The main window, toolkit-neutral: its controls as state objects, the
// window-wide state, the console helpers and the handlers. The Qt layer
// binds widgets to these members; tests drive them through a scripted
// host.
//
// Page work adds its controls and handlers in the marked sections below
// and defines the handlers in pages/<page>.cpp (tuning/, reports/) as
// member functions of TFrmTestQOB; it places its controls and wires their
// OnClick/OnTimer in its own wiring function there, which the constructor
// (app/main_window.cpp) calls.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/formatters.h"
#include "app/host.h"
#include "device/qob.h"
#include "app/flow_graph.h"

class TFrmTestQOB : public TForm {
public:
    explicit TFrmTestQOB(Host& host);
    ~TFrmTestQOB() override;

    Host& host;

    // ---- device object: exists exactly while a connection exists ------
    std::unique_ptr<QOB> qob;

    // ---- window-wide state --------------------------------------------
    int actionOk = 0;
    uint8_t panelAnswer[1026] = {};
    uint8_t panelPayload[1024] = {};
    // Tuning settings (section GENERAL of the INI file).
    int LIB = 7, DIB = 30, DTI = 30, LCI = 7, QMI = 24, TMO = 30000;
    // Last key pressed while the "Manual EOL" page is selected.
    int capturedKey = 0;
    // The keys a running wait of the production test answers to; empty
    // while nothing waits for a key.
    std::vector<int> awaitedKeys;
    // Looked up in the current working directory.
    std::string iniFileName = "nerax-lt.INI";
    // Port discovery at start-up; tests replace it.
    std::function<bool(int& portNumber)> detectPort;

    // ---- console helpers ----------------------------------------------
    void addConsoleLine(const std::string& text);
    void addStateLine(const std::string& text);
    void addStateLineIf(const std::string& text, int code);
    void clearConsole();
    void clearStateView();
    bool checkConnected();
    void showLibraryError();
    // The status bar follows a link that the library dropped (a lost
    // detector): "Disconnected" on red. Disconnect still cleans up.
    void noteLinkState();

    // Cooperative wait: while keepWaiting(): sleep a slice, repaint,
    // process pending messages.
    void waitCooperatively(const std::function<bool()>& keepWaiting, int sliceMs = 50);

    // Saves the console as prefix + stamp + ".LOG" in the working
    // directory and tells the operator; false (with an error box) when the
    // file could not be written.
    bool saveConsoleReport(const std::string& prefix, const std::string& savedText = "LOG SAVED!");

    // ---- start-up and settings ----------------------------------------
    void FormCreate();
    void readTuningSettings();

    // ---- shell handlers -----------------------------------------------
    // True when the key answered a wait: the window then keeps it from
    // the focused control.
    bool FormKeyDown(int key);
    void Button1Click();        // Connect
    void Button2Click();        // Disconnect
    void btnresClick();         // RESET DEVICE
    void btnShowDevManClick();  // serial-ports dialog
    void btnabortClick();       // ABORT
    void tmrTimeoutTimer();     // capture timer tick

    // ---- shell controls -----------------------------------------------
    TGroupBox GroupBox27{this, "GroupBox27", " CONNECTION "};
    TLabel Label1{this, "Label1", "COM", &GroupBox27};
    TEdit Edit1{this, "Edit1", "", &GroupBox27};
    TButton Button1{this, "Button1", "Connect", &GroupBox27};
    TButton Button2{this, "Button2", "Disconnect", &GroupBox27};
    TButton btnShowDevMan{this, "btnShowDevMan", "", &GroupBox27};
    TButton btntuning{this, "btntuning", "ULTRASONIC TUNING"};
    TMemo memLog{this, "memLog"};
    TButton btnabort{this, "btnabort", "ABORT"};
    TStatusBar StatusBar1{this, "StatusBar1", "Disconnected"};
    // Outside the client area or hidden.
    TButton btnres{this, "btnres", "RESET DEVICE"};
    TButton btnSetRam{this, "btnSetRam", "set RAM"};
    TEdit edtRamValue{this, "edtRamValue"};
    TButton btndiag{this, "btndiag", "EXECUTE DIAGNOSTIC"};
    TCheckBox chkfulldiag{this, "chkfulldiag", "FULL DIAGNOSTIC"};
    TCheckBox chktestalarms{this, "chktestalarms", "TEST ALARMS"};
    TButton btnlog{this, "btnlog", "RETRIEVE LOG"};
    TPageControl PageControl1{this, "PageControl1"};
    TTabSheet TabSheet1{this, "TabSheet1", "Management", &PageControl1};
    TTabSheet TabSheet2{this, "TabSheet2", "EEPROM", &PageControl1};
    TTabSheet TabSheet3{this, "TabSheet3", "Common parameters", &PageControl1};
    TTabSheet TabSheet4{this, "TabSheet4", "Variants parameters", &PageControl1};
    TTabSheet TabSheet5{this, "TabSheet5", "Admin #1", &PageControl1};
    TTabSheet TabSheet6{this, "TabSheet6", "Admin #2", &PageControl1};
    TTabSheet TabSheet7{this, "TabSheet7", "Admin #3", &PageControl1};
    TTabSheet TabSheet8{this, "TabSheet8", "Manual EOL", &PageControl1};
    TTabSheet TabSheet9{this, "TabSheet9", "Flow graph", &PageControl1};
    TEdit edtFlowLogFan1{this, "edtFlowLogFan1", "1", &TabSheet7};
    TEdit edtFlowLogFan2{this, "edtFlowLogFan2", "1", &TabSheet7};
    // Capture timer: Tag counts the seconds since it was started.
    TTimer tmrTimeout{this, "tmrTimeout", 1000, false};

    // Dialogs shared by the pages (each use sets its own filter and title).
    FileDialog sd;   // save
    FileDialog od;   // open

    // ======================================================================
    // Management page: INFORMATION (identity and state readouts), outputs,
    // RTC (clock), LOGS (event log viewer)
    // ======================================================================
    // Used by the tuning and the reports as well.
    TGroupBox grpInformation{this, "grpInformation", " INFORMATION ", &TabSheet1};
    TMemo memState{this, "memState", &grpInformation};
    TButton Button4{this, "Button4", "Information", &grpInformation};
    TButton btnState{this, "btnState", "Get State", &grpInformation};
    TGroupBox grpRtc{this, "grpRtc", " RTC ", &TabSheet1};
    TLabel lblTimeFormat{this, "lblTimeFormat", "dd/mm/yy hh:mi:ss", &grpRtc};
    TEdit edtSetTime{this, "edtSetTime", "", &grpRtc};
    TEdit edtGetTime{this, "edtGetTime", "", &grpRtc};
    TButton Button23{this, "Button23", "WRITE", &grpRtc};
    TButton Button24{this, "Button24", "READ", &grpRtc};
    TButton Button6{this, "Button6", "Clear Operating hours", &grpRtc};
    TGroupBox GroupBox31{this, "GroupBox31", " LOGS ", &TabSheet1};
    TButton btnReadLogs{this, "btnReadLogs", "Read Logs", &GroupBox31};
    TButton btnReadAllLogs{this, "btnReadAllLogs", "Read All Logs", &GroupBox31};
    TButton btnClearLog{this, "btnClearLog", "Clear Logs", &GroupBox31};
    TButton btnExportLog{this, "btnExportLog", "Export Logs", &GroupBox31};
    TButton btnExportAllLogs{this, "btnExportAllLogs", "Export All Logs", &GroupBox31};
    TButton btnShowLog{this, "btnShowLog", "", &GroupBox31};
    // The state readout and the clock return whether they succeeded; they
    // set actionOk as well, which the production test reads.
    void Button4Click();                 // identity readout
    bool btnStateClick();                // state readout
    bool Button23Click();                // clock WRITE
    bool Button24Click();                // clock READ
    void Button6Click();                 // clear operating hours
    // True when the table was printed (and, for an export, the file
    // written); a reading also needs the log read.
    bool btnReadLogsClick(Control* sender);
    bool btnShowLogClick(Control* sender);
    bool btnExportLogClick(Control* sender);
    void btnClearLogClick(Control* sender);
    // ---- Management outputs (pages/management_outputs.cpp) ------------
    TGroupBox grpTestRelays{this, "grpTestRelays", " TEST RELAYS ", &TabSheet1};
    // Tag: relay number; a caption ending in "F" switches off.
    TButton btnAlarm1RelayOn{this, "btnAlarm1RelayOn", "Alarm 1 ON", &grpTestRelays};
    TButton btnAlarm1RelayOff{this, "btnAlarm1RelayOff", "Alarm 1 OFF", &grpTestRelays};
    TButton btnAlarm2RelayOn{this, "btnAlarm2RelayOn", "Alarm 2 ON", &grpTestRelays};
    TButton btnAlarm2RelayOff{this, "btnAlarm2RelayOff", "Alarm 2 OFF", &grpTestRelays};
    TButton btnSounder1RelayOn{this, "btnSounder1RelayOn", "Sounder 1 ON", &grpTestRelays};
    TButton btnSounder1RelayOff{this, "btnSounder1RelayOff", "Sounder 1 OFF", &grpTestRelays};
    TButton btnSounder2RelayOn{this, "btnSounder2RelayOn", "Sounder 2 ON", &grpTestRelays};
    TButton btnSounder2RelayOff{this, "btnSounder2RelayOff", "Sounder 2 OFF", &grpTestRelays};
    TButton btnFaultRelayOn{this, "btnFaultRelayOn", "Fault ON", &grpTestRelays};
    TButton btnFaultRelayOff{this, "btnFaultRelayOff", "Fault OFF", &grpTestRelays};
    TButton btnPrealarm1RelayOn{this, "btnPrealarm1RelayOn", "Prealarm 1 ON", &grpTestRelays};
    TButton btnPrealarm1RelayOff{this, "btnPrealarm1RelayOff", "Prealarm 1 OFF", &grpTestRelays};
    TButton btnPrealarm2RelayOn{this, "btnPrealarm2RelayOn", "Prealarm 2 ON", &grpTestRelays};
    TButton btnPrealarm2RelayOff{this, "btnPrealarm2RelayOff", "Prealarm 2 OFF", &grpTestRelays};
    TButton btnAuxFaultRelayOn{this, "btnAuxFaultRelayOn", "Aux Fault ON", &grpTestRelays};
    TButton btnAuxFaultRelayOff{this, "btnAuxFaultRelayOff", "Aux Fault OFF", &grpTestRelays};
    TGroupBox grpTestFans{this, "grpTestFans", " TEST FANS ", &TabSheet1};
    TTrackBar tbFan1{this, "tbFan1", &grpTestFans};
    TTrackBar tbFan2{this, "tbFan2", &grpTestFans};
    TLabel lblTestFan1{this, "lblTestFan1", "0", &grpTestFans};
    TLabel lblTestFan2{this, "lblTestFan2", "0", &grpTestFans};
    TButton btnTestFan1{this, "btnTestFan1", "Test Fan #1", &grpTestFans};
    TButton btnTestFan2{this, "btnTestFan2", "Test Fan #2", &grpTestFans};
    TGroupBox grpButtonsActions{this, "grpButtonsActions", " BUTTONS ACTIONS ", &TabSheet1};
    TButton btnTestCh1{this, "btnTestCh1", "Test ch#1", &grpButtonsActions};
    TButton btnTestCh2{this, "btnTestCh2", "Test ch#2", &grpButtonsActions};
    TButton btnTestBothCh{this, "btnTestBothCh", "Test both ch", &grpButtonsActions};
    TButton btnSounder1Off{this, "btnSounder1Off", "Sounder 1 off", &grpButtonsActions};
    TButton btnSounder2Off{this, "btnSounder2Off", "Sounder 2 off", &grpButtonsActions};
    TButton btnSoundersOff{this, "btnSoundersOff", "Sounders off", &grpButtonsActions};
    TGroupBox grpRestart{this, "grpRestart", " RESTART ", &TabSheet1};
    TButton btnRestartNormal{this, "btnRestartNormal", "Restart Normal", &grpRestart};
    TButton btnRestartMaint{this, "btnRestartMaint", "Restart Maint.", &grpRestart};
    // State auto-refresh: runs "Get State" every 100 ms.
    TCheckBox cboState{this, "cboState", "GO!", &grpInformation};
    TTimer tmrState{this, "tmrState", 100, false};
    TButton Button36{this, "Button36", "Extended cmd 1", &TabSheet1};
    // Senders pick the channel / sounder / mode / fan; no sender means
    // both channels, both sounders, normal restart, fan 1.
    void btnTestCh1Click(Control* sender = nullptr);
    void btnSounder1OffClick(Control* sender = nullptr);
    void btnRestartNormalClick(Control* sender = nullptr);
    void btnTestFan1Click(Control* sender = nullptr);
    void tbFan1Change(Control* sender = nullptr);
    void btnAlarm1RelayClick(Control* sender);
    void Button36Click();                // "Extended cmd 1": information block dump
    void cboStateClick();
    void tmrStateTimer();
    // ---- end Management outputs ---------------------------------------
    // ---- end Management ---------------------------------------------------

    // ======================================================================
    // EEPROM page (byte grids, image files, checksums, area restores)
    // ======================================================================
    // FormCreate fills the grids through this (set by the EEPROM page).
    std::function<void()> prepareEepromGrids;
    // The editor's own copy of bytes 0..511 (rows "byte=value", looked up
    // by key), the hidden byte descriptions and bytes 1024..1087.
    TValueListEditor vleE2P{this, "vleE2P", &TabSheet2};
    TValueListEditor vleE2Pdesc{this, "vleE2Pdesc", &TabSheet2};
    TValueListEditor vleE2P_log{this, "vleE2P_log", &TabSheet2};
    TLabel lblE2P{this, "lblE2P", "0 - 512", &TabSheet2};
    TLabel lblE2P_log{this, "lblE2P_log", "1024 - 1087", &TabSheet2};
    TButton btnrseep{this, "btnrseep", "read", &TabSheet2};
    TButton Button28{this, "Button28", "write", &TabSheet2};
    TButton Button156{this, "Button156", "write LOB area only", &TabSheet2};
    TButton Button157{this, "Button157", "write FCT area only", &TabSheet2};
    TButton Button158{this, "Button158", "write CFG area only", &TabSheet2};
    TButton Button25{this, "Button25", "clear grid", &TabSheet2};
    TButton Button3{this, "Button3", "upd chk", &TabSheet2};
    TButton btnExportE2P{this, "btnExportE2P", "Export", &TabSheet2};
    TButton btnImportE2P{this, "btnImportE2P", "Import", &TabSheet2};
    TButton btnRefreshE2P{this, "btnRefreshE2P", "refresh fw RAM", &TabSheet2};
    TButton Button26{this, "Button26", "restore e2p [FCT] area", &TabSheet2};
    TButton Button32{this, "Button32", "restore e2p [CFG] area", &TabSheet2};
    TButton Button33{this, "Button33", "restore e2p [LOB] area", &TabSheet2};
    TButton Button35{this, "Button35", "restore ALL e2p ", &TabSheet2};
    TButton Button31{this, "Button31", "update e2p backup", &TabSheet2};
    TButton Button34{this, "Button34", "restore e2p [ONF] area", &TabSheet2};
    TButton btnReadE2P_log{this, "btnReadE2P_log", "read", &TabSheet2};
    TButton btnWriteE2P_log{this, "btnWriteE2P_log", "write", &TabSheet2};
    TCheckBox cboChkOnf{this, "cboChkOnf", "update chk", &TabSheet2};
    TButton btnClearE2P_log{this, "btnClearE2P_log", "clear grid values", &TabSheet2};
    TButton Button39{this, "Button39", "export all E2P", &TabSheet2};
    TButton Button40{this, "Button40", "inc byte 1023", &TabSheet2};
    TButton Button42{this, "Button42", "write byte 3 = 255", &TabSheet2};
    TButton Button45{this, "Button45", "byte 500 ++", &TabSheet2};
    void btnrseepClick();                    // read bytes 0-511
    // "write" and the three area writes; the sender's Tag picks the
    // ranges (no sender: "write", all three). Like the import, true when
    // done, and actionOk set.
    bool Button28Click(Control* sender = nullptr);
    void Button25Click();                    // clear grid
    void Button3Click();                     // upd chk
    void btnExportE2PClick();
    bool btnImportE2PClick();
    void btnRefreshE2PClick();
    void Button26Click();                    // restore FCT area
    void Button32Click();                    // restore CFG area
    void Button33Click();                    // restore LOB area
    void Button35Click();                    // restore ALL
    void Button31Click();                    // update e2p backup
    void Button34Click();                    // restore ONF area
    void btnReadE2P_logClick();
    void btnWriteE2P_logClick();
    void btnClearE2P_logClick();
    void Button39Click();                    // whole-EEPROM dump
    void Button40Click();                    // inc byte 1023
    void Button42Click();                    // write byte 3 = 255
    void Button45Click();                    // byte 500 ++
    // What the main grid shows in a cell (row 0 is the title row) and how
    // it is coloured.
    struct E2PCell {
        std::string text;
        TValueListEditor::CellStyle style;
    };
    E2PCell vleE2PDrawCell(int col, int row) const;
    // Re-reads bytes 0..511 into the grid (the restores run it): false
    // after the guard or an error line.
    bool readEepromGrid();
    // Start-up contents: bytes 0..511 and 1024..1087 all "0", no descriptions.
    void fillEepromGrids();
    // One area restore (0 all, 1 LOB, 2 FCT, 3 CFG) from its button.
    void restoreEepromArea(TButton& button, int code);

    // ---- Admin #1: administration tools (read RAM, loop address) ------
    TGroupBox grpReadRAM{this, "grpReadRAM", " read RAM ", &TabSheet5};
    TButton Button43{this, "Button43", "read RAM", &grpReadRAM};
    TButton Button44{this, "Button44", "read loop address", &TabSheet5};
    void Button43Click();                    // read RAM at edtReadRAM
    void Button44Click();                    // read loop address
    // ---- end EEPROM ---------------------------------------------------------

    // ======================================================================
    // Configuration pages: Common parameters, Variants parameters
    // ======================================================================
    // Each parameter group has a hidden "get" button whose Tag is the mode
    // (0 read the image into the controls, 1 store the controls into the
    // image); the drivers below set the Tag and run the buttons in
    // component order, so these buttons are declared in driver order:
    // btnChEnable must run before btnSenEn (the sensor rule reads the
    // channel flags it has just stored).
    TButton btnPwd{this, "btnPwd", "get", &TabSheet3};
    TButton btnCfg{this, "btnCfg", "get", &TabSheet3};
    TButton btnChEnable{this, "btnChEnable", "get", &TabSheet3};
    TButton btnSenEn{this, "btnSenEn", "get", &TabSheet3};
    TButton btnDisTim{this, "btnDisTim", "get", &TabSheet3};
    TButton btnMaintTime{this, "btnMaintTime", "get", &TabSheet3};
    TButton btnTrendLogTime{this, "btnTrendLogTime", "get", &TabSheet3};
    TButton btnMirrEn{this, "btnMirrEn", "get", &TabSheet3};
    TButton btnSuppl{this, "btnSuppl", "get", &TabSheet3};
    TButton btnCommChSe{this, "btnCommChSe", "get", &TabSheet3};
    TButton btnSndCutoff{this, "btnSndCutoff", "get", &TabSheet3};
    TButton btnLtAlarm{this, "btnLtAlarm", "get", &TabSheet3};
    TButton btnAlarmDelay{this, "btnAlarmDelay", "get", &TabSheet3};
    TButton btnAuxRelCh2{this, "btnAuxRelCh2", "get", &TabSheet3};
    TButton btnChLabel{this, "btnChLabel", "get", &TabSheet3};
    TButton btnFlows{this, "btnFlows", "get", &TabSheet3};
    TButton btnFil{this, "btnFil", "get", &TabSheet3};
    TButton btnFan{this, "btnFan", "get", &TabSheet3};
    TButton btnLatFau{this, "btnLatFau", "get", &TabSheet3};
    TButton btnFauDel{this, "btnFauDel", "get", &TabSheet3};
    TButton btnFloFauDel{this, "btnFloFauDel", "get", &TabSheet3};
    TButton btnPowResTim{this, "btnPowResTim", "get", &TabSheet3};
    TButton btnFanSp{this, "btnFanSp", "get", &TabSheet3};
    TButton btnPressure{this, "btnPressure", "get", &TabSheet3};
    TButton btnAuxLt{this, "btnAuxLt", "get", &TabSheet3};
    TButton btnExtInp{this, "btnExtInp", "get", &TabSheet3};
    TButton btnExtEv{this, "btnExtEv", "get", &TabSheet3};
    TButton btnSensDisTime{this, "btnSensDisTime", "get", &TabSheet3};
    TButton btdsen{this, "btdsen", "get", &TabSheet3};
    TButton btndldate{this, "btndldate", "get", &TabSheet3};
    TButton btnAuxEv{this, "btnAuxEv", "get", &TabSheet3};
    TButton btnAlMode{this, "btnAlMode", "get", &TabSheet4};
    TButton btnSeTimeout{this, "btnSeTimeout", "get", &TabSheet4};
    TButton btnRemOutTime{this, "btnRemOutTime", "get", &TabSheet4};
    TButton btnWeekD{this, "btnWeekD", "get", &TabSheet4};
    TButton btnhd{this, "btnhd", "get", &TabSheet4};
    TButton btnPrealDelay{this, "btnPrealDelay", "get", &TabSheet4};
    TButton btnCasAl{this, "btnCasAl", "get", &TabSheet4};
    TButton btnDayNig{this, "btnDayNig", "get", &TabSheet4};
    TButton btnSndac{this, "btnSndac", "get", &TabSheet4};
    TButton btnallev{this, "btnallev", "get", &TabSheet4};
    TButton btnDayNight{this, "btnDayNight", "get", &TabSheet4};

    // ---- Common parameters page ----
    TGroupBox gbCfgGeneral{this, "gbCfgGeneral", " GENERAL ", &TabSheet3};
    TLabel lblPwd{this, "lblPwd", "password", &gbCfgGeneral};
    TEdit edtPwd{this, "edtPwd", "", &gbCfgGeneral};
    TLabel lblPwdHint{this, "lblPwdHint", "####", &gbCfgGeneral};
    TLabel lblCfg{this, "lblCfg", "configuration", &gbCfgGeneral};
    TEdit edtCfg{this, "edtCfg", "", &gbCfgGeneral};
    TLabel lblCfgHint{this, "lblCfgHint", "CID|DD/MM/YY HH:MI:SS", &gbCfgGeneral};
    TCheckBox cbCh1Enabled{this, "cbCh1Enabled", "Channel 1 enabled", &gbCfgGeneral};
    TCheckBox cbCh2Enabled{this, "cbCh2Enabled", "Channel 2 enabled", &gbCfgGeneral};
    TCheckBox cbSe1Enabled{this, "cbSe1Enabled", "Sensor 1 enabled", &gbCfgGeneral};
    TCheckBox cbSe2Enabled{this, "cbSe2Enabled", "Sensor 2 enabled", &gbCfgGeneral};
    TLabel lblDisTime{this, "lblDisTime", "disable time (min)", &gbCfgGeneral};
    TEdit edtDisTime{this, "edtDisTime", "", &gbCfgGeneral};
    TLabel lblMaintTime{this, "lblMaintTime", "maint timeout (min)", &gbCfgGeneral};
    TEdit edtMaintTime{this, "edtMaintTime", "", &gbCfgGeneral};
    TLabel lblTrendLogTime{this, "lblTrendLogTime", "trend log time (min)", &gbCfgGeneral};
    TEdit edtTrendLogTime{this, "edtTrendLogTime", "", &gbCfgGeneral};
    TCheckBox cbMirrEn{this, "cbMirrEn", "Mirroring LEDs enabled", &gbCfgGeneral};
    TLabel lblCh1Label{this, "lblCh1Label", "label ch1", &gbCfgGeneral};
    TEdit edtCh1Label{this, "edtCh1Label", "", &gbCfgGeneral};
    TLabel lblCh2Label{this, "lblCh2Label", "label ch2", &gbCfgGeneral};
    TEdit edtCh2Label{this, "edtCh2Label", "", &gbCfgGeneral};
    TLabel lblPressure{this, "lblPressure", "Pressure(Pa)", &gbCfgGeneral};
    TEdit edtPressure{this, "edtPressure", "", &gbCfgGeneral};

    TGroupBox gbCfgAlarms{this, "gbCfgAlarms", " ALARMS ", &TabSheet3};
    TCheckBox cbCommChSe{this, "cbCommChSe", "Common chamber alarm: AND", &gbCfgAlarms};
    TLabel lblSndCufoff{this, "lblSndCufoff", "Sounder cutoff time (x5sec)", &gbCfgAlarms};
    TEdit edtSndCufoff{this, "edtSndCufoff", "", &gbCfgAlarms};
    TCheckBox cbLtAlarm1{this, "cbLtAlarm1", "Channel 1 latched alarm", &gbCfgAlarms};
    TCheckBox cbLtAlarm2{this, "cbLtAlarm2", "Channel 2 latched alarm", &gbCfgAlarms};
    TLabel lblAlarmDelay{this, "lblAlarmDelay", "Alarm delay (sec)", &gbCfgAlarms};
    TEdit edtAlarmDelay{this, "edtAlarmDelay", "", &gbCfgAlarms};

    TGroupBox gbCfgFaults{this, "gbCfgFaults", " FAULTS ", &TabSheet3};
    TCheckBox cbSupp{this, "cbSupp", "Both supplies monitored", &gbCfgFaults};
    TLabel lblFil1{this, "lblFil1", "filter 1 due date", &gbCfgFaults};
    TEdit edtFil1{this, "edtFil1", "", &gbCfgFaults};
    TLabel lblFil2{this, "lblFil2", "filter 2 due date", &gbCfgFaults};
    TEdit edtFil2{this, "edtFil2", "", &gbCfgFaults};
    TLabel lblFilHint{this, "lblFilHint", "DD/MM/YY", &gbCfgFaults};
    TCheckBox cbLatFau{this, "cbLatFau", "latched fault", &gbCfgFaults};
    TLabel lblFauDel{this, "lblFauDel", "Fault delay (sec)", &gbCfgFaults};
    TEdit edtFauDel{this, "edtFauDel", "", &gbCfgFaults};
    TLabel lblPowResTim{this, "lblPowResTim", "Power rest time(sec)", &gbCfgFaults};
    TEdit edtPowResTim{this, "edtPowResTim", "", &gbCfgFaults};

    TGroupBox gbCfgFlows{this, "gbCfgFlows", " FLOWS ", &TabSheet3};
    TLabel lblFlowMin{this, "lblFlowMin", "min", &gbCfgFlows};
    TLabel lblFlowMax{this, "lblFlowMax", "max", &gbCfgFlows};
    TLabel lblFlowRef{this, "lblFlowRef", "ref", &gbCfgFlows};
    TLabel lblFlowsCh1{this, "lblFlowsCh1", "flows ch1", &gbCfgFlows};
    TEdit edtCh1FlowMin{this, "edtCh1FlowMin", "", &gbCfgFlows};
    TEdit edtCh1FlowMax{this, "edtCh1FlowMax", "", &gbCfgFlows};
    TEdit edtCh1FlowRef{this, "edtCh1FlowRef", "", &gbCfgFlows};
    TLabel lblFlowsCh2{this, "lblFlowsCh2", "flows ch2", &gbCfgFlows};
    TEdit edtCh2FlowMin{this, "edtCh2FlowMin", "", &gbCfgFlows};
    TEdit edtCh2FlowMax{this, "edtCh2FlowMax", "", &gbCfgFlows};
    TEdit edtCh2FlowRef{this, "edtCh2FlowRef", "", &gbCfgFlows};
    TLabel lblFloFauDel{this, "lblFloFauDel", "Flow fault delay(sec)", &gbCfgFlows};
    TEdit edtFloFauDel{this, "edtFloFauDel", "", &gbCfgFlows};

    TGroupBox gbCfgFans{this, "gbCfgFans", " FANS ", &TabSheet3};
    TCheckBox cbFan1{this, "cbFan1", "Automatic fan speed ch1", &gbCfgFans};
    TCheckBox cbFan2{this, "cbFan2", "Automatic fan speed ch2", &gbCfgFans};
    TLabel lblFanSp{this, "lblFanSp", "Manual fan speed", &gbCfgFans};
    TLabel lblFanSpCh1{this, "lblFanSpCh1", "Ch#1", &gbCfgFans};
    TTrackBar tbFanSp1{this, "tbFanSp1", &gbCfgFans};
    TLabel lbFanSp1{this, "lbFanSp1", "0", &gbCfgFans};
    TLabel lblFanSpCh2{this, "lblFanSpCh2", "Ch#2", &gbCfgFans};
    TTrackBar tbFanSp2{this, "tbFanSp2", &gbCfgFans};
    TLabel lbFanSp2{this, "lbFanSp2", "0", &gbCfgFans};

    TGroupBox gbCfgDaylight{this, "gbCfgDaylight", " DAYLIGHT SAVING ", &TabSheet3};
    TRadioGroup rgdsen{this, "rgdsen", "Daylight saving", {"no", "yes", "auto"}, &gbCfgDaylight};
    TLabel lbldldatest{this, "lbldldatest", "start", &gbCfgDaylight};
    TEdit edtdldatest{this, "edtdldatest", "", &gbCfgDaylight};
    TLabel lbldldateend{this, "lbldldateend", "end", &gbCfgDaylight};
    TEdit edtdldateend{this, "edtdldateend", "", &gbCfgDaylight};
    TLabel lbldldateHint{this, "lbldldateHint", "DD/MM HH:MI", &gbCfgDaylight};

    TGroupBox gbCfgInput{this, "gbCfgInput", " INPUT ", &TabSheet3};
    TCheckBox cbExtInp{this, "cbExtInp", "Ext input normal state: SHORT", &gbCfgInput};
    TRadioGroup rgExtInp{this, "rgExtInp", " Event triggered by Ext input ",
                         {"external input fault", "sounder silencing", "device reset", "ASD disabling", "none"},
                         &gbCfgInput};
    TLabel lblSensDisTime{this, "lblSensDisTime", "disabling time by ext input (min)", &gbCfgInput};
    TEdit edtSensDisTime{this, "edtSensDisTime", "", &gbCfgInput};

    TGroupBox gbCfgAuxFault{this, "gbCfgAuxFault", " AUXILIARY FAULT ", &TabSheet3};
    TCheckBox cbAuxRelCh2{this, "cbAuxRelCh2", "Aux relay used for ch2 fault", &gbCfgAuxFault};
    TCheckBox cbAuxLt{this, "cbAuxLt", "Auxiliary fault latched", &gbCfgAuxFault};
    TGroupBox gbCfgAuxEvents{this, "gbCfgAuxEvents", " Events triggering auxiliary fault ", &gbCfgAuxFault};
    TCheckBox cbAuxTemp{this, "cbAuxTemp", "Temperature alert", &gbCfgAuxEvents};
    TCheckBox cbAuxExtInp{this, "cbAuxExtInp", "External input not normal", &gbCfgAuxEvents};
    TCheckBox cbAuxLowPow{this, "cbAuxLowPow", "Low power alert", &gbCfgAuxEvents};
    TCheckBox cbAuxFlowFault{this, "cbAuxFlowFault", "Flow fault", &gbCfgAuxEvents};
    TCheckBox cbAuxSens{this, "cbAuxSens", "Sens comm or low chamber fault", &gbCfgAuxEvents};
    TCheckBox cbAuxPowRes{this, "cbAuxPowRes", "Power restart alert", &gbCfgAuxEvents};

    // ---- Variants parameters page ----
    TGroupBox gbCfgLoopBased{this, "gbCfgLoopBased", " LOOP BASED / VASK / OLTRA ", &TabSheet4};
    TRadioGroup rgAlMode{this, "rgAlMode", " LB Alarm mode ", {"by sensor", "by module"}, &gbCfgLoopBased};
    TLabel lblSeTimeout{this, "lblSeTimeout", "LB/VASK Sensor timeout (sec)", &gbCfgLoopBased};
    TEdit edtSeTimeout{this, "edtSeTimeout", "", &gbCfgLoopBased};
    TLabel lblRemOutTime{this, "lblRemOutTime", "LB/VASK Remote output alarm time (x50ms)", &gbCfgLoopBased};
    TLabel lblBaseRelayTime{this, "lblBaseRelayTime", "OLTRA Base relay alarm time (x50ms)", &gbCfgLoopBased};
    TEdit edtRemOutTime{this, "edtRemOutTime", "", &gbCfgLoopBased};

    TGroupBox gbCfgStandAlone{this, "gbCfgStandAlone", " STAND ALONE ", &TabSheet4};
    TCheckBox cbDayNight{this, "cbDayNight", "Day/night enabled", &gbCfgStandAlone};
    TLabel lblDaySt{this, "lblDaySt", "day start", &gbCfgStandAlone};
    TEdit edtDaySt{this, "edtDaySt", "", &gbCfgStandAlone};
    TLabel lblDayEnd{this, "lblDayEnd", "day end", &gbCfgStandAlone};
    TEdit edtDayEnd{this, "edtDayEnd", "", &gbCfgStandAlone};
    TLabel lblDayHint{this, "lblDayHint", "HH:MI", &gbCfgStandAlone};
    TLabel lblPrealDelay{this, "lblPrealDelay", "prealarm delay (sec)", &gbCfgStandAlone};
    TEdit edtPrealDelay{this, "edtPrealDelay", "", &gbCfgStandAlone};
    TCheckBox cbCasAl{this, "cbCasAl", "cascade alarm", &gbCfgStandAlone};
    TCheckBox cbSndac{this, "cbSndac", "sounder activation on prealarm", &gbCfgStandAlone};
    TLabel lblLevCh1{this, "lblLevCh1", "ch1", &gbCfgStandAlone};
    TLabel lblLevCh2{this, "lblLevCh2", "ch2", &gbCfgStandAlone};
    TLabel lblLevDay1{this, "lblLevDay1", "day", &gbCfgStandAlone};
    TLabel lblLevNight1{this, "lblLevNight1", "night", &gbCfgStandAlone};
    TLabel lblLevDay2{this, "lblLevDay2", "day", &gbCfgStandAlone};
    TLabel lblLevNight2{this, "lblLevNight2", "night", &gbCfgStandAlone};
    TLabel lblAlLevels{this, "lblAlLevels", "Alarm levels", &gbCfgStandAlone};
    TEdit edtalday1{this, "edtalday1", "", &gbCfgStandAlone};
    TEdit edtalnig1{this, "edtalnig1", "", &gbCfgStandAlone};
    TEdit edtalday2{this, "edtalday2", "", &gbCfgStandAlone};
    TEdit edtalnig2{this, "edtalnig2", "", &gbCfgStandAlone};
    TLabel lblPalLevels{this, "lblPalLevels", "Prealarm levels", &gbCfgStandAlone};
    TEdit edtpalday1{this, "edtpalday1", "", &gbCfgStandAlone};
    TEdit edtpalnig1{this, "edtpalnig1", "", &gbCfgStandAlone};
    TEdit edtpalday2{this, "edtpalday2", "", &gbCfgStandAlone};
    TEdit edtpalnig2{this, "edtpalnig2", "", &gbCfgStandAlone};
    TLabel lblWeekD{this, "lblWeekD", "Week day in night mode", &gbCfgStandAlone};
    TCheckBox cbDnMon{this, "cbDnMon", "monday", &gbCfgStandAlone};
    TCheckBox cbDnTue{this, "cbDnTue", "tuesday", &gbCfgStandAlone};
    TCheckBox cbDnWed{this, "cbDnWed", "wednesday", &gbCfgStandAlone};
    TCheckBox cbDnThu{this, "cbDnThu", "thursday", &gbCfgStandAlone};
    TCheckBox cbDnFri{this, "cbDnFri", "friday", &gbCfgStandAlone};
    TCheckBox cbDnSat{this, "cbDnSat", "saturday", &gbCfgStandAlone};
    TCheckBox cbDnSun{this, "cbDnSun", "sunday", &gbCfgStandAlone};
    TLabel lblhd{this, "lblhd", "Holiday days DD/MM", &gbCfgStandAlone};
    TEdit edthd0{this, "edthd0", "", &gbCfgStandAlone};
    TEdit edthd1{this, "edthd1", "", &gbCfgStandAlone};
    TEdit edthd2{this, "edthd2", "", &gbCfgStandAlone};
    TEdit edthd3{this, "edthd3", "", &gbCfgStandAlone};
    TEdit edthd4{this, "edthd4", "", &gbCfgStandAlone};
    TEdit edthd5{this, "edthd5", "", &gbCfgStandAlone};
    TEdit edthd6{this, "edthd6", "", &gbCfgStandAlone};
    TEdit edthd7{this, "edthd7", "", &gbCfgStandAlone};
    TEdit edthd8{this, "edthd8", "", &gbCfgStandAlone};
    TEdit edthd9{this, "edthd9", "", &gbCfgStandAlone};
    TEdit edthd10{this, "edthd10", "", &gbCfgStandAlone};
    TEdit edthd11{this, "edthd11", "", &gbCfgStandAlone};
    TEdit edthd12{this, "edthd12", "", &gbCfgStandAlone};
    TEdit edthd13{this, "edthd13", "", &gbCfgStandAlone};
    TEdit edthd14{this, "edthd14", "", &gbCfgStandAlone};
    TEdit edthd15{this, "edthd15", "", &gbCfgStandAlone};
    TEdit edthd16{this, "edthd16", "", &gbCfgStandAlone};
    TEdit edthd17{this, "edthd17", "", &gbCfgStandAlone};
    TEdit edthd18{this, "edthd18", "", &gbCfgStandAlone};
    TEdit edthd19{this, "edthd19", "", &gbCfgStandAlone};

    // ---- " CONFIGURATION " group of the Management page ----
    TGroupBox gbConfiguration{this, "gbConfiguration", " CONFIGURATION ", &TabSheet1};
    TButton btnGetAll{this, "btnGetAll", "get all parameters", &gbConfiguration};
    TButton btnUpdateCfg{this, "btnUpdateCfg", "update configuration", &gbConfiguration};
    TButton btnRestoreCfg{this, "btnRestoreCfg", "restore parameters", &gbConfiguration};

    // Places the pages' controls and binds their handlers (constructor).
    void wireConfigurationPages();
    void btnGetAllClick();
    void btnUpdateCfgClick();
    void btnRestoreCfgClick();
    void tbFanSp1Change();
    void tbFanSp2Change();
    // One parameter group in the mode of its button's Tag. A text that is
    // not a number raises std::invalid_argument (the toolkit's conversion
    // error); the drivers report it and go on with the next group.
    void configGroupClick(TButton& sender);
    // The hidden group buttons in driver order.
    std::vector<TButton*> configGroupButtons();
    // The parameter controls as "name=value" lines in group order: an
    // edit's text, 1 or 0 for a check box, a radio group's item index, a
    // track bar's position (the command line's listing and load format).
    // A group whose stored bytes its controls cannot give back (byte 351 =
    // 0, say) is listed as "# " comment lines, so that loading the listing
    // leaves it as stored.
    std::vector<std::string> configurationListing();
    // The hidden button of the group a parameter control belongs to, or null.
    TButton* configGroupOf(const std::string& controlName);
    // "update configuration" over these groups only (the button: all).
    void updateConfigurationGroups(const std::vector<TButton*>& buttons);
    // Sets one of those controls from its listing value; false, with the
    // reason, for another control or a value it cannot take.
    bool setConfigurationControl(const std::string& name, const std::string& value, std::string& error);
    // The group handlers by their buttons' names (btnChEnable's is
    // btnSeEnableClick).
    void btnPwdClick() { configGroupClick(btnPwd); }
    void btnCfgClick() { configGroupClick(btnCfg); }
    void btnSeEnableClick() { configGroupClick(btnChEnable); }
    void btnSenEnClick() { configGroupClick(btnSenEn); }
    void btnDisTimClick() { configGroupClick(btnDisTim); }
    void btnMaintTimeClick() { configGroupClick(btnMaintTime); }
    void btnTrendLogTimeClick() { configGroupClick(btnTrendLogTime); }
    void btnMirrEnClick() { configGroupClick(btnMirrEn); }
    void btnSupplClick() { configGroupClick(btnSuppl); }
    void btnCommChSeClick() { configGroupClick(btnCommChSe); }
    void btnSndCutoffClick() { configGroupClick(btnSndCutoff); }
    void btnLtAlarmClick() { configGroupClick(btnLtAlarm); }
    void btnAlarmDelayClick() { configGroupClick(btnAlarmDelay); }
    void btnAuxRelCh2Click() { configGroupClick(btnAuxRelCh2); }
    void btnChLabelClick() { configGroupClick(btnChLabel); }
    void btnFlowsClick() { configGroupClick(btnFlows); }
    void btnFilClick() { configGroupClick(btnFil); }
    void btnFanClick() { configGroupClick(btnFan); }
    void btnLatFauClick() { configGroupClick(btnLatFau); }
    void btnFauDelClick() { configGroupClick(btnFauDel); }
    void btnFloFauDelClick() { configGroupClick(btnFloFauDel); }
    void btnPowResTimClick() { configGroupClick(btnPowResTim); }
    void btnFanSpClick() { configGroupClick(btnFanSp); }
    void btnPressureClick() { configGroupClick(btnPressure); }
    void btnAuxLtClick() { configGroupClick(btnAuxLt); }
    void btnExtInpClick() { configGroupClick(btnExtInp); }
    void btnExtEvClick() { configGroupClick(btnExtEv); }
    void btnSensDisTimeClick() { configGroupClick(btnSensDisTime); }
    void btdsenClick() { configGroupClick(btdsen); }
    void btndldateClick() { configGroupClick(btndldate); }
    void btnAuxEvClick() { configGroupClick(btnAuxEv); }
    void btnAlModeClick() { configGroupClick(btnAlMode); }
    void btnSeTimeoutClick() { configGroupClick(btnSeTimeout); }
    void btnRemOutTimeClick() { configGroupClick(btnRemOutTime); }
    void btnWeekDClick() { configGroupClick(btnWeekD); }
    void btnhdClick() { configGroupClick(btnhd); }
    void btnPrealDelayClick() { configGroupClick(btnPrealDelay); }
    void btnCasAlClick() { configGroupClick(btnCasAl); }
    void btnDayNigClick() { configGroupClick(btnDayNig); }
    void btnSndacClick() { configGroupClick(btnSndac); }
    void btnallevClick() { configGroupClick(btnallev); }
    void btnDayNightClick() { configGroupClick(btnDayNight); }
    // ---- end configuration pages -------------------------------------------

    // ======================================================================
    // Admin #1 (hardware panels)
    // ======================================================================
    // ---- hardware test panels (pages/admin1_panels.cpp) ----------------
    // Raw request of a panel into panelAnswer; parameters not given are 0.
    // False on failure (status kept by the device object).
    bool panelRequest(uint8_t code, int answerLength, std::initializer_list<uint8_t> params = {},
                      int payloadLength = 0);
    // Guarded read of analogue channel 0..8 (the rgAD items); no console
    // line on a failed request.
    bool readAnalogChannel(int channel, int& value);
    // A timer interval from an edit: an integer of at least 1; otherwise
    // the error box and false.
    bool editInterval(const TEdit& edit, int& value);

    TGroupBox grpFansDac{this, "grpFansDac", " FANS DAC ADC ", &TabSheet5};
    TEdit edtFan1DAC{this, "edtFan1DAC", "0", &grpFansDac};
    TEdit edtFan2DAC{this, "edtFan2DAC", "0", &grpFansDac};
    TButton btnSetFansDAC{this, "btnSetFansDAC", "SET FANS DAC", &grpFansDac};
    TButton btnStopFans{this, "btnStopFans", "STOP FANS", &grpFansDac};
    TEdit edtFan1AD{this, "edtFan1AD", "", &grpFansDac};
    TEdit edtFan2AD{this, "edtFan2AD", "", &grpFansDac};
    TButton btnReadFansAD{this, "btnReadFansAD", "READ FANS AD", &grpFansDac};
    void btnSetFansDACClick(Control* sender = nullptr);   // STOP FANS: sender btnStopFans
    void btnReadFansADClick();

    TGroupBox grpButtons{this, "grpButtons", " BUTTONS ", &TabSheet5};
    TCheckBox cboButtonsMon{this, "cboButtonsMon", "Read buttons", &grpButtons};
    TLabel lblTEST{this, "lblTEST", "TEST", &grpButtons};
    TLabel lblRESET{this, "lblRESET", "RESET", &grpButtons};
    TLabel lblDISABLE{this, "lblDISABLE", "DISABLE", &grpButtons};
    TEdit edtTESTpressed{this, "edtTESTpressed", "0", &grpButtons};
    TEdit edtRESETpressed{this, "edtRESETpressed", "0", &grpButtons};
    TEdit edtDISABLEpressed{this, "edtDISABLEpressed", "0", &grpButtons};
    // Duration of the last completed press (ms).
    TLabel lblTESTms{this, "lblTESTms", "", &grpButtons};
    TLabel lblRESETms{this, "lblRESETms", "", &grpButtons};
    TLabel lblDISABLEms{this, "lblDISABLEms", "", &grpButtons};
    TTimer tmrButtons{this, "tmrButtons", 50, false};
    void cboButtonsMonClick();
    void tmrButtonsTimer();

    TGroupBox grpInput{this, "grpInput", " INPUT ", &TabSheet5};
    TCheckBox cboReadInput{this, "cboReadInput", "Read configurable input", &grpInput};
    TEdit edtConfInput{this, "edtConfInput", "", &grpInput};
    TTimer tmrConfInput{this, "tmrConfInput", 50, false};
    void cboReadInputClick();
    void tmrConfInputTimer();

    TGroupBox grpIsolator{this, "grpIsolator", " ISOLATOR ", &TabSheet5};
    TLabel lblIsolatorPinState{this, "lblIsolatorPinState", "Isolator PIN state:", &grpIsolator};
    TEdit edtIsolatorPinState{this, "edtIsolatorPinState", "", &grpIsolator};
    TLabel lblSub127{this, "lblSub127", "Subaddress 127:", &grpIsolator};
    TEdit edtSub127{this, "edtSub127", "", &grpIsolator};
    TLabel lblSub127Cmd{this, "lblSub127Cmd", "AP CMD 11 value:", &grpIsolator};
    TEdit edtSub127Cmd{this, "edtSub127Cmd", "0", &grpIsolator};
    TButton btnReadIsolator{this, "btnReadIsolator", "READ ISOLATOR STATE", &grpIsolator};
    TButton btnExecIsoCommand{this, "btnExecIsoCommand", "EXECUTE ISO COMMAND", &grpIsolator};
    // EXECUTE ISO COMMAND: sender btnExecIsoCommand; otherwise the read.
    void btnReadIsolatorClick(Control* sender = nullptr);

    TGroupBox grpRemotes{this, "grpRemotes", " SENSORS REMOTE OUTPUT ", &TabSheet5};
    TCheckBox cboReadRemotes{this, "cboReadRemotes", "Read remotes", &grpRemotes};
    TLabel lblRemoteOut1{this, "lblRemoteOut1", "1:", &grpRemotes};
    TEdit edtRemoteOut1State{this, "edtRemoteOut1State", "", &grpRemotes};
    TEdit edtRemoteOut1Pin{this, "edtRemoteOut1Pin", "", &grpRemotes};
    TLabel lblRemoteOut2{this, "lblRemoteOut2", "2:", &grpRemotes};
    TEdit edtRemoteOut2State{this, "edtRemoteOut2State", "", &grpRemotes};
    TEdit edtRemoteOut2Pin{this, "edtRemoteOut2Pin", "", &grpRemotes};
    TTimer tmrRemotes{this, "tmrRemotes", 50, false};
    void cboReadRemotesClick();
    void tmrRemotesTimer();

    TGroupBox grpSounders{this, "grpSounders", " SOUNDERS ", &TabSheet5};
    TCheckBox cboReadSounders{this, "cboReadSounders", "Read sounders", &grpSounders};
    TEdit edtSounder1State{this, "edtSounder1State", "", &grpSounders};
    TEdit edtSounder1AD{this, "edtSounder1AD", "", &grpSounders};
    TEdit edtSounder2State{this, "edtSounder2State", "", &grpSounders};
    TEdit edtSounder2AD{this, "edtSounder2AD", "", &grpSounders};
    TTimer tmrSounders{this, "tmrSounders", 50, false};
    void cboReadSoundersClick();
    void tmrSoundersTimer();

    TGroupBox grpCover{this, "grpCover", " COVER SWITCH ", &TabSheet5};
    TCheckBox cboReadCover{this, "cboReadCover", "Read switch", &grpCover};
    TEdit edtCoverOpened{this, "edtCoverOpened", "0", &grpCover};
    TEdit edtCoverClosed{this, "edtCoverClosed", "0", &grpCover};
    TEdit edtCoverPinState{this, "edtCoverPinState", "0", &grpCover};
    TLabel lblCoverOpened{this, "lblCoverOpened", "", &grpCover};
    TLabel lblCoverClosed{this, "lblCoverClosed", "", &grpCover};
    TTimer tmrCover{this, "tmrCover", 50, false};
    void cboReadCoverClick();
    void tmrCoverTimer();

    TGroupBox grpUltra{this, "grpUltra", " ULTRASONIC CIRCUIT ", &TabSheet5};
    TRadioGroup rgUltra{this, "rgUltra", " Way ", {"1A --> 1B", "1B --> 1A", "2A --> 2B", "2B --> 2A"}, &grpUltra};
    TButton btnMeasureFlow{this, "btnMeasureFlow", "MEASURE FLOW", &grpUltra};
    TLabel lblUltraCounter{this, "lblUltraCounter", "Timer counter:", &grpUltra};
    TEdit edtUltraCounter{this, "edtUltraCounter", "", &grpUltra};
    TLabel lblUltraUS{this, "lblUltraUS", "Time (ns):", &grpUltra};
    TEdit edtUltraUS{this, "edtUltraUS", "", &grpUltra};
    TLabel lblMeanSamplesUS{this, "lblMeanSamplesUS", "Samples:", &grpUltra};
    TEdit edtMeanSamplesUS{this, "edtMeanSamplesUS", "1", &grpUltra};
    TLabel lblUltraMin{this, "lblUltraMin", "Min:", &grpUltra};
    TEdit edtUltraMin{this, "edtUltraMin", "", &grpUltra};
    TLabel lblUltraMax{this, "lblUltraMax", "Max:", &grpUltra};
    TEdit edtUltraMax{this, "edtUltraMax", "", &grpUltra};
    TLabel lblUltraMean{this, "lblUltraMean", "Mean:", &grpUltra};
    TEdit edtUltraMean{this, "edtUltraMean", "", &grpUltra};
    TButton btnUltraClear{this, "btnUltraClear", "CLEAR", &grpUltra};
    TLabel lblUltraMeasInt{this, "lblUltraMeasInt", "Meas. interval (ms):", &grpUltra};
    TEdit edtUltraMeasInt{this, "edtUltraMeasInt", "10", &grpUltra};
    TCheckBox cbUltraContinue{this, "cbUltraContinue", "GO!", &grpUltra};
    TLabel lblUltraNumMeas{this, "lblUltraNumMeas", "#0", &grpUltra};
    TMemo memoUltra{this, "memoUltra", &grpUltra};
    TButton btnUltraMemoClear{this, "btnUltraMemoClear", "CLEAR", &grpUltra};
    TButton btnUltraMemoCopy{this, "btnUltraMemoCopy", "COPY", &grpUltra};
    TButton btnTestAirDensity{this, "btnTestAirDensity", "Test air density", &grpUltra};
    TTimer tmrUltra{this, "tmrUltra", 10, false};
    // Tag: steps of the air-density test.
    TTimer tmrDensity{this, "tmrDensity", 10, false};
    // State of the ultrasonic panel: the running-mean window of the
    // continuous measure and the channel of the air-density test.
    struct UltraMeasure {
        uint16_t window[1000] = {};
        uint16_t position = 0;
        uint16_t min = 0, max = 0;
        bool firstSample = false;
        int32_t count = 0;
        int densityChannel = 1;
    };
    UltraMeasure ultra;
    void btnMeasureFlowClick();
    void btnUltraClearClick();
    // Min, max and the mean of the first N window samples into the edits;
    // false (with the error box) when N is not 1..1000.
    bool refreshUltraStatistics();
    void cbUltraContinueClick();
    void tmrUltraTimer();
    void btnUltraMemoClearClick();
    void btnUltraMemoCopyClick();
    void btnTestAirDensityClick();
    void tmrDensityTimer();

    TGroupBox grpSaLoop{this, "grpSaLoop", " STAND ALONE LOOP ", &TabSheet5};
    TRadioGroup rgSetSaLoop{this, "rgSetSaLoop", " Loop voltage ", {"24 V", "5 V", "0 V", "OFF"}, &grpSaLoop};
    TButton btnSetSaLoop{this, "btnSetSaLoop", "SET", &grpSaLoop};
    void btnSetSaLoopClick();

    TGroupBox grpLog{this, "grpLog", " LOG ", &TabSheet5};
    TEdit edtForceLog{this, "edtForceLog", "0", &grpLog};
    TButton btnForceLog{this, "btnForceLog", "FORCE LOG", &grpLog};
    TButton Button41{this, "Button41", "FORCE 2230 LOG", &grpLog};
    // Sender Button41 repeats the event 2230 times.
    void btnForceLogClick(Control* sender = nullptr);
    // ---- end hardware test panels --------------------------------------
    // ---- end Admin #1 -------------------------------------------------------

    // ======================================================================
    // Admin #2 (hardware panels, administration tools)
    // ======================================================================
    // ---- sensor, analogue and LED panels (pages/admin2_panels.cpp) ----
    TGroupBox grpSaSensors{this, "grpSaSensors", " STAND ALONE SENSORS TEST ", &TabSheet6};
    TLabel lblSensor1{this, "lblSensor1", "SENSOR #1", &grpSaSensors};
    TButton btnPollSensor1{this, "btnPollSensor1", "POLL", &grpSaSensors};
    TButton btnTestSensor1{this, "btnTestSensor1", "TEST", &grpSaSensors};
    TMemo memSensor1Info{this, "memSensor1Info", &grpSaSensors};
    TLabel lblSensor2{this, "lblSensor2", "SENSOR #2", &grpSaSensors};
    TButton btnPollSensor2{this, "btnPollSensor2", "POLL", &grpSaSensors};
    TButton btnTestSensor2{this, "btnTestSensor2", "TEST", &grpSaSensors};
    TMemo memSensor2Info{this, "memSensor2Info", &grpSaSensors};
    TCheckBox cboAutoPoll{this, "cboAutoPoll", "Auto poll every:", &grpSaSensors};
    TEdit edtAutoPoll{this, "edtAutoPoll", "1000", &grpSaSensors};
    TLabel lblAutoPollMs{this, "lblAutoPollMs", "ms", &grpSaSensors};
    TTimer tmrAutoPoll{this, "tmrAutoPoll", 1000, false};
    // The sender is one of the four POLL / TEST buttons; none: POLL of
    // sensor 1.
    void btnPollSensor1Click(Control* sender = nullptr);
    void cboAutoPollClick();
    void tmrAutoPollTimer();

    TGroupBox grpAds{this, "grpAds", " ADS ", &TabSheet6};
    TRadioGroup rgAD{this, "rgAD", "AD",
                     {"SOUNDER1", "SOUNDER2", "PCB_THERMISTOR", "FLOW1_TH", "FLOW2_TH", "FANBACK1", "FANBACK2",
                      "POWER1", "POWER2"},
                     &grpAds};
    TEdit edtADMeasInt{this, "edtADMeasInt", "100", &grpAds};
    TCheckBox cboAD{this, "cboAD", "GO!", &grpAds};
    TButton btnADClear{this, "btnADClear", "CLEAR", &grpAds};
    TMemo memAD{this, "memAD", &grpAds};
    TTimer tmrAD{this, "tmrAD", 100, false};
    void cboADClick();
    void tmrADTimer();
    void btnADClearClick();

    TGroupBox grpLeds{this, "grpLeds", " SHIFT REGISTER LEDS ", &TabSheet6};
    TPaintBox Image1{this, "Image1", &grpLeds};
    // cbLed0 .. cbLed44: items off, green, red, yellow; Images
    // "ImageList1" (steady) or "ImageList2".
    std::vector<std::unique_ptr<TComboBox>> cbLeds;
    TButton btnLedClear{this, "btnLedClear", "CLEAR", &grpLeds};
    TButton btnLedUpdate{this, "btnLedUpdate", "UPDATE", &grpLeds};
    TButton btnLedNormal{this, "btnLedNormal", "Normal", &grpLeds};
    TButton btnLedAllG{this, "btnLedAllG", "All G", &grpLeds};
    TButton btnLedAllR{this, "btnLedAllR", "All R", &grpLeds};
    TButton btnLedAllY{this, "btnLedAllY", "All Y", &grpLeds};
    void btnLedUpdateClick();
    void btnLedNormalClick();
    void btnLedClearClick();
    // "All G" / "All R" / "All Y": every LED to the sender's Tag.
    void btnLedAllClick(Control* sender);
    void cbLedDblClick(Control* sender);
    // ---- end sensor, analogue and LED panels ---------------------------
    // RAM address for "set RAM" and "read RAM".
    TEdit edtReadRAM{this, "edtReadRAM", "", &TabSheet6};
    // ---- end Admin #2 -------------------------------------------------------

    // ======================================================================
    // Admin #3 (flow log capture)
    // ======================================================================
    TCheckBox cboFlowLog{this, "cboFlowLog", "Capture Log", &TabSheet7};
    TButton btnClearFlowLog{this, "btnClearFlowLog", "CLEAR", &TabSheet7};
    TMemo memShowLogCol1{this, "memShowLogCol1", &TabSheet7};
    TMemo memShowLogCol2{this, "memShowLogCol2", &TabSheet7};
    TMemo memFlowLog1{this, "memFlowLog1", &TabSheet7};
    TMemo memFlowLog2{this, "memFlowLog2", &TabSheet7};
    TTimer tmrFlowLog{this, "tmrFlowLog", 300, false};
    TLabel lblFlowLogRate{this, "lblFlowLogRate", "Log Rate(ms):", &TabSheet7};
    TEdit edtFlowLogRate{this, "edtFlowLogRate", "300", &TabSheet7};
    TLabel lblFlowLogIncSpeed{this, "lblFlowLogIncSpeed", "Inc speed every(#log):", &TabSheet7};
    // Tag: capture ticks since the last fan step.
    TEdit edtFlowLogIncSpeed{this, "edtFlowLogIncSpeed", "0", &TabSheet7};
    TLabel lblFlowLogFan1{this, "lblFlowLogFan1", "Fan 1 speed", &TabSheet7};
    TLabel lblFlowLogFan2{this, "lblFlowLogFan2", "Fan 2 speed", &TabSheet7};
    TRadioGroup rgFlowLog{this, "rgFlowLog", "channel graph", {"channel 1", "channel 2"}, &TabSheet7};
    TButton Button27{this, "Button27", "SAVE FILES", &TabSheet7};
    TLabel lblFlowLog1{this, "lblFlowLog1", "channel 1", &TabSheet7};
    TLabel lblFlowLog2{this, "lblFlowLog2", "channel 2", &TabSheet7};
    TPanel pnlShowFlowLog{this, "pnlShowFlowLog", &TabSheet7};
    TPaintBox pb{this, "pb", &pnlShowFlowLog};
    // Plotted samples of the selected channel: A, R, dA, dR and pulse.
    FlowGraph flowGraph;
    void cboFlowLogClick();
    void btnClearFlowLogClick();
    void tmrFlowLogTimer();
    void rgFlowLogClick();
    void Button27Click();       // SAVE FILES
    // Both capture switches end here; false when the rate edit is no number.
    bool switchFlowCapture();
    // Unchecks "Capture Log" as a click would, and stops the timer.
    void stopFlowCapture();
    // ---- end Admin #3 -------------------------------------------------------

    // ======================================================================
    // Manual EOL (production test)
    // ======================================================================
    TButton btnStartEOL{this, "btnStartEOL", "START EOL", &TabSheet8};
    TButton Button37{this, "Button37", "STOP EOL", &TabSheet8};
    TButton Button38{this, "Button38", "SAVE LOG", &TabSheet8};
    TRadioGroup rgEolType{this, "rgEolType", " Version ", {"stand alone", "loop based"}, &TabSheet8};
    TRadioGroup rgEolChannels{this, "rgEolChannels", " #channels ", {"one channel", "two channels"}, &TabSheet8};
    TLabel lblStartStep{this, "lblStartStep", "Start step:", &TabSheet8};
    TEdit edtStartStep{this, "edtStartStep", "1", &TabSheet8};
    TLabel lblSerialNumber{this, "lblSerialNumber", "serial number", &TabSheet8};
    TLabel lblSer1{this, "lblSer1", "- 1- ", &TabSheet8};
    TLabel lblSer2{this, "lblSer2", "- 2 - ", &TabSheet8};
    TLabel lblSer3{this, "lblSer3", "- 3 - ", &TabSheet8};
    TLabel lblSer4{this, "lblSer4", "- 4 - ", &TabSheet8};
    TEdit edtSer1{this, "edtSer1", "0", &TabSheet8};
    TEdit edtSer2{this, "edtSer2", "0", &TabSheet8};
    TEdit edtSer3{this, "edtSer3", "0", &TabSheet8};
    TEdit edtSer4{this, "edtSer4", "0", &TabSheet8};
    TLabel lblEOL{this, "lblEOL", "EOL log", &TabSheet8};
    TMemo memEOL{this, "memEOL", &TabSheet8};
    TLabel lblEOLcomm{this, "lblEOLcomm", "Comments", &TabSheet8};
    TMemo memEOLcomm{this, "memEOLcomm", &TabSheet8};
    // The last run's outcome, large and coloured, until the next START.
    TLabel lblEolVerdict{this, "lblEolVerdict", "", &TabSheet8};
    // Counts delayCounter up every 100 ms while the procedure waits.
    TTimer tmrDelay{this, "tmrDelay", 100, false};
    void btnStartEOLClick();
    void Button37Click();       // STOP EOL
    void Button38Click();       // SAVE LOG
    void tmrDelayTimer();

    // Procedure state.
    bool stopFlag = true;
    int delayCounter = 0;
    bool eolStandAlone = true;  // fixed at start from rgEolType
    int eolChannels = 2;        // fixed at start from rgEolChannels
    bool eolRunning = false;    // a START EOL handler is on the stack
    // Folder of the automatic log; empty: the INI's [EOL] LOGDIR, else ".".
    std::string eolLogDir;

    // Outcome of a run, judged from its log: PASS reached "FINE TEST: "
    // with no "<<< FAILED >>>" answer and no "!!!!" line, FAIL reached it
    // with `failures` such lines, ABORTED did not reach it.
    struct EolVerdict {
        enum Kind { None, Pass, Fail, Aborted } kind = None;
        int failures = 0;
        std::string text() const;   // "PASS", "FAIL (n)", "ABORTED"
    };
    static EolVerdict judgeEolLog(const std::vector<std::string>& lines);
    EolVerdict eolVerdict;
    // The automatic log of the last run ("" when none was written).
    std::string eolLogFile;

    // Engine routines (steps 1..10 are built from these). A routine that
    // returns bool returns false when the test was aborted: the caller
    // ends the procedure at once.
    void eolLine(const std::string& text);
    void waitSpace(const std::string& text);
    void askYesNo(const std::string& prefix);
    void abortTest();
    bool connectRetry();
    bool retryAction(const std::function<void()>& action, const std::string& failText);
    bool retryLocal(const std::function<void()>& action, const std::string& failText);
    void delay(int tenths);
    void checkAnalog(const std::string& label, int channel, int min, int max);
    void checkRelay(TButton& onButton, TButton& offButton, bool withQuestion, const std::string& question);
    bool stopCheck();
    // The test's date and time texts (dd/mm/yy hh:mm:ss), application-wide.
    void eolSetFormats();
    // Image bytes 0..511 in and out with retryLocal; the write seals first.
    bool readEolImage(uint8_t* image512);
    bool writeEolImage(uint8_t* image512);
    // Low bytes of edtSer1..4; false (with an error box) for a non-number.
    bool eolSerialBytes(uint8_t serial[4]);
    // Disconnect, 1 s, connectRetry, stop check.
    bool eolReconnect();
    // End of every run: verdict shown, log saved into the log folder.
    void eolFinishRun();
    // What step 6 switched on and has not switched back yet; STOP EOL
    // switches it back before it disconnects.
    TButton* eolRelayOn = nullptr;   // the OFF button of a relay left on
    bool eolLedsSet = false;
    int eolFanSpeedsBefore[2] = {-1, -1};
    // "s1-s2-s3-s4" as the edits held it at START; X for a byte that is no number.
    std::string eolSerialText;
    void eolSwitchOutputsBack();
    // Steps 1..5 (pages/manual_eol.cpp), 6..10 (pages/manual_eol_board.cpp).
    bool eolStep1();
    bool eolStep2();
    bool eolStep3();
    bool eolStep4();
    bool eolStep5();
    bool eolStep6();
    bool eolStep7();
    bool eolStep8();
    bool eolStep9();
    bool eolStep10();
    // ---- end Manual EOL -----------------------------------------------------

    // ======================================================================
    // Flow graph page
    // ======================================================================
    TPanel pnlFlowLog2{this, "pnlFlowLog2", &TabSheet9};
    TPaintBox pbFlow2{this, "pbFlow2", &pnlFlowLog2};
    TLabel lblAndataLimits{this, "lblAndataLimits", "limits A-R", &TabSheet9};
    TEdit edtAndataMin{this, "edtAndataMin", "20500", &TabSheet9};
    TEdit edtAndataMax{this, "edtAndataMax", "25000", &TabSheet9};
    TLabel lblAndata{this, "lblAndata", "ANDATA", &TabSheet9};
    TLabel lblRitorno{this, "lblRitorno", "RITORNO", &TabSheet9};
    TLabel lblDifferenza{this, "lblDifferenza", "DIFFERENZA", &TabSheet9};
    TLabel lblTermistore{this, "lblTermistore", "TERMISTORE", &TabSheet9};
    TLabel lblDuty{this, "lblDuty", "DUTY", &TabSheet9};
    // Paint handler of both pb and pbFlow2.
    void pbFlow2Paint(TPaintBox& sender, TCanvas& canvas);
    // ---- end Flow graph -----------------------------------------------------

    // ======================================================================
    // Ultrasonic tuning (tuning/)
    // ======================================================================
    // True when the run wrote the energy parameter.
    bool btntuningClick();
    void btnSetRamClick();
    // One scan step at a pulse setting; q1 and q2 keep what the caller set
    // when the step is skipped, aborted or fails.
    void scanSetting(int value, int& q1, int& q2);
    // Q of channel 0 or 1 from both flow log memos; writes the listing.
    int evaluateChannel(int channel);
    // Low four bits of EEPROM byte 411, with fresh checksums.
    bool writeEnergyParameter(int value);
    // ---- end tuning ---------------------------------------------------------

    // ======================================================================
    // Reports (reports/): diagnostic, log retrieval
    // ======================================================================
    // True when the run reached its end and saved its report.
    bool btndiagClick();
    // True when the report file was saved.
    bool btnlogClick();
    // ---- end reports --------------------------------------------------------

private:
    void wireShell();
    void wireManagementOutputs();
    void wireHardwarePanels();
    void wireSensorLedPanels();
    void wireManagementInformation();
    void wireEventLogs();
    void wireEepromPage();
    void wireAdminTools();
    void wireFlowLogPage();
    void wireFlowGraphPage();
    void wireManualEol();
};

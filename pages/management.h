#pragma once

#include <string>

#include "app/window_shell.h"

// The Management page: INFORMATION (identity and state readouts), RTC,
// LOGS (event log viewer) and the output tests. Handlers in
// pages/management_readouts.cpp, management_clock.cpp, event_log_viewer.cpp
// and management_outputs.cpp.
class ManagementPage : public virtual WindowShell {
public:
    // RTC (clock), LOGS (event log viewer)
    // Used by the tuning and the reports as well.
    // The state view's lines.
    void addStateLine(const std::string& text);
    // Only when the detector reports fault or alert `code`.
    void addStateLineIf(const std::string& text, int code);
    void clearStateView();
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
    void Button4Click();   // identity readout
    bool btnStateClick();  // state readout
    bool Button23Click();  // clock WRITE
    bool Button24Click();  // clock READ
    void Button6Click();   // clear operating hours
    // True when the table was printed (and, for an export, the file
    // written); a reading also needs the log read.
    bool btnReadLogsClick(Control* sender);
    bool btnShowLogClick(Control* sender);
    bool btnExportLogClick(Control* sender);
    void btnClearLogClick(Control* sender);
    // ---- outputs (pages/management_outputs.cpp) ----
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
    void Button36Click();  // "Extended cmd 1": information block dump
    void cboStateClick();
    void tmrStateTimer();

protected:
    explicit ManagementPage(Host& host) : WindowShell(host) {}
    void wireManagementInformation();
    void wireEventLogs();
    void wireManagementOutputs();
};

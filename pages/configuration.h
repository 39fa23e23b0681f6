#pragma once

#include <string>
#include <vector>

#include "app/window_shell.h"

// The configuration pages (Common parameters, Variants parameters) and the
// CONFIGURATION group of the Management page.
class ConfigurationPages : public virtual WindowShell {
public:
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
    TRadioGroup rgExtInp{this,
                         "rgExtInp",
                         " Event triggered by Ext input ",
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

protected:
    explicit ConfigurationPages(Host& host) : WindowShell(host) {}
    void wireConfigurationPages();
};

#pragma once

#include <cstdint>
#include <initializer_list>

#include "app/window_shell.h"

// Admin #1: the hardware test panels.
class HardwarePanelsPage : public virtual WindowShell {
public:
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
    void btnSetFansDACClick(Control* sender = nullptr);  // STOP FANS: sender btnStopFans
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
    void cbUltraContinueClick();
    void tmrUltraTimer();
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

protected:
    explicit HardwarePanelsPage(Host& host) : WindowShell(host) {}
    void wireHardwarePanels();

private:
    // Min, max and the mean of the first N window samples into the edits;
    // false (with the error box) when N is not 1..1000.
    bool refreshUltraStatistics();
    void btnUltraMemoClearClick();
    void btnUltraMemoCopyClick();
};

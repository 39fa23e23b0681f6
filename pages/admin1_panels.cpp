// Hardware test panels of Admin #1: fan DACs and feedback, front buttons,
// configurable input, loop isolator, sensor remote outputs, sounders,
// cover switch, ultrasonic transit counter and air-density test,
// stand-alone loop voltage and forced log events. Most panels send one raw
// request into the window's panel answer buffer and decode it here; the
// polling ones run on their own window timers. The diagnostic run and the
// production test replay these handlers and read the edits back, so the
// texts ("ERR", "OPEN", "SHORT", ...) are part of the contract.
#include <algorithm>
#include <cstdint>
#include <string>

#include "pages/main_window.h"
#include "link/frame.h"

namespace {

uint8_t lowByte(int value) { return static_cast<uint8_t>(value & 0xFF); }

// 16-bit answer value, low byte first; `at` is the index of the low byte
// in the answer buffer (1 = first data byte).
int answerWord(const uint8_t* answer, int at) { return answer[at] | answer[at + 1] << 8; }

// A polling panel's check box and timer: a failed guard or request
// unchecks the box and stops the timer.
void stopPolling(TCheckBox& box, TTimer& timer) {
    box.Checked = false;
    timer.Enabled = false;
}

// Latches the length of a completed press: when the device counter is
// back to 0 while the edit still shows a non-zero duration, that duration
// goes into the label. A text that is no number (after "ERR") ends the
// latching for this tick.
void latchCompletedPresses(const uint8_t* counters, TEdit* const* edits, TLabel* const* labels, int count) {
    for (int i = 0; i < count; ++i) {
        int shown = 0;
        if (!parseInteger(edits[i]->Text, shown)) return;
        if (counters[i] == 0 && shown != 0) labels[i]->Caption = edits[i]->Text.get();
    }
}

}  // namespace

// ---- shared helpers -----------------------------------------------------

bool HardwarePanelsPage::panelRequest(uint8_t code, int answerLength, std::initializer_list<uint8_t> params,
                                      int payloadLength) {
    if (!qob) return false;
    uint8_t p[12] = {};
    std::copy_n(params.begin(), std::min<size_t>(params.size(), 12), p);
    return qob->sendCommand(code, payloadLength, answerLength, p, panelPayload, panelAnswer) == 1;
}

bool HardwarePanelsPage::readAnalogChannel(int channel, int& value) {
    if (!checkConnected()) return false;
    if (!panelRequest(cmd::ReadAnalog, 2, {lowByte(channel)})) return false;
    value = answerWord(panelAnswer, 1);
    return true;
}

bool HardwarePanelsPage::editInterval(const TEdit& edit, int& value) {
    if (!editInteger(host, edit, value)) return false;
    if (value >= 1) return true;
    // An interval below 1 ms would never tick: say so rather than start a
    // timer that does nothing.
    host.messageBox("'" + edit.Text + "' is not a valid interval (ms)", host.applicationTitle, DialogKind::Error,
                    DialogButtons::Ok);
    return false;
}

// ---- layout and wiring --------------------------------------------------

void HardwarePanelsPage::wireHardwarePanels() {
    grpFansDac.setBounds(8, 8, 240, 104);
    edtFan1DAC.setBounds(8, 20, 50, 21);
    edtFan2DAC.setBounds(62, 20, 50, 21);
    btnSetFansDAC.setBounds(120, 16, 112, 25);
    btnStopFans.setBounds(120, 44, 112, 25);
    edtFan1AD.setBounds(8, 76, 50, 21);
    edtFan2AD.setBounds(62, 76, 50, 21);
    btnReadFansAD.setBounds(120, 74, 112, 25);
    edtFan1AD.ReadOnly = true;
    edtFan2AD.ReadOnly = true;
    btnSetFansDAC.OnClick = [this] { btnSetFansDACClick(&btnSetFansDAC); };
    btnStopFans.OnClick = [this] { btnSetFansDACClick(&btnStopFans); };
    btnReadFansAD.OnClick = [this] { btnReadFansADClick(); };

    grpButtons.setBounds(8, 116, 240, 118);
    cboButtonsMon.setBounds(8, 18, 120, 17);
    TLabel* names[] = {&lblTEST, &lblRESET, &lblDISABLE};
    TEdit* pressed[] = {&edtTESTpressed, &edtRESETpressed, &edtDISABLEpressed};
    TLabel* latched[] = {&lblTESTms, &lblRESETms, &lblDISABLEms};
    for (int i = 0; i < 3; ++i) {
        names[i]->setBounds(8, 44 + 24 * i, 56, 13);
        pressed[i]->setBounds(70, 40 + 24 * i, 60, 21);
        pressed[i]->ReadOnly = true;
        latched[i]->setBounds(140, 44 + 24 * i, 80, 13);
    }
    cboButtonsMon.OnClick = [this] { cboButtonsMonClick(); };
    tmrButtons.OnTimer = [this] { tmrButtonsTimer(); };

    grpInput.setBounds(8, 238, 240, 48);
    cboReadInput.setBounds(8, 20, 170, 17);
    edtConfInput.setBounds(182, 18, 50, 21);
    edtConfInput.ReadOnly = true;
    cboReadInput.OnClick = [this] { cboReadInputClick(); };
    tmrConfInput.OnTimer = [this] { tmrConfInputTimer(); };

    grpLog.setBounds(8, 290, 240, 56);
    edtForceLog.setBounds(8, 22, 40, 21);
    btnForceLog.setBounds(52, 20, 76, 25);
    Button41.setBounds(132, 20, 102, 25);
    btnForceLog.OnClick = [this] { btnForceLogClick(&btnForceLog); };
    Button41.OnClick = [this] { btnForceLogClick(&Button41); };

    grpIsolator.setBounds(256, 8, 240, 150);
    lblIsolatorPinState.setBounds(8, 22, 110, 13);
    edtIsolatorPinState.setBounds(120, 18, 50, 21);
    lblSub127.setBounds(8, 46, 110, 13);
    edtSub127.setBounds(120, 42, 50, 21);
    lblSub127Cmd.setBounds(8, 70, 110, 13);
    edtSub127Cmd.setBounds(120, 66, 50, 21);
    btnReadIsolator.setBounds(8, 92, 224, 25);
    btnExecIsoCommand.setBounds(8, 120, 224, 25);
    edtIsolatorPinState.ReadOnly = true;
    edtSub127.ReadOnly = true;
    btnReadIsolator.OnClick = [this] { btnReadIsolatorClick(&btnReadIsolator); };
    btnExecIsoCommand.OnClick = [this] { btnReadIsolatorClick(&btnExecIsoCommand); };

    grpRemotes.setBounds(256, 162, 240, 64);
    cboReadRemotes.setBounds(8, 18, 110, 17);
    lblRemoteOut1.setBounds(8, 40, 14, 13);
    edtRemoteOut1State.setBounds(24, 36, 40, 21);
    edtRemoteOut1Pin.setBounds(68, 36, 40, 21);
    lblRemoteOut2.setBounds(122, 40, 14, 13);
    edtRemoteOut2State.setBounds(138, 36, 40, 21);
    edtRemoteOut2Pin.setBounds(182, 36, 40, 21);
    for (TEdit* e : {&edtRemoteOut1State, &edtRemoteOut1Pin, &edtRemoteOut2State, &edtRemoteOut2Pin})
        e->ReadOnly = true;
    cboReadRemotes.OnClick = [this] { cboReadRemotesClick(); };
    tmrRemotes.OnTimer = [this] { tmrRemotesTimer(); };

    grpSounders.setBounds(256, 230, 240, 64);
    cboReadSounders.setBounds(8, 18, 110, 17);
    edtSounder1State.setBounds(8, 36, 40, 21);
    edtSounder1AD.setBounds(52, 36, 60, 21);
    edtSounder2State.setBounds(124, 36, 40, 21);
    edtSounder2AD.setBounds(168, 36, 60, 21);
    for (TEdit* e : {&edtSounder1State, &edtSounder1AD, &edtSounder2State, &edtSounder2AD}) e->ReadOnly = true;
    cboReadSounders.OnClick = [this] { cboReadSoundersClick(); };
    tmrSounders.OnTimer = [this] { tmrSoundersTimer(); };

    grpCover.setBounds(256, 298, 240, 64);
    cboReadCover.setBounds(8, 18, 110, 17);
    edtCoverPinState.setBounds(180, 16, 50, 21);
    edtCoverOpened.setBounds(8, 38, 50, 21);
    lblCoverOpened.setBounds(62, 42, 50, 13);
    edtCoverClosed.setBounds(120, 38, 50, 21);
    lblCoverClosed.setBounds(174, 42, 56, 13);
    for (TEdit* e : {&edtCoverOpened, &edtCoverClosed, &edtCoverPinState}) e->ReadOnly = true;
    cboReadCover.OnClick = [this] { cboReadCoverClick(); };
    tmrCover.OnTimer = [this] { tmrCoverTimer(); };

    grpUltra.setBounds(504, 8, 500, 232);
    rgUltra.setBounds(8, 16, 100, 104);
    rgUltra.ItemIndex = 0;
    btnMeasureFlow.setBounds(116, 18, 100, 25);
    lblUltraCounter.setBounds(116, 50, 86, 13);
    edtUltraCounter.setBounds(204, 46, 66, 21);
    lblUltraUS.setBounds(116, 74, 86, 13);
    edtUltraUS.setBounds(204, 70, 66, 21);
    lblMeanSamplesUS.setBounds(276, 22, 52, 13);
    edtMeanSamplesUS.setBounds(330, 18, 60, 21);
    lblUltraMin.setBounds(276, 46, 52, 13);
    edtUltraMin.setBounds(330, 42, 60, 21);
    lblUltraMax.setBounds(276, 70, 52, 13);
    edtUltraMax.setBounds(330, 66, 60, 21);
    lblUltraMean.setBounds(276, 94, 52, 13);
    edtUltraMean.setBounds(330, 90, 60, 21);
    btnUltraClear.setBounds(330, 114, 60, 25);
    lblUltraMeasInt.setBounds(8, 134, 126, 13);
    edtUltraMeasInt.setBounds(136, 130, 50, 21);
    cbUltraContinue.setBounds(192, 132, 50, 17);
    lblUltraNumMeas.setBounds(248, 134, 80, 13);
    btnTestAirDensity.setBounds(8, 160, 120, 25);
    memoUltra.setBounds(400, 16, 92, 180);
    btnUltraMemoClear.setBounds(400, 200, 44, 25);
    btnUltraMemoCopy.setBounds(448, 200, 44, 25);
    for (TEdit* e : {&edtUltraCounter, &edtUltraUS, &edtUltraMin, &edtUltraMax, &edtUltraMean}) e->ReadOnly = true;
    memoUltra.ReadOnly = true;
    btnMeasureFlow.OnClick = [this] { btnMeasureFlowClick(); };
    btnUltraClear.OnClick = [this] { btnUltraClearClick(); };
    cbUltraContinue.OnClick = [this] { cbUltraContinueClick(); };
    tmrUltra.OnTimer = [this] { tmrUltraTimer(); };
    btnUltraMemoClear.OnClick = [this] { btnUltraMemoClearClick(); };
    btnUltraMemoCopy.OnClick = [this] { btnUltraMemoCopyClick(); };
    btnTestAirDensity.OnClick = [this] { btnTestAirDensityClick(); };
    tmrDensity.OnTimer = [this] { tmrDensityTimer(); };

    grpSaLoop.setBounds(504, 244, 200, 122);
    rgSetSaLoop.setBounds(8, 14, 110, 104);
    rgSetSaLoop.ItemIndex = 0;
    btnSetSaLoop.setBounds(128, 50, 60, 25);
    btnSetSaLoop.OnClick = [this] { btnSetSaLoopClick(); };
}

// ---- fans DAC and feedback ---------------------------------------------

void HardwarePanelsPage::btnSetFansDACClick(Control* sender) {
    if (!checkConnected()) return;
    int dac1 = 0, dac2 = 0;
    if (!editInteger(host, edtFan1DAC, dac1) || !editInteger(host, edtFan2DAC, dac2)) return;
    const uint8_t stop = sender == &btnStopFans ? 1 : 0;
    if (!panelRequest(cmd::FanLevels, 0, {lowByte(dac1), lowByte(dac2), stop})) showLibraryError();
}

void HardwarePanelsPage::btnReadFansADClick() {
    if (!checkConnected()) return;
    TEdit* edits[] = {&edtFan1AD, &edtFan2AD};
    for (int fan = 0; fan < 2; ++fan) {
        int value = 0;
        edits[fan]->Text = readAnalogChannel(5 + fan, value) ? std::to_string(value) : std::string("ERR");
    }
}

// ---- front buttons ------------------------------------------------------

void HardwarePanelsPage::cboButtonsMonClick() { tmrButtons.Enabled = cboButtonsMon.Checked.get(); }

void HardwarePanelsPage::tmrButtonsTimer() {
    if (!checkConnected()) {
        stopPolling(cboButtonsMon, tmrButtons);
        return;
    }
    // In answer order: RESET, TEST, DISABLE.
    TEdit* const edits[] = {&edtRESETpressed, &edtTESTpressed, &edtDISABLEpressed};
    TLabel* const labels[] = {&lblRESETms, &lblTESTms, &lblDISABLEms};
    const bool ok = panelRequest(cmd::FrontButtons, 3);
    if (ok) {
        latchCompletedPresses(panelAnswer + 1, edits, labels, 3);
        for (int i = 0; i < 3; ++i) edits[i]->Text = std::to_string(panelAnswer[1 + i] * 50);
    } else {
        for (TEdit* e : edits) e->Text = "ERR";
    }
    addConsoleLine(edtTESTpressed.Text + "," + edtRESETpressed.Text + "," + edtDISABLEpressed.Text);
    if (!ok) stopPolling(cboButtonsMon, tmrButtons);
}

// ---- configurable input ---------------------------------------------------

void HardwarePanelsPage::cboReadInputClick() { tmrConfInput.Enabled = cboReadInput.Checked.get(); }

void HardwarePanelsPage::tmrConfInputTimer() {
    if (!checkConnected()) {
        stopPolling(cboReadInput, tmrConfInput);
        return;
    }
    if (!panelRequest(cmd::ConfigurableInput, 1)) {
        edtConfInput.Text = "ERR";
        addConsoleLine("ERR");
        stopPolling(cboReadInput, tmrConfInput);
        return;
    }
    const std::string text = panelAnswer[1] == 1 ? "SHORT" : "OPEN";
    edtConfInput.Text = text;
    addConsoleLine(text);
    actionOk = 1;
}

// ---- isolator -------------------------------------------------------------

void HardwarePanelsPage::btnReadIsolatorClick(Control* sender) {
    if (!checkConnected()) return;
    edtIsolatorPinState.Text = "---";
    edtSub127.Text = "---";
    const bool execute = sender == &btnExecIsoCommand;
    int command = 0;
    if (execute && !editInteger(host, edtSub127Cmd, command)) return;
    if (!panelRequest(cmd::Isolator, 2, {lowByte(command)})) {
        edtIsolatorPinState.Text = "ERR";
        edtSub127.Text = "ERR";
        return;
    }
    edtIsolatorPinState.Text = std::to_string(panelAnswer[1]);
    edtSub127.Text = std::to_string(panelAnswer[2]);
    if (!execute) actionOk = 1;
}

// ---- sensor remote outputs -----------------------------------------------

void HardwarePanelsPage::cboReadRemotesClick() { tmrRemotes.Enabled = cboReadRemotes.Checked.get(); }

void HardwarePanelsPage::tmrRemotesTimer() {
    if (!checkConnected()) {
        stopPolling(cboReadRemotes, tmrRemotes);
        return;
    }
    TEdit* const edits[] = {&edtRemoteOut1State, &edtRemoteOut1Pin, &edtRemoteOut2State, &edtRemoteOut2Pin};
    if (!panelRequest(cmd::SensorRemoteOutputs, 4)) {
        for (TEdit* e : edits) e->Text = "ERR";
        stopPolling(cboReadRemotes, tmrRemotes);
        addConsoleLine("1:ERROR");
        addConsoleLine("2:ERROR");
        return;
    }
    for (int i = 0; i < 4; ++i) edits[i]->Text = std::to_string(panelAnswer[1 + i]);
    addConsoleLine("1:" + std::to_string(panelAnswer[1]) + "," + std::to_string(panelAnswer[2]));
    addConsoleLine("2:" + std::to_string(panelAnswer[3]) + "," + std::to_string(panelAnswer[4]));
}

// ---- sounders ---------------------------------------------------------------

void HardwarePanelsPage::cboReadSoundersClick() { tmrSounders.Enabled = cboReadSounders.Checked.get(); }

void HardwarePanelsPage::tmrSoundersTimer() {
    if (!checkConnected()) {
        stopPolling(cboReadSounders, tmrSounders);
        return;
    }
    TEdit* const edits[] = {&edtSounder1State, &edtSounder2State, &edtSounder1AD, &edtSounder2AD};
    if (!panelRequest(cmd::Sounders, 6)) {
        for (TEdit* e : edits) e->Text = "ERR";
        stopPolling(cboReadSounders, tmrSounders);
        return;
    }
    edtSounder1State.Text = std::to_string(panelAnswer[1]);
    edtSounder2State.Text = std::to_string(panelAnswer[2]);
    edtSounder1AD.Text = std::to_string(answerWord(panelAnswer, 3));
    edtSounder2AD.Text = std::to_string(answerWord(panelAnswer, 5));
}

// ---- cover switch -----------------------------------------------------------

void HardwarePanelsPage::cboReadCoverClick() { tmrCover.Enabled = cboReadCover.Checked.get(); }

void HardwarePanelsPage::tmrCoverTimer() {
    if (!checkConnected()) {
        stopPolling(cboReadCover, tmrCover);
        return;
    }
    if (!panelRequest(cmd::CoverSwitch, 3)) {
        for (TEdit* e : {&edtCoverOpened, &edtCoverClosed, &edtCoverPinState}) e->Text = "ERR";
        stopPolling(cboReadCover, tmrCover);
        return;
    }
    TEdit* const edits[] = {&edtCoverOpened, &edtCoverClosed};
    TLabel* const labels[] = {&lblCoverOpened, &lblCoverClosed};
    latchCompletedPresses(panelAnswer + 1, edits, labels, 2);
    edtCoverOpened.Text = std::to_string(panelAnswer[1] * 50);
    edtCoverClosed.Text = std::to_string(panelAnswer[2] * 50);
    edtCoverPinState.Text = std::to_string(panelAnswer[3]);
    actionOk = 1;
}

// ---- ultrasonic transit counter ------------------------------------------

namespace {

constexpr int kTransitWindowSize = 1000;

// One count of the transit counter is 1/24 µs.
std::string transitNanoseconds(int counter) { return std::to_string(counter * 1000 / 24); }

}  // namespace

// The number of samples the mean runs over, from its edit. The window
// holds 1000 samples: anything outside 1..1000 would divide by zero or
// read past the window, so it is refused with a message.
static bool meanSampleCount(TFrmTestQOB& w, int& n) {
    if (!editInteger(w.host, w.edtMeanSamplesUS, n)) return false;
    if (n >= 1 && n <= kTransitWindowSize) return true;
    w.host.messageBox("'" + w.edtMeanSamplesUS.Text + "' is not a valid number of samples (1..1000)",
                      w.host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
    return false;
}

void HardwarePanelsPage::btnMeasureFlowClick() {
    if (!checkConnected()) return;
    if (panelRequest(cmd::TransitCounter, 2, {lowByte(rgUltra.ItemIndex)})) {
        const int counter = answerWord(panelAnswer, 1);
        if (counter != 0) {
            edtUltraCounter.Text = std::to_string(counter);
            edtUltraUS.Text = transitNanoseconds(counter);
            memoUltra.Lines.Add(std::to_string(counter));
            return;
        }
    }
    edtUltraCounter.Text = "ERR";
    edtUltraUS.Text = "ERR";
}

bool HardwarePanelsPage::refreshUltraStatistics() {
    edtUltraMin.Text = std::to_string(ultra.min);
    edtUltraMax.Text = std::to_string(ultra.max);
    int n = 0;
    if (!meanSampleCount(window(), n)) return false;
    uint32_t sum = 0;
    for (int i = 0; i < n; ++i) sum += ultra.window[i];
    edtUltraMean.Text = std::to_string(sum / static_cast<uint32_t>(n));
    return true;
}

void HardwarePanelsPage::btnUltraClearClick() {
    std::fill(std::begin(ultra.window), std::end(ultra.window), uint16_t{0});
    ultra.min = 0;
    ultra.max = 0;
    ultra.position = 0;
    refreshUltraStatistics();
}

void HardwarePanelsPage::cbUltraContinueClick() {
    if (!cbUltraContinue.Checked) {
        tmrUltra.Enabled = false;
        btnUltraClear.Enabled = true;
        return;
    }
    int interval = 0;
    if (!editInterval(edtUltraMeasInt, interval)) {
        cbUltraContinue.Checked = false;
        return;
    }
    btnUltraClear.Enabled = false;
    btnUltraClearClick();
    tmrUltra.Interval = interval;
    tmrUltra.Enabled = true;
    ultra.firstSample = true;
    memoUltra.Lines.Add("");
    lblUltraNumMeas.Caption = "#0";
    ultra.count = 0;
}

void HardwarePanelsPage::tmrUltraTimer() {
    auto stop = [this] {
        cbUltraContinue.Checked = false;
        tmrUltra.Enabled = false;
        btnUltraClear.Enabled = true;
    };
    if (!checkConnected()) {
        stop();
        return;
    }
    int n = 0;
    if (!parseInteger(edtMeanSamplesUS.Text, n) || n < 1 || n > kTransitWindowSize) {
        // Stop first: the message must not repeat on every tick.
        stop();
        meanSampleCount(window(), n);
        return;
    }
    if (!panelRequest(cmd::TransitCounter, 2, {lowByte(rgUltra.ItemIndex)})) {
        edtUltraCounter.Text = "ERR";
        edtUltraUS.Text = "ERR";
        return;
    }
    const uint16_t v = static_cast<uint16_t>(answerWord(panelAnswer, 1));
    edtUltraCounter.Text = std::to_string(v);
    edtUltraUS.Text = transitNanoseconds(v);
    ultra.window[ultra.position] = v;
    memoUltra.Lines.Add(std::to_string(v));
    ++ultra.count;
    lblUltraNumMeas.Caption = "#" + std::to_string(ultra.count);
    if (ultra.firstSample) {
        ultra.firstSample = false;
        std::fill(ultra.window, ultra.window + n, v);
        ultra.min = v;
        ultra.max = v;
    }
    ultra.max = std::max(ultra.max, v);
    ultra.min = std::min(ultra.min, v);
    ++ultra.position;
    if (ultra.position > n - 1) ultra.position = 0;
    refreshUltraStatistics();
}

void HardwarePanelsPage::btnUltraMemoClearClick() {
    memoUltra.Lines.Clear();
    lblUltraNumMeas.Caption = "#0";
    ultra.count = 0;
}

void HardwarePanelsPage::btnUltraMemoCopyClick() {
    host.setClipboardText("");
    host.setClipboardText(memoUltra.Text());
}

// ---- air-density test -------------------------------------------------------

void HardwarePanelsPage::btnTestAirDensityClick() {
    if (tmrDensity.Enabled) {
        tmrDensity.Enabled = false;
        return;
    }
    if (!checkConnected()) return;
    memoUltra.Lines.Clear();
    int interval = 0;
    if (!editInterval(edtUltraMeasInt, interval)) return;
    tmrDensity.Interval = interval;
    tmrDensity.Tag = 0;
    // Ways 1A/1B measure channel 1, 2A/2B channel 2.
    ultra.densityChannel = std::max(0, rgUltra.ItemIndex.get()) / 2 + 1;
    const int result = qob->airDensityStep(ultra.densityChannel, -1);
    if (result == 0)
        showLibraryError();
    else if (result != 1)
        memoUltra.Lines.Add(std::to_string(result));
    else
        tmrDensity.Enabled = true;
}

void HardwarePanelsPage::tmrDensityTimer() {
    if (!checkConnected()) {
        tmrDensity.Enabled = false;
        memoUltra.Lines.Add("ERROR");
        return;
    }
    tmrDensity.Tag = tmrDensity.Tag + 1;
    const int result = qob->airDensityStep(ultra.densityChannel, tmrDensity.Tag);
    memoUltra.Lines.Add(std::to_string(result) + "|" + std::to_string(tmrDensity.Tag));
}

// ---- stand-alone loop voltage ---------------------------------------------

void HardwarePanelsPage::btnSetSaLoopClick() {
    if (!checkConnected()) return;
    if (panelRequest(cmd::LoopSupply, 0, {lowByte(rgSetSaLoop.ItemIndex)}))
        addConsoleLine(">>Loop set!");
    else
        showLibraryError();
}

// ---- forced log events ------------------------------------------------------

void HardwarePanelsPage::btnForceLogClick(Control* sender) {
    const int repeats = sender && sender->Name() == "Button41" ? 2230 : 1;
    if (!checkConnected()) return;
    Button41.Enabled = false;
    bool allSent = true;
    for (int i = 0; i < repeats && allSent; ++i) {
        int code = 0;
        if (!editInteger(host, edtForceLog, code)) {
            allSent = false;
        } else if (!panelRequest(cmd::InsertLogEvent, 0, {lowByte(code)})) {
            showLibraryError();
            allSent = false;
        }
    }
    Button41.Enabled = true;
    if (!allSent) return;
    addConsoleLine(">>Log inserted!");
    actionOk = 1;
}

// The hardware test panels against the virtual detector: the Management
// output buttons, the Admin #1 panels and the Admin #2 sensor, analogue
// and LED panels. Exact console lines and control texts, the requests the
// detector received, failures and the polling timers' stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using nerax_sim::Fault;
using nerax_sim::FaultKind;
using nerax_sim::Request;
using Lines = std::vector<std::string>;

namespace {

const Fault kNak{FaultKind::NotAcknowledged};
const std::string kNakLine = ">>QOB Error [8] device doesn't acknowledge to command";

class HardwarePanels : public SimWindowTest {
protected:
    void model(const std::function<void(DetectorModel&)>& change) {
        detector().withModel([&](DetectorModel& m) { change(m); });
    }
    void connectAs(int variant) {
        model([variant](DetectorModel& m) {
            m.eeprom[259] = static_cast<uint8_t>(variant);
            m.sealAreas();
        });
        connect();
    }
    // The newest request of this code the detector received.
    Request lastRequest(int code) {
        return detector().withModel([code](DetectorModel& m) {
            for (auto it = m.history.rbegin(); it != m.history.rend(); ++it)
                if (it->code == code) return *it;
            return Request{};
        });
    }
    int requests(int code) { return detector().requestCount(static_cast<uint8_t>(code)); }
    // Console lines written since the last call.
    Lines newLines() {
        Lines lines = consoleFrom(seen_);
        seen_ = console().size();
        return lines;
    }
    void skipConsole() { seen_ = console().size(); }

private:
    size_t seen_ = 0;
};

// ---- not connected ------------------------------------------------------

TEST_F(HardwarePanels, EveryDeviceHandlerRefusesWithoutAConnection) {
    TFrmTestQOB& f = w();
    const std::pair<const char*, std::function<void()>> handlers[] = {
        {"test channel", [&] { f.btnTestCh1Click(&f.btnTestCh2); }},
        {"sounders off", [&] { f.btnSounder1OffClick(); }},
        {"restart", [&] { f.btnRestartNormalClick(&f.btnRestartMaint); }},
        {"test fan", [&] { f.btnTestFan1Click(&f.btnTestFan1); }},
        {"relay", [&] { f.btnAlarm1RelayClick(&f.btnAlarm1RelayOn); }},
        {"extended", [&] { f.Button36Click(); }},
        {"fans dac", [&] { f.btnSetFansDACClick(&f.btnStopFans); }},
        {"fans ad", [&] { f.btnReadFansADClick(); }},
        {"isolator", [&] { f.btnReadIsolatorClick(&f.btnExecIsoCommand); }},
        {"measure flow", [&] { f.btnMeasureFlowClick(); }},
        {"air density", [&] { f.btnTestAirDensityClick(); }},
        {"loop", [&] { f.btnSetSaLoopClick(); }},
        {"force log", [&] { f.btnForceLogClick(&f.Button41); }},
        {"poll", [&] { f.btnPollSensor1Click(&f.btnTestSensor2); }},
        {"leds", [&] { f.btnLedUpdateClick(); }},
        {"leds normal", [&] { f.btnLedNormalClick(); }},
        {"analogue",
         [&] {
             int v = 0;
             EXPECT_FALSE(f.readAnalogChannel(7, v));
         }},
    };
    for (const auto& [name, run] : handlers) {
        skipConsole();
        run();
        EXPECT_EQ(newLines(), Lines{">>Not connected!"}) << name;
    }
    EXPECT_TRUE(f.Button41.Enabled) << "FORCE 2230 LOG stays usable";
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(HardwarePanels, EveryPollingTimerStopsItselfWithoutAConnection) {
    TFrmTestQOB& f = w();
    struct Case {
        const char* name;
        TCheckBox* box;
        TTimer* timer;
        std::function<void()> tick;
    };
    const Case cases[] = {
        {"state", &f.cboState, &f.tmrState, [&] { f.tmrStateTimer(); }},
        {"buttons", &f.cboButtonsMon, &f.tmrButtons, [&] { f.tmrButtonsTimer(); }},
        {"input", &f.cboReadInput, &f.tmrConfInput, [&] { f.tmrConfInputTimer(); }},
        {"remotes", &f.cboReadRemotes, &f.tmrRemotes, [&] { f.tmrRemotesTimer(); }},
        {"sounders", &f.cboReadSounders, &f.tmrSounders, [&] { f.tmrSoundersTimer(); }},
        {"cover", &f.cboReadCover, &f.tmrCover, [&] { f.tmrCoverTimer(); }},
        {"ultra", &f.cbUltraContinue, &f.tmrUltra, [&] { f.tmrUltraTimer(); }},
        {"auto poll", &f.cboAutoPoll, &f.tmrAutoPoll, [&] { f.tmrAutoPollTimer(); }},
        {"analogue", &f.cboAD, &f.tmrAD, [&] { f.tmrADTimer(); }},
    };
    for (const auto& c : cases) {
        c.box->Checked = true;
        c.timer->Enabled = true;
        skipConsole();
        c.tick();
        EXPECT_EQ(newLines(), Lines{">>Not connected!"}) << c.name;
        EXPECT_FALSE(c.box->Checked) << c.name;
        EXPECT_FALSE(c.timer->Enabled) << c.name;
    }
    // The air-density timer has no box: it stops and says so in the memo.
    f.tmrDensity.Enabled = true;
    f.tmrDensityTimer();
    EXPECT_FALSE(f.tmrDensity.Enabled);
    EXPECT_EQ(f.memoUltra.Lines.lines(), Lines{"ERROR"});
}

// ---- Management output buttons ---------------------------------------------

TEST_F(HardwarePanels, ChannelSounderAndRestartButtons) {
    connect();
    TFrmTestQOB& f = w();
    struct Case {
        TButton* button;
        std::function<void()> click;  // null: the button's own OnClick
        int code, p1;
        const char* line;
    };
    // clang-format off
    const Case cases[] = {
        {&f.btnTestCh1, nullptr, 34, 0, ">>Test channel: 1"},
        {&f.btnTestCh2, nullptr, 34, 1, ">>Test channel: 2"},
        {&f.btnTestBothCh, nullptr, 34, 2, ">>Test channel: 1 and 2"},
        {nullptr, [&] { f.btnTestCh1Click(); }, 34, 2, ">>Test channel: 1 and 2"},   // the diagnostic's call
        {&f.btnSounder1Off, nullptr, 34, 4, ">>Sounder off: 1"},
        {&f.btnSounder2Off, nullptr, 34, 5, ">>Sounder off: 2"},
        {&f.btnSoundersOff, nullptr, 34, 6, ">>Sounder off: 1 and 2"},
        {&f.btnRestartNormal, nullptr, 29, 0, ">>Restart ASD: normal"},
        {&f.btnRestartMaint, nullptr, 29, 1, ">>Restart ASD: maintenance"},
    };
    // clang-format on
    for (const auto& c : cases) {
        skipConsole();
        const int before = requests(c.code);
        if (c.click)
            c.click();
        else
            c.button->OnClick();
        EXPECT_EQ(newLines(), Lines{c.line});
        EXPECT_EQ(requests(c.code), before + 1) << c.line;
        EXPECT_EQ(lastRequest(c.code).p[1], c.p1) << c.line;
    }
    detector().injectFault(34, kNak);
    f.btnTestCh1.OnClick();
    EXPECT_EQ(newLines(), Lines{kNakLine});
}

TEST_F(HardwarePanels, RelayButtonsSwitchByTagAndCaption) {
    connect();
    TFrmTestQOB& f = w();
    struct Case {
        TButton* button;
        int relay, on;
    };
    // clang-format off
    const Case cases[] = {
        {&f.btnAlarm1RelayOn, 1, 1},    {&f.btnAlarm1RelayOff, 1, 0},   {&f.btnAlarm2RelayOn, 2, 1},
        {&f.btnAlarm2RelayOff, 2, 0},   {&f.btnSounder1RelayOn, 3, 1},  {&f.btnSounder1RelayOff, 3, 0},
        {&f.btnSounder2RelayOn, 4, 1},  {&f.btnSounder2RelayOff, 4, 0}, {&f.btnFaultRelayOn, 5, 1},
        {&f.btnFaultRelayOff, 5, 0},    {&f.btnPrealarm1RelayOn, 6, 1}, {&f.btnPrealarm1RelayOff, 6, 0},
        {&f.btnPrealarm2RelayOn, 7, 1}, {&f.btnPrealarm2RelayOff, 7, 0}, {&f.btnAuxFaultRelayOn, 8, 1},
        {&f.btnAuxFaultRelayOff, 8, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        skipConsole();
        f.actionOk = 0;
        c.button->OnClick();
        EXPECT_EQ(newLines(), Lines{c.on ? ">>Relay: ON" : ">>Relay: OFF"}) << c.button->Caption.get();
        EXPECT_EQ(f.actionOk, 1);
        const Request r = lastRequest(33);
        EXPECT_EQ(r.p[1], c.relay) << c.button->Caption.get();
        EXPECT_EQ(r.p[2], c.on) << c.button->Caption.get();
    }
}

TEST_F(HardwarePanels, PrealarmRelaysAreRefusedOnALoopBasedDetector) {
    connectAs(2);
    skipConsole();
    w().actionOk = 0;
    const int before = requests(33);
    w().btnPrealarm1RelayOn.OnClick();
    EXPECT_EQ(newLines(), Lines{">>QOB Error [13] bad library function call"});
    EXPECT_EQ(requests(33), before);
    EXPECT_EQ(w().actionOk, 0);
}

TEST_F(HardwarePanels, FanTestTakesTheTrackBarPosition) {
    connect();
    TFrmTestQOB& f = w();
    f.tbFan2.Position = 7;
    f.tbFan2.OnChange();
    EXPECT_EQ(f.lblTestFan2.Caption.get(), "7");
    EXPECT_EQ(f.lblTestFan1.Caption.get(), "0");
    skipConsole();
    f.actionOk = 0;
    f.btnTestFan2.OnClick();
    EXPECT_EQ(newLines(), Lines{">>Test Fan: 2"});
    EXPECT_EQ(f.actionOk, 1);
    Request r = lastRequest(27);
    EXPECT_EQ(r.p[1], 11);
    EXPECT_EQ(r.p[2], 7);

    f.tbFan1.Position = 3;
    f.btnTestFan1.OnClick();
    EXPECT_EQ(newLines(), Lines{">>Test Fan: 1"});
    r = lastRequest(27);
    EXPECT_EQ(r.p[1], 3);
    EXPECT_EQ(r.p[2], 11);

    detector().injectFault(27, kNak);
    f.actionOk = 0;
    f.btnTestFan1.OnClick();
    EXPECT_EQ(newLines(), Lines{kNakLine});
    EXPECT_EQ(f.actionOk, 0);
}

TEST_F(HardwarePanels, ExtendedCommandDumpsTheInformationBlock) {
    connect();
    const auto block = detector().withModel([](DetectorModel& m) { return m.informationBlock(); });
    skipConsole();
    w().Button36Click();
    const Lines lines = newLines();
    ASSERT_EQ(lines.size(), 43u);  // 42 rows of 24 values, then 16
    for (size_t row = 0; row < lines.size(); ++row) {
        std::string expected;
        for (size_t i = row * 24; i < std::min<size_t>(row * 24 + 24, 1024); ++i)
            expected += threeDigits(block[i]) + " ";
        EXPECT_EQ(lines[row], expected) << row;
    }
    EXPECT_EQ(lines[1].substr(0, 8), "000 " + threeDigits(block[25]) + " ");
    EXPECT_EQ(lastRequest(36).p[1], 1);
}

TEST_F(HardwarePanels, StateAutoRefreshRunsGetStateUntilTheConnectionGoes) {
    connect();
    TFrmTestQOB& f = w();
    const int before = requests(30);
    f.cboState.Checked = true;
    f.cboStateClick();
    host.sleep(350);
    EXPECT_EQ(requests(30), before + 3);
    EXPECT_EQ(f.memState.Lines[0], " ASD in fault          :N");
    f.Button2Click();
    skipConsole();
    host.sleep(100);
    EXPECT_EQ(newLines(), Lines{">>Not connected!"});
    EXPECT_FALSE(f.cboState.Checked);
    EXPECT_FALSE(f.tmrState.Enabled);
    host.sleep(500);
    EXPECT_TRUE(newLines().empty());
}

// ---- fans DAC and feedback -----------------------------------------------------

TEST_F(HardwarePanels, FanDacsSendTheLowBytesAndTheStopFlag) {
    connect();
    TFrmTestQOB& f = w();
    f.edtFan1DAC.Text = "17";
    f.edtFan2DAC.Text = "300";
    skipConsole();
    f.btnSetFansDAC.OnClick();
    Request r = lastRequest(8);
    EXPECT_EQ(r.p[1], 17);
    EXPECT_EQ(r.p[2], 44);
    EXPECT_EQ(r.p[3], 0);
    f.btnStopFans.OnClick();
    EXPECT_EQ(lastRequest(8).p[3], 1);
    EXPECT_TRUE(newLines().empty());

    f.edtFan2DAC.Text = "fast";
    const int before = requests(8);
    f.btnSetFansDAC.OnClick();
    EXPECT_EQ(requests(8), before);
    EXPECT_EQ(host.shownTexts(), Lines{"'fast' is not a valid integer value"});

    f.edtFan2DAC.Text = "1";
    detector().injectFault(8, kNak);
    f.btnSetFansDAC.OnClick();
    EXPECT_EQ(newLines(), Lines{kNakLine});
}

TEST_F(HardwarePanels, FanFeedbackReadsChannelsFiveAndSix) {
    connect();
    TFrmTestQOB& f = w();
    f.edtFan1DAC.Text = "0";
    f.edtFan2DAC.Text = "255";
    f.btnSetFansDACClick();
    skipConsole();
    f.btnReadFansADClick();
    int fan1 = -1, fan2 = -1;
    ASSERT_TRUE(parseInteger(f.edtFan1AD.Text, fan1)) << f.edtFan1AD.Text.get();
    ASSERT_TRUE(parseInteger(f.edtFan2AD.Text, fan2)) << f.edtFan2AD.Text.get();
    EXPECT_LE(fan1, 10);
    EXPECT_GE(fan2, 800);
    EXPECT_EQ(lastRequest(9).p[1], 6);

    detector().injectFault(9, kNak);
    f.btnReadFansADClick();
    EXPECT_EQ(f.edtFan1AD.Text.get(), "ERR");
    EXPECT_NE(f.edtFan2AD.Text.get(), "ERR");
    EXPECT_TRUE(newLines().empty()) << "no error line for a failed feedback read";
}

// ---- front buttons and cover switch -------------------------------------------

TEST_F(HardwarePanels, ButtonsMonitorLatchesTheLengthOfACompletedPress) {
    connect();
    TFrmTestQOB& f = w();
    f.cboButtonsMon.Checked = true;
    f.cboButtonsMonClick();
    ASSERT_TRUE(f.tmrButtons.Enabled);
    EXPECT_EQ(f.tmrButtons.Interval.get(), 50);
    struct Step {
        int reset, test, disable;
        const char* line;
        const char *testLabel, *resetLabel;
    };
    // clang-format off
    const Step steps[] = {
        {0, 3, 0, "150,0,0", "", ""},       // TEST held for 150 ms
        {2, 0, 0, "0,100,0", "150", ""},    // released; RESET pressed
        {0, 0, 0, "0,0,0", "150", "100"},
        {0, 0, 0, "0,0,0", "150", "100"},   // nothing new to latch
    };
    // clang-format on
    for (const auto& s : steps) {
        model([&](DetectorModel& m) {
            m.buttons[0] = s.reset;
            m.buttons[1] = s.test;
            m.buttons[2] = s.disable;
        });
        skipConsole();
        host.sleep(50);
        EXPECT_EQ(newLines(), Lines{s.line});
        EXPECT_EQ(f.lblTESTms.Caption.get(), s.testLabel) << s.line;
        EXPECT_EQ(f.lblRESETms.Caption.get(), s.resetLabel) << s.line;
    }
    EXPECT_EQ(f.edtTESTpressed.Text.get(), "0");
    EXPECT_TRUE(f.tmrButtons.Enabled);

    f.cboButtonsMon.Checked = false;
    f.cboButtonsMonClick();
    skipConsole();
    host.sleep(200);
    EXPECT_TRUE(newLines().empty());
}

TEST_F(HardwarePanels, ButtonsMonitorStopsOnAFailedRequestAndErrEndsTheLatch) {
    connect();
    TFrmTestQOB& f = w();
    model([](DetectorModel& m) { m.buttons[1] = 4; });
    f.cboButtonsMon.Checked = true;
    f.cboButtonsMonClick();
    host.sleep(50);
    detector().injectFault(14, kNak);
    skipConsole();
    host.sleep(50);
    EXPECT_EQ(newLines(), Lines{"ERR,ERR,ERR"});
    EXPECT_FALSE(f.cboButtonsMon.Checked);
    EXPECT_FALSE(f.tmrButtons.Enabled);
    for (TEdit* e : {&f.edtTESTpressed, &f.edtRESETpressed, &f.edtDISABLEpressed}) EXPECT_EQ(e->Text.get(), "ERR");

    // Restarted with the button released: "ERR" is no duration to latch.
    model([](DetectorModel& m) { m.buttons[1] = 0; });
    f.tmrButtonsTimer();
    EXPECT_EQ(newLines(), Lines{"0,0,0"});
    EXPECT_EQ(f.lblTESTms.Caption.get(), "");
}

TEST_F(HardwarePanels, CoverSwitchLatchesOpenAndClosedTimes) {
    connect();
    TFrmTestQOB& f = w();
    f.actionOk = 0;
    model([](DetectorModel& m) {
        m.coverCounters[0] = 5;
        m.coverClosed = true;
    });
    skipConsole();
    f.tmrCoverTimer();
    EXPECT_EQ(f.edtCoverOpened.Text.get(), "250");
    EXPECT_EQ(f.edtCoverClosed.Text.get(), "0");
    EXPECT_EQ(f.edtCoverPinState.Text.get(), "1");
    EXPECT_EQ(f.actionOk, 1);
    model([](DetectorModel& m) {
        m.coverCounters[0] = 0;
        m.coverCounters[1] = 2;
        m.coverClosed = false;
    });
    f.tmrCoverTimer();
    EXPECT_EQ(f.lblCoverOpened.Caption.get(), "250");
    EXPECT_EQ(f.lblCoverClosed.Caption.get(), "");
    EXPECT_EQ(f.edtCoverClosed.Text.get(), "100");
    EXPECT_EQ(f.edtCoverPinState.Text.get(), "0");
    EXPECT_TRUE(newLines().empty()) << "the cover panel writes no console lines";

    f.cboReadCover.Checked = true;
    f.cboReadCoverClick();
    detector().injectFault(18, kNak);
    f.actionOk = 0;
    host.sleep(50);
    for (TEdit* e : {&f.edtCoverOpened, &f.edtCoverClosed, &f.edtCoverPinState}) EXPECT_EQ(e->Text.get(), "ERR");
    EXPECT_FALSE(f.cboReadCover.Checked);
    EXPECT_FALSE(f.tmrCover.Enabled);
    EXPECT_EQ(f.actionOk, 0);
    EXPECT_EQ(f.lblCoverOpened.Caption.get(), "250");
}

// ---- input, remotes, sounders, isolator -----------------------------------------

TEST_F(HardwarePanels, ConfigurableInputShowsOpenOrShort) {
    connect();
    TFrmTestQOB& f = w();
    const std::pair<int, const char*> cases[] = {{0, "OPEN"}, {1, "SHORT"}};
    for (const auto& [input, text] : cases) {
        model([input = input](DetectorModel& m) { m.externalInput = input; });
        f.actionOk = 0;
        skipConsole();
        f.tmrConfInputTimer();
        EXPECT_EQ(f.edtConfInput.Text.get(), text);
        EXPECT_EQ(newLines(), Lines{text});
        EXPECT_EQ(f.actionOk, 1);
    }
    f.cboReadInput.Checked = true;
    f.cboReadInputClick();
    detector().injectFault(16, kNak);
    f.actionOk = 0;
    host.sleep(50);
    EXPECT_EQ(f.edtConfInput.Text.get(), "ERR");
    EXPECT_EQ(newLines(), Lines{"ERR"});
    EXPECT_FALSE(f.cboReadInput.Checked);
    EXPECT_FALSE(f.tmrConfInput.Enabled);
    EXPECT_EQ(f.actionOk, 0);
}

TEST_F(HardwarePanels, RemoteOutputsWriteTwoLinesPerTick) {
    connect();
    TFrmTestQOB& f = w();
    model([](DetectorModel& m) {
        m.remoteOutputs[0] = 1;
        m.remoteOutputs[1] = 0;
        m.remoteOutputs[2] = 0;
        m.remoteOutputs[3] = 1;
    });
    f.cboReadRemotes.Checked = true;
    f.cboReadRemotesClick();
    skipConsole();
    host.sleep(100);
    EXPECT_EQ(newLines(), (Lines{"1:1,0", "2:0,1", "1:1,0", "2:0,1"}));
    EXPECT_EQ(f.edtRemoteOut1State.Text.get(), "1");
    EXPECT_EQ(f.edtRemoteOut2Pin.Text.get(), "1");
    detector().injectFault(15, kNak);
    host.sleep(50);
    EXPECT_EQ(newLines(), (Lines{"1:ERROR", "2:ERROR"}));
    EXPECT_EQ(f.edtRemoteOut1Pin.Text.get(), "ERR");
    EXPECT_FALSE(f.cboReadRemotes.Checked);
    EXPECT_FALSE(f.tmrRemotes.Enabled);
}

TEST_F(HardwarePanels, SoundersShowStatesAndLineReadings) {
    connect();
    TFrmTestQOB& f = w();
    model([](DetectorModel& m) {
        m.relay[3] = 1;
        m.sounderEolFitted[1] = false;
    });
    skipConsole();
    f.tmrSoundersTimer();
    EXPECT_EQ(f.edtSounder1State.Text.get(), "1");
    EXPECT_EQ(f.edtSounder2State.Text.get(), "0");
    int ad1 = 0, ad2 = 0;
    ASSERT_TRUE(parseInteger(f.edtSounder1AD.Text, ad1));
    ASSERT_TRUE(parseInteger(f.edtSounder2AD.Text, ad2));
    EXPECT_NEAR(ad1, 300, 3);  // a driven line
    EXPECT_GE(ad2, 1020);      // 16-bit value from two bytes: an open line reads near 1023
    f.cboReadSounders.Checked = true;
    f.cboReadSoundersClick();
    detector().injectFault(17, kNak);
    host.sleep(50);
    for (TEdit* e : {&f.edtSounder1State, &f.edtSounder2State, &f.edtSounder1AD, &f.edtSounder2AD})
        EXPECT_EQ(e->Text.get(), "ERR");
    EXPECT_FALSE(f.tmrSounders.Enabled);
    EXPECT_TRUE(newLines().empty());
}

TEST_F(HardwarePanels, IsolatorReadAndCommand) {
    connectAs(2);
    TFrmTestQOB& f = w();
    skipConsole();
    f.actionOk = 0;
    f.btnReadIsolatorClick();  // as the diagnostic and the production test run it
    EXPECT_EQ(f.edtIsolatorPinState.Text.get(), "1");
    EXPECT_EQ(f.edtSub127.Text.get(), "224");
    EXPECT_EQ(f.actionOk, 1);
    EXPECT_EQ(lastRequest(10).p[1], 0);

    f.edtSub127Cmd.Text = "32";
    f.actionOk = 0;
    f.btnExecIsoCommand.OnClick();
    EXPECT_EQ(lastRequest(10).p[1], 32);
    EXPECT_EQ(f.edtIsolatorPinState.Text.get(), "0");
    EXPECT_EQ(f.edtSub127.Text.get(), "32");
    EXPECT_EQ(f.actionOk, 0) << "only the read sets actionOk";

    detector().injectFault(10, kNak);
    f.btnReadIsolator.OnClick();
    EXPECT_EQ(f.edtIsolatorPinState.Text.get(), "ERR");
    EXPECT_EQ(f.edtSub127.Text.get(), "ERR");
    EXPECT_EQ(f.actionOk, 0);

    f.edtSub127Cmd.Text = "x";
    const int before = requests(10);
    f.btnExecIsoCommand.OnClick();
    EXPECT_EQ(requests(10), before);
    EXPECT_EQ(f.edtSub127.Text.get(), "---");
    EXPECT_TRUE(newLines().empty());
}

// ---- ultrasonic transit counter -------------------------------------------------

TEST_F(HardwarePanels, MeasureFlowShowsTheCounterAndItsTime) {
    connect();
    TFrmTestQOB& f = w();
    model([](DetectorModel& m) { m.transitLevel[2] = 24000; });
    f.rgUltra.ItemIndex = 2;
    f.btnMeasureFlowClick();
    EXPECT_EQ(lastRequest(11).p[1], 2);
    int counter = 0;
    ASSERT_TRUE(parseInteger(f.edtUltraCounter.Text, counter)) << f.edtUltraCounter.Text.get();
    EXPECT_NEAR(counter, 24000, 6);
    EXPECT_EQ(f.edtUltraUS.Text.get(), std::to_string(counter * 1000 / 24));
    EXPECT_EQ(f.memoUltra.Lines.lines(), Lines{std::to_string(counter)});

    // A disabled channel reports 0: the single measure calls that an error.
    model([](DetectorModel& m) { m.channelEnabled[1] = 0; });
    f.btnMeasureFlowClick();
    EXPECT_EQ(f.edtUltraCounter.Text.get(), "ERR");
    EXPECT_EQ(f.edtUltraUS.Text.get(), "ERR");
    EXPECT_EQ(f.memoUltra.Lines.Count(), 1);
}

class UltraContinuous : public HardwarePanels {
protected:
    // Every transit count of way 0 is `value` exactly (noise left out by
    // reading it back from the edit).
    void start(const char* samples) {
        connect();
        w().edtMeanSamplesUS.Text = samples;
        w().edtUltraMeasInt.Text = "20";
        w().cbUltraContinue.Checked = true;
        w().cbUltraContinueClick();
    }
    int shown(const TEdit& e) {
        int v = -1;
        EXPECT_TRUE(parseInteger(e.Text, v)) << e.Name() << "=" << e.Text.get();
        return v;
    }
};

TEST_F(UltraContinuous, FirstSampleFillsTheWindowSoTheMeanStartsThere) {
    start("5");
    TFrmTestQOB& f = w();
    EXPECT_FALSE(f.btnUltraClear.Enabled);
    EXPECT_EQ(f.tmrUltra.Interval.get(), 20);
    EXPECT_EQ(f.memoUltra.Lines.lines(), Lines{""});
    host.sleep(20);
    const int first = shown(f.edtUltraCounter);
    EXPECT_EQ(shown(f.edtUltraMean), first);
    EXPECT_EQ(shown(f.edtUltraMin), first);
    EXPECT_EQ(shown(f.edtUltraMax), first);
    EXPECT_EQ(f.lblUltraNumMeas.Caption.get(), "#1");
    EXPECT_EQ(f.ultra.position, 1);

    std::vector<int> samples{first};
    for (int i = 0; i < 6; ++i) {
        host.sleep(20);
        samples.push_back(shown(f.edtUltraCounter));
    }
    EXPECT_EQ(f.lblUltraNumMeas.Caption.get(), "#7");
    EXPECT_EQ(f.ultra.position, 2) << "position wraps after N samples";
    // Window now: samples 5, 6 at slots 0, 1; samples 2..4 at slots 2..4.
    const int sum = samples[5] + samples[6] + samples[2] + samples[3] + samples[4];
    EXPECT_EQ(shown(f.edtUltraMean), sum / 5);
    EXPECT_EQ(shown(f.edtUltraMin), *std::min_element(samples.begin(), samples.end()));
    EXPECT_EQ(shown(f.edtUltraMax), *std::max_element(samples.begin(), samples.end()));
    ASSERT_EQ(f.memoUltra.Lines.Count(), 8);
    EXPECT_EQ(f.memoUltra.Lines[7], std::to_string(samples[6]));

    f.cbUltraContinue.Checked = false;
    f.cbUltraContinueClick();
    EXPECT_FALSE(f.tmrUltra.Enabled);
    EXPECT_TRUE(f.btnUltraClear.Enabled);
    f.btnUltraClearClick();
    EXPECT_EQ(f.edtUltraMin.Text.get(), "0");
    EXPECT_EQ(f.edtUltraMax.Text.get(), "0");
    EXPECT_EQ(f.edtUltraMean.Text.get(), "0");
}

TEST_F(UltraContinuous, WithOneSampleTheMeanIsTheLastSample) {
    start("1");
    for (int i = 0; i < 4; ++i) {
        host.sleep(20);
        EXPECT_EQ(w().edtUltraMean.Text.get(), w().edtUltraCounter.Text.get());
    }
}

TEST_F(UltraContinuous, AZeroCountIsRecordedAndAFailedRequestKeepsTheTimer) {
    model([](DetectorModel& m) { m.channelEnabled[0] = 0; });
    start("2");
    TFrmTestQOB& f = w();
    host.sleep(20);
    EXPECT_EQ(f.edtUltraCounter.Text.get(), "0");
    EXPECT_EQ(f.edtUltraUS.Text.get(), "0");
    EXPECT_EQ(f.memoUltra.Lines.lines(), (Lines{"", "0"}));
    detector().injectFault(11, kNak);
    host.sleep(20);
    EXPECT_EQ(f.edtUltraCounter.Text.get(), "ERR");
    EXPECT_TRUE(f.tmrUltra.Enabled);
    EXPECT_EQ(f.lblUltraNumMeas.Caption.get(), "#1");
    host.sleep(20);
    EXPECT_EQ(f.lblUltraNumMeas.Caption.get(), "#2");
}

TEST_F(UltraContinuous, ASampleCountOutsideTheWindowStopsMeasuring) {
    const char* bad[] = {"0", "1001", "ten"};
    for (const char* text : bad) {
        host.shown.clear();
        start("3");
        TFrmTestQOB& f = w();
        host.sleep(20);
        f.edtMeanSamplesUS.Text = text;
        const int before = requests(11);
        host.sleep(100);
        EXPECT_EQ(requests(11), before) << text;
        EXPECT_FALSE(f.cbUltraContinue.Checked) << text;
        EXPECT_FALSE(f.tmrUltra.Enabled) << text;
        EXPECT_TRUE(f.btnUltraClear.Enabled) << text;
        ASSERT_EQ(host.shown.size(), 1u) << text;
        EXPECT_NE(host.shown[0].text.find(std::string("'") + text + "'"), std::string::npos);
        f.Button2Click();
    }
}

TEST_F(UltraContinuous, ABadIntervalDoesNotStart) {
    connect();
    TFrmTestQOB& f = w();
    f.edtUltraMeasInt.Text = "soon";
    f.cbUltraContinue.Checked = true;
    f.cbUltraContinueClick();
    EXPECT_FALSE(f.cbUltraContinue.Checked);
    EXPECT_FALSE(f.tmrUltra.Enabled);
    EXPECT_TRUE(f.btnUltraClear.Enabled);
    EXPECT_EQ(host.shownTexts(), Lines{"'soon' is not a valid integer value"});
}

TEST_F(HardwarePanels, UltraMemoClearAndCopy) {
    TFrmTestQOB& f = w();
    f.memoUltra.Lines.Add("21800");
    f.memoUltra.Lines.Add("21805");
    f.lblUltraNumMeas.Caption = "#2";
    f.ultra.count = 2;
    host.clipboard = "old";
    f.btnUltraMemoCopy.OnClick();
    EXPECT_EQ(host.clipboard, "21800\r\n21805");
    f.btnUltraMemoClear.OnClick();
    EXPECT_EQ(f.memoUltra.Lines.Count(), 0);
    EXPECT_EQ(f.lblUltraNumMeas.Caption.get(), "#0");
    EXPECT_EQ(f.ultra.count, 0);
}

// ---- air-density test ---------------------------------------------------------

TEST_F(HardwarePanels, AirDensityLogsEveryStepUntilTheButtonStopsIt) {
    connect();
    TFrmTestQOB& f = w();
    f.memoUltra.Lines.Add("old");
    f.rgUltra.ItemIndex = 3;  // 2B --> 2A: channel 2
    f.edtUltraMeasInt.Text = "25";
    f.btnTestAirDensity.OnClick();
    ASSERT_TRUE(f.tmrDensity.Enabled);
    EXPECT_EQ(f.tmrDensity.Interval.get(), 25);
    EXPECT_EQ(f.memoUltra.Lines.Count(), 0);
    host.sleep(25 * 31);
    const Lines& memo = f.memoUltra.Lines.lines();
    ASSERT_EQ(memo.size(), 31u);
    EXPECT_EQ(memo[0], "4|1");
    EXPECT_EQ(memo[29], "4|30");  // warm-up ends with the 30th sample
    EXPECT_EQ(memo[30], "1|31");
    EXPECT_EQ(lastRequest(11).p[1], 2);
    f.btnTestAirDensity.OnClick();
    EXPECT_FALSE(f.tmrDensity.Enabled);
    host.sleep(100);
    EXPECT_EQ(f.memoUltra.Lines.Count(), 31);
}

TEST_F(HardwarePanels, AirDensityStartResultsOtherThanOne) {
    model([](DetectorModel& m) { m.channelEnabled[0] = 0; });  // information block marks channel 1
    connect();
    TFrmTestQOB& f = w();
    f.rgUltra.ItemIndex = 1;
    skipConsole();
    f.btnTestAirDensityClick();
    EXPECT_EQ(f.memoUltra.Lines.lines(), Lines{"3"});
    EXPECT_FALSE(f.tmrDensity.Enabled);
    EXPECT_TRUE(newLines().empty());

    detector().injectFault(36, kNak);
    f.btnTestAirDensityClick();
    EXPECT_EQ(newLines(), Lines{">>QOB Error [0] unknown error"});  // the library clears a refused 36
    EXPECT_FALSE(f.tmrDensity.Enabled);
}

// ---- loop voltage and forced log events -------------------------------------------

TEST_F(HardwarePanels, LoopVoltageSendsTheSelectedIndex) {
    connect();
    TFrmTestQOB& f = w();
    f.rgSetSaLoop.ItemIndex = 3;
    skipConsole();
    f.btnSetSaLoop.OnClick();
    EXPECT_EQ(newLines(), Lines{">>Loop set!"});
    EXPECT_EQ(lastRequest(24).p[1], 3);
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.loopSupply; }), 3);
    f.Button2Click();

    connectAs(2);  // no stand-alone loop on this board
    skipConsole();
    f.btnSetSaLoop.OnClick();
    EXPECT_EQ(newLines(), Lines{kNakLine});
}

TEST_F(HardwarePanels, ForceLogInsertsTheEditsEvent) {
    connect();
    TFrmTestQOB& f = w();
    const int newest = detector().withModel([](DetectorModel& m) { return m.logNewestIndex(); });
    f.edtForceLog.Text = "298";  // low byte 42
    f.actionOk = 0;
    skipConsole();
    f.btnForceLog.OnClick();
    EXPECT_EQ(newLines(), Lines{">>Log inserted!"});
    EXPECT_EQ(f.actionOk, 1);
    EXPECT_EQ(lastRequest(21).p[1], 42);
    const auto record = detector().withModel([&](DetectorModel& m) { return m.logRecord(newest + 1); });
    EXPECT_EQ(record[0], 42);
}

TEST_F(HardwarePanels, Force2230StopsAtTheFirstFailure) {
    connect();
    TFrmTestQOB& f = w();
    Fault late = kNak;
    late.skip = 5;
    detector().injectFault(21, late);
    const int before = requests(21);
    f.actionOk = 0;
    skipConsole();
    f.Button41.OnClick();
    EXPECT_EQ(requests(21), before + 6);
    EXPECT_EQ(newLines(), Lines{kNakLine});
    EXPECT_EQ(f.actionOk, 0);
    EXPECT_TRUE(f.Button41.Enabled);

    f.edtForceLog.Text = "x";
    f.Button41.OnClick();
    EXPECT_EQ(requests(21), before + 6);
    EXPECT_TRUE(newLines().empty());
    EXPECT_TRUE(f.Button41.Enabled);
    EXPECT_EQ(host.shownTexts(), Lines{"'x' is not a valid integer value"});
}

TEST_F(HardwarePanels, Force2230SendsEveryRepetition) {
    connect();
    TFrmTestQOB& f = w();
    f.edtForceLog.Text = "7";
    const int before = requests(21);
    skipConsole();
    f.btnForceLogClick(&f.Button41);
    EXPECT_EQ(requests(21), before + 2230);
    EXPECT_EQ(newLines(), Lines{">>Log inserted!"});
    EXPECT_EQ(f.actionOk, 1);
}

// ---- stand-alone sensor poll and test -----------------------------------------------

TEST_F(HardwarePanels, PollListsPulseWidthsRemoteAndStatus) {
    connect();
    TFrmTestQOB& f = w();
    host.setNow({2017, 3, 21, 10, 15, 2});
    model([](DetectorModel& m) {
        const int widths[5] = {65500, 65501, 65535, 65499, 1234};
        for (int i = 0; i < 5; ++i) m.sensorPulseWidths[i] = widths[i];
        m.sensorPulseNoise = 0;
    });
    skipConsole();
    f.btnPollSensor1.OnClick();
    const Lines memo{"PW1: TIMEOUT",
                     "PW2: SINK TOO LONG",
                     "PW3: SINK TOO LONG",
                     "PW4: 65499",
                     "PW5: 1234",
                     "",
                     "remote is working",
                     "",
                     "normal"};
    EXPECT_EQ(f.memSensor1Info.Lines.lines(), memo);
    Lines expected{"--- POLL --- 1 --- 21/03/2017 10:15:02"};
    expected.insert(expected.end(), memo.begin(), memo.end());
    EXPECT_EQ(newLines(), expected);
    const Request r = lastRequest(25);
    EXPECT_EQ((Lines{std::to_string(r.p[1]), std::to_string(r.p[2]), std::to_string(r.p[3]), std::to_string(r.p[4]),
                     std::to_string(r.p[5])}),
              (Lines{"0", "1", "1", "0", "1"}));
}

TEST_F(HardwarePanels, TestModeAndSensorTwoUseTheirMemo) {
    connect();
    TFrmTestQOB& f = w();
    host.formats.shortDate = "dd/mm/yy";
    host.setNow({2017, 3, 21, 10, 15, 2});
    f.memSensor1Info.Lines.Add("kept");
    model([](DetectorModel& m) { m.sensorEnabled[0] = 0; });  // sensor 1 gone: sensor 2's remote flag decides
    skipConsole();
    f.btnTestSensor2.OnClick();
    EXPECT_EQ(f.memSensor2Info.Lines.lines(), (Lines{"", "remote test passed"}));
    EXPECT_EQ(f.memSensor1Info.Lines.lines(), Lines{"kept"});
    EXPECT_EQ(newLines(), (Lines{"--- TEST --- 2 --- 21/03/17 10:15:02", "", "remote test passed"}));
    EXPECT_EQ(lastRequest(25).p[1], 1);
    EXPECT_EQ(lastRequest(25).p[2], 2);

    f.btnPollSensor2.OnClick();
    EXPECT_EQ(f.memSensor2Info.Lines[6], "remote is working");
    f.btnPollSensor1.OnClick();
    EXPECT_EQ(f.memSensor1Info.Lines[0], "PW1: TIMEOUT");
    EXPECT_EQ(f.memSensor1Info.Lines[6], "remote is NOT working");
}

TEST_F(HardwarePanels, PollFailureNotesTheMemoAndTheConsole) {
    connectAs(2);  // no stand-alone sensors on a loop-based board
    TFrmTestQOB& f = w();
    f.memSensor1Info.Lines.Add("old");
    skipConsole();
    f.btnPollSensor1Click();
    EXPECT_EQ(f.memSensor1Info.Lines.lines(), Lines{"QOB communication error"});
    EXPECT_EQ(newLines(), Lines{kNakLine});
}

TEST_F(HardwarePanels, AutoPollPollsBothSensorsAtItsInterval) {
    connect();
    TFrmTestQOB& f = w();
    f.edtAutoPoll.Text = "500";
    f.cboAutoPoll.Checked = true;
    f.cboAutoPollClick();
    EXPECT_EQ(f.tmrAutoPoll.Interval.get(), 500);
    const int before = requests(25);
    skipConsole();
    host.sleep(1000);
    EXPECT_EQ(requests(25), before + 4);
    const Lines lines = newLines();
    ASSERT_EQ(lines.size(), 4u * 10);
    EXPECT_EQ(lines[0].substr(0, 17), "--- POLL --- 1 --");
    EXPECT_EQ(lines[10].substr(0, 17), "--- POLL --- 2 --");
    f.cboAutoPoll.Checked = false;
    f.cboAutoPollClick();
    host.sleep(1000);
    EXPECT_EQ(requests(25), before + 4);
}

// ---- analogue channels --------------------------------------------------------------

TEST_F(HardwarePanels, AnalogueChannelIsReadAtTheIntervalAndErrorsKeepTheTimer) {
    connect();
    TFrmTestQOB& f = w();
    f.memAD.Lines.Add("old");
    f.rgAD.ItemIndex = 7;  // POWER1
    f.edtADMeasInt.Text = "100";
    f.cboAD.Checked = true;
    f.cboADClick();
    host.sleep(200);
    detector().injectFault(9, kNak);
    host.sleep(100);
    const Lines& memo = f.memAD.Lines.lines();
    ASSERT_EQ(memo.size(), 5u);
    EXPECT_EQ(memo[1], "");
    for (int i : {2, 3}) {
        int v = 0;
        ASSERT_TRUE(parseInteger(memo[static_cast<size_t>(i)], v)) << memo[static_cast<size_t>(i)];
        EXPECT_NEAR(v, 672, 3);
    }
    EXPECT_EQ(memo[4], "ERROR");
    EXPECT_TRUE(f.tmrAD.Enabled);
    EXPECT_EQ(lastRequest(9).p[1], 7);
    f.btnADClear.OnClick();
    EXPECT_EQ(f.memAD.Lines.Count(), 0);
}

// ---- shift-register LEDs ------------------------------------------------------------

TEST_F(HardwarePanels, LedUpdateSendsCodesAndAttributes) {
    connect();
    TFrmTestQOB& f = w();
    ASSERT_EQ(f.cbLeds.size(), 45u);
    auto led = [&](int n) { return dynamic_cast<TComboBox*>(f.FindComponent("cbLed" + std::to_string(n))); };
    ASSERT_NE(led(44), nullptr);
    EXPECT_EQ(led(0)->ItemIndex.get(), 0);
    EXPECT_EQ(led(0)->Images.get(), "ImageList1");
    led(1)->ItemIndex = 1;  // green
    led(2)->ItemIndex = 2;  // red
    led(3)->ItemIndex = 3;  // yellow
    led(44)->ItemIndex = 2;
    led(44)->OnDblClick();  // second image list
    f.actionOk = 0;
    skipConsole();
    f.btnLedUpdate.OnClick();
    EXPECT_EQ(newLines(), Lines{">>LEDs updated!"});
    EXPECT_EQ(f.actionOk, 1);
    const Request r = lastRequest(12);
    EXPECT_EQ(r.p[1], 1);
    ASSERT_EQ(r.payload.size(), 90u);
    std::vector<uint8_t> expected(90, 0);
    expected[1] = 2;
    expected[2] = 1;
    expected[3] = 3;
    expected[44] = 1;
    expected[45 + 44] = 2;
    EXPECT_EQ(r.payload, expected);

    led(44)->OnDblClick();
    EXPECT_EQ(led(44)->Images.get(), "ImageList1");
}

TEST_F(HardwarePanels, LedPatternButtons) {
    connect();
    TFrmTestQOB& f = w();
    f.cbLeds[7]->OnDblClick();
    struct Case {
        TButton* button;
        int item;
        uint8_t code;
    };
    const Case cases[] = {{&f.btnLedAllG, 1, 2}, {&f.btnLedAllR, 2, 1}, {&f.btnLedAllY, 3, 3}};
    for (const auto& c : cases) {
        f.actionOk = 0;
        c.button->OnClick();
        EXPECT_EQ(f.actionOk, 1);
        for (const auto& box : f.cbLeds) {
            EXPECT_EQ(box->ItemIndex.get(), c.item) << box->Name();
            EXPECT_EQ(box->Images.get(), "ImageList1") << box->Name();
        }
        f.btnLedUpdateClick();
        const Request r = lastRequest(12);
        ASSERT_EQ(r.payload.size(), 90u);
        EXPECT_EQ(std::count(r.payload.begin(), r.payload.begin() + 45, c.code), 45);
    }
    const int before = requests(12);
    f.btnLedClear.OnClick();
    EXPECT_EQ(requests(12), before) << "CLEAR sends nothing";
    for (const auto& box : f.cbLeds) EXPECT_EQ(box->ItemIndex.get(), 0);

    skipConsole();
    f.btnLedNormal.OnClick();
    EXPECT_EQ(newLines(), Lines{">>Normal LED executed!"});
    EXPECT_EQ(lastRequest(12).p[1], 0);
    EXPECT_TRUE(lastRequest(12).payload.empty());
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.ledsOverride; }), 0);

    detector().injectFault(12, kNak);
    f.actionOk = 0;
    f.btnLedUpdateClick();
    EXPECT_EQ(newLines(), Lines{kNakLine});
    EXPECT_EQ(f.actionOk, 0);
}

// ---- command line: analog ------------------------------------------------------------

class AnalogCommand : public SimFixture {
protected:
    int run(Lines args, Lines& out, std::string& err) {
        args.insert(args.begin(), "analog");
        args.insert(args.begin() + 1, {"--port", std::to_string(comNumber())});
        std::ostringstream o, e;
        const int code = runCli(args, o, e);
        out.clear();
        std::istringstream in(o.str());
        for (std::string line; std::getline(in, line);) out.push_back(line);
        err = e.str();
        return code;
    }
    ScopedWorkDir work;
};

TEST_F(AnalogCommand, PrintsEveryChannelByName) {
    Lines out;
    std::string err;
    ASSERT_EQ(run({}, out, err), 0) << err;
    const char* names[] = {"SOUNDER1", "SOUNDER2", "PCB_THERMISTOR", "FLOW1_TH", "FLOW2_TH",
                           "FANBACK1", "FANBACK2", "POWER1",         "POWER2"};
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out[0], ">>Connected");
    for (size_t i = 0; i < 9; ++i) {
        const std::string prefix = std::string(names[i]) + "=";
        EXPECT_EQ(out[i + 1].substr(0, prefix.size()), prefix);
        int v = -1;
        EXPECT_TRUE(parseInteger(out[i + 1].substr(prefix.size()), v)) << out[i + 1];
    }
}

TEST_F(AnalogCommand, OneChannelAFailedReadAndABadChannel) {
    Lines out;
    std::string err;
    ASSERT_EQ(run({"--channel", "POWER2"}, out, err), 0) << err;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].substr(0, 7), "POWER2=");

    detector().injectFault(9, kNak);
    EXPECT_EQ(run({"--channel", "2"}, out, err), 1);
    EXPECT_EQ(out, (Lines{">>Connected", "PCB_THERMISTOR=ERROR"}));

    const int before = detector().requestCount(9);
    EXPECT_EQ(run({"--channel", "9"}, out, err), 2);
    EXPECT_NE(err.find("--channel"), std::string::npos);
    EXPECT_TRUE(out.empty()) << "a bad channel does not connect";
    EXPECT_EQ(detector().requestCount(9), before);
}

}  // namespace

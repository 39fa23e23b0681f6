// EXECUTE DIAGNOSTIC: a fixed run of readouts and hardware exercises that
// replays the pages' handlers inside framed sections of the console and
// saves the console as the diagnostic report. FULL DIAGNOSTIC adds a RAM
// dump, a flow capture and a second pass after a stabilisation minute;
// TEST ALARMS adds an alarm test with follow-up readouts in each pass.
//
// ABORT is seen at the checks after each section and inside the loops and
// waits; it ends the run at once, without END lines and without a report.
#include <algorithm>
#include <string>
#include <vector>

#include "pages/main_window.h"

namespace {

constexpr int kWidth = 55;
constexpr int kStep = 50;  // ms of one cooperative wait step
constexpr uint32_t kRamDumpFirst = 0xFF2000;
constexpr uint32_t kRamDumpLast = 0xFF3ADC;
constexpr int kCoverSamples = 50;
constexpr int kCoverSampleMs = 100;
constexpr int kMonitorSteps = 20;
constexpr int kMonitorInterval = 100;
constexpr int kAnalogChannels = 9;
constexpr int kSensorPollMs = 11000;
constexpr int kFlowRoundMs = 5000;
// Without fan stepping the flow capture never ends by itself: the run
// then ends it after this many rounds of kFlowRoundMs.
constexpr int kFlowRoundsWithoutStepping = 6;
constexpr int kAlarmWaitCapMs = 240000;
constexpr int kStabilisingRounds = 12;
constexpr int kStabilisingMs = 5000;
constexpr const char* kReportPrefix = "NERAX_LT_DIAG_";

const std::string kRule(kWidth, '-');

// A banner: the text padded with dashes to `width` characters.
std::string banner(const std::string& text, size_t width = kWidth) {
    std::string line = text;
    if (line.size() < width) line.append(width - line.size(), '-');
    return line;
}

class DiagnosticRun {
public:
    DiagnosticRun(TFrmTestQOB& window, bool full, bool testAlarms)
        : w(window), host(window.host), full(full), testAlarms(testAlarms) {}

    // Header and passes; false when ABORT ended the run.
    bool run() {
        line(kRule);
        line("NERAX LT Diagnostic: " + host.dateTimeText());
        if (full) line("FULL diagnostic");
        if (testAlarms) line("TEST alarms");
        line(kRule);
        if (!pass()) return false;
        if (!full) return true;
        if (aborted()) return false;
        for (int i = 0; i < kStabilisingRounds; ++i) {
            pump();
            if (aborted()) return false;
            line("waiting stabilizing...");
            host.sleep(kStabilisingMs);
        }
        timeLine();
        firstPass = false;
        return pass();
    }

private:
    enum class When { EveryPass, FirstPass, FirstPassFull, StandAlone, LoopBased, TestAlarms };
    struct Step {
        bool (DiagnosticRun::*run)();
        When when;
        bool abortCheck;  // ABORT is checked once the step is done
    };
    static const Step kSteps[];

    TFrmTestQOB& w;
    Host& host;
    const bool full, testAlarms;
    bool firstPass = true;
    bool standAlone = false;

    void line(const std::string& text) { w.addConsoleLine(text); }
    void timeLine() { line(host.dateTimeText()); }
    void closing(const std::string& name) {
        line(banner("<<<--" + name));
        timeLine();
        line(" ");
    }
    bool aborted() const { return w.btnabort.Tag != 0; }
    void pump() {
        host.repaintWindow();
        host.processMessages();
    }
    // A cooperative wait; with `abortable`, false as soon as ABORT is seen.
    bool wait(int ms, bool abortable) {
        for (int waited = 0; waited < ms; waited += kStep) {
            host.sleep(kStep);
            pump();
            if (abortable && aborted()) return false;
        }
        return true;
    }
    // Sets a check box and runs its click, as a click would.
    void setBox(TCheckBox& box, bool checked, void (TFrmTestQOB::*click)()) {
        box.Checked = checked;
        (w.*click)();
    }
    // A section's actions: an error raised inside leaves what was written
    // and the run goes on. False only when ABORT was seen inside.
    template <class Body>
    bool guarded(Body&& body) {
        try {
            return body();
        } catch (...) { return true; }
    }
    bool applies(When when) const {
        switch (when) {
        case When::EveryPass: return true;
        case When::FirstPass: return firstPass;
        case When::FirstPassFull: return firstPass && full;
        case When::StandAlone: return standAlone;
        case When::LoopBased: return !standAlone;
        case When::TestAlarms: return testAlarms;
        }
        return false;
    }

    // One pass over the step table; false when ABORT ended it.
    bool pass();

    // RESET DEVICE and its note, between `blanksAround` blank lines.
    void resetDevice(int blanksAround) {
        w.btnresClick();
        for (int i = 0; i < blanksAround; ++i) line(" ");
        line(" RESET EXECUTED " + host.dateTimeText());
        for (int i = 0; i < blanksAround; ++i) line(" ");
    }

    // ---- steps ----------------------------------------------------------
    bool timeStep() {
        return guarded([&] {
            line(banner(">>>--TIME"));
            w.Button24Click();
            line(w.edtGetTime.Text);
            line(banner("<<<--TIME"));
            line(" ");
            return true;
        });
    }

    bool infoStep() {
        return guarded([&] {
            line(banner(">>>--INFO"));
            timeLine();
            w.clearStateView();
            w.Button4Click();
            line(w.memState.Text());
            line(banner("<<<--INFO"));
            line(" ");
            return true;
        });
    }

    bool stateStep() {
        guarded([&] {
            w.clearStateView();
            line(banner(">>>--STATE"));
            timeLine();
            w.btnStateClick();
            line(w.memState.Text());
            line(banner("<<<--STATE"));
            line(" ");
            return true;
        });
        standAlone = w.qob && w.qob->variant() == 1;
        return true;
    }

    bool logStep() {
        return guarded([&] {
            line(banner(">>>--LOG"));
            timeLine();
            w.btnReadLogsClick(&w.btnReadAllLogs);
            line(banner("<<<--LOG"));
            line(" ");
            return true;
        });
    }

    bool eepromStep() {
        return guarded([&] {
            line(banner(">>>--EEPROM"));
            timeLine();
            w.Button39Click();
            line(banner("<<<--EEPROM"));
            line(" ");
            return true;
        });
    }

    bool extendedStep() {
        return guarded([&] {
            line(banner(">>>--EXT 1"));
            timeLine();
            w.Button36Click();
            line(banner("<<<--EXT 1"));
            line(" ");
            return true;
        });
    }

    bool ramDumpStep() {
        return guarded([&] {
            line(banner(">>>--EXT 2"));
            timeLine();
            for (uint32_t address = kRamDumpFirst; address <= kRamDumpLast; ++address) {
                w.edtReadRAM.Text = std::to_string(address);
                w.Button43Click();
                pump();
                if (aborted()) return false;
            }
            line(banner("<<<--EXT 2"));
            line(" ");
            return true;
        });
    }

    bool coverStep() {
        // The samples are taken with the cover timer running between them,
        // so each line is a fresh reading, not the edits' old values.
        const bool open = !firstPass || guarded([&] {
            line(banner(">>>--COVER-----OPEN, CLOSE, PIN", kWidth + 1));
            timeLine();
            w.tmrCover.Interval = kCoverSampleMs;
            setBox(w.cboReadCover, true, &TFrmTestQOB::cboReadCoverClick);
            for (int i = 0; i < kCoverSamples; ++i) {
                host.sleep(kCoverSampleMs);
                host.processMessages();
                if (aborted()) return false;
                line(w.edtCoverOpened.Text + "," + w.edtCoverClosed.Text + "," + w.edtCoverPinState.Text);
            }
            setBox(w.cboReadCover, false, &TFrmTestQOB::cboReadCoverClick);
            return true;
        });
        if (!open) return false;
        closing("COVER");
        return true;
    }

    bool fansStep() {
        auto readBack = [&](const std::string& label) {
            w.btnReadFansADClick();
            line(label + "=" + w.edtFan1AD.Text + "," + w.edtFan2AD.Text);
        };
        const bool open = !firstPass || guarded([&] {
            line(banner(">>>--FANS-DAC/AD"));
            timeLine();
            w.btnSetFansDACClick();
            host.sleep(kStep);
            readBack("0");
            for (int dac = 0; dac <= 255; ++dac) {
                w.edtFan1DAC.Text = std::to_string(dac);
                w.edtFan2DAC.Text = std::to_string(dac);
                w.btnSetFansDACClick();
                host.sleep(10);
                pump();
                readBack(std::to_string(dac));
                if (aborted()) return false;
            }
            w.edtFan1DAC.Text = "125";
            w.edtFan2DAC.Text = "125";
            w.btnSetFansDACClick();
            return true;
        });
        if (!open) return false;
        closing("FANS-DAC/AD");
        return true;
    }

    // The nine analogue channels, one second of samples each.
    bool analogChannels() {
        const std::vector<std::string>& items = w.rgAD.Items;
        for (int channel = 0; channel < kAnalogChannels; ++channel) {
            w.rgAD.ItemIndex = channel;
            const std::string caption =
                channel < static_cast<int>(items.size()) ? items[static_cast<size_t>(channel)] : "";
            line(">>>" + caption + " ----------------------");
            w.memAD.Lines.Clear();
            setBox(w.cboAD, true, &TFrmTestQOB::cboADClick);
            if (!wait(1000, true)) return false;
            w.cboAD.Checked = false;
            line(w.memAD.Text());
            w.cboADClick();
            pump();
            if (aborted()) return false;
        }
        return true;
    }

    bool analogStep() {
        if (!guarded([&] {
                line(banner(">>>--AD"));
                timeLine();
                return analogChannels();
            }))
            return false;
        closing("AD");
        return true;
    }

    // A polling panel switched on for 20 steps of 50 ms; `abortable`: the
    // steps check ABORT.
    bool monitor(TCheckBox& box, void (TFrmTestQOB::*click)(), TTimer& timer, bool abortable, bool repaintFirst) {
        for (int i = 0; i < kMonitorSteps; ++i) {
            host.sleep(kStep);
            host.processMessages();
            if (abortable && aborted()) return false;
        }
        if (repaintFirst) host.repaintWindow();
        setBox(box, false, click);
        timer.Enabled = false;
        return true;
    }

    bool inputStep() {
        if (!guarded([&] {
                line(banner(">>>--EXT INP", kWidth + 1));
                timeLine();
                w.tmrConfInput.Interval = kMonitorInterval;
                setBox(w.cboReadInput, true, &TFrmTestQOB::cboReadInputClick);
                if (!monitor(w.cboReadInput, &TFrmTestQOB::cboReadInputClick, w.tmrConfInput, true, false))
                    return false;
                pump();
                return true;
            }))
            return false;
        closing("EXT INP");
        return true;
    }

    bool buttonsStep() {
        const bool open = !firstPass || guarded([&] {
            line(banner(">>>--BUTTONS-T,R,D"));
            timeLine();
            w.tmrButtons.Interval = kMonitorInterval;
            setBox(w.cboButtonsMon, true, &TFrmTestQOB::cboButtonsMonClick);
            return monitor(w.cboButtonsMon, &TFrmTestQOB::cboButtonsMonClick, w.tmrButtons, true, true);
        });
        if (!open) return false;
        closing("BUTTONS");
        return true;
    }

    bool remotesStep() {
        const bool open = !firstPass || guarded([&] {
            line(banner(">>>--REMOTE OUT---STATE,PIN"));
            timeLine();
            w.tmrRemotes.Interval = kMonitorInterval;
            setBox(w.cboReadRemotes, true, &TFrmTestQOB::cboReadRemotesClick);
            return monitor(w.cboReadRemotes, &TFrmTestQOB::cboReadRemotesClick, w.tmrRemotes, true, true);
        });
        if (!open) return false;
        closing("REMOTE OUT");
        return true;
    }

    bool sensorsStep() {
        return guarded([&] {
            line(banner(">>>--SA SENS"));
            timeLine();
            setBox(w.cboAutoPoll, true, &TFrmTestQOB::cboAutoPollClick);
            if (!wait(kSensorPollMs, true)) return false;
            setBox(w.cboAutoPoll, false, &TFrmTestQOB::cboAutoPollClick);
            w.btnPollSensor1Click(&w.btnTestSensor1);
            w.btnPollSensor1Click(&w.btnTestSensor2);
            w.tmrAutoPoll.Enabled = false;
            closing("SA SENS");
            return true;
        });
    }

    bool loopStep() {
        return guarded([&] {
            line(banner(">>>--LOOP ADD"));
            timeLine();
            w.Button44Click();
            closing("LOOP ADD");
            line(banner(">>>--ISOLATOR"));
            timeLine();
            w.btnReadIsolatorClick();
            line("PIN STATE:" + w.edtIsolatorPinState.Text);
            line("SUB127   :" + w.edtSub127.Text);
            closing("ISOLATOR");
            return true;
        });
    }

    bool resetStep() {
        wait(1000, false);
        resetDevice(1);
        wait(1000, false);
        return true;
    }

    bool ultraStep() {
        return guarded([&] {
            line(banner(">>>--ULTRA"));
            timeLine();
            w.btnClearFlowLogClick();
            w.edtFlowLogFan1.Text = "1";
            w.edtFlowLogFan2.Text = "1";
            int stepEvery = 0;
            const bool stepping = parseInteger(w.edtFlowLogIncSpeed.Text, stepEvery) && stepEvery > 0;
            setBox(w.cboFlowLog, true, &TFrmTestQOB::cboFlowLogClick);
            for (int round = 0; w.cboFlowLog.Checked; ++round) {
                if (!stepping && round == kFlowRoundsWithoutStepping) {
                    w.cboFlowLog.Checked = false;
                    break;
                }
                timeLine();
                line("monitoring flow...");
                pump();
                if (!wait(kFlowRoundMs, true)) return false;
            }
            w.cboFlowLogClick();
            w.memFlowLog1.setText(w.memShowLogCol1.Text() + "\r\n" + w.memFlowLog1.Text());
            w.memFlowLog2.setText(w.memShowLogCol2.Text() + "\r\n" + w.memFlowLog2.Text());
            line(banner(">>>--ULTRA1"));
            line(w.memFlowLog1.Text());
            line(banner(">>>--ULTRA2"));
            line(w.memFlowLog2.Text());
            line(banner("<<<--ULTRA"));
            line(" ");
            return true;
        });
    }

    // Prealarm + alarm delay + 5 s, capped.
    int alarmWaitMs() {
        int prealarm = 10, alarm = 0;
        try {
            int value = 0;
            prealarm = w.qob && w.qob->parPrealarmDelay(value, Read) ? value : 0;
            value = 0;
            alarm = w.qob && w.qob->parAlarmDelay(value, Read) ? value : 0;
        } catch (...) {
            prealarm = 10;
            alarm = 0;
        }
        const long long ms = (static_cast<long long>(prealarm) + alarm + 5) * 1000;
        return static_cast<int>(std::min<long long>(ms, kAlarmWaitCapMs));
    }

    bool alarmStep() {
        wait(1000, false);
        resetDevice(1);
        wait(1000, false);
        guarded([&] {
            line(banner(">>>--TEST ALARM"));
            timeLine();
            w.btnTestCh1Click();
            return true;
        });
        const int ms = alarmWaitMs();
        line("Wait: " + std::to_string(ms) + " ms");
        wait(ms, false);
        if (aborted()) return false;

        guarded([&] {
            w.clearStateView();
            line("...." + banner(">>>--STATE"));
            timeLine();
            w.btnStateClick();
            line(w.memState.Text());
            line("...." + banner("<<<--STATE"));
            timeLine();
            line(" ");
            return true;
        });
        if (aborted()) return false;

        if (!guarded([&] {
                line("...." + banner(">>>--AD"));
                timeLine();
                return analogChannels();
            }))
            return false;
        line("...." + banner("<<<--AD"));
        timeLine();
        line(" ");
        if (aborted()) return false;

        guarded([&] {
            line("...." + banner(">>>--REMOTE OUT---STATE,PIN"));
            timeLine();
            setBox(w.cboReadRemotes, true, &TFrmTestQOB::cboReadRemotesClick);
            w.tmrRemotes.Interval = kMonitorInterval;
            return monitor(w.cboReadRemotes, &TFrmTestQOB::cboReadRemotesClick, w.tmrRemotes, false, true);
        });
        line("...." + banner("<<<--REMOTE OUT"));
        timeLine();
        line(" ");
        return !aborted();
    }

    bool endOfPassStep() {
        resetDevice(2);
        return true;
    }
};

// clang-format off
const DiagnosticRun::Step DiagnosticRun::kSteps[] = {
    {&DiagnosticRun::timeStep, When::EveryPass, true},
    {&DiagnosticRun::infoStep, When::EveryPass, true},
    {&DiagnosticRun::stateStep, When::EveryPass, true},
    {&DiagnosticRun::logStep, When::EveryPass, true},
    {&DiagnosticRun::eepromStep, When::FirstPass, true},
    {&DiagnosticRun::extendedStep, When::EveryPass, true},
    {&DiagnosticRun::ramDumpStep, When::FirstPassFull, true},
    {&DiagnosticRun::coverStep, When::EveryPass, true},
    {&DiagnosticRun::fansStep, When::EveryPass, true},
    {&DiagnosticRun::analogStep, When::EveryPass, true},
    {&DiagnosticRun::inputStep, When::EveryPass, true},
    {&DiagnosticRun::buttonsStep, When::EveryPass, true},
    {&DiagnosticRun::remotesStep, When::EveryPass, true},
    {&DiagnosticRun::sensorsStep, When::StandAlone, true},
    {&DiagnosticRun::loopStep, When::LoopBased, true},
    {&DiagnosticRun::resetStep, When::FirstPassFull, false},
    {&DiagnosticRun::ultraStep, When::FirstPassFull, true},
    {&DiagnosticRun::alarmStep, When::TestAlarms, false},
    {&DiagnosticRun::endOfPassStep, When::EveryPass, false},
};
// clang-format on

bool DiagnosticRun::pass() {
    line(" ");
    line(" ");
    for (int i = 0; i < 3; ++i) line(kRule);
    for (const Step& step : kSteps) {
        if (!applies(step.when)) continue;
        if (!(this->*step.run)()) return false;
        if (step.abortCheck && aborted()) return false;
    }
    return true;
}

}  // namespace

bool ReportRuns::btndiagClick() {
    if (!checkConnected()) return false;
    clearConsole();
    btnabort.Tag = 0;
    const bool full = chkfulldiag.Checked;
    const bool testAlarms = chktestalarms.Checked;

    // ULTRASONIC TUNING is locked as well: a tuning started from inside
    // one of the run's waits would clear the console under it.
    Control* const locked[] = {&btndiag,     &Button1, &btnres,        &Button2,  &btnlog,
                               &chkfulldiag, &Edit1,   &chktestalarms, &btntuning};
    const bool tuningWasEnabled = btntuning.Enabled;
    for (Control* c : locked) c->Enabled = false;
    btnabort.Enabled = true;
    // Connect stays disabled: the detector is still connected.
    auto unlock = [&] {
        for (Control* c : locked)
            if (c != &Button1 && c != &btntuning) c->Enabled = true;
        btntuning.Enabled = tuningWasEnabled;
        btnabort.Enabled = false;
    };

    bool completed = false;
    try {
        completed = DiagnosticRun(window(), full, testAlarms).run();
    } catch (...) {
        unlock();
        throw;
    }
    unlock();
    if (!completed) return false;

    for (int i = 0; i < 3; ++i) addConsoleLine(kRule);
    addConsoleLine("END NERAX LT Diagnostic: " + host.dateTimeText());
    addConsoleLine(kRule);
    return saveConsoleReport(kReportPrefix, "DIAGNOSTIC LOG SAVED!");
}

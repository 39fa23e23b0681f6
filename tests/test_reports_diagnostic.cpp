// EXECUTE DIAGNOSTIC against the virtual detector through the real serial
// link, in virtual time: the section order of the plain, stand-alone and
// loop-based runs, the full run's two passes, RAM dump and flow capture,
// the alarm test's wait, ABORT, failing panels, the saved report and the
// controls around the run; and the diag command of the CLI.
#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "pages/flow_log.h"
#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

const std::string kRule(55, '-');
const std::string kReportPrefix = "NERAX_LT_DIAG_";

std::string banner(const std::string& text, size_t width = 55) {
    std::string line = text;
    line.resize(std::max(width, text.size()), '-');
    return line;
}

int countOf(const Lines& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

int countStarting(const Lines& lines, const std::string& prefix) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return startsWith(l, prefix); }));
}

// Each marker must appear after the previous one; a marker ending in "*"
// matches any line that starts with what precedes the star.
void expectInOrder(const Lines& lines, const Lines& markers) {
    size_t at = 0;
    for (const std::string& m : markers) {
        const bool prefix = !m.empty() && m.back() == '*';
        const std::string text = prefix ? m.substr(0, m.size() - 1) : m;
        auto matches = [&](const std::string& l) { return prefix ? startsWith(l, text) : l == text; };
        while (at < lines.size() && !matches(lines[at])) ++at;
        ASSERT_LT(at, lines.size()) << "missing in order: \"" << m << "\"";
        ++at;
    }
}

// The lines strictly between the n-th `open` line and the next `close`.
Lines between(const Lines& lines, const std::string& open, const std::string& close, int n = 0) {
    auto it = lines.begin();
    for (int k = 0; k <= n; ++k) {
        it = std::find(it, lines.end(), open);
        if (it == lines.end()) return {};
        if (k < n) ++it;
    }
    auto end = std::find(it + 1, lines.end(), close);
    return Lines(it + 1, end);
}

// Index of the first line equal to `line` at or after `from`, or -1.
long indexOf(const Lines& lines, const std::string& line, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<long>(i);
    return -1;
}

// The opening banners of a plain stand-alone pass, in order.
// clang-format off
const Lines kStandAloneSections = {
    banner(">>>--TIME"),   banner(">>>--INFO"),          banner(">>>--STATE"),
    banner(">>>--LOG"),    banner(">>>--EEPROM"),        banner(">>>--EXT 1"),
    banner(">>>--COVER-----OPEN, CLOSE, PIN", 56),       banner(">>>--FANS-DAC/AD"),
    banner(">>>--AD"),     banner(">>>--EXT INP", 56),   banner(">>>--BUTTONS-T,R,D"),
    banner(">>>--REMOTE OUT---STATE,PIN"),               banner(">>>--SA SENS"),
};
// clang-format on

class Diagnostic : public SimWindowTest {
protected:
    // The run, with the options set as the operator ticks them.
    void runDiagnostic(bool full = false, bool testAlarms = false) {
        w().chkfulldiag.Checked = full;
        w().chktestalarms.Checked = testAlarms;
        saved = w().btndiagClick();
    }
    // What the last run returned: it reached its end and saved the report.
    bool saved = false;
    std::vector<std::string> reports() const {
        std::vector<std::string> found;
        for (const auto& f : work->files())
            if (startsWith(f, kReportPrefix)) found.push_back(f);
        return found;
    }
    // The report is the console as saved, and the operator was told.
    void expectReportIsTheConsole() {
        EXPECT_TRUE(saved);
        const auto files = reports();
        ASSERT_EQ(files.size(), 1u);
        const std::string& name = files[0];
        EXPECT_TRUE(std::regex_match(name, std::regex("NERAX_LT_DIAG_\\d{8}_\\d{6}\\.LOG"))) << name;
        std::string expected;
        for (const auto& l : console()) expected += l + "\r\n";
        EXPECT_EQ(work->read(name), expected);
        ASSERT_FALSE(host.shown.empty());
        EXPECT_EQ(host.shown.back().text, "DIAGNOSTIC LOG SAVED!\n\n" + name);
    }
    void expectControlsBack() {
        for (Control* c :
             std::initializer_list<Control*>{&w().btndiag, &w().btnres, &w().Button2, &w().btnlog, &w().chkfulldiag,
                                             &w().Edit1, &w().chktestalarms, &w().btntuning})
            EXPECT_TRUE(c->Enabled) << c->Name();
        EXPECT_FALSE(w().Button1.Enabled);
        EXPECT_FALSE(w().btnabort.Enabled);
    }
    // Presses ABORT once, at the first message processing where `when`
    // holds (the operator's click is served there).
    void abortWhen(std::function<bool()> when) {
        host.onProcessMessages = [this, when, pressed = false]() mutable {
            if (!pressed && when()) {
                pressed = true;
                w().btnabortClick();
            }
        };
    }
    void setDelays(int prealarm, int alarm) {
        detector().withModel([&](DetectorModel& m) {
            m.eeprom[354] = static_cast<uint8_t>(prealarm);
            m.eeprom[355] = static_cast<uint8_t>(alarm);
            m.sealAreas();
        });
    }
};

class LoopBasedDiagnostic : public Diagnostic {
protected:
    nerax_sim::DetectorOptions simOptions() const override {
        nerax_sim::DetectorOptions options;
        options.image.variant = 2;
        return options;
    }
};

TEST_F(Diagnostic, APlainRunOnAStandAloneDetectorWritesEverySectionAndSavesTheReport) {
    connect();
    // While it runs, only ABORT is there to press.
    int checks = 0;
    host.onProcessMessages = [&] {
        if (checks++ > 0) return;
        for (Control* c :
             std::initializer_list<Control*>{&w().btndiag, &w().Button1, &w().btnres, &w().Button2, &w().btnlog,
                                             &w().chkfulldiag, &w().Edit1, &w().chktestalarms, &w().btntuning})
            EXPECT_FALSE(c->Enabled) << c->Name();
        EXPECT_TRUE(w().btnabort.Enabled);
    };
    runDiagnostic();
    ASSERT_GT(checks, 0);
    const Lines& c = console();

    ASSERT_GE(c.size(), 10u);
    EXPECT_EQ(Lines(c.begin(), c.begin() + 8),
              (Lines{kRule, "NERAX LT Diagnostic: 21/03/2017 10:15:30", kRule, " ", " ", kRule, kRule, kRule}));
    expectInOrder(c, kStandAloneSections);
    for (const char* absent : {">>>--EXT 2", ">>>--ULTRA", ">>>--LOOP ADD", ">>>--ISOLATOR", ">>>--TEST ALARM"})
        EXPECT_EQ(countOf(c, banner(absent)), 0) << absent;
    EXPECT_EQ(countOf(c, "FULL diagnostic") + countOf(c, "TEST alarms"), 0);

    // Sections close with their banner; the monitoring ones add a time line.
    for (const char* name : {"TIME", "INFO", "STATE", "LOG", "EEPROM", "EXT 1"}) {
        const long at = indexOf(c, banner(std::string("<<<--") + name));
        ASSERT_GE(at, 0) << name;
        EXPECT_EQ(c[static_cast<size_t>(at) + 1], " ") << name;
    }
    for (const char* name : {"COVER", "FANS-DAC/AD", "AD", "EXT INP", "BUTTONS", "REMOTE OUT", "SA SENS"}) {
        const long at = indexOf(c, banner(std::string("<<<--") + name));
        ASSERT_GE(at, 0) << name;
        EXPECT_TRUE(std::regex_match(c[static_cast<size_t>(at) + 1], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)")))
            << name;
        EXPECT_EQ(c[static_cast<size_t>(at) + 2], " ") << name;
    }

    // Replayed handlers: the clock, the readouts, the whole log, the dumps.
    const Lines time = between(c, banner(">>>--TIME"), banner("<<<--TIME"));
    ASSERT_EQ(time.size(), 2u);
    EXPECT_EQ(time[0], ">>Device clock read!");
    EXPECT_EQ(time[1], w().edtGetTime.Text.get());
    w().Button4Click();
    const Lines info = between(c, banner(">>>--INFO"), banner("<<<--INFO"));
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(Lines(info.begin() + 1, info.end()), w().memState.Lines.lines());
    EXPECT_EQ(countStarting(between(c, banner(">>>--LOG"), banner("<<<--LOG")), "0   |"), 1);
    const Lines eeprom = between(c, banner(">>>--EEPROM"), banner("<<<--EEPROM"));
    ASSERT_EQ(eeprom.size(), 1u + 1 + 32768 + 1);
    EXPECT_EQ(eeprom[1], ">>>--EEPROM-------------------");
    EXPECT_EQ(eeprom[2], "0=" + std::to_string(detector().eepromBytes(0, 1)[0]));
    EXPECT_EQ(eeprom.back(), "<<<--EEPROM-------------------");

    // COVER: fifty samples of the three cover edits.
    const Lines cover = between(c, banner(">>>--COVER-----OPEN, CLOSE, PIN", 56), banner("<<<--COVER"));
    ASSERT_EQ(cover.size(), 1u + 50);
    for (size_t i = 1; i < cover.size(); ++i)
        EXPECT_TRUE(std::regex_match(cover[i], std::regex(R"(\d+,\d+,\d+)"))) << cover[i];

    // FANS-DAC/AD: the feedback before the sweep, then DAC 0 to 255.
    const Lines fans = between(c, banner(">>>--FANS-DAC/AD"), banner("<<<--FANS-DAC/AD"));
    ASSERT_EQ(fans.size(), 1u + 257);
    EXPECT_TRUE(startsWith(fans[1], "0="));
    for (int dac = 0; dac <= 255; ++dac)
        EXPECT_TRUE(
            std::regex_match(fans[static_cast<size_t>(dac) + 2], std::regex(std::to_string(dac) + R"(=\d+,\d+)")))
            << fans[static_cast<size_t>(dac) + 2];
    EXPECT_EQ(w().edtFan1DAC.Text.get(), "125");
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.fanDrive[0] * 1000 + m.fanDrive[1]; }), 125125);

    // AD: each of the nine channels under its caption, one second of samples.
    const Lines ad = between(c, banner(">>>--AD"), banner("<<<--AD"));
    Lines captions;
    for (const auto& l : ad)
        if (startsWith(l, ">>>")) captions.push_back(l);
    EXPECT_EQ(captions, (Lines{">>>SOUNDER1 ----------------------", ">>>SOUNDER2 ----------------------",
                               ">>>PCB_THERMISTOR ----------------------", ">>>FLOW1_TH ----------------------",
                               ">>>FLOW2_TH ----------------------", ">>>FANBACK1 ----------------------",
                               ">>>FANBACK2 ----------------------", ">>>POWER1 ----------------------",
                               ">>>POWER2 ----------------------"}));
    const Lines power2 = between(c, ">>>POWER2 ----------------------", banner("<<<--AD"));
    ASSERT_GE(power2.size(), 5u);
    EXPECT_EQ(power2[0], "");
    for (size_t i = 1; i < power2.size(); ++i)
        EXPECT_TRUE(std::regex_match(power2[i], std::regex(R"(\d+)"))) << power2[i];

    // The polling panels wrote their lines while switched on.
    const Lines input = between(c, banner(">>>--EXT INP", 56), banner("<<<--EXT INP"));
    EXPECT_GE(countOf(input, "OPEN"), 5);
    const Lines buttons = between(c, banner(">>>--BUTTONS-T,R,D"), banner("<<<--BUTTONS"));
    EXPECT_GE(countOf(buttons, "0,0,0"), 5);
    const Lines remotes = between(c, banner(">>>--REMOTE OUT---STATE,PIN"), banner("<<<--REMOTE OUT"));
    EXPECT_GE(countStarting(remotes, "1:"), 5);
    const Lines sensors = between(c, banner(">>>--SA SENS"), banner("<<<--SA SENS"));
    EXPECT_GE(countStarting(sensors, "--- POLL --- 1 --- "), 10);
    expectInOrder(sensors, {"--- TEST --- 1 --- *", "--- TEST --- 2 --- *"});

    // End of pass, END lines, the file; the monitors are all off again.
    ASSERT_GE(c.size(), 11u);
    const Lines tail(c.end() - 11, c.end());
    EXPECT_EQ(Lines(tail.begin(), tail.begin() + 3), (Lines{">>ASD reset", " ", " "}));
    EXPECT_TRUE(startsWith(tail[3], " RESET EXECUTED 21/03/2017 ")) << tail[3];
    EXPECT_EQ(Lines(tail.begin() + 4, tail.begin() + 9), (Lines{" ", " ", kRule, kRule, kRule}));
    EXPECT_TRUE(startsWith(tail[9], "END NERAX LT Diagnostic: 21/03/2017 10:1")) << tail[9];
    EXPECT_EQ(tail[10], kRule);
    expectReportIsTheConsole();
    expectControlsBack();
    for (TCheckBox* box :
         {&w().cboReadCover, &w().cboAD, &w().cboReadInput, &w().cboButtonsMon, &w().cboReadRemotes, &w().cboAutoPoll})
        EXPECT_FALSE(box->Checked) << box->Name();
    for (TTimer* timer :
         {&w().tmrCover, &w().tmrAD, &w().tmrConfInput, &w().tmrButtons, &w().tmrRemotes, &w().tmrAutoPoll})
        EXPECT_FALSE(timer->Enabled) << timer->Name();
}

TEST_F(Diagnostic, TheCoverSamplesFollowTheSwitchWhileTheyAreTaken) {
    connect();
    const std::string open = banner(">>>--COVER-----OPEN, CLOSE, PIN", 56);
    long at = -1;
    host.onProcessMessages = [&] {
        // The first sample's wait follows the banner and its time line.
        const size_t n = console().size();
        if (at < 0 && n >= 2 && console()[n - 2] == open) at = static_cast<long>(n) - 2;
        if (at >= 0 && console().size() == static_cast<size_t>(at) + 2 + 25)
            detector().withModel([](DetectorModel& m) {
                m.coverClosed = true;
                m.coverCounters[1] = 3;
            });
    };
    runDiagnostic();
    const Lines cover = between(console(), open, banner("<<<--COVER"));
    ASSERT_EQ(cover.size(), 1u + 50);
    EXPECT_EQ(cover[1], "0,0,0");
    EXPECT_EQ(cover[25], "0,0,0");
    EXPECT_EQ(cover[50], "0,150,1");
    EXPECT_GE(countOf(cover, "0,150,1"), 20);
}

TEST_F(LoopBasedDiagnostic, ALoopBasedDetectorGetsLoopAddressAndIsolatorInsteadOfTheSensorTest) {
    connect();
    runDiagnostic();
    const Lines& c = console();
    EXPECT_EQ(countOf(c, banner(">>>--SA SENS")), 0);
    const int loop = detector().withModel([](DetectorModel& m) { return m.loopAddress; });
    expectInOrder(c, {banner(">>>--REMOTE OUT---STATE,PIN"), banner("<<<--REMOTE OUT"), "*", " ",
                      banner(">>>--LOOP ADD"), "*", "Loop address  = " + std::to_string(loop), banner("<<<--LOOP ADD"),
                      "*", " ", banner(">>>--ISOLATOR"), "*", "PIN STATE:*", "SUB127   :*", banner("<<<--ISOLATOR"),
                      "*", " ", ">>ASD reset", "END NERAX LT Diagnostic: *"});
    const Lines isolator = between(c, banner(">>>--ISOLATOR"), banner("<<<--ISOLATOR"));
    ASSERT_EQ(isolator.size(), 3u);
    EXPECT_EQ(isolator[1], "PIN STATE:" + w().edtIsolatorPinState.Text.get());
    EXPECT_TRUE(std::regex_match(isolator[1], std::regex(R"(PIN STATE:\d+)")));
    EXPECT_EQ(isolator[2], "SUB127   :" + w().edtSub127.Text.get());
    expectReportIsTheConsole();
}

TEST_F(Diagnostic, TheAlarmTestWaitsForBothDelaysAndReadsBack) {
    struct Case {
        int prealarm, alarm;
        const char* wait;
    };
    const Case cases[] = {{30, 200, "Wait: 235000 ms"}, {240, 240, "Wait: 240000 ms"}, {0, 0, "Wait: 5000 ms"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.wait);
        if (w().qob) w().Button2Click();
        setDelays(k.prealarm, k.alarm);
        connect();
        const int testsBefore = detector().requestCount(34);
        runDiagnostic(false, true);
        const Lines& c = console();
        EXPECT_EQ(c[2], "TEST alarms");
        expectInOrder(c, {banner(">>>--SA SENS"),
                          banner("<<<--SA SENS"),
                          "*",
                          " ",
                          ">>ASD reset",
                          " ",
                          " RESET EXECUTED *",
                          " ",
                          banner(">>>--TEST ALARM"),
                          "*",
                          ">>Test channel: 1 and 2",
                          k.wait,
                          "...." + banner(">>>--STATE"),
                          "*",
                          " ASD in fault          :*",
                          "...." + banner("<<<--STATE"),
                          "*",
                          " ",
                          "...." + banner(">>>--AD"),
                          "*",
                          ">>>SOUNDER1 ----------------------",
                          ">>>POWER2 ----------------------",
                          "...." + banner("<<<--AD"),
                          "*",
                          " ",
                          "...." + banner(">>>--REMOTE OUT---STATE,PIN"),
                          "*",
                          "1:*",
                          "2:*",
                          "...." + banner("<<<--REMOTE OUT"),
                          "*",
                          " ",
                          ">>ASD reset",
                          " ",
                          " ",
                          " RESET EXECUTED *",
                          " ",
                          " ",
                          kRule,
                          kRule,
                          kRule,
                          "END NERAX LT Diagnostic: *"});
        EXPECT_EQ(c[static_cast<size_t>(indexOf(c, banner(">>>--TEST ALARM"))) - 1], " ");
        EXPECT_GT(detector().requestCount(34), testsBefore);
        expectReportIsTheConsole();
        for (const auto& f : reports()) std::remove((work->path() + "/" + f).c_str());
    }
}

TEST_F(Diagnostic, AFullRunDumpsRamCapturesTheFlowAndRunsASecondPass) {
    connect();
    detector().withModel([](DetectorModel& m) { m.ram[0xFF2000] = 17; });
    // The capture ends when the fan stepping passes speed 10.
    w().edtFlowLogIncSpeed.Text = "2";
    runDiagnostic(true, false);
    const Lines& c = console();
    EXPECT_EQ(c[2], "FULL diagnostic");
    EXPECT_EQ(c[3], kRule);

    // EXT 2: one "read RAM" line per address, FF2000 to FF3ADC.
    const Lines ram = between(c, banner(">>>--EXT 2"), banner("<<<--EXT 2"));
    ASSERT_EQ(ram.size(), 1u + 6877);
    EXPECT_EQ(ram[1], "00FF2000=17");
    EXPECT_EQ(ram[2], "00FF2001=0");
    EXPECT_EQ(ram.back(), "00FF3ADC=0");
    EXPECT_EQ(ram[1 + (16725944 - 16719872)],
              "00FF37B8=" + std::to_string(detector().ramByte(nerax_sim::kPulseSettingRam1)));
    expectInOrder(c, {banner(">>>--EXT 1"), banner("<<<--EXT 1"), " ", banner(">>>--EXT 2"), "*", "00FF2000=17",
                      "00FF3ADC=0", banner("<<<--EXT 2"), " ", banner(">>>--COVER-----OPEN, CLOSE, PIN", 56)});

    // Reset, then the flow capture of both channels under their headers.
    expectInOrder(c, {banner("<<<--SA SENS"), "*", " ", ">>ASD reset", " ", " RESET EXECUTED *", " ",
                      banner(">>>--ULTRA"), "*", "*", "monitoring flow...", banner(">>>--ULTRA1"), flowLogHeaderLine(),
                      banner(">>>--ULTRA2"), flowLogHeaderLine(), banner("<<<--ULTRA"), " ", ">>ASD reset"});
    const Lines ultra1 = between(c, banner(">>>--ULTRA1"), banner(">>>--ULTRA2"));
    EXPECT_GT(ultra1.size(), 20u);
    EXPECT_EQ(ultra1, w().memFlowLog1.Lines.lines());
    EXPECT_FALSE(w().cboFlowLog.Checked);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_EQ(w().edtFlowLogFan1.Text.get(), "10");

    // A minute of stabilisation, then the second pass: no EEPROM, no RAM
    // dump, no second capture; the split sections only close.
    EXPECT_EQ(countOf(c, "waiting stabilizing..."), 12);
    EXPECT_EQ(countOf(c, banner(">>>--TIME")), 2);
    EXPECT_EQ(countOf(c, banner(">>>--EEPROM")), 1);
    EXPECT_EQ(countOf(c, banner(">>>--EXT 2")), 1);
    EXPECT_EQ(countOf(c, banner(">>>--ULTRA")), 1);
    EXPECT_EQ(countOf(c, banner(">>>--COVER-----OPEN, CLOSE, PIN", 56)), 1);
    EXPECT_EQ(countOf(c, banner("<<<--COVER")), 2);
    EXPECT_EQ(countOf(c, banner(">>>--SA SENS")), 2);
    const long second = indexOf(c, banner(">>>--TIME"), static_cast<size_t>(indexOf(c, "waiting stabilizing...")));
    ASSERT_GT(second, 0);
    const Lines pass2(c.begin() + second, c.end());
    const long ext1 = indexOf(pass2, banner("<<<--EXT 1"));
    ASSERT_GT(ext1, 0);
    const size_t at = static_cast<size_t>(ext1);
    EXPECT_EQ(pass2[at + 1], " ");
    EXPECT_EQ(pass2[at + 2], banner("<<<--COVER"));
    EXPECT_EQ(pass2[at + 4], " ");
    EXPECT_EQ(pass2[at + 5], banner("<<<--FANS-DAC/AD"));
    EXPECT_EQ(pass2[at + 7], " ");
    EXPECT_EQ(pass2[at + 8], banner(">>>--AD"));
    const long input = indexOf(pass2, banner("<<<--EXT INP"));
    ASSERT_GT(input, 0);
    EXPECT_EQ(pass2[static_cast<size_t>(input) + 3], banner("<<<--BUTTONS"));
    EXPECT_EQ(pass2[static_cast<size_t>(input) + 6], banner("<<<--REMOTE OUT"));
    EXPECT_EQ(pass2[static_cast<size_t>(input) + 9], banner(">>>--SA SENS"));
    expectReportIsTheConsole();
    expectControlsBack();
}

TEST_F(Diagnostic, WithoutFanSteppingTheRunEndsTheFlowCaptureItself) {
    connect();
    ASSERT_EQ(w().edtFlowLogIncSpeed.Text.get(), "0");
    runDiagnostic(true, false);
    const Lines& c = console();
    const Lines ultra = between(c, banner(">>>--ULTRA"), banner(">>>--ULTRA1"));
    EXPECT_EQ(countOf(ultra, "monitoring flow..."), 6);
    EXPECT_FALSE(w().cboFlowLog.Checked);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_EQ(w().edtFlowLogIncSpeed.Text.get(), "0");
    EXPECT_EQ(w().edtFlowLogFan1.Text.get(), "1");
    EXPECT_GT(between(c, banner(">>>--ULTRA2"), banner("<<<--ULTRA")).size(), 20u);
    expectReportIsTheConsole();
}

TEST_F(Diagnostic, AbortDuringTheRamDumpStopsAtTheNextAddressWithoutReport) {
    connect();
    auto dumped = [this] { return countStarting(console(), "00FF"); };
    abortWhen([&] { return dumped() == 100; });
    runDiagnostic(true, false);
    const Lines& c = console();
    EXPECT_EQ(dumped(), 100);
    EXPECT_EQ(countOf(c, banner("<<<--EXT 2")), 0);
    EXPECT_EQ(countOf(c, banner(">>>--COVER-----OPEN, CLOSE, PIN", 56)), 0);
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(Lines(c.end() - 3, c.end()), (Lines{" ", " ", "ABORTED"}));
    EXPECT_EQ(countStarting(c, "END NERAX LT Diagnostic"), 0);
    EXPECT_TRUE(reports().empty());
    EXPECT_FALSE(saved);
    expectControlsBack();
}

TEST_F(Diagnostic, AbortEndsTheRunInsideASectionAndLeavesItsMonitorOn) {
    // ABORT is pressed as soon as the section has switched its monitor on;
    // the section ends at its next check with what it wrote so far.
    struct Case {
        const char* name;
        TCheckBox TFrmTestQOB::*box;
        std::string open, close;
        Lines written;  // after the banner and its time line
    };
    // clang-format off
    const Case cases[] = {
        {"cover samples", &TFrmTestQOB::cboReadCover, banner(">>>--COVER-----OPEN, CLOSE, PIN", 56),
         banner("<<<--COVER"), {}},
        {"analogue channels", &TFrmTestQOB::cboAD, banner(">>>--AD"), banner("<<<--AD"),
         {">>>SOUNDER1 ----------------------"}},
        {"sensor poll", &TFrmTestQOB::cboAutoPoll, banner(">>>--SA SENS"), banner("<<<--SA SENS"), {}},
    };
    // clang-format on
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        if (!w().qob) connect();
        TCheckBox& box = w().*k.box;
        abortWhen([&] { return box.Checked.get(); });
        runDiagnostic();
        const Lines& c = console();
        EXPECT_EQ(countOf(c, k.close), 0);
        const long open = indexOf(c, k.open);
        ASSERT_GE(open, 0);
        Lines expected = {k.open, "*"};
        expected.insert(expected.end(), k.written.begin(), k.written.end());
        expected.insert(expected.end(), {" ", " ", "ABORTED"});
        const Lines rest(c.begin() + open, c.end());
        ASSERT_EQ(rest.size(), expected.size());
        expectInOrder(rest, expected);
        EXPECT_TRUE(reports().empty());
        EXPECT_TRUE(box.Checked);
        expectControlsBack();
        box.Checked = false;
        box.OnClick();
        host.onProcessMessages = nullptr;
    }
}

TEST_F(Diagnostic, WithoutAConnectionOnlyTheGuardLineIsWritten) {
    w().addConsoleLine("earlier line");
    runDiagnostic(true, true);
    EXPECT_EQ(console(), (Lines{"earlier line", ">>Not connected!"}));
    EXPECT_TRUE(work->files().empty());
    EXPECT_TRUE(w().btndiag.Enabled);
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(Diagnostic, FailingPanelsLeaveTheirErrorsAndTheRunGoesOnToTheReport) {
    connect();
    // The first block of the EEPROM dump, the cover switch, the analogue
    // reads of the fan sweep's start.
    detector().injectFault(36, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    detector().injectFault(18, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    detector().injectFault(9, {nerax_sim::FaultKind::NotAcknowledged}, 4);
    runDiagnostic();
    const Lines& c = console();
    const Lines eeprom = between(c, banner(">>>--EEPROM"), banner("<<<--EEPROM"));
    ASSERT_EQ(eeprom.size(), 3u);
    EXPECT_EQ(eeprom[1], ">>>--EEPROM-------------------");
    EXPECT_TRUE(startsWith(eeprom[2], ">>QOB Error ["));
    const Lines cover = between(c, banner(">>>--COVER-----OPEN, CLOSE, PIN", 56), banner("<<<--COVER"));
    ASSERT_EQ(cover.size(), 51u);
    EXPECT_EQ(countOf(cover, "ERR,ERR,ERR"), 50);
    const Lines fans = between(c, banner(">>>--FANS-DAC/AD"), banner("<<<--FANS-DAC/AD"));
    ASSERT_EQ(fans.size(), 258u);
    EXPECT_EQ(fans[1], "0=ERR,ERR");
    EXPECT_EQ(fans[2], "0=ERR,ERR");
    EXPECT_TRUE(std::regex_match(fans[3], std::regex(R"(1=\d+,\d+)")));
    expectInOrder(c, kStandAloneSections);
    expectReportIsTheConsole();
}

// ---- the command line -----------------------------------------------------

// Raises SIGINT (Ctrl+C) when the console echo reaches a line.
class InterruptAt : public std::stringbuf {
public:
    explicit InterruptAt(std::string line) : line_(std::move(line)) {}

protected:
    int sync() override {
        if (!raised_ && str().find(line_) != std::string::npos) {
            raised_ = true;
            std::raise(SIGINT);
        }
        return 0;
    }

private:
    std::string line_;
    bool raised_ = false;
};

TEST_F(Diagnostic, TheCommandLineRejectsBadUseAndCtrlCIsAbort) {
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"diag"}, out, err), kCliUsage);
    EXPECT_NE(err.str().find("--port N is required"), std::string::npos);
    EXPECT_EQ(runCli({"diag", "--port", std::to_string(comNumber()), "--fast"}, out, err), kCliUsage);

    InterruptAt watch(banner(">>>--EXT 2"));
    std::ostream echo(&watch);
    std::ostringstream err2;
    EXPECT_EQ(runCli({"diag", "--port", std::to_string(comNumber()), "--full", "--test-alarms"}, echo, err2),
              kCliFailed);
    const std::string printed = watch.str();
    EXPECT_NE(printed.find("FULL diagnostic\nTEST alarms\n"), std::string::npos);
    EXPECT_NE(printed.find("\nABORTED\n"), std::string::npos);
    EXPECT_EQ(printed.find("END NERAX LT Diagnostic"), std::string::npos);
    EXPECT_TRUE(work->files().empty());
}

}  // namespace

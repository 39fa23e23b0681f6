// ULTRASONIC TUNING end to end against the virtual detector through the
// real serial link, in virtual time: the four scans, the q table, the
// selection, the operator's answer, EEPROM byte 411, the RAM restore and
// the report; ABORT, Cancel, invalid answers, failed EEPROM access and
// the preconditions. Also the selection rule on its own and the CLI.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "cli/cli.h"
#include "support/scripted_host.h"
#include "support/sim_fixture.h"
#include "support/work_dir.h"
#include "tuning/ultrasonic_scan.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kReportPrefix = "NERAX_LT_ULTRASONICS_AUTOTUNING_";
const std::string kPipeNetwork =
    "To perform the tuning, please check that the final pipe network or\na similar load is attached to the inlets of "
    "the device.";

int countOf(const Lines& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Each marker must appear after the previous one; a marker ending in "*"
// matches any line that starts with what precedes the star.
void expectInOrder(const Lines& lines, const Lines& markers) {
    size_t at = 0;
    for (const std::string& m : markers) {
        const bool prefix = !m.empty() && m.back() == '*';
        const std::string text = prefix ? m.substr(0, m.size() - 1) : m;
        auto matches = [&](const std::string& l) { return prefix ? l.rfind(text, 0) == 0 : l == text; };
        while (at < lines.size() && !matches(lines[at])) ++at;
        ASSERT_LT(at, lines.size()) << "missing in order: \"" << m << "\"";
        ++at;
    }
}

// The lines right after the first line equal to `line`.
Lines after(const Lines& lines, const std::string& line, size_t count) {
    auto it = std::find(lines.begin(), lines.end(), line);
    if (it == lines.end()) return {};
    ++it;
    return Lines(it, it + static_cast<long>(std::min<size_t>(count, static_cast<size_t>(lines.end() - it))));
}

class TuningTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        work = std::make_unique<ScopedWorkDir>();
        window = std::make_unique<TFrmTestQOB>(host);
        w().Edit1.Text = std::to_string(comNumber());
        w().Button1Click();
        ASSERT_TRUE(w().qob && w().qob->isConnected());
    }
    void TearDown() override {
        window.reset();
        work.reset();
        SimFixture::TearDown();
    }
    TFrmTestQOB& w() { return *window; }
    Lines console() const { return window->memLog.Lines.lines(); }
    uint8_t energyByte() { return detector().eepromBytes(411, 1)[0]; }
    std::vector<std::string> reports() const {
        std::vector<std::string> found;
        for (const auto& f : work->files())
            if (f.rfind(kReportPrefix, 0) == 0) found.push_back(f);
        return found;
    }
    // The report must be the console as it was saved, CR LF after each line.
    void expectReportIsTheConsole() {
        auto files = reports();
        ASSERT_EQ(files.size(), 1u);
        const std::string& name = files[0];
        EXPECT_EQ(name.size(), kReportPrefix.size() + 15 + 4);
        EXPECT_EQ(name.substr(name.size() - 4), ".LOG");
        std::string expected;
        for (const auto& l : console()) expected += l + "\r\n";
        EXPECT_EQ(work->read(name), expected);
        ASSERT_FALSE(host.shown.empty());
        EXPECT_EQ(host.shown.back().text, "LOG SAVED!\n\n" + name);
    }
    void expectControlsBackAfterTheRun() {
        EXPECT_TRUE(w().btntuning.Enabled);
        EXPECT_TRUE(w().btnres.Enabled);
        EXPECT_TRUE(w().Button2.Enabled);
        EXPECT_TRUE(w().Edit1.Enabled);
        EXPECT_FALSE(w().Button1.Enabled);
        EXPECT_FALSE(w().btnabort.Enabled);
    }
    // Pulse setting bytes the detector holds while a capture runs.
    void watchPulseSettings() {
        host.onProcessMessages = [this] {
            if (!w().cboFlowLog.Checked) return;
            captured.insert(
                {detector().ramByte(nerax_sim::kPulseSettingRam1), detector().ramByte(nerax_sim::kPulseSettingRam2)});
        };
    }

    ScriptedHost host;
    std::unique_ptr<ScopedWorkDir> work;
    std::unique_ptr<TFrmTestQOB> window;
    std::set<std::pair<int, int>> captured;
};

TEST_F(TuningTest, AWholeTuningWritesTheConfirmedEnergyParameter) {
    ASSERT_EQ(energyByte(), 0xA7);
    watchPulseSettings();
    host.answerOk().answerText("4");
    const bool written = w().btntuningClick();
    const Lines c = console();
    ASSERT_TRUE(host.unscripted.empty());

    // Header: the settings without labels.
    ASSERT_GT(c.size(), 8u);
    EXPECT_EQ(c[0], std::string(55, '-'));
    EXPECT_EQ(c[1].rfind("NERAX LT Automatic Ultrasonic Tuning: ", 0), 0u);
    EXPECT_EQ(Lines(c.begin() + 2, c.begin() + 8), (Lines{"30000", "7", "30", "30", "7", "24"}));

    // The detector's sweep: 30 is clean on both channels, 15 unusable.
    const std::string dashes61(61, '-');
    const Lines table = after(c, dashes61, 6);
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[0], "q1:1,1");
    EXPECT_EQ(table[2], "q3:128,128");
    int q2a = 0, q2b = 0, q4a = 0, q4b = 0;
    ASSERT_EQ(std::sscanf(table[1].c_str(), "q2:%d,%d", &q2a, &q2b), 2) << table[1];
    ASSERT_EQ(std::sscanf(table[3].c_str(), "q4:%d,%d", &q4a, &q4b), 2) << table[3];
    for (int q : {q2a, q2b, q4a, q4b}) {
        EXPECT_GT(q, 24);
        EXPECT_LT(q, 128);
    }
    // Runner-up: the setting whose worse channel is better; 2 before 4 on a tie.
    const int second = std::min(q2a, q2b) >= std::min(q4a, q4b) ? 2 : 4;
    EXPECT_EQ(table[4], "Best #pulses:3," + std::to_string(second));
    EXPECT_EQ(table[5], dashes61);

    // The operator's question and answer.
    auto input = std::find_if(host.shown.begin(), host.shown.end(),
                              [](const ScriptedHost::Shown& s) { return s.kind == ScriptedHost::Shown::Kind::Input; });
    ASSERT_NE(input, host.shown.end());
    EXPECT_EQ(input->caption, "Ultrasonic energy parameter");
    EXPECT_EQ(input->text, "Best settings: 4, " + std::string(second == 2 ? "2" : "6") + ", 15");
    expectInOrder(c, {"Best #pulses:*", dashes61, "Proposed:4; Choosen:4", "411=164", "EEPROM updated!"});

    // EEPROM: low nibble replaced, high nibble kept, every checksum valid.
    EXPECT_EQ(energyByte(), 0xA4);
    detector().withModel([](nerax_sim::DetectorModel& m) {
        EXPECT_TRUE(m.areaValid(0, 49, 48, 1));
        EXPECT_TRUE(m.areaValid(256, 20, 275, 3));
        EXPECT_TRUE(m.areaValid(276, 220, 495, 5));
    });
    EXPECT_EQ(w().qob->imageBytes()[411], 0xA4);

    // RAM: each capture ran at its setting; the best one's restore at the end.
    EXPECT_EQ(captured, (std::set<std::pair<int, int>>{{15, 15}, {20, 20}, {30, 30}, {40, 40}}));
    EXPECT_EQ(detector().ramByte(nerax_sim::kPulseSettingRam1), 30);
    EXPECT_EQ(detector().ramByte(nerax_sim::kPulseSettingRam2), 30);

    // Report layout.
    const std::string d45(45, '-'), d55(55, '-');
    Lines layout = {d55,
                    "NERAX LT Automatic Ultrasonic Tuning: *",
                    ">>>--INFO----------------------------------------------",
                    "ASD is connected       :Y",
                    "<<<--INFO----------------------------------------------",
                    " ",
                    ">>>--STATE---------------------------------------------",
                    "<<<--STATE---------------------------------------------",
                    " ",
                    ">>>--TIME----------------------------------------------",
                    ">>Device clock read!",
                    "<<<--TIME----------------------------------------------",
                    " ",
                    ">>>--LOG-----------------------------------------------",
                    "<<<--LOG-----------------------------------------------",
                    " "};
    for (const char* v : {"15", "20", "30", "40"})
        for (const std::string& l : {d45,
                                     ">>>--RAM: " + std::string(v),
                                     d45,
                                     "RAM:16725944<--" + std::string(v),
                                     "RAM:16725945<--" + std::string(v),
                                     std::string(">>ASD reset"),
                                     std::string(" "),
                                     std::string(" RESET EXECUTED *"),
                                     std::string(" "),
                                     std::string(">>>--ULTRA---------------------------------------------"),
                                     std::string("monitoring flow..."),
                                     std::string("------------- ultra ch1"),
                                     std::string("index|    A|*"),
                                     std::string("------------- ultra ch2"),
                                     std::string("index|    A|*"),
                                     std::string("-------------"),
                                     std::string("Q1: *"),
                                     std::string("Q2: *"),
                                     std::string("<<<--ULTRA---------------------------------------------"),
                                     std::string(" ")})
            layout.push_back(l);
    expectInOrder(c, layout);
    const Lines ending = {d45, ">>>--RAM: 30", d45, "RAM:16725944<--30", "RAM:16725945<--30", ">>ASD reset", " "};
    EXPECT_EQ(Lines(c.end() - 14, c.end() - 7), ending);
    EXPECT_EQ(c[c.size() - 7].rfind(" RESET EXECUTED ", 0), 0u);
    EXPECT_EQ(Lines(c.end() - 6, c.end() - 3), (Lines{" ", d55, d55}));
    EXPECT_EQ(c[c.size() - 3], d55);
    EXPECT_EQ(c[c.size() - 2].rfind("END NERAX LT Ultrasonic tuning: ", 0), 0u);
    EXPECT_EQ(c.back(), d55);
    expectReportIsTheConsole();

    // Dialogs in order.
    std::vector<std::string> texts = host.shownTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], kPipeNetwork);
    EXPECT_EQ(texts[2], "EEPROM updated!");
    EXPECT_EQ(texts[3], "POWER OFF AND ON DEVICE TO APPLY NEW SETTINGS!");
    EXPECT_EQ(host.shown[3].dialogKind, DialogKind::Warning);
    expectControlsBackAfterTheRun();
    EXPECT_TRUE(written);
}

TEST_F(TuningTest, AbortDuringTheSecondCaptureEndsWithTheReport) {
    bool aborted = false;
    host.onProcessMessages = [&] {
        if (!aborted && countOf(console(), "monitoring flow...") == 2 && w().cboFlowLog.Checked) {
            aborted = true;
            w().btnabortClick();
        }
    };
    host.answerOk();
    const bool written = w().btntuningClick();
    const Lines c = console();
    ASSERT_TRUE(aborted);
    EXPECT_TRUE(host.unscripted.empty());
    EXPECT_EQ(countOf(c, "Q1: 1"), 1);                    // setting 1 was rated
    EXPECT_EQ(countOf(c, "------------- ultra ch1"), 1);  // setting 2 was not
    EXPECT_EQ(countOf(c, ">>>--RAM: 40"), 0);
    EXPECT_EQ(countOf(c, ">>>--RAM: 30"), 1);  // only the restore: no best
    EXPECT_EQ(countOf(c, "q1:1,1"), 0);
    expectInOrder(c, {">>>--RAM: 20", "monitoring flow...", " ", " ", "ABORTED", "Tuning failed!", "", "Aborted!",
                      ">>>--RAM: 30", "RAM:16725944<--30", "RAM:16725945<--30", ">>ASD reset", "END NERAX LT*"});
    const Lines texts = host.shownTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Tuning failed!\r\n\r\nAborted!"), 1);
    EXPECT_TRUE(std::none_of(host.shown.begin(), host.shown.end(),
                             [](const auto& s) { return s.kind == ScriptedHost::Shown::Kind::Input; }));
    EXPECT_EQ(energyByte(), 0xA7);
    EXPECT_EQ(detector().ramByte(nerax_sim::kPulseSettingRam1), 30);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_FALSE(w().tmrTimeout.Enabled);
    expectReportIsTheConsole();
    expectControlsBackAfterTheRun();
    EXPECT_FALSE(written);
}

TEST_F(TuningTest, AnswersThatAreNoEnergyParameterWriteNothing) {
    const struct {
        bool cancel;
        const char* answer;
    } cases[] = {{true, ""}, {false, "0"}, {false, "16"}, {false, "4x"}, {false, ""}};
    w().TMO = 8000;  // long enough for one sweep
    for (const auto& a : cases) {
        SCOPED_TRACE(a.cancel ? "Cancel" : a.answer);
        host.shown.clear();
        for (const auto& f : reports()) std::remove((work->path() + "/" + f).c_str());
        host.answerOk();
        if (a.cancel)
            host.answerCancel();
        else
            host.answerText(a.answer);
        const bool written = w().btntuningClick();
        const Lines c = console();
        expectInOrder(c, {"q3:128,128", "Best #pulses:3,*", "Proposed:4; Choosen:" + std::string(a.answer),
                          "Input value not valid.", "Tuning failed!", "", "Invalid value!", ">>>--RAM: 30",
                          "RAM:16725944<--30", "END NERAX LT*"});
        EXPECT_EQ(countOf(c, "EEPROM updated!"), 0);
        EXPECT_EQ(energyByte(), 0xA7);
        const Lines texts = host.shownTexts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Tuning failed!\r\n\r\nInvalid value!"), 1);
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "POWER OFF AND ON DEVICE TO APPLY NEW SETTINGS!"), 0);
        expectReportIsTheConsole();
        EXPECT_FALSE(written);
    }
    EXPECT_TRUE(host.unscripted.empty());
}

TEST_F(TuningTest, AFailedEepromAccessShowsTwoErrorDialogs) {
    const struct {
        int code;          // refused request
        bool atTheAnswer;  // refused only once the operator has answered
        const char* text;
    } cases[] = {{4, false, "Not possible to write device EEPROM"}, {3, true, "Not possible to read device EEPROM."}};
    w().TMO = 8000;
    for (const auto& f : cases) {
        SCOPED_TRACE(f.text);
        host.shown.clear();
        for (const auto& r : reports()) std::remove((work->path() + "/" + r).c_str());
        w().memLog.onChange = nullptr;
        if (f.atTheAnswer)
            w().memLog.onChange = [&](Control&) {
                const auto& lines = w().memLog.Lines;
                if (lines.Count() && lines[lines.Count() - 1].rfind("Proposed:", 0) == 0)
                    detector().injectFault(f.code, {nerax_sim::FaultKind::NotAcknowledged}, 1);
            };
        else
            detector().injectFault(f.code, {nerax_sim::FaultKind::NotAcknowledged}, 1);
        host.answerOk().answerText("4");
        w().btntuningClick();
        w().memLog.onChange = nullptr;
        const Lines c = console();
        expectInOrder(c, {"Proposed:4; Choosen:4", f.text, "Tuning failed!", "", "Not possible to update EEPROM!",
                          ">>>--RAM: 30", "END NERAX LT*"});
        EXPECT_EQ(countOf(c, "EEPROM updated!"), 0);
        const Lines texts = host.shownTexts();
        auto first = std::find(texts.begin(), texts.end(), f.text);
        ASSERT_NE(first, texts.end());
        ASSERT_NE(first + 1, texts.end());
        EXPECT_EQ(first[1], "Tuning failed!\r\n\r\nNot possible to update EEPROM!");
        EXPECT_EQ(host.shown[static_cast<size_t>(first - texts.begin())].dialogKind, DialogKind::Error);
        EXPECT_EQ(energyByte(), 0xA7);
        EXPECT_EQ(detector().pendingFaults(), 0);
        expectReportIsTheConsole();
    }
}

TEST_F(TuningTest, OnlyEnabledChannelsCount) {
    detector().withModel([](nerax_sim::DetectorModel& m) { m.channelEnabled[1] = 0; });
    w().TMO = 8000;
    host.answerOk().answerText("4");
    w().btntuningClick();
    const Lines c = console();
    // Channel 2 logs nothing and rates -1; channel 1 alone decides.
    expectInOrder(c, {"q1:1,-1", "q2:*", "q3:128,-1", "q4:*", "Best #pulses:3,*", "Proposed:4; Choosen:4", "411=164"});
    EXPECT_EQ(energyByte(), 0xA4);
}

TEST_F(TuningTest, PreconditionsStopBeforeAnythingIsMeasured) {
    const struct {
        const char* name;
        int fwMajor, mcVersion;
        bool refuseInformation;
        const char* warning;  // null: the operator cancels the pipe network question
    } cases[] = {
        {"old firmware", 2, 1, false, "Firmware version must be 3 or higher!"},
        {"mechanics", 3, 2, false, "Mechanical version must be 1!"},
        {"no firmware version", 3, 1, true, "Impossible to read firmware version!"},
        {"cancel", 3, 1, false, nullptr},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        nerax_sim::DetectorOptions options;
        options.image.fwMajor = k.fwMajor;
        options.image.mcVersion = k.mcVersion;
        SimulatedDetector sim(options, 214);
        ASSERT_TRUE(sim.ok()) << sim.error();
        ScriptedHost h;
        TFrmTestQOB win(h);
        win.Edit1.Text = "214";
        win.Button1Click();
        ASSERT_TRUE(win.qob);
        if (k.refuseInformation) sim.detector().injectFault(36, {nerax_sim::FaultKind::NotAcknowledged}, 1);
        if (!k.warning) h.answerCancel();
        win.btntuningClick();
        EXPECT_TRUE(win.memLog.Lines.lines().empty());
        ASSERT_EQ(h.shown.size(), 1u);
        EXPECT_EQ(h.shown[0].text, k.warning ? k.warning : kPipeNetwork);
        EXPECT_EQ(h.shown[0].dialogKind, DialogKind::Warning);
        EXPECT_EQ(h.shown[0].buttons, k.warning ? DialogButtons::Ok : DialogButtons::OkCancel);
        EXPECT_TRUE(win.btntuning.Enabled);
        EXPECT_FALSE(win.btnabort.Enabled);
        EXPECT_EQ(sim.detector().requestCount(26), 0);
        EXPECT_EQ(sim.detector().eepromBytes(411, 1)[0], 0xA7);
    }
    ScriptedHost h;
    TFrmTestQOB win(h);
    win.btntuningClick();
    EXPECT_EQ(win.memLog.Lines.lines(), Lines{">>Not connected!"});
    EXPECT_TRUE(h.shown.empty());
}

TEST_F(TuningTest, SetRamWritesOneByteAndSaysSo) {
    w().edtReadRAM.Text = "16725945";
    w().edtRamValue.Text = "300";  // the low eight bits go
    w().btnSetRamClick();
    EXPECT_EQ(console().back(), "RAM:16725945<--300");
    EXPECT_EQ(detector().ramByte(nerax_sim::kPulseSettingRam2), 300 & 0xFF);
    detector().withModel([](nerax_sim::DetectorModel& m) {
        const auto& r = m.history.back();
        EXPECT_EQ(r.code, 36);
        EXPECT_EQ((std::vector<int>(r.p + 1, r.p + 13)),
                  (std::vector<int>{7, 0xB9, 0x37, 0xFF, 0, 44, 0, 0, 0, 0, 0, 0}));
    });
    detector().injectFault(36, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    w().btnSetRamClick();
    EXPECT_EQ(console().back().rfind(">>QOB Error [", 0), 0u);
    w().edtRamValue.Text = "thirty";
    w().btnSetRamClick();
    EXPECT_EQ(host.shownTexts(), Lines{"'thirty' is not a valid integer value"});
}

// The selection on its own, with the worked cases of the tuning.
TEST(PulseSelection, BestAndSecond) {
    const struct {
        const char* name;
        int q[5][2];
        bool enabled[2];
        int qmi;
        int best, second;
    } cases[] = {
        {"worked example", {{}, {40, 40}, {60, 55}, {60, 61}, {30, 100}}, {true, true}, 24, 3, 2},
        {"nothing measured", {{}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}, {true, true}, 24, -1, -1},
        {"just above QMI is never chosen", {{}, {25, 25}, {-1, -1}, {-1, -1}, {-1, -1}}, {true, true}, 24, -1, -1},
        {"order 3 2 4 1 above 125", {{}, {128, 128}, {126, 127}, {-1, 128}, {128, 128}}, {true, true}, 24, 2, 4},
        {"all above 125", {{}, {128, 128}, {128, 128}, {128, 128}, {128, 128}}, {true, true}, 24, 3, 2},
        {"disabled channel ignored", {{}, {1, -1}, {60, -1}, {128, -1}, {90, -1}}, {true, false}, 24, 3, 4},
        {"no channel enabled", {{}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}, {false, false}, 24, 3, 2},
        {"higher QMI", {{}, {40, 40}, {60, 55}, {60, 61}, {30, 100}}, {true, true}, 56, 3, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PulseSelection s = selectPulseSettings(c.q, c.enabled, c.qmi);
        EXPECT_EQ(s.best, c.best);
        EXPECT_EQ(s.second, c.second);
    }
}

// The command line: the confirmation needs --yes, failures exit 1.
class TuneCommand : public SimFixture {};

TEST_F(TuneCommand, WithoutYesTheTuningStopsAtTheConfirmation) {
    ScopedWorkDir work;
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"tune", "--port", std::to_string(comNumber())}, out, err), 1);
    EXPECT_NE(err.str().find("[warning] To perform the tuning"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("-> Cancel"), std::string::npos);
    EXPECT_EQ(out.str(), ">>Connected\n");
    EXPECT_TRUE(work.files().empty());
    EXPECT_EQ(detector().requestCount(26), 0);

    std::ostringstream out2, err2;
    EXPECT_EQ(runCli({"tune"}, out2, err2), 2);
    EXPECT_NE(err2.str().find("--port N is required"), std::string::npos);
    std::ostringstream out3, err3;
    EXPECT_EQ(runCli({"tune", "--port", "77", "--yes"}, out3, err3), 1);
}

}  // namespace

// The Manual EOL production test against the virtual detector: the engine
// (key waits, retries, checks), START / STOP / SAVE LOG, and the steps with
// an operator who answers the prompts as they appear and changes the bench
// where a prompt asks for it. Virtual time: the waits cost nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "device/texts.h"
#include "reports/event_catalogue.h"
#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using nerax_sim::Fault;
using nerax_sim::FaultKind;
using Lines = std::vector<std::string>;

namespace {

constexpr int kSpace = 32, kY = 89, kN = 78, kEnter = 13;
const std::string kYesNoPrompt = "<<< PREMERE Y SE TEST OK, N SE IL TEST E' FALLITO >>>";
const std::string kRetryPrompt = "     <<< PREMERE SPAZIO PER RIPROVARE >>>";
const std::string kReplug = "!!!!DISCONNETTERE E RICONNETTERE CAVO USB.";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
bool startsWith(const std::string& text, const std::string& part) { return text.rfind(part, 0) == 0; }

// The .e2p text of an image: "i=v" lines with CR LF.
std::string e2pText(const std::vector<uint8_t>& image) {
    std::string text;
    for (size_t i = 0; i < image.size(); ++i) text += std::to_string(i) + "=" + std::to_string(image[i]) + "\r\n";
    return text;
}

class ManualEol : public SimWindowTest {
protected:
    void SetUp() override {
        SimWindowTest::SetUp();
        w().Edit1.Text = std::to_string(comNumber());
        w().PageControl1.ActivePageIndex = 7;
        host.onProcessMessages = [this] { operate(); };
    }

    const Lines& log() const { return const_cast<ManualEol*>(this)->w().memEOL.Lines.lines(); }
    bool logHas(const std::string& line) const { return std::find(log().begin(), log().end(), line) != log().end(); }
    int count(const std::string& line) const { return static_cast<int>(std::count(log().begin(), log().end(), line)); }
    // Lines from the first one equal to `first` on, `n` of them.
    Lines block(const std::string& first, size_t n) const {
        auto it = std::find(log().begin(), log().end(), first);
        if (it == log().end()) return {"(no line " + first + ")"};
        const size_t left = static_cast<size_t>(log().end() - it);
        return Lines(it, it + static_cast<long>(std::min(n, left)));
    }
    Lines failures() const {
        Lines out;
        for (const auto& line : log())
            if (startsWith(line, "!!!!")) out.push_back(line);
        return out;
    }
    void model(const std::function<void(DetectorModel&)>& change) { detector().withModel(change); }

    // ---- the operator ---------------------------------------------------
    // Yes/no answers in order (Y once they run out); `atPrompt` sees each
    // prompt before the key (and may change the bench, or stop the test).
    std::deque<int> answers;
    std::function<void(const std::string& prompt)> atPrompt;
    bool operatorPresent = true;
    int keyPresses = 0;
    // Stops a test that would otherwise retry for ever.
    int keyLimit = 300;

    void operate() {
        if (!operatorPresent || w().stopFlag || w().capturedKey != 0) return;
        const TStrings& lines = w().memEOL.Lines;
        const int n = lines.Count();
        if (n == 0) return;
        std::string prompt;
        bool yesNoPrompt = false;
        if (contains(lines[n - 1], "<<< PREMERE SPAZIO")) {
            prompt = lines[n - 1];
        } else if (n >= 2 && lines[n - 1].empty() && contains(lines[n - 2], kYesNoPrompt)) {
            prompt = lines[n - 2];
            yesNoPrompt = true;
        } else {
            return;
        }
        if (++keyPresses > keyLimit) {
            ADD_FAILURE() << "operator gave up at " << prompt;
            w().Button37Click();
            return;
        }
        if (atPrompt) atPrompt(prompt);
        int key = kSpace;
        if (yesNoPrompt) {
            key = kY;
            if (!answers.empty()) {
                key = answers.front();
                answers.pop_front();
            }
        }
        if (!w().stopFlag) w().FormKeyDown(key);
    }

    // STOP EOL at the first prompt after `line` appeared in the log.
    void stopAfter(const std::string& line, std::function<void(const std::string&)> before = nullptr) {
        atPrompt = [this, line, before](const std::string& prompt) {
            if (logHas(line)) {
                w().Button37Click();
                return;
            }
            if (before) before(prompt);
        };
    }

    // The bench as the instructions of steps 6 and 8 ask for it.
    void benchFollowsInstructions(const std::string& prompt) {
        if (contains(prompt, "STATO OPEN SOUNDER"))
            model([](DetectorModel& m) { m.sounderEolFitted[0] = m.sounderEolFitted[1] = false; });
        if (contains(prompt, "VERIFICARE EXT INPUT")) model([](DetectorModel& m) { m.externalInput = 1; });
        if (contains(prompt, "VERIFICARE COVER SWITCH")) model([](DetectorModel& m) { m.coverClosed = true; });
        // The loop's own commands: the second isolator check finds it
        // opened, the third closed again.
        if (contains(prompt, "VERIFICARE STATO ISO")) {
            ++isolatorPrompts;
            model([this](DetectorModel& m) { m.isolatorOpen = isolatorPrompts == 2; });
        }
        if (contains(prompt, "VERIFICARE FLUSSI"))
            model([](DetectorModel& m) { m.sounderEolFitted[0] = m.sounderEolFitted[1] = true; });
    }
    int isolatorPrompts = 0;

    void start(int step, int type = 0, int channels = 1) {
        w().edtStartStep.Text = std::to_string(step);
        w().rgEolType.ItemIndex = type;
        w().rgEolChannels.ItemIndex = channels;
        w().btnStartEOLClick();
    }

    // The detector's image with a changed CFG byte, sealed, as an .e2p file.
    std::vector<uint8_t> writeBoardImage(const std::string& name) {
        std::vector<uint8_t> image = detector().eepromBytes(0, 512);
        image[300] = 77;
        image[484] = 0;
        image[485] = 0;
        QOB::sealImage(image.data());
        work->write(name, e2pText(image));
        return image;
    }

    // A whole run from step 1 of a fresh board (as in the whole-run test):
    // the image file, a serial number, the bench as the prompts ask, every
    // question answered `answer`.
    void runBoard(int type, int channels, int answer = kY) {
        writeBoardImage("board.e2p");
        host.answerFile("board.e2p");
        w().edtSer1.Text = "17";
        w().edtSer2.Text = "300";
        w().edtSer3.Text = "3";
        w().edtSer4.Text = "42";
        const auto before = atPrompt;
        atPrompt = [this, answer, before](const std::string& prompt) {
            benchFollowsInstructions(prompt);
            answers.push_back(answer);
            if (before) before(prompt);
        };
        start(1, type, channels);
    }
    // The bench as it stands before a board is tested.
    void freshBench() {
        model([](DetectorModel& m) {
            m.sounderEolFitted[0] = m.sounderEolFitted[1] = true;
            m.externalInput = 0;
            m.coverClosed = false;
            m.isolatorOpen = false;
        });
        isolatorPrompts = 0;
        answers.clear();
        keyPresses = 0;
    }
    // Names of the automatic logs in the working directory.
    Lines savedLogs(const std::string& folder = "") const {
        Lines names;
        for (const auto& entry : std::filesystem::directory_iterator(work->path() + "/" + folder))
            if (entry.path().filename().string().rfind("NERAX_LT_EOL_", 0) == 0)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    Lines header(const char* variant = "STAND ALONE", int channels = 2) const {
        return {"Inizio EOL manuale: 21/03/17 10:15:30",         "", variant,
                "NUMERO DI CANALI: " + std::to_string(channels), "", ""};
    }
};

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Lines yesNo(const std::string& prefix, bool passed) {
    return {"", prefix + kYesNoPrompt, "", prefix + (passed ? "<<< PASSED >>>" : "<<< FAILED >>>"), "", ""};
}

// ---- the engine's waits ---------------------------------------------------

TEST_F(ManualEol, WaitForSpaceIgnoresOtherKeysAndKeysOfOtherPages) {
    operatorPresent = false;
    w().stopFlag = false;
    const uint64_t t0 = host.elapsedMs();
    host.at(t0 + 300, [&] { w().FormKeyDown(kEnter); });
    host.at(t0 + 400, [&] { w().FormKeyDown(kY); });
    host.at(t0 + 500, [&] { w().PageControl1.ActivePageIndex = 0; });
    host.at(t0 + 600, [&] { w().FormKeyDown(kSpace); });
    host.at(t0 + 700, [&] { w().PageControl1.ActivePageIndex = 7; });
    host.at(t0 + 1000, [&] { w().FormKeyDown(kSpace); });
    w().waitSpace("    <<< PREMERE SPAZIO >>>");
    EXPECT_GE(host.elapsedMs(), t0 + 1000);
    EXPECT_EQ(log(), (Lines{"", "    <<< PREMERE SPAZIO >>>", ""}));
}

TEST_F(ManualEol, YesNoWaitTakesOnlyYAndNAndLogsTheAnswer) {
    operatorPresent = false;
    struct Case {
        std::vector<int> keys;  // pressed 100 ms apart; only the last one answers
        bool passed;
    };
    for (const Case& c : {Case{{kSpace, kEnter, 65, kY}, true}, Case{{kN}, false}, Case{{kEnter, kN}, false}}) {
        w().memEOL.Lines.Clear();
        w().stopFlag = false;
        const uint64_t t0 = host.elapsedMs();
        for (size_t i = 0; i < c.keys.size(); ++i)
            host.at(t0 + 100 * (i + 1), [this, key = c.keys[i]] { w().FormKeyDown(key); });
        w().askYesNo("    ");
        EXPECT_GE(host.elapsedMs(), t0 + 100 * c.keys.size());
        EXPECT_EQ(log(), yesNo("    ", c.passed));
    }
}

TEST_F(ManualEol, StopEndsAWaitWithoutItsClosingLine) {
    operatorPresent = false;
    w().stopFlag = false;
    host.at(host.elapsedMs() + 500, [&] { w().stopFlag = true; });
    w().askYesNo("    ");
    EXPECT_EQ(log(), (Lines{"", "    " + kYesNoPrompt, ""}));
    w().waitSpace("x");
    EXPECT_EQ(log().back(), "x");
}

TEST_F(ManualEol, DelayCountsTenthsOfASecond) {
    const uint64_t t0 = host.elapsedMs();
    w().delay(50);
    EXPECT_GE(host.elapsedMs(), t0 + 5000);
    EXPECT_LT(host.elapsedMs(), t0 + 5200);
    EXPECT_FALSE(w().tmrDelay.Enabled);
    EXPECT_EQ(w().delayCounter, 50);
}

// ---- checks ---------------------------------------------------------------

TEST_F(ManualEol, AnalogueCheckIncludesBothLimits) {
    connect();
    struct Case {
        int value;
        const char* verdict;
    };
    for (const Case& c : {Case{790, "      OK"}, Case{840, "      OK"}, Case{841, "!!!!FUORI RANGE"},
                          Case{789, "!!!!FUORI RANGE"}, Case{0, "!!!!FUORI RANGE"}}) {
        w().memEOL.Lines.Clear();
        model([&](DetectorModel& m) { m.analogFixed[5] = c.value; });
        w().checkAnalog("    FAN 1 AD :", 5, 790, 840);
        EXPECT_EQ(log(), (Lines{"    FAN 1 AD :" + std::to_string(c.value), c.verdict})) << c.value;
        EXPECT_EQ(w().actionOk, 1);
    }
    detector().injectFault(9, Fault{FaultKind::NotAcknowledged});
    w().memEOL.Lines.Clear();
    w().checkAnalog("    POWER 1:", 7, 660, 695);
    EXPECT_EQ(log(), (Lines{"    POWER 1:ERR", "!!!!read AD non riuscito"}));
    EXPECT_EQ(w().actionOk, 0);
}

TEST_F(ManualEol, RelayCheckSwitchesOnForTheQuestionAndAlwaysOff) {
    connect();
    int relayDuringQuestion = -1;
    atPrompt = [&](const std::string&) {
        relayDuringQuestion = detector().withModel([](DetectorModel& m) { return m.relay[1]; });
    };
    w().stopFlag = false;
    w().checkRelay(w().btnAlarm1RelayOn, w().btnAlarm1RelayOff, true, "    *Q?");
    EXPECT_EQ(log(), (Lines{"", "    *Q?"} + yesNo("    ", true)));
    EXPECT_EQ(relayDuringQuestion, 1);
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.relay[1]; }), 0);

    // Without the question only the switching off shows, and only when it fails.
    w().memEOL.Lines.Clear();
    w().checkRelay(w().btnFaultRelayOn, w().btnFaultRelayOff, false, "    *Q?");
    EXPECT_TRUE(log().empty());
    detector().injectFault(33, Fault{FaultKind::NotAcknowledged});
    w().checkRelay(w().btnFaultRelayOn, w().btnFaultRelayOff, false, "    *Q?");
    EXPECT_EQ(log(), Lines{"!!!!reset relay non riuscito"});
    detector().injectFault(33, Fault{FaultKind::NotAcknowledged});
    w().memEOL.Lines.Clear();
    w().checkRelay(w().btnFaultRelayOn, w().btnFaultRelayOff, true, "    *Q?");
    EXPECT_EQ(log(), (Lines{"", "    *Q?", "!!!!set relay non riuscito"} + yesNo("    ", true)));
}

// ---- start, stop, save --------------------------------------------------------

TEST_F(ManualEol, StartStepOutsideOneToTenWritesOnlyHeaderAndEnd) {
    for (int step : {0, 11, -1}) {
        start(step);
        EXPECT_EQ(log(), (header() + Lines{"", "", "FINE TEST: 21/03/17 10:15:30", ""})) << step;
        EXPECT_TRUE(w().stopFlag);
        EXPECT_TRUE(w().btnStartEOL.Enabled);
        EXPECT_FALSE(w().qob);
    }
    // Nothing reached the detector.
    detector().withModel([](DetectorModel& m) {
        int total = 0;
        for (int n : m.requestCount) total += n;
        EXPECT_EQ(total, 0);
    });
}

TEST_F(ManualEol, HeaderNamesVariantAndChannels) {
    start(0, 1, 0);
    EXPECT_EQ(Lines(log().begin(), log().begin() + 6), header("LOOP BASED", 1));
}

TEST_F(ManualEol, StopDuringAWaitLeavesStoppedAndAbortedLinesInThatOrder) {
    answers = {kY, kN};
    stopAfter(" [S003]");
    start(1);
    const Lines expected = header() +
                           Lines{"1 - MAIN, SMD",
                                 "-------------",
                                 "",
                                 " A) ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.",
                                 "    VERIFICARE CHE IL CONSUMO SIA CIRCA 30-40mA.",
                                 "    QUINDI TOGLIERE ALIMENTAZIONE."} +
                           yesNo("    ", true) +
                           Lines{" [S002]",
                                 "2 - MAIN, SMD + manuale",
                                 "-----------------------",
                                 "",
                                 " A) METTERE IL JUMPER IN POSIZIONE DI PROGRAMMAZIONE.",
                                 "    ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.",
                                 "    IL LED DI PROGRAMMAZIONE DEVE ESSERE ACCESO ROSSO.",
                                 "    ATTACCARE CAVO USB.",
                                 "    CON IL PROGRAMMA FDT, FLASHARE IL FIRMWARE."} +
                           yesNo("    ", false) +
                           Lines{" [S003]",
                                 " B) TOGLIERE ALIMENTAZIONE. STACCARE USB.",
                                 "    METTERE JUMPER IN POSIZIONE NORMALE.",
                                 "    ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.",
                                 "    IL LED DI PROGRAMMAZIONE DEVE ESSERE SPENTO.",
                                 "    ATTACCARE CAVO USB.",
                                 "    NEL TAB MANAGEMENT INSERIRE IL CORRETTO NUMERO DI PORTA COM.",
                                 "",
                                 "    <<< PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM >>>",
                                 "",
                                 "TEST STOPPED BY USER: 21/03/17 10:15:30",
                                 "",
                                 "TEST ABORTED: 21/03/17 10:15:30"};
    EXPECT_EQ(log(), expected);
    EXPECT_TRUE(w().btnStartEOL.Enabled);
    EXPECT_FALSE(w().eolRunning);
    // A stopped test opens no file dialog.
    EXPECT_TRUE(host.shown.empty());
    EXPECT_TRUE(host.unscripted.empty());
}

TEST_F(ManualEol, StopWhileIdleWritesItsLinesAndDisconnects) {
    connect();
    w().Button37Click();
    // Before any start the dates keep the system format.
    EXPECT_EQ(log(), (Lines{"", "TEST STOPPED BY USER: 21/03/2017 10:15:30"}));
    EXPECT_FALSE(w().qob);
    EXPECT_EQ(console().back(), ">>Disconnected");
}

TEST_F(ManualEol, AStartWhileStoppingIsIgnored) {
    atPrompt = [this](const std::string&) {
        w().Button37Click();
        ASSERT_TRUE(w().btnStartEOL.Enabled);
        w().btnStartEOLClick();
    };
    start(1);
    EXPECT_EQ(count("Inizio EOL manuale: 21/03/17 10:15:30"), 1);
    EXPECT_EQ(log().back(), "TEST ABORTED: 21/03/17 10:15:30");
    EXPECT_FALSE(w().eolRunning);
}

TEST_F(ManualEol, ClosingTheWindowEndsTheWaitAsAStop) {
    atPrompt = [this](const std::string&) { w().btnabort.Tag = 1; };
    start(4);
    EXPECT_EQ(log().back(), "TEST ABORTED: 21/03/17 10:15:30");
    EXPECT_FALSE(logHas("FINE TEST: 21/03/17 10:15:30"));
    EXPECT_TRUE(w().btnStartEOL.Enabled);
}

TEST_F(ManualEol, ClosingTheWindowAtARelayQuestionSwitchesTheRelayOff) {
    int relayAtQuestion = -1;
    atPrompt = [&](const std::string&) {
        if (!logHas("    *IL LED ESTERNO SU ALARM 1 E' ACCESO?")) return;
        relayAtQuestion = detector().withModel([](DetectorModel& m) { return m.relay[1]; });
        w().btnabort.Tag = 1;
    };
    start(6, 0, 0);
    EXPECT_EQ(relayAtQuestion, 1);
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.relay[1]; }), 0);
    EXPECT_TRUE(startsWith(log().back(), "TEST ABORTED: ")) << log().back();
    EXPECT_FALSE(logHas("!!!!reset relay non riuscito"));
}

TEST_F(ManualEol, StartRefusesAStartStepOrSerialNumberThatIsNoNumber) {
    w().memEOL.setText("previous log");
    struct Case {
        const char* step;
        const char* serial2;
        const char* message;
    };
    for (const Case& c :
         {Case{"x", "0", "'x' is not a valid integer value"}, Case{"9", "1a", "'1a' is not a valid integer value"}}) {
        host.shown.clear();
        w().edtStartStep.Text = c.step;
        w().edtSer2.Text = c.serial2;
        w().btnStartEOLClick();
        EXPECT_EQ(host.shownTexts(), Lines{c.message});
        EXPECT_EQ(log(), Lines{"previous log"});
        EXPECT_TRUE(w().btnStartEOL.Enabled);
    }
    // Step 10 writes no serial number: a bad one does not matter there.
    w().edtStartStep.Text = "11";
    w().btnStartEOLClick();
    EXPECT_EQ(log().back(), "");
    EXPECT_EQ(log()[log().size() - 2], "FINE TEST: 21/03/17 10:15:30");
}

TEST_F(ManualEol, SaveLogAppendsTheCommentsEachTime) {
    w().memEOL.setText("line 1\r\nline 2");
    w().memEOLcomm.setText("scheda ok\r\nsecondo commento");
    host.answerFile("eol1.txt").answerFile("eol2.txt");
    w().Button38Click();
    const Lines once = {"line 1", "line 2", "", "Commenti:", "", "scheda ok", "secondo commento"};
    EXPECT_EQ(log(), once);
    EXPECT_EQ(work->read("eol1.txt"), "line 1\r\nline 2\r\n\r\nCommenti:\r\n\r\nscheda ok\r\nsecondo commento\r\n");
    EXPECT_EQ(console().back(), ">>File saved!");
    ASSERT_EQ(host.shown.size(), 1u);
    const FileDialog& dialog = host.shown[0].file;
    EXPECT_EQ(dialog.Title, "Save EOL LOG file");
    EXPECT_EQ(dialog.Filter, "EOL LOG files (*.txt)|*.txt");
    EXPECT_EQ(dialog.DefaultExt, "txt");
    EXPECT_FALSE(dialog.InitialDir.empty());
    w().Button38Click();
    EXPECT_EQ(log(), (once + Lines{"", "Commenti:", "", "scheda ok", "secondo commento"}));
    EXPECT_EQ(count("Commenti:"), 2);

    // Cancelled: nothing added, nothing written.
    const size_t before = log().size();
    const size_t consoleBefore = console().size();
    w().Button38Click();
    EXPECT_EQ(log().size(), before);
    EXPECT_EQ(console().size(), consoleBefore);
}

TEST_F(ManualEol, ALogThatCannotBeSavedIsAnErrorNotASuccess) {
    w().memEOL.setText("line 1");
    host.answerFile("no-such-dir/eol.txt");
    w().Button38Click();
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown[1].dialogKind, DialogKind::Error);
    EXPECT_TRUE(startsWith(host.shown[1].text, "EOL log not saved: no-such-dir/eol.txt"));
    EXPECT_TRUE(console().empty() || console().back() != ">>File saved!");
    EXPECT_FALSE(work->exists("no-such-dir"));
}

// ---- whole runs -----------------------------------------------------------------

TEST_F(ManualEol, AWholeRunProgramsCalibratesAndFinalisesTheBoard) {
    const std::vector<uint8_t> file = writeBoardImage("board.e2p");
    host.answerFile("board.e2p");
    w().edtSer1.Text = "17";
    w().edtSer2.Text = "300";
    w().edtSer3.Text = "3";
    w().edtSer4.Text = "42";
    atPrompt = [this](const std::string& prompt) { benchFollowsInstructions(prompt); };
    start(1, 0, 0);

    EXPECT_EQ(failures(), Lines{});
    const char* markers[] = {"1 - MAIN, SMD", " [S002]", " [S003]", " [S004]", " [S005]",
                             "[S006]",        "[S007]",  "[S008]",  "[S009]",  "[S010]"};
    auto at = log().begin();
    for (const char* marker : markers) {
        auto found = std::find(at, log().end(), marker);
        ASSERT_NE(found, log().end()) << marker;
        at = found;
    }
    ASSERT_GE(log().size(), 4u);
    EXPECT_EQ(log()[log().size() - 4], "");
    EXPECT_TRUE(startsWith(log()[log().size() - 2], "FINE TEST: 21/03/17 10:"));
    EXPECT_EQ(log().back(), "");
    EXPECT_TRUE(w().stopFlag);
    EXPECT_TRUE(w().btnStartEOL.Enabled);
    EXPECT_FALSE(w().qob);
    EXPECT_TRUE(host.unscripted.empty());
    EXPECT_EQ(host.pendingAnswers(), 0u);

    // The board: the file's image, the flow calibrated (87 + 13, 86 + 14),
    // serial number, manufacturing stamp, factory constants, sealed, and
    // the backup refreshed.
    const std::vector<uint8_t> e2p = detector().eepromBytes(0, 512);
    EXPECT_EQ(e2p[300], 77);
    EXPECT_EQ(e2p[484], 13);
    EXPECT_EQ(e2p[485], file[485]);  // one channel
    EXPECT_EQ((std::vector<uint8_t>(e2p.begin() + 260, e2p.begin() + 264)), (std::vector<uint8_t>{17, 44, 3, 42}));
    EXPECT_EQ(e2p[268], 21);
    EXPECT_EQ(e2p[269], 3);
    EXPECT_EQ(e2p[270], 17);
    EXPECT_EQ(e2p[281], 21);
    EXPECT_EQ(e2p[283], 17);
    EXPECT_EQ((std::vector<uint8_t>(e2p.begin() + 501, e2p.begin() + 511)),
              (std::vector<uint8_t>{113, 112, 109, 108, 106, 102, 100, 99, 97, 93}));
    EXPECT_EQ(QOB::checkImage(e2p.data()), 1);
    detector().withModel([&](DetectorModel& m) {
        EXPECT_TRUE(std::equal(e2p.begin(), e2p.end(), m.backup.begin()));
        EXPECT_EQ(m.reportedFlow(0), 100);
    });
    // After the test the tool's dates are dd/mm/yy hh:mm:ss.
    EXPECT_EQ(host.formats.shortDate, "dd/mm/yy");
    EXPECT_EQ(host.formats.longTime, "hh:mm:ss");
}

TEST_F(ManualEol, AnsweringNEverywhereStillReachesTheEnd) {
    writeBoardImage("board.e2p");
    host.answerFile("board.e2p");
    atPrompt = [this](const std::string& prompt) {
        benchFollowsInstructions(prompt);
        answers.push_back(kN);
    };
    start(1, 1, 1);
    EXPECT_TRUE(startsWith(log()[log().size() - 2], "FINE TEST: "));
    EXPECT_EQ(count("    <<< PASSED >>>"), 0);
    EXPECT_GT(count("    <<< FAILED >>>"), 20);
    EXPECT_EQ(count("    " + kYesNoPrompt), count("    <<< FAILED >>>"));
    EXPECT_EQ(count("     " + kYesNoPrompt), count("     <<< FAILED >>>"));
}

TEST_F(ManualEol, StartAtStepFiveRunsStepsFiveToTen) {
    atPrompt = [this](const std::string& prompt) { benchFollowsInstructions(prompt); };
    start(5);
    for (const char* marker : {" [S005]", "[S006]", "[S007]", "[S008]", "[S009]", "[S010]"})
        EXPECT_TRUE(logHas(marker)) << marker;
    for (const char* marker : {"1 - MAIN, SMD", " [S002]", " [S003]", " [S004]"})
        EXPECT_FALSE(logHas(marker)) << marker;
    EXPECT_TRUE(startsWith(log()[log().size() - 2], "FINE TEST: "));
    EXPECT_EQ(failures(), Lines{});
}

// ---- step 3: EEPROM programming -------------------------------------------------

TEST_F(ManualEol, AnImportThatGetsNoFileIsRetriedAfterSpace) {
    const std::vector<uint8_t> file = writeBoardImage("board.e2p");
    host.answerCancel().answerFile("missing.e2p").answerFile("board.e2p");
    int pagesSeen = -1;
    stopAfter(" [S004]", [&](const std::string&) { pagesSeen = w().PageControl1.ActivePageIndex; });
    start(3);
    EXPECT_EQ(block("    <<< PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM >>>", 14),
              (Lines{"    <<< PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM >>>", "", "!!!!file eeprom invalido",
                     "", kRetryPrompt, "", "!!!!file eeprom invalido", "", kRetryPrompt, "",
                     "    EEPROM PROGRAMMATA CON SUCCESSO", "    ONFIELD EEPROM RESTORE OK", "", " [S004]"}));
    EXPECT_EQ(pagesSeen, 7);
    EXPECT_EQ(w().PageControl1.ActivePageIndex, 7);
    EXPECT_EQ(detector().eepromBytes(0, 512), file);
    EXPECT_EQ(host.pendingAnswers(), 0u);
}

TEST_F(ManualEol, AFailedEepromWriteReconnectsAndRetries) {
    writeBoardImage("board.e2p");
    host.answerFile("board.e2p");
    stopAfter(" [S004]");
    detector().injectFault(4, Fault{FaultKind::NotAcknowledged});
    start(3);
    EXPECT_EQ(block("!!!!scrittura eeprom non riuscita", 6),
              (Lines{"!!!!scrittura eeprom non riuscita", kReplug, "", kRetryPrompt, "",
                     "    EEPROM PROGRAMMATA CON SUCCESSO"}));
}

// ---- step 4: event log ----------------------------------------------------------

TEST_F(ManualEol, StepFourCopiesTheConsoleWithTheEventLogIntoTheTestLog) {
    Lines consoleAtQuestion;
    stopAfter(" [S005]", [&](const std::string&) { consoleAtQuestion = console(); });
    start(4);
    auto copy = std::find(log().begin(), log().end(), "    log letto con successo");
    ASSERT_NE(copy, log().end());
    ++copy;
    ASSERT_FALSE(consoleAtQuestion.empty());
    ASSERT_GE(static_cast<size_t>(log().end() - copy), consoleAtQuestion.size());
    EXPECT_EQ(Lines(copy, copy + static_cast<long>(consoleAtQuestion.size())), consoleAtQuestion);
    // The event log table, then the disconnection that followed it.
    EXPECT_TRUE(std::find(consoleAtQuestion.begin(), consoleAtQuestion.end(), logTableHeaderRow()) !=
                consoleAtQuestion.end());
    EXPECT_EQ(consoleAtQuestion.back(), ">>Disconnected");
}

// ---- step 5: clock --------------------------------------------------------------

TEST_F(ManualEol, StepFiveSetsAndReadsTheClockAndRetriesAFailedRead) {
    detector().injectFault(19, Fault{FaultKind::NotAcknowledged});
    host.setNow({2017, 3, 21, 10, 15, 30, 0});
    stopAfter("[S006]");
    start(5);
    const std::string set = w().edtSetTime.Text;
    EXPECT_TRUE(startsWith(set, "21/03/17 10:15:")) << set;
    EXPECT_EQ(
        block(" [S005]", 16),
        (Lines{" [S005]", " D) IMPOSTAZIONE DATA E ORA REAL TIME CLOCK", "    DATA DA IMPOSTARE: 21/03/17 10:15:30", "",
               "    <<< PREMERE SPAZIO PER IMPOSTARE E LEGGERE RTC >>>", "", "    RTC set ok",
               "!!!!RTC read non riuscito", kReplug, "", kRetryPrompt, "", "    RTC read ok", "    " + set, "", ""}));
    const nerax_sim::ClockValue c = detector().clock();
    EXPECT_EQ(c.day, 21);
    EXPECT_EQ(c.month, 3);
    EXPECT_EQ(c.year, 17);
}

TEST_F(ManualEol, AFailedConnectionIsRetriedAfterReplugging) {
    w().Edit1.Text = "250";  // nothing there
    stopAfter("[S006]", [this](const std::string& prompt) {
        if (prompt == kRetryPrompt) w().Edit1.Text = std::to_string(comNumber());
    });
    start(5);
    EXPECT_EQ(block("    <<< PREMERE SPAZIO PER IMPOSTARE E LEGGERE RTC >>>", 8),
              (Lines{"    <<< PREMERE SPAZIO PER IMPOSTARE E LEGGERE RTC >>>", "", "!!!!connessione non riuscita",
                     kReplug, "", kRetryPrompt, "", "    RTC set ok"}));
}

TEST_F(ManualEol, AConnectionMadeByHandBeforeTheStartIsNoFailure) {
    connect();
    stopAfter("[S006]");
    start(5);
    EXPECT_EQ(failures(), Lines{});
    EXPECT_TRUE(logHas("    RTC set ok"));
}

TEST_F(ManualEol, StoppingDuringAConnectionRetryAbortsTheTest) {
    w().Edit1.Text = "250";
    atPrompt = [this](const std::string& prompt) {
        if (prompt == kRetryPrompt) w().Button37Click();
    };
    start(5);
    EXPECT_EQ(Lines(log().end() - 7, log().end()),
              (Lines{kReplug, "", kRetryPrompt, "", "TEST STOPPED BY USER: 21/03/17 10:15:30", "",
                     "TEST ABORTED: 21/03/17 10:15:30"}));
    EXPECT_EQ(count("TEST ABORTED: 21/03/17 10:15:30"), 1);
}

// ---- step 6: board checks -------------------------------------------------------

TEST_F(ManualEol, StepSixChecksWhatTheBoardHas) {
    struct Case {
        int type, channels;
        Lines questions;
        Lines present, absent;
    };
    // clang-format off
    const Case cases[] = {
        {0, 0,
         {"    *IL LED ESTERNO SU ALARM 1 E' ACCESO?", "    *IL LED ESTERNO SU PREALARM 1 E' ACCESO(SOLO STAND ALONE)?",
          "    *IL LED ESTERNO SU FAULT E' SPENTO?", "    *IL LED ESTERNO SU AUX FAULT E' SPENTO?",
          "    *IL LED ESTERNO SU SOUNDER 1 E' ACCESO?"},
         {"    TH 1  :231", "    fan 1 speed: 10"},
         {"    ALIMENTARE LOOP CON T-LNK.", "    TH 2  :231", "    fan 2 speed: 10"}},
        {1, 1,
         {"    *IL LED ESTERNO SU ALARM 1 E' ACCESO?", "    *IL LED ESTERNO SU ALARM 2 E' ACCESO?",
          "    *IL LED ESTERNO SU FAULT E' SPENTO?", "    *IL LED ESTERNO SU AUX FAULT E' SPENTO?",
          "    *IL LED ESTERNO SU SOUNDER 1 E' ACCESO?", "    *IL LED ESTERNO SU SOUNDER 2 E' ACCESO?"},
         {"    ALIMENTARE LOOP CON T-LNK.", "    TH 2  :231", "    fan 2 speed: 10"},
         {}},
        {0, 1,
         {"    *IL LED ESTERNO SU ALARM 1 E' ACCESO?", "    *IL LED ESTERNO SU ALARM 2 E' ACCESO?",
          "    *IL LED ESTERNO SU PREALARM 1 E' ACCESO(SOLO STAND ALONE)?",
          "    *IL LED ESTERNO SU PREALARM 2 E' ACCESO(SOLO STAND ALONE)?", "    *IL LED ESTERNO SU FAULT E' SPENTO?",
          "    *IL LED ESTERNO SU AUX FAULT E' SPENTO?", "    *IL LED ESTERNO SU SOUNDER 1 E' ACCESO?",
          "    *IL LED ESTERNO SU SOUNDER 2 E' ACCESO?"},
         {"    TH 2  :231"},
         {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", channels index " + std::to_string(c.channels));
        model([](DetectorModel& m) {
            m.analogFixed[3] = m.analogFixed[4] = 231;
            m.sounderEolFitted[0] = m.sounderEolFitted[1] = true;
            m.externalInput = 0;
            m.coverClosed = false;
        });
        isolatorPrompts = 0;
        stopAfter("[S007]", [this](const std::string& prompt) { benchFollowsInstructions(prompt); });
        start(6, c.type, c.channels);
        Lines questions;
        for (const auto& line : log())
            if (startsWith(line, "    *IL LED ESTERNO")) questions.push_back(line);
        EXPECT_EQ(questions, c.questions);
        for (const auto& line : c.present) EXPECT_TRUE(logHas(line)) << line;
        for (const auto& line : c.absent) EXPECT_FALSE(logHas(line)) << line;
        EXPECT_EQ(failures(), Lines{});
        // Relays off, LEDs yellow on the twenty, fans at the last step.
        detector().withModel([&](DetectorModel& m) {
            for (int r = 1; r <= 8; ++r) EXPECT_EQ(m.relay[r], 0) << r;
            EXPECT_EQ(m.leds[5], 3);
            EXPECT_EQ(m.leds[26], 3);
            EXPECT_EQ(m.leds[0], 0);
            EXPECT_EQ(m.fanSpeed[0], 5);
        });
        EXPECT_FALSE(w().qob);
    }
}

TEST_F(ManualEol, StepSixLogsWrongReadingsAndGoesOn) {
    model([](DetectorModel& m) {
        m.clockLost = true;
        m.analogFixed[7] = 700;
    });
    // The operator forgets the shorting link and the cover.
    stopAfter("[S007]");
    start(6, 0, 0);
    EXPECT_EQ(block("    RTC read ok", 5), (Lines{"    RTC read ok", "    00/00/00 00:00:00", "!!!!DATA INVALIDA", "",
                                                  " B) VERIFICA POWER SUPPLIES"}));
    EXPECT_EQ(block("    POWER 1:700", 2), (Lines{"    POWER 1:700", "!!!!FUORI RANGE"}));
    // Supply 1 too high, the open-line check finds the 47 k still fitted.
    EXPECT_EQ(failures(), (Lines{"!!!!DATA INVALIDA", "!!!!FUORI RANGE", "!!!!FUORI RANGE",
                                 "!!!!STATO INPUT NON CORRETTO", "!!!!STATO COVER SWITCH NON CORRETTO"}));
    EXPECT_EQ(block(" H) LETTURA EXTERNAL INPUT. METTERE CORTO SU EXT INPUT. ", 6),
              (Lines{" H) LETTURA EXTERNAL INPUT. METTERE CORTO SU EXT INPUT. ", "",
                     "    <<< PREMERE SPAZIO PER VERIFICARE EXT INPUT >>>", "", "    read ext input ok",
                     "!!!!STATO INPUT NON CORRETTO"}));
}

TEST_F(ManualEol, StepSixFanBlock) {
    model([](DetectorModel& m) { m.analogFixed[5] = 840; });
    stopAfter("[S007]", [this](const std::string& prompt) { benchFollowsInstructions(prompt); });
    start(6, 0, 0);
    EXPECT_EQ(block(" D) VERIFICA FANS", 6),
              (Lines{" D) VERIFICA FANS", "", "    fan 1 speed: 0", "    FAN 1 AD :840", "!!!!FUORI RANGE", ""}));
    // 840 is inside only at speed 10.
    Lines verdicts;
    for (auto it = log().begin(); it != log().end(); ++it)
        if (*it == "    FAN 1 AD :840") verdicts.push_back(*(it + 1));
    EXPECT_EQ(verdicts,
              (Lines{"!!!!FUORI RANGE", "!!!!FUORI RANGE", "!!!!FUORI RANGE", "      OK", "!!!!FUORI RANGE"}));
}

// ---- step 7: loop modules and isolator ---------------------------------------------

TEST_F(ManualEol, StepSevenIsOnlyItsMarkerOnStandAloneBoards) {
    stopAfter("[S008]");
    start(7, 0, 1);
    EXPECT_EQ(block("[S007]", 2), (Lines{"[S007]", "[S008]"}));
}

TEST_F(ManualEol, StepSevenFollowsTheIsolatorThroughTheLoopCommands) {
    stopAfter("[S008]", [this](const std::string& prompt) { benchFollowsInstructions(prompt); });
    start(7, 1, 1);
    EXPECT_EQ(failures(), Lines{});
    EXPECT_EQ(count("    read iso state ok"), 3);
    EXPECT_EQ(count("     <<< PREMERE SPAZIO PER VERIFICARE STATO ISO >>>"), 3);
    EXPECT_TRUE(logHas("     SU SUBADD 130, DATO 8,8. IL LED DEL MODULO 2 E' ACCESO GIALLO?"));
    EXPECT_EQ(block("    *LETTURA STATO ISOLATORI (224 = CLOSE)", 2),
              (Lines{"    *LETTURA STATO ISOLATORI (224 = CLOSE)", "    read iso state ok"}));
    ASSERT_GE(log().size(), 3u);
    const auto s8 = std::find(log().begin(), log().end(), "[S008]");
    EXPECT_EQ(Lines(s8 - 2, s8 + 1), (Lines{"", "", "[S008]"}));
}

TEST_F(ManualEol, StepSevenLogsAnIsolatorThatDidNotOpen) {
    stopAfter("[S008]");
    start(7, 1, 0);
    EXPECT_FALSE(logHas("     SU SUBADD 130, DATO 8,8. IL LED DEL MODULO 2 E' ACCESO GIALLO?"));
    EXPECT_FALSE(logHas("    *INTERROGARE 01, VERIFICARE RISPOSTA"));
    EXPECT_EQ(failures(), (Lines{"!!!!STATO ISO NON CORRETTO", "!!!!STATO ISO PIN NON CORRETTO"}));
}

// ---- step 8: flow calibration ---------------------------------------------------

TEST_F(ManualEol, StepEightCorrectsTheStoredFlowByte) {
    struct Case {
        int flow;
        int stored;    // byte 484 before
        int expected;  // byte 484 after
        bool corrected;
    };
    for (const Case& c : {Case{100, 5, 5, true}, Case{81, 0, 19, true}, Case{120, 0, 0, false}, Case{80, 3, 3, false},
                          Case{119, 250, 231, true}}) {
        SCOPED_TRACE("flow " + std::to_string(c.flow));
        w().memEOL.Lines.Clear();
        model([&](DetectorModel& m) {
            m.eeprom[484] = static_cast<uint8_t>(c.stored);
            m.eeprom[485] = 9;
            // Reported flow = raw + the signed stored correction.
            m.flow[0] = c.flow - static_cast<int8_t>(c.stored);
            m.sealAreas();
        });
        stopAfter("[S009]");
        start(8, 0, 0);
        EXPECT_EQ(block("    getstate ok", 2), (Lines{"    getstate ok", "    flow 1 = " + std::to_string(c.flow)}));
        EXPECT_EQ(logHas("    TARATURA NON EFFETTUATA"), !c.corrected);
        EXPECT_TRUE(logHas("    corr 1 e2p= " + std::to_string(c.expected)));
        EXPECT_FALSE(logHas("    flow 2 = 86"));
        const std::vector<uint8_t> e2p = detector().eepromBytes(0, 512);
        EXPECT_EQ(e2p[484], c.expected);
        EXPECT_EQ(e2p[485], 9);  // one channel: untouched
        EXPECT_EQ(QOB::checkImage(e2p.data()), 1);
        EXPECT_TRUE(logHas("    TARATURA TERMINATA"));
    }
}

TEST_F(ManualEol, StepEightKeepsTheOperatorInTheFlowLoopUntilBothFlowsFit) {
    model([](DetectorModel& m) {
        m.flow[0] = 70;
        m.flow[1] = 95;
    });
    stopAfter("[S009]", [this](const std::string& prompt) {
        if (contains(prompt, "TARARE FLUSSI")) model([](DetectorModel& m) { m.flow[0] = 90; });
    });
    start(8, 0, 1);
    EXPECT_EQ(block("     <<< PREMERE SPAZIO PER VERIFICARE FLUSSI >>>", 16),
              (Lines{"     <<< PREMERE SPAZIO PER VERIFICARE FLUSSI >>>", "", "    getstate ok", "    flow 1 = 70",
                     "    flow 2 = 95", "!!!!FLUSSO 1 LONTANO DA RANGE PREVISTO(80-120)", "",
                     "     <<< PREMERE SPAZIO PER TARARE FLUSSI >>>", "", "    getstate ok", "    flow 1 = 90",
                     "    flow 2 = 95", "    corr 1 e2p= 10", "    corr 2 e2p= 5", "", "    TARATURA TERMINATA"}));
    EXPECT_EQ(block("  B) STAND ALONE: SENSORI", 12),
              (Lines{"  B) STAND ALONE: SENSORI", "     I SENSORI 1 E 2(SE 2 CANALI) SONO POLLATI AUTOMATICAMENTE E",
                     "     I LED DEI SENSORI LAMPEGGIANO VERDE?"} +
               yesNo("     ", true) +
               Lines{"     Last poll sensore 1:" + pollStatusTextFor(1, 1),
                     "     Last poll sensore 2:" + pollStatusTextFor(1, 1), "[S009]"}));
}

TEST_F(ManualEol, StepEightRepeatsAFailedReadingWithoutReconnecting) {
    detector().injectFault(30, Fault{FaultKind::NotAcknowledged});
    // Connected by then: the next EEPROM read is the image's.
    stopAfter("[S009]", [this](const std::string& prompt) {
        if (prompt == kRetryPrompt && !logHas("    getstate ok"))
            detector().injectFault(3, Fault{FaultKind::NotAcknowledged});
    });
    start(8, 1, 0);
    EXPECT_EQ(block("     <<< PREMERE SPAZIO PER VERIFICARE FLUSSI >>>", 14),
              (Lines{"     <<< PREMERE SPAZIO PER VERIFICARE FLUSSI >>>", "", "!!!!getstate non riuscito", "",
                     kRetryPrompt, "", "    getstate ok", "    flow 1 = 87", "!!!!get eeprom non riuscita", "",
                     kRetryPrompt, "", "    corr 1 e2p= 13", ""}));
    EXPECT_FALSE(logHas(kReplug));
    EXPECT_EQ(count("!!!!connessione non riuscita"), 0);
    // Loop-based boards: the sensor question only.
    EXPECT_EQ(
        block("  C) LOOP BASED: SENSORI. ALIMENTARE T-LNK.", 3),
        (Lines{"  C) LOOP BASED: SENSORI. ALIMENTARE T-LNK.", "     I SENSORI 1 E 2(SE 2 CANALI) SONO INTERROGABILI E",
               "     I LED DEI SENSORI LAMPEGGIANO VERDE?"}));
    EXPECT_FALSE(logHas("     VERIFICARE LED MODULI ACCESI GIALLI ALL'ACCENSIONE."));
}

// ---- steps 9 and 10: identity and finalisation -------------------------------------

TEST_F(ManualEol, StepNineWritesIdentityAndRefreshesTheBackup) {
    host.setNow({2017, 11, 5, 9, 7, 3, 0});
    w().edtSer1.Text = "300";
    w().edtSer2.Text = "-1";
    w().edtSer3.Text = "0";
    w().edtSer4.Text = "255";
    stopAfter("[S010]");
    start(9);
    EXPECT_EQ(block("[S009]", 10), (Lines{"[S009]", "  D) TOGLIERE ALIMENTAZIONE. STACCARE USB. CHIUDERE COVER SWITCH.",
                                          "     ALIMENTARE. PREMERE RESET ED INSERIRE PWD.", "     ATTACCARE USB.", "",
                                          "     <<< PREMERE SPAZIO PER SETTARE EEPROM >>>", "", "    EEPROM OK",
                                          "    BACKUP EEPROM OK", "[S010]"}));
    const std::vector<uint8_t> e2p = detector().eepromBytes(256, 256);
    auto at = [&](int address) { return static_cast<int>(e2p[static_cast<size_t>(address - 256)]); };
    EXPECT_EQ((std::vector<int>{at(260), at(261), at(262), at(263)}), (std::vector<int>{44, 255, 0, 255}));
    // One moment, twice: the manufacturing date and the configuration stamp.
    EXPECT_EQ((std::vector<int>{at(268), at(269), at(270), at(271), at(272)}), (std::vector<int>{5, 11, 17, 9, 7}));
    EXPECT_EQ((std::vector<int>{at(281), at(282), at(283), at(284), at(285)}), (std::vector<int>{5, 11, 17, 9, 7}));
    EXPECT_GE(at(286), 3);
    EXPECT_LE(at(286), 59);
    EXPECT_EQ(at(510), 93);
    detector().withModel(
        [](DetectorModel& m) { EXPECT_TRUE(std::equal(m.eeprom.begin(), m.eeprom.begin() + 512, m.backup.begin())); });
}

TEST_F(ManualEol, StepTenRestoresTheOnFieldAreaAndSetsTheClock) {
    model([](DetectorModel& m) { m.clockLost = true; });
    start(10);
    EXPECT_EQ(block("[S010]", 8),
              (Lines{"[S010]", "  D) TOGLIERE ALIMENTAZIONE. STACCARE USB. CHIUDERE COVER SWITCH.",
                     "     ALIMENTARE. PREMERE RESET ED INSERIRE PWD.", "     ATTACCARE USB.", "",
                     "     <<< PREMERE SPAZIO PER FINALIZZARE EEPROM >>>", "", "    ONFIELD EEPROM RESTORE OK"}));
    EXPECT_EQ(block("    ONFIELD EEPROM RESTORE OK", 4),
              (Lines{"    ONFIELD EEPROM RESTORE OK", "    RTC set ok", "", ""}));
    EXPECT_TRUE(startsWith(log()[log().size() - 2], "FINE TEST: "));
    EXPECT_EQ(detector().clock().year, 17);
    EXPECT_FALSE(w().qob);
}

TEST_F(ManualEol, AfterARunOtherPagesShowDatesAsDayMonthTwoDigitYear) {
    start(0);
    connect();
    w().btnPollSensor1Click(&w().btnPollSensor1);
    bool found = false;
    for (const auto& line : console())
        if (startsWith(line, "--- POLL --- 1 --- ")) {
            found = true;
            EXPECT_TRUE(startsWith(line, "--- POLL --- 1 --- 21/03/17 10:15:")) << line;
        }
    EXPECT_TRUE(found);
}

// ---- verdict and automatic log ---------------------------------------------------

TEST(EolVerdict, ComesFromTheLog) {
    using V = TFrmTestQOB::EolVerdict;
    struct Case {
        Lines log;
        V::Kind kind;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {{"x", "    <<< PASSED >>>", "FINE TEST: 21/03/17 10:15:30", ""}, V::Pass, "PASS"},
        {{"     <<< FAILED >>>", "!!!!FUORI RANGE", "    POWER 1:ERR !!!!", "FINE TEST: 1"}, V::Fail, "FAIL (2)"},
        // A retried action that then succeeded still counts.
        {{"!!!!connessione non riuscita", "!!!!DISCONNETTERE E RICONNETTERE CAVO USB.", "FINE TEST: 1"}, V::Fail,
         "FAIL (2)"},
        {{"1 - MAIN, SMD", "    <<< PASSED >>>"}, V::Aborted, "ABORTED"},
        {{"TEST STOPPED BY USER: 1", "", "TEST ABORTED: 1"}, V::Aborted, "ABORTED"},
        {{"TEST STOPPED BY USER: 1", "FINE TEST: 1"}, V::Aborted, "ABORTED"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const V v = TFrmTestQOB::judgeEolLog(c.log);
        EXPECT_EQ(v.kind, c.kind) << c.text;
        EXPECT_EQ(v.text(), c.text);
    }
}

TEST_F(ManualEol, EveryRunShowsItsVerdictAndSavesItsLogWithTheComments) {
    host.setNow({2017, 3, 21, 10, 15, 30, 0});
    w().edtSer1.Text = "300";
    w().edtSer4.Text = "7";
    start(11);
    EXPECT_EQ(w().lblEolVerdict.Caption.get(), "PASS");
    EXPECT_EQ(w().lblEolVerdict.FontColor.get(), 0x00A000u);
    ASSERT_EQ(savedLogs(), Lines{"NERAX_LT_EOL_44-0-0-7_20170321_101530.txt"});
    EXPECT_EQ(w().eolLogFile, "NERAX_LT_EOL_44-0-0-7_20170321_101530.txt");
    EXPECT_EQ(work->read(savedLogs()[0]),
              "Inizio EOL manuale: 21/03/17 10:15:30\r\n\r\nSTAND ALONE\r\nNUMERO DI CANALI: 2\r\n\r\n\r\n\r\n\r\n"
              "FINE TEST: 21/03/17 10:15:30\r\n\r\n\r\nCommenti:\r\n\r\n\r\n");
    // The page keeps the log as the run left it.
    EXPECT_EQ(log().back(), "");
    EXPECT_EQ(log()[log().size() - 2], "FINE TEST: 21/03/17 10:15:30");
    EXPECT_EQ(console().back(), ">>EOL log saved: NERAX_LT_EOL_44-0-0-7_20170321_101530.txt");

    // The next START clears the verdict; a stopped run is ABORTED and saved
    // with what the operator typed meanwhile.
    std::string captionAtPrompt = "?";
    atPrompt = [&](const std::string&) {
        captionAtPrompt = w().lblEolVerdict.Caption;
        w().memEOLcomm.setText("nota 1\r\nnota 2");
        w().Button37Click();
    };
    host.setNow({2017, 3, 21, 10, 16, 0, 0});
    start(1);
    EXPECT_EQ(captionAtPrompt, "");
    EXPECT_EQ(w().lblEolVerdict.Caption.get(), "ABORTED");
    EXPECT_EQ(w().lblEolVerdict.FontColor.get(), 0xFF8000u);
    ASSERT_EQ(savedLogs().size(), 2u);
    const std::string saved = work->read(savedLogs()[1]);
    EXPECT_TRUE(saved.find("TEST ABORTED: 21/03/17 10:16:00\r\n\r\nCommenti:\r\n\r\nnota 1\r\nnota 2\r\n") !=
                std::string::npos)
        << saved;

    // Step 10 writes no serial number: a byte that is no number shows as X.
    w().edtSer2.Text = "1a";
    host.setNow({2017, 3, 21, 10, 17, 0, 0});
    atPrompt = nullptr;
    start(11);
    EXPECT_TRUE(work->exists("NERAX_LT_EOL_44-X-0-7_20170321_101700.txt"));
}

TEST_F(ManualEol, TheLogFolderComesFromTheIniFile) {
    host.setNow({2017, 3, 21, 10, 15, 30, 0});
    std::filesystem::create_directory(work->path() + "/eol logs");
    work->write("nerax-lt.INI", "[GENERAL]\r\nTMO=30000\r\n[EOL]\r\nLOGDIR=eol logs\r\n");
    start(11);
    EXPECT_EQ(savedLogs("eol logs"), Lines{"NERAX_LT_EOL_0-0-0-0_20170321_101530.txt"});
    EXPECT_EQ(w().eolLogFile, "eol logs/NERAX_LT_EOL_0-0-0-0_20170321_101530.txt");

    // A folder that is not there: an error, not a success; the verdict stays.
    work->write("nerax-lt.INI", "[EOL]\r\nLOGDIR=missing\r\n");
    start(11);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Error);
    EXPECT_TRUE(startsWith(host.shown[0].text, "EOL log not saved: missing/NERAX_LT_EOL_0-0-0-0_"))
        << host.shown[0].text;
    EXPECT_EQ(w().eolLogFile, "");
    EXPECT_EQ(w().lblEolVerdict.Caption.get(), "PASS");
    EXPECT_FALSE(work->exists("missing"));
}

// ---- whole runs against golden logs ------------------------------------------------

// Compares with tests/golden/<name>; NERAX_UPDATE_GOLDEN=1 rewrites it.
void expectGolden(const std::string& name, const Lines& lines) {
    const std::string path = std::string(NERAX_EOL_GOLDEN) + "/" + name;
    if (std::getenv("NERAX_UPDATE_GOLDEN")) {
        std::ofstream out(path, std::ios::binary);
        for (const auto& line : lines) out << line << "\n";
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    Lines golden;
    for (std::string line; std::getline(in, line);) golden.push_back(line);
    const size_t n = std::min(golden.size(), lines.size());
    for (size_t i = 0; i < n; ++i)
        if (golden[i] != lines[i]) {
            ADD_FAILURE() << name << " line " << i + 1 << ":\n  expected \"" << golden[i] << "\"\n  actual   \""
                          << lines[i] << "\"";
            return;
        }
    EXPECT_EQ(lines.size(), golden.size()) << name;
}

TEST_F(ManualEol, WholeRunsMatchTheirGoldenLogs) {
    struct Case {
        int type, channels, answer;
        const char* golden;
        const char* verdict;
    };
    const Case cases[] = {
        {0, 0, kY, "eol_stand_alone_1ch.txt", "PASS"},
        {0, 1, kY, "eol_stand_alone_2ch.txt", "PASS"},
        {1, 0, kY, "eol_loop_based_1ch.txt", "PASS"},
        {1, 1, kY, "eol_loop_based_2ch.txt", "PASS"},
        {1, 1, kN, "eol_loop_based_2ch_all_n.txt", "FAIL (22)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        renewWindow();
        w().Edit1.Text = std::to_string(comNumber());
        w().PageControl1.ActivePageIndex = 7;
        host.onProcessMessages = [this] { operate(); };
        detector().withModel([](DetectorModel& m) { m = DetectorModel(); });
        host.setNow({2017, 3, 21, 10, 15, 30, 0});
        freshBench();
        atPrompt = nullptr;
        runBoard(c.type, c.channels, c.answer);
        expectGolden(c.golden, log());
        EXPECT_EQ(w().eolVerdict.text(), c.verdict);
        EXPECT_EQ(w().lblEolVerdict.Caption.get(), c.verdict);
        if (c.answer == kN)
            EXPECT_EQ(failures(), Lines{});
        else
            EXPECT_EQ(count("    <<< FAILED >>>") + count("     <<< FAILED >>>"), 0);
    }
}

// ---- STOP at every prompt ------------------------------------------------------------

TEST_F(ManualEol, StopAtEveryPromptAbortsCleanly) {
    // What follows "TEST STOPPED BY USER: " when STOP comes at a prompt,
    // found by the prompt or by the line before it; every other prompt
    // shows only "", "TEST ABORTED: ".
    struct After {
        const char* at;
        Lines next;
    };
    const Lines aborted = {"", "TEST ABORTED: *"};
    // clang-format off
    const After table[] = {
        // Step 4 closes with an empty line before the stop check.
        {">>Disconnected", Lines{""} + aborted},
        // The open-line reading, the input and the cover run before the next check.
        {"    <<< PREMERE SPAZIO PER VERIFICARE STATO OPEN SOUNDER >>>",
         Lines{"    SOUNDER 1:ERR", "!!!!read AD non riuscito", "    SOUNDER 2:ERR", "!!!!read AD non riuscito"} + aborted},
        {"    <<< PREMERE SPAZIO PER VERIFICARE EXT INPUT >>>", Lines{"!!!!read ext input non riuscito"} + aborted},
        {"    <<< PREMERE SPAZIO PER VERIFICARE COVER SWITCH >>>", Lines{"!!!!read cover switch non riuscito"} + aborted},
        // Stand alone: the poll results taken with the state.
        // With two channels the second module's question follows at once.
        {"     SU SUBADD 129, DATO 8,8. IL LED DEL MODULO 1 E' ACCESO GIALLO?",
         Lines{"    *SU INDIRIZZO 155 INVIARE COMANDO SET OUTPUT (1) ",
               "     SU SUBADD 130, DATO 8,8. IL LED DEL MODULO 2 E' ACCESO GIALLO?", "", "    " + kYesNoPrompt, ""} +
             aborted},
        {"     I LED DEI SENSORI LAMPEGGIANO VERDE?",
         Lines{"     Last poll sensore 1:" + pollStatusTextFor(1, 1), "     Last poll sensore 2:" + pollStatusTextFor(1, 1)} +
             aborted},
    };
    // clang-format on
    std::vector<int> used(std::size(table), 0);
    for (int type : {0, 1}) {
        // The prompts of a whole run, each with the line before it.
        struct Prompt {
            std::string text, before;
        };
        std::vector<Prompt> prompts;
        detector().withModel([](DetectorModel& m) { m = DetectorModel(); });
        freshBench();
        atPrompt = [&](const std::string& prompt) {
            const int n = w().memEOL.Lines.Count();
            const bool yesNo = contains(prompt, kYesNoPrompt);
            prompts.push_back({prompt, w().memEOL.Lines[n - (yesNo ? 4 : 3)]});
        };
        runBoard(type, 1);
        ASSERT_EQ(w().eolVerdict.text(), "PASS");

        for (size_t k = 0; k < prompts.size(); ++k) {
            const Prompt& p = prompts[k];
            SCOPED_TRACE("type " + std::to_string(type) + ", prompt " + std::to_string(k) + ": " + p.before + " / " +
                         p.text);
            detector().withModel([](DetectorModel& m) { m = DetectorModel(); });
            freshBench();
            size_t seen = 0;
            bool inStepSix = false;
            atPrompt = [&](const std::string&) {
                if (seen++ != k) return;
                inStepSix = logHas("[S006]") && !logHas("[S007]") && logHas(" D) VERIFICA FANS");
                w().Button37Click();
            };
            runBoard(type, 1);
            const auto stopped = std::find_if(log().begin(), log().end(), [](const std::string& l) {
                return startsWith(l, "TEST STOPPED BY USER: ");
            });
            ASSERT_NE(stopped, log().end());
            Lines next(stopped + 1, log().end());
            for (auto& line : next)
                if (startsWith(line, "TEST ABORTED: ")) line = "TEST ABORTED: *";
            Lines expected = aborted;
            for (size_t t = 0; t < std::size(table); ++t)
                if (p.text == table[t].at || p.before == table[t].at) {
                    expected = table[t].next;
                    ++used[t];
                }
            if (type == 1 && p.before == "     I LED DEI SENSORI LAMPEGGIANO VERDE?") expected = aborted;
            EXPECT_EQ(next, expected);
            EXPECT_EQ(w().eolVerdict.text(), "ABORTED");
            EXPECT_FALSE(w().qob);
            // Nothing the test switched on stays on; the clock is set only
            // once its step has gone past its key.
            detector().withModel([&](DetectorModel& m) {
                for (int r = 1; r <= 8; ++r) EXPECT_EQ(m.relay[r], 0) << "relay " << r;
                if (inStepSix) {
                    EXPECT_EQ(m.ledsOverride, 0);
                    EXPECT_EQ(m.fanSpeed[0], 6);
                    EXPECT_EQ(m.fanSpeed[1], 6);
                }
                EXPECT_EQ(m.requestCount[20] > 0, logHas("    RTC set ok"));
            });
        }
    }
    for (size_t t = 0; t < std::size(table); ++t) EXPECT_GT(used[t], 0) << table[t].at;
}

// ---- every failure text from the detector --------------------------------------------

TEST_F(ManualEol, EachFailureTextComesFromAFailingDetector) {
    struct Case {
        int step, type, channels;
        int code, skip;      // the request that fails once
        const char* stopAt;  // the run ends at this marker
        Lines block;         // from the failure line on
    };
    // clang-format off
    const Case cases[] = {
        {3, 0, 1, 28, 0, " [S004]",
         {"!!!!onfield eeprom restore non riuscito", kReplug, "", kRetryPrompt, "", "    ONFIELD EEPROM RESTORE OK"}},
        {4, 0, 1, 3, 2, " [S005]", {"!!!!lettura log non riuscita", kReplug, "", kRetryPrompt, "", "    log letto con successo"}},
        {5, 0, 1, 20, 0, "[S006]", {"!!!!RTC set non riuscito", kReplug, "", kRetryPrompt, "", "    RTC set ok"}},
        {6, 0, 1, 27, 0, "[S007]", {"!!!!set fan 1 non riuscito", "    fan 2 speed: 0"}},
        {6, 0, 1, 27, 1, "[S007]", {"    fan 1 speed: 0", "!!!!set fan 2 non riuscito"}},
        {6, 0, 0, 16, 0, "[S007]", {"!!!!read ext input non riuscito", "", " H) LETTURA EXTERNAL INPUT. METTERE CORTO SU EXT INPUT. "}},
        {6, 0, 0, 18, 0, "[S007]", {"!!!!read cover switch non riuscito", "", " I) LETTURA COVER SWITCH. CHIUDERE COVER SWITCH. "}},
        {6, 0, 0, 12, 0, "[S007]", {"!!!!set led non riuscito", "", " M) VERIFICARE CHE 22/23 LED (1/2 CANALI) SONO ACCESI VERDI."}},
        {6, 0, 0, 33, 0, "[S007]", {"!!!!reset relay non riuscito"}},
        {7, 1, 0, 10, 0, "[S008]", {"!!!!read iso state non riuscito", "", "    *STACCARE USB. CHIUDERE COVER. PREMERE PER 2 SEC"}},
        {8, 0, 0, 4, 0, "[S009]", {"!!!!write eeprom non riuscita", "", kRetryPrompt, "", "    TARATURA TERMINATA"}},
        {9, 0, 0, 31, 0, "[S010]", {"!!!!set eeprom backup non riuscito", "", kRetryPrompt, "", "    BACKUP EEPROM OK"}},
        {10, 0, 0, 28, 0, "FINE TEST", {"!!!!onfield eeprom restore non riuscito", "", kRetryPrompt, "", "    ONFIELD EEPROM RESTORE OK"}},
        {10, 0, 0, 20, 0, "FINE TEST", {"!!!!RTC set non riuscito", "", "", "FINE TEST: *"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block[0] + " (request " + std::to_string(c.code) + ")");
        w().memEOL.Lines.Clear();
        detector().withModel([](DetectorModel& m) { m = DetectorModel(); });
        freshBench();
        writeBoardImage("board.e2p");
        if (c.step == 3) host.answerFile("board.e2p");
        detector().injectFault(c.code, Fault{FaultKind::NotAcknowledged, 1, 0, 0x13, c.skip});
        stopAfter(c.stopAt, [this](const std::string& prompt) { benchFollowsInstructions(prompt); });
        start(c.step, c.type, c.channels);
        Lines got = block(c.block[0], c.block.size());
        for (auto& line : got)
            if (startsWith(line, "FINE TEST: ")) line = "FINE TEST: *";
        EXPECT_EQ(got, c.block);
        // The injected failure is the first one of the run.
        const auto failure =
            std::find_if(c.block.begin(), c.block.end(), [](const std::string& l) { return startsWith(l, "!!!!"); });
        ASSERT_FALSE(failures().empty());
        EXPECT_EQ(failures()[0], *failure);
        EXPECT_EQ(detector().pendingFaults(), 0);
    }
}

TEST_F(ManualEol, ASecondCalibrationFindsTheNominalFlowAndKeepsTheByte) {
    for (const char* expected : {"    flow 1 = 87", "    flow 1 = 100"}) {
        stopAfter("[S009]");
        start(8, 0, 0);
        EXPECT_EQ(block("    getstate ok", 3), (Lines{"    getstate ok", expected, "    corr 1 e2p= 13"}));
    }
    EXPECT_EQ(detector().eepromBytes(484, 1)[0], 13);
}

TEST_F(ManualEol, AFarSecondFlowKeepsTheOperatorInTheLoop) {
    model([](DetectorModel& m) { m.flow[1] = 130; });
    stopAfter("[S009]", [this](const std::string& prompt) {
        if (contains(prompt, "TARARE FLUSSI")) model([](DetectorModel& m) { m.flow[1] = 104; });
    });
    start(8, 1, 1);
    EXPECT_EQ(block("    flow 2 = 130", 5), (Lines{"    flow 2 = 130", "!!!!FLUSSO 2 LONTANO DA RANGE PREVISTO(80-120)",
                                                   "", "     <<< PREMERE SPAZIO PER TARARE FLUSSI >>>", ""}));
    EXPECT_TRUE(logHas("    corr 2 e2p= 252"));
}

}  // namespace

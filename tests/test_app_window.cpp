// The application shell through the window model: start-up, tuning
// settings, Connect / Disconnect against the virtual detector, RESET,
// ABORT, the capture timer and the key capture. Scripted host, virtual time.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "app/settings.h"
#include "link/com_ports.h"
#include "support/window_fixture.h"

namespace {

std::vector<std::string> consoleOf(const TFrmTestQOB& w) { return w.memLog.Lines.lines(); }

using Lines = std::vector<std::string>;

class WindowTest : public SimWindowTest {
protected:
    // The six tuning settings in INI order.
    int settings(int i) {
        const int* values[] = {&w().LIB, &w().DIB, &w().DTI, &w().LCI, &w().QMI, &w().TMO};
        return *values[i];
    }
};

// ---- start-up ---------------------------------------------------------

TEST_F(WindowTest, StartUpRunsInOrderAndFindsTheDetectorsPort) {
    std::vector<std::string> order;
    TComboBox led3{&w(), "cbLed3"};
    TComboBox led44{&w(), "cbLed44", {"off", "on"}};
    TComboBox notLed{&w(), "cbLed45", {"a"}};
    w().PageControl1.ActivePageIndex = 4;
    w().prepareEepromGrids = [&] { order.push_back("grids"); };
    // Discovery runs after the grids and before the defaults: a value set
    // here is replaced by the default, and the INI file has the last word.
    w().detectPort = [&](int& port) {
        order.push_back("discovery");
        w().TMO = 1;
        w().LIB = 1;
        return autodetectPort(port);
    };
    work->write("nerax-lt.INI", "[GENERAL]\r\nTMO=500\r\n");
    w().FormCreate();
    EXPECT_EQ(order, (Lines{"grids", "discovery"}));
    EXPECT_EQ(w().PageControl1.ActivePageIndex, 0);
    EXPECT_EQ(led3.ItemIndex, 0);
    EXPECT_EQ(led3.Images, "ImageList1");
    EXPECT_EQ(led44.ItemIndex, 0);
    EXPECT_EQ(notLed.ItemIndex, -1);
    EXPECT_EQ(w().Edit1.Text, std::to_string(comNumber()));
    EXPECT_EQ(w().TMO, 500);
    EXPECT_EQ(w().LIB, 7);
    EXPECT_TRUE(consoleOf(w()).empty());
    EXPECT_EQ(w().StatusBar1.SimpleText, "Disconnected");
    EXPECT_EQ(w().StatusBar1.Color, 0xFF0000u);
    EXPECT_TRUE(w().Button1.Enabled);
    EXPECT_FALSE(w().Button2.Enabled);
    EXPECT_FALSE(w().btnabort.Enabled);
}

TEST_F(WindowTest, StartUpWithoutADetectorLeavesThePortFieldEmpty) {
    w().detectPort = [](int&) { return false; };
    w().FormCreate();
    EXPECT_EQ(w().Edit1.Text, "");
}

// ---- tuning settings: one row per INI file ----------------------------

TEST_F(WindowTest, TuningSettingsFromTheIniFile) {
    const std::string kError = "INI file error: file not found or bad parameters";
    struct Case {
        const char* name;
        const char* ini;  // nullptr: no file
        int want[6];      // LIB DIB DTI LCI QMI TMO
        bool errorLine;
    } cases[] = {
        {"no file", nullptr, {7, 30, 30, 7, 24, 30000}, false},
        {"all keys", "[GENERAL]\nLIB=9\nDIB=31\nDTI=32\nLCI=8\nQMI=25\nTMO=500\n", {9, 31, 32, 8, 25, 500}, false},
        {"bad DIB stops the reading",
         "[GENERAL]\nLIB=9\nDIB=abc\nDTI=1\nLCI=1\nQMI=1\nTMO=1\n",
         {9, 30, 30, 7, 24, 30000},
         true},
        {"no GENERAL section", "[OTHER]\nLIB=9\n", {7, 30, 30, 7, 24, 30000}, false},
        {"missing keys keep their defaults", "[GENERAL]\nQMI=40\n", {7, 30, 30, 7, 40, 30000}, false},
        {"comma becomes a point: 7,5 is no integer", "[GENERAL]\nLIB=7,5\n", {7, 30, 30, 7, 24, 30000}, true},
        {"bad last key",
         "[GENERAL]\r\nLIB=1\r\nDIB=2\r\nDTI=3\r\nLCI=4\r\nQMI=5\r\nTMO=\r\n",
         {1, 2, 3, 4, 5, 30000},
         true},
        {"case and blanks", "; settings\n[general]\n  lib = 11 \nTmo=1000\n", {11, 30, 30, 7, 24, 1000}, false},
        {"negative values are integers", "[GENERAL]\nLIB=-1\n", {-1, 30, 30, 7, 24, 30000}, false},
        {"number too large", "[GENERAL]\nTMO=99999999999\n", {7, 30, 30, 7, 24, 30000}, true},
        {"key outside the section", "LIB=3\n[GENERAL]\nDIB=4\n", {7, 4, 30, 7, 24, 30000}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink("nerax-lt.INI");
        if (c.ini) work->write("nerax-lt.INI", c.ini);
        renewWindow();
        w().detectPort = [](int&) { return false; };
        w().FormCreate();
        for (int i = 0; i < 6; ++i) EXPECT_EQ(settings(i), c.want[i]) << kTuningSettingKeys[i];
        EXPECT_EQ(consoleOf(w()), c.errorLine ? Lines{kError} : Lines{});
    }
}

TEST_F(WindowTest, TheIniFileIsLookedUpInTheWorkingDirectoryOnly) {
    ScopedWorkDir other;  // now the working directory; the file is elsewhere
    work->write("nerax-lt.INI", "[GENERAL]\nLIB=9\n");
    w().detectPort = [](int&) { return false; };
    w().FormCreate();
    EXPECT_EQ(w().LIB, 7);
    EXPECT_TRUE(consoleOf(w()).empty());
}

TEST_F(WindowTest, AnIniPathThatIsNoReadableFileIsReported) {
    ::mkdir("nerax-lt.INI", 0755);
    w().detectPort = [](int&) { return false; };
    w().FormCreate();
    EXPECT_EQ(consoleOf(w()), Lines{"INI file error: file not found or bad parameters"});
    EXPECT_EQ(w().TMO, 30000);
}

// ---- Connect / Disconnect ----------------------------------------------

TEST_F(WindowTest, PortFieldsThatConnectIgnoresWithoutAWord) {
    for (const char* text : {"", "0", "256", "abc", "-3", "7.5"}) {
        w().Edit1.Text = text;
        w().Button1Click();
        EXPECT_FALSE(w().qob) << text;
        EXPECT_TRUE(consoleOf(w()).empty()) << text;
        EXPECT_EQ(w().StatusBar1.SimpleText, "Disconnected");
    }
    EXPECT_EQ(detector().requestCount(6), 0);
}

TEST_F(WindowTest, ConnectAndDisconnectMoveBetweenTheTwoStates) {
    connect();
    EXPECT_EQ(consoleOf(w()), Lines{">>Connected"});
    EXPECT_EQ(w().StatusBar1.SimpleText, "Connected");
    EXPECT_EQ(w().StatusBar1.Color, 0x00FF00u);
    EXPECT_EQ(w().actionOk, 1);
    EXPECT_FALSE(w().Button1.Enabled);
    EXPECT_TRUE(w().Button2.Enabled);

    w().Button1Click();  // run from code while connected
    EXPECT_EQ(consoleOf(w()).back(), ">>Already connected!");

    w().Button2Click();
    EXPECT_FALSE(w().qob);
    EXPECT_EQ(consoleOf(w()).back(), ">>Disconnected");
    EXPECT_EQ(w().StatusBar1.SimpleText, "Disconnected");
    EXPECT_EQ(w().StatusBar1.Color, 0xFF0000u);
    EXPECT_TRUE(w().Button1.Enabled);
    EXPECT_FALSE(w().Button2.Enabled);

    w().clearConsole();
    w().Button2Click();
    EXPECT_EQ(consoleOf(w()), Lines{">>Not connected!"});
    EXPECT_EQ(w().StatusBar1.SimpleText, "Disconnected");

    connect();  // the operator can connect again
    EXPECT_EQ(consoleOf(w()).back(), ">>Connected");
}

TEST_F(WindowTest, AFailedConnectLeavesNoDeviceObjectAndTheStandardLine) {
    struct Case {
        const char* name;
        int port;
        bool refusePing;
        std::string line;
    } cases[] = {
        {"ping refused", comNumber(), true, ">>QOB Error [5] device doesn't acknowledge to connect command"},
        {"no device behind the number", comNumber() + 1, false, ">>WIN Error [2]: Invalid Handle (-1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w().clearConsole();
        w().actionOk = 0;
        if (c.refusePing) detector().injectFault(6, {nerax_sim::FaultKind::NotAcknowledged}, 1);
        w().Edit1.Text = std::to_string(c.port);
        w().Button1Click();
        EXPECT_FALSE(w().qob);
        EXPECT_EQ(consoleOf(w()), Lines{c.line});
        EXPECT_EQ(w().StatusBar1.SimpleText, "Disconnected");
        EXPECT_EQ(w().actionOk, 0);
        EXPECT_TRUE(w().Button1.Enabled);
    }
    connect();  // and a retry works
}

TEST_F(WindowTest, ResetDeviceNeedsAConnection) {
    w().btnresClick();
    EXPECT_EQ(consoleOf(w()), Lines{">>Not connected!"});
    connect();
    int resets = detector().withModel([](nerax_sim::DetectorModel& m) { return m.resetCount; });
    w().btnres.OnClick();
    EXPECT_EQ(consoleOf(w()).back(), ">>ASD reset");
    EXPECT_EQ(detector().withModel([](nerax_sim::DetectorModel& m) { return m.resetCount; }), resets + 1);
    detector().injectFault(-1, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    w().btnresClick();
    EXPECT_EQ(consoleOf(w()).back().rfind(">>QOB Error [", 0), 0u) << consoleOf(w()).back();
}

TEST_F(WindowTest, LibraryErrorLines) {
    w().showLibraryError();  // no device object: nothing
    EXPECT_TRUE(consoleOf(w()).empty());
    w().qob = std::make_unique<QOB>();
    w().qob->status = 2;
    w().qob->osError = 5;
    std::snprintf(w().qob->errorText, sizeof w().qob->errorText, "Invalid Handle (-1)");
    w().showLibraryError();
    w().qob->status = 4;
    w().showLibraryError();
    w().qob->status = 25;
    w().showLibraryError();
    EXPECT_EQ(consoleOf(w()),
              (Lines{">>WIN Error [5]: Invalid Handle (-1)",
                     ">>QOB Error [4] timeout reached waiting answer from COM port", ">>QOB Error [25] "}));
    // An object that is not connected fails the guard.
    w().clearConsole();
    EXPECT_FALSE(w().checkConnected());
    EXPECT_EQ(consoleOf(w()), Lines{">>Not connected!"});
}

TEST_F(WindowTest, StateLinesOnlyForRaisedFlags) {
    connect();
    // Before any state read the flag query fails (-1), which counts as raised.
    w().addStateLineIf("shown before a state read", 100);
    ASSERT_EQ(w().qob->readState(), 1);
    w().addStateLineIf("not raised", 100);
    w().addStateLine("plain");
    EXPECT_EQ(w().memState.Lines.lines(), (Lines{"shown before a state read", "plain"}));
    w().clearStateView();
    EXPECT_EQ(w().memState.Lines.Count(), 0);
}

// ---- ABORT, the capture timer, key capture, ports dialog ----------------

TEST_F(WindowTest, AbortDisablesItselfAndFlagsTheRunningProcedure) {
    w().btnabort.Enabled = true;
    w().btnabort.OnClick();
    EXPECT_FALSE(w().btnabort.Enabled);
    EXPECT_EQ(w().btnabort.Tag, 1);
    EXPECT_EQ(consoleOf(w()), (Lines{" ", " ", "ABORTED"}));
}

TEST_F(WindowTest, CaptureLastsTmoDiv1000PlusOneTicks) {
    struct Case {
        int tmo, ticks;
    } cases[] = {{500, 1}, {999, 1}, {1000, 2}, {30000, 31}, {30999, 31}, {31000, 32}};
    for (const Case& c : cases) {
        w().TMO = c.tmo;
        uint64_t started = host.elapsedMs();
        w().tmrTimeout.Tag = 0;
        w().tmrTimeout.Enabled = true;
        w().waitCooperatively([&] { return bool(w().tmrTimeout.Enabled); });
        EXPECT_EQ(w().tmrTimeout.Tag, c.ticks) << "TMO " << c.tmo;
        uint64_t lasted = host.elapsedMs() - started;
        EXPECT_GE(lasted, 1000u * c.ticks) << "TMO " << c.tmo;
        EXPECT_LT(lasted, 1000u * c.ticks + 50) << "TMO " << c.tmo;
    }
}

TEST_F(WindowTest, AbortIsServedDuringACooperativeWait) {
    w().btnabort.Enabled = true;
    w().btnabort.Tag = 0;
    w().tmrTimeout.Tag = 0;
    w().tmrTimeout.Enabled = true;
    host.at(host.elapsedMs() + 2500, [&] { w().btnabort.OnClick(); });
    w().waitCooperatively([&] { return w().tmrTimeout.Enabled && w().btnabort.Tag == 0; });
    EXPECT_EQ(w().btnabort.Tag, 1);
    EXPECT_EQ(w().tmrTimeout.Tag, 2);
    EXPECT_TRUE(w().tmrTimeout.Enabled);  // the procedure stops it itself
    EXPECT_EQ(consoleOf(w()).back(), "ABORTED");
}

TEST_F(WindowTest, KeysAreCapturedOnTheManualEolPageOnly) {
    w().PageControl1.ActivePageIndex = 0;
    w().FormKeyDown(32);
    EXPECT_EQ(w().capturedKey, 0);
    w().PageControl1.ActivePageIndex = 7;
    w().FormKeyDown(89);
    EXPECT_EQ(w().capturedKey, 89);
    w().PageControl1.ActivePageIndex = 8;
    w().FormKeyDown(78);
    EXPECT_EQ(w().capturedKey, 89);
}

TEST_F(WindowTest, AKeyThatAnswersAWaitIsKeptFromTheControlAndFromLaterKeys) {
    w().PageControl1.ActivePageIndex = 7;
    EXPECT_FALSE(w().FormKeyDown(89)) << "nothing waits";
    w().capturedKey = 0;
    w().awaitedKeys = {89, 78};
    EXPECT_FALSE(w().FormKeyDown(65));
    EXPECT_EQ(w().capturedKey, 65);
    EXPECT_TRUE(w().FormKeyDown(78));
    // Typed on before the wait looked: the answer stays.
    EXPECT_FALSE(w().FormKeyDown(66));
    EXPECT_TRUE(w().FormKeyDown(89));
    EXPECT_EQ(w().capturedKey, 78);
    w().PageControl1.ActivePageIndex = 0;
    EXPECT_FALSE(w().FormKeyDown(89)) << "other pages answer nothing";
}

TEST_F(WindowTest, DeviceManagerButtonOpensThePortsDialogQuietly) {
    w().btnShowDevMan.OnClick();
    EXPECT_EQ(host.portsDialogs, 1);
    EXPECT_TRUE(consoleOf(w()).empty());
}

// ---- report saving --------------------------------------------------------

TEST_F(WindowTest, ConsoleReportIsSavedUnderTheStampedName) {
    host.setNow({2017, 3, 21, 10, 15, 30, 0});
    w().addConsoleLine("one");
    w().addConsoleLine("two\r\nthree");
    ASSERT_TRUE(w().saveConsoleReport("NERAX_LT_LOG_"));
    EXPECT_EQ(work->read("NERAX_LT_LOG_20170321_101530.LOG"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(host.shownTexts(), Lines{"LOG SAVED!\n\nNERAX_LT_LOG_20170321_101530.LOG"});
    ASSERT_TRUE(w().saveConsoleReport("NERAX_LT_DIAG_", "DIAGNOSTIC LOG SAVED!"));
    EXPECT_EQ(host.shownTexts().back(), "DIAGNOSTIC LOG SAVED!\n\nNERAX_LT_DIAG_20170321_101530.LOG");
}

TEST_F(WindowTest, AReportThatCannotBeWrittenIsAnErrorNotASuccess) {
    w().addConsoleLine("one");
    EXPECT_FALSE(w().saveConsoleReport("missing-dir/NERAX_LT_LOG_"));
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Error);
    EXPECT_EQ(host.shown[0].text.rfind("Report not saved: missing-dir/NERAX_LT_LOG_", 0), 0u) << host.shown[0].text;
}

}  // namespace

// ---- every control live ---------------------------------------------------

namespace {

// Buttons and check boxes that carry no click handler of their own, with
// the reason. Everything else a technician can press must do something.
const std::map<std::string, std::string>& handlerless() {
    static const std::map<std::string, std::string> names = {
        {"cboChkOnf", "an option that the EEPROM log write reads"},
    };
    return names;
}

TEST_F(WindowTest, EveryButtonAndCheckBoxHasAHandlerOrANamedReason) {
    // The parameter check boxes of the configuration pages are values that
    // their group's button sends.
    std::set<std::string> parameters;
    for (const std::string& line : w().configurationListing()) parameters.insert(line.substr(0, line.find('=')));
    ASSERT_TRUE(parameters.count("cbCh1Enabled"));
    std::vector<std::string> missing, listedButBound;
    for (Control* c : w().Components()) {
        if (parameters.count(c->Name())) continue;
        bool bound = false;
        if (auto* b = dynamic_cast<TButton*>(c))
            bound = static_cast<bool>(b->OnClick);
        else if (auto* k = dynamic_cast<TCheckBox*>(c))
            bound = static_cast<bool>(k->OnClick);
        else
            continue;
        const bool listed = handlerless().count(c->Name()) > 0;
        if (!bound && !listed) missing.push_back(c->Name());
        if (bound && listed) listedButBound.push_back(c->Name());
    }
    EXPECT_EQ(missing, Lines{}) << "controls a technician can press that do nothing";
    EXPECT_EQ(listedButBound, Lines{}) << "the handler-less list names controls that have a handler";
}

}  // namespace

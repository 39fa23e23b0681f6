// The EEPROM page against the virtual detector: the byte grid and its
// range writes with the checksum dialog, restores and backup, image files
// (and the refusal of broken ones), the log header block, the dump and
// the test buttons, and what the grid cells show.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using nerax_sim::Fault;
using nerax_sim::FaultKind;
using Lines = std::vector<std::string>;

namespace {

class EepromPage : public SimWindowTest {
protected:
    void SetUp() override {
        SimWindowTest::SetUp();
        w().prepareEepromGrids();
    }
    void model(const std::function<void(DetectorModel&)>& change, bool seal = true) {
        detector().withModel([&](DetectorModel& m) {
            change(m);
            if (seal) m.sealAreas();
        });
    }
    uint8_t deviceByte(int address) { return detector().eepromBytes(address, 1)[0]; }
    std::string grid(int key) { return w().vleE2P.Values(std::to_string(key)); }
    void setGrid(int key, const std::string& value) { w().vleE2P.setValue(std::to_string(key), value); }
    std::string logGrid(int key) { return w().vleE2P_log.Values(std::to_string(key)); }
    // The grid's rows as an image file's text.
    static std::string imageText(const std::function<std::string(int)>& value, int count = 512) {
        std::string text;
        for (int i = 0; i < count; ++i) text += std::to_string(i) + "=" + value(i) + "\r\n";
        return text;
    }
    Lines gridLines() { return w().vleE2P.Strings.lines(); }
    // Reads the image and changes one byte in each of LOB, FCT and CFG in
    // the grid, checksums updated; the stored bytes before the change.
    struct AreaBytes {
        uint8_t low, fct, cfg;
    };
    AreaBytes changeOneByteInEachArea() {
        w().btnrseepClick();
        const AreaBytes old{deviceByte(10), deviceByte(260), deviceByte(300)};
        setGrid(10, std::to_string((old.low + 1) % 256));
        setGrid(260, std::to_string((old.fct + 1) % 256));
        setGrid(300, std::to_string((old.cfg + 1) % 256));
        w().Button3Click();  // checksums right: no dialog
        w().clearConsole();
        return old;
    }
    // Which of the three changed bytes reached the detector.
    void expectWritten(const AreaBytes& old, bool low, bool fct, bool cfg) {
        EXPECT_EQ(deviceByte(10), low ? (old.low + 1) % 256 : old.low);
        EXPECT_EQ(deviceByte(260), fct ? (old.fct + 1) % 256 : old.fct);
        EXPECT_EQ(deviceByte(300), cfg ? (old.cfg + 1) % 256 : old.cfg);
    }
    std::string lastMessage() const { return host.shown.empty() ? std::string() : host.shown.back().text; }
};

// ---- start-up, not connected ------------------------------------------

TEST_F(EepromPage, StartUpFillsBothGridsWithZerosAndExportSavesThem) {
    const Lines& rows = gridLines();
    ASSERT_EQ(rows.size(), 512u);
    EXPECT_EQ(rows[0], "0=0");
    EXPECT_EQ(rows[17], "17=0");
    EXPECT_EQ(rows[511], "511=0");
    ASSERT_EQ(w().vleE2P_log.Strings.Count(), 64);
    EXPECT_EQ(w().vleE2P_log.Strings[0], "1024=0");
    EXPECT_EQ(w().vleE2P_log.Strings[63], "1087=0");
    EXPECT_EQ(w().vleE2Pdesc.Strings.Count(), 0);

    host.answerFile(work->path() + "/start.e2p");
    w().btnExportE2PClick();
    EXPECT_EQ(work->read("start.e2p"), imageText([](int) { return "0"; }));
    EXPECT_EQ(console(), Lines{">>File saved!"});
    const auto& dialog = host.shown.back().file;
    EXPECT_EQ(dialog.Title, "Save EEPROM (bytes 0-511) file");
    EXPECT_EQ(dialog.Filter, "EEPROM files (*.e2p)|*.e2p");
    EXPECT_EQ(dialog.DefaultExt, "e2p");
}

TEST_F(EepromPage, DeviceHandlersWithoutAConnectionOnlyWriteTheGuardLine) {
    const std::pair<const char*, std::function<void()>> handlers[] = {
        {"read", [&] { w().btnrseepClick(); }},
        {"write", [&] { w().Button28Click(&w().Button28); }},
        {"write CFG", [&] { w().Button28Click(&w().Button158); }},
        {"refresh", [&] { w().btnRefreshE2PClick(); }},
        {"restore FCT", [&] { w().Button26Click(); }},
        {"restore ALL", [&] { w().Button35Click(); }},
        {"backup", [&] { w().Button31Click(); }},
        {"restore ONF", [&] { w().Button34Click(); }},
        {"log read", [&] { w().btnReadE2P_logClick(); }},
        {"log write", [&] { w().btnWriteE2P_logClick(); }},
        {"dump", [&] { w().Button39Click(); }},
        {"inc 1023", [&] { w().Button40Click(); }},
        {"byte 3", [&] { w().Button42Click(); }},
        {"byte 500", [&] { w().Button45Click(); }},
    };
    for (const auto& [name, run] : handlers) {
        w().clearConsole();
        run();
        EXPECT_EQ(console(), Lines{">>Not connected!"}) << name;
    }
    EXPECT_EQ(gridLines().size(), 512u);
    EXPECT_EQ(grid(17), "0");
    EXPECT_TRUE(host.shown.empty());
    EXPECT_TRUE(w().btnrseep.Enabled && w().Button28.Enabled && w().Button158.Enabled);
}

// ---- read and write -----------------------------------------------------

TEST_F(EepromPage, ReadShowsTheDetectorsBytesInDecimal) {
    model([](DetectorModel& m) {
        m.eeprom[0] = 12;
        m.eeprom[2] = 255;
        m.eeprom[300] = 7;
    });
    connect();
    w().clearConsole();
    w().btnrseepClick();
    EXPECT_EQ(console(), Lines{">>Bytes 0-511 read!"});
    const Lines& rows = gridLines();
    ASSERT_EQ(rows.size(), 512u);
    EXPECT_EQ(rows[0], "0=12");
    EXPECT_EQ(rows[2], "2=255");
    EXPECT_EQ(rows[300], "300=7");
    const std::vector<uint8_t> device = detector().eepromBytes(0, 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(rows[static_cast<size_t>(i)],
                  std::to_string(i) + "=" + std::to_string(device[static_cast<size_t>(i)]));
    EXPECT_EQ(w().vleE2P.Tag, 0);
    EXPECT_TRUE(w().btnrseep.Enabled);
}

TEST_F(EepromPage, AFailedReadLeavesTheGridAndReportsTheLibraryError) {
    connect();
    w().clearConsole();
    detector().injectFault(3, Fault{FaultKind::NotAcknowledged}, 1);
    w().btnrseepClick();
    EXPECT_EQ(console(), Lines{">>QOB Error [20] impossible to read/write device eeprom"});
    EXPECT_EQ(grid(17), "0");
    EXPECT_TRUE(w().btnrseep.Enabled);
}

TEST_F(EepromPage, WritingAnUneditedReadAsksNothing) {
    connect();
    w().btnrseepClick();
    const std::vector<uint8_t> before = detector().eepromBytes(0, 512);
    w().clearConsole();
    w().actionOk = 0;
    w().Button28Click(&w().Button28);
    EXPECT_EQ(console(), Lines{">>Bytes 0-511 written!"});
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(w().actionOk, 1);
    EXPECT_EQ(detector().eepromBytes(0, 512), before);
    EXPECT_EQ(detector().requestCount(4), 3);  // LOW, FCT, CFG
    EXPECT_TRUE(w().Button28.Enabled);
}

TEST_F(EepromPage, ChecksumDialogAnswersDecideWhatTheCfgWriteSends) {
    struct Case {
        const char* what;
        std::vector<bool> answers;  // Yes = true
        int dialogs;
        Lines console;
        bool written;
        bool sealed;
    };
    // clang-format off
    const Case cases[] = {
        {"yes, correct", {true, true}, 2, {">>e2p bytes 0-511 checksums updated", ">>Bytes 0-511 written!"}, true, true},
        {"yes, keep", {true, false}, 2, {">>Bytes 0-511 written!"}, true, false},
        {"no", {false}, 1, {}, false, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model([](DetectorModel&) {});
        detector().withModel([](DetectorModel& m) { m.eeprom = m.backup; });
        connect();
        w().btnrseepClick();
        const uint8_t original495 = deviceByte(495);
        const int stored = std::stoi(grid(300));
        setGrid(300, std::to_string((stored + 1) % 256));
        setGrid(10, "99");  // LOW range: a CFG write leaves it alone
        const uint8_t device10 = deviceByte(10);
        for (bool yes : c.answers) yes ? host.answerYes() : host.answerNo();
        host.shown.clear();
        w().clearConsole();
        w().actionOk = 0;
        w().Button28Click(&w().Button158);

        ASSERT_EQ(host.shown.size(), static_cast<size_t>(c.dialogs));
        EXPECT_EQ(host.shown[0].text, "Checksum values are wrong. Write EEPROM anyway?");
        EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Warning);
        EXPECT_EQ(host.shown[0].buttons, DialogButtons::YesNo);
        if (c.dialogs > 1) { EXPECT_EQ(host.shown[1].text, "Correct checksum values?"); }
        EXPECT_EQ(console(), c.console);
        EXPECT_EQ(w().actionOk, c.written ? 1 : 0);
        EXPECT_EQ(deviceByte(300), c.written ? (stored + 1) % 256 : stored);
        const uint8_t corrected = static_cast<uint8_t>(original495 + 1);
        EXPECT_EQ(deviceByte(495), c.sealed ? corrected : original495);
        EXPECT_EQ(grid(495), std::to_string(c.sealed ? corrected : original495));
        EXPECT_EQ(deviceByte(10), device10);
        EXPECT_TRUE(w().Button158.Enabled);
        w().Button2Click();
    }
    EXPECT_TRUE(host.unscripted.empty());
}

TEST_F(EepromPage, EachWriteButtonSendsItsRangesOnly) {
    struct Case {
        const char* what;
        TButton TFrmTestQOB::*button;
        bool low, fct, cfg;
    };
    const Case cases[] = {
        {"write", &TFrmTestQOB::Button28, true, true, true},
        {"LOB", &TFrmTestQOB::Button156, true, false, false},
        {"FCT", &TFrmTestQOB::Button157, false, true, false},
        {"CFG", &TFrmTestQOB::Button158, false, false, true},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AreaBytes old = changeOneByteInEachArea();
        TButton& button = w().*c.button;
        w().Button28Click(&button);
        EXPECT_EQ(console(), Lines{">>Bytes 0-511 written!"});
        expectWritten(old, c.low, c.fct, c.cfg);
        // Put the detector back for the next case.
        detector().withModel([](DetectorModel& m) { m.eeprom = m.backup; });
    }
    EXPECT_TRUE(host.shown.empty());
}

TEST_F(EepromPage, GridValuesAreWrittenByTheirLowByte) {
    connect();
    w().btnrseepClick();
    setGrid(100, "256");
    setGrid(101, "-1");
    setGrid(102, " 7 ");
    w().Button28Click(&w().Button156);
    EXPECT_EQ(deviceByte(100), 0);
    EXPECT_EQ(deviceByte(101), 255);
    EXPECT_EQ(deviceByte(102), 7);
}

TEST_F(EepromPage, AValueThatIsNotAnIntegerStopsWriteAndUpdChkBeforeAnything) {
    connect();
    w().btnrseepClick();
    setGrid(17, "abc");
    const int writes = detector().requestCount(4);
    w().clearConsole();
    w().Button28Click(&w().Button28);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, "'abc' is not a valid integer value (byte 17)");
    EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Error);
    EXPECT_TRUE(w().Button28.Enabled);

    const Lines gridBefore = gridLines();
    w().Button3Click();
    EXPECT_EQ(lastMessage(), "'abc' is not a valid integer value (byte 17)");
    EXPECT_EQ(gridLines(), gridBefore);
    EXPECT_TRUE(w().Button3.Enabled);
    EXPECT_EQ(detector().requestCount(4), writes);
    EXPECT_TRUE(console().empty());
}

TEST_F(EepromPage, UpdChkSealsTheGridWithoutAConnection) {
    setGrid(0, "5");
    setGrid(256, "9");
    setGrid(300, "2");
    w().Button3Click();
    EXPECT_EQ(grid(48), "6");    // 1 + 5
    EXPECT_EQ(grid(275), "12");  // 3 + 9
    EXPECT_EQ(grid(495), "7");   // 5 + 2
    EXPECT_EQ(gridLines().size(), 512u);
    EXPECT_TRUE(console().empty());
}

TEST_F(EepromPage, AFailedWriteReportsTheLibraryError) {
    connect();
    w().btnrseepClick();
    w().clearConsole();
    w().actionOk = 0;
    detector().injectFault(4, Fault{FaultKind::NotAcknowledged}, 1);
    w().Button28Click(&w().Button28);
    EXPECT_EQ(console(), Lines{">>QOB Error [20] impossible to read/write device eeprom"});
    EXPECT_EQ(w().actionOk, 0);
    EXPECT_TRUE(w().Button28.Enabled);
}

TEST_F(EepromPage, AWriteThatStopsPartWaySaysWhichRangesTheDetectorNowHolds) {
    const std::string eepromError = ">>QOB Error [20] impossible to read/write device eeprom";
    struct Case {
        const char* what;
        int code;  // the request that goes wrong
        Fault fault;
        std::string error;  // the standard error line
        std::string stopped;
        bool low, fct, cfg;  // ranges changed on the detector
    };
    const Case cases[] = {
        {"FCT refused", 4, Fault{FaultKind::NotAcknowledged, 1, 0, 0x13, 1}, eepromError,
         ">>Write stopped: bytes 0-255 written, bytes 256-275 not written, bytes 276-511 not written", true, false,
         false},
        {"CFG refused", 4, Fault{FaultKind::NotAcknowledged, 1, 0, 0x13, 2}, eepromError,
         ">>Write stopped: bytes 0-255 written, bytes 256-275 written, bytes 276-511 not written", true, true, false},
        {"FCT written, answer garbled", 4, Fault{FaultKind::BadChecksum, 1, 0, 0x13, 1}, eepromError,
         ">>Write stopped: bytes 0-255 written, bytes 256-275 not confirmed, bytes 276-511 not written", true, true,
         false},
        {"FCT read back wrong", 3, Fault{FaultKind::WrongData, 1, 0, 0x13, 1}, ">>QOB Error [0] unknown error",
         ">>Write stopped: bytes 0-255 written, bytes 256-275 not confirmed, bytes 276-511 not written", true, true,
         false},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AreaBytes old = changeOneByteInEachArea();
        w().actionOk = 0;
        detector().injectFault(c.code, c.fault, 1);
        w().Button28Click(&w().Button28);
        EXPECT_EQ(console(), (Lines{c.error, c.stopped}));
        EXPECT_EQ(w().actionOk, 0);
        expectWritten(old, c.low, c.fct, c.cfg);
        detector().withModel([](DetectorModel& m) { m.eeprom = m.backup; });
    }

    // A single range that fails says no more than the error line.
    w().btnrseepClick();
    w().clearConsole();
    detector().injectFault(4, Fault{FaultKind::BadChecksum}, 1);
    w().Button28Click(&w().Button158);
    EXPECT_EQ(console(), Lines{eepromError});
}

// ---- restores and backup ---------------------------------------------------

TEST_F(EepromPage, AreaRestoresBringTheBackupBackAndRefreshTheGrid) {
    struct Case {
        const char* what;
        void (TFrmTestQOB::*click)();
        int address;  // a byte of the area
        const char* line;
        int actionOk;
    };
    const Case cases[] = {
        {"FCT", &TFrmTestQOB::Button26Click, 260, ">>Device e2p [FCT] area restored", 0},
        {"CFG", &TFrmTestQOB::Button32Click, 300, ">>Device e2p [CFG] area restored", 0},
        {"LOB", &TFrmTestQOB::Button33Click, 10, ">>Device e2p [LOB] area restored", 0},
        {"ALL", &TFrmTestQOB::Button35Click, 300, ">>Device e2p restored", 1},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t saved = 0;
        detector().withModel([&](DetectorModel& m) {
            saved = m.backup[static_cast<size_t>(c.address)];
            m.eeprom[static_cast<size_t>(c.address)] = static_cast<uint8_t>(saved + 1);
        });
        w().clearConsole();
        w().actionOk = 0;
        (w().*c.click)();
        EXPECT_EQ(console(), (Lines{c.line, ">>Bytes 0-511 read!"}));
        EXPECT_EQ(deviceByte(c.address), saved);
        EXPECT_EQ(grid(c.address), std::to_string(saved));
        EXPECT_EQ(w().actionOk, c.actionOk);
    }
    EXPECT_TRUE(w().Button26.Enabled && w().Button32.Enabled && w().Button33.Enabled && w().Button35.Enabled);
}

TEST_F(EepromPage, ARefusedRestoreLeavesTheGridAlone) {
    connect();
    detector().withModel([](DetectorModel& m) { m.backup[275] = static_cast<uint8_t>(m.backup[275] + 1); });
    w().clearConsole();
    w().Button26Click();
    EXPECT_EQ(console(), Lines{">>QOB Error [21] device backup eeprom area contains not valid data"});
    EXPECT_EQ(grid(260), "0");
    EXPECT_TRUE(w().Button26.Enabled);
}

TEST_F(EepromPage, OnfRestoreClearsTheLogAndReportsAFailingClear) {
    connect();
    w().clearConsole();
    w().actionOk = 0;
    w().Button34Click();
    EXPECT_EQ(console(), Lines{">>Device e2p [ONF] area restored"});
    EXPECT_EQ(w().actionOk, 1);
    EXPECT_EQ(detector().requestCount(22), 1);
    EXPECT_EQ(grid(17), "0");  // no grid refresh

    w().clearConsole();
    w().actionOk = 0;
    detector().injectFault(22, Fault{FaultKind::NotAcknowledged}, 1);
    w().Button34Click();
    EXPECT_EQ(console(), Lines{">>QOB Error [18] impossible to read/write log area"});
    EXPECT_EQ(w().actionOk, 0);
    EXPECT_TRUE(w().Button34.Enabled);
}

TEST_F(EepromPage, BackupUpdateCopiesTheAreasOrReportsWhyNot) {
    connect();
    model([](DetectorModel& m) { m.eeprom[300] = static_cast<uint8_t>(m.eeprom[300] + 3); });
    w().clearConsole();
    w().actionOk = 0;
    w().Button31Click();
    EXPECT_EQ(console(), Lines{">>Device backup area updated"});
    EXPECT_EQ(w().actionOk, 1);
    detector().withModel([](DetectorModel& m) { EXPECT_EQ(m.backup[300], m.eeprom[300]); });

    w().clearConsole();
    w().actionOk = 0;
    detector().injectFault(31, Fault{FaultKind::NotAcknowledged}, 1);
    w().Button31Click();
    EXPECT_EQ(console(), Lines{">>QOB Error [20] impossible to read/write device eeprom"});
    EXPECT_EQ(w().actionOk, 0);
    EXPECT_TRUE(w().Button31.Enabled);
}

TEST_F(EepromPage, RefreshAsksTheDetectorToReloadItsCopy) {
    connect();
    w().clearConsole();
    w().btnRefreshE2PClick();
    EXPECT_EQ(console(), Lines{">>ASD eeprom refreshed!"});
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.reloadCount; }), 1);
    detector().injectFault(7, Fault{FaultKind::NotAcknowledged}, 1);
    w().btnRefreshE2PClick();
    EXPECT_EQ(console().back(), ">>QOB Error [8] device doesn't acknowledge to command");
}

// ---- clear grids ------------------------------------------------------------

TEST_F(EepromPage, ClearButtonsRebuildTheGridsWithZeros) {
    setGrid(17, "abc");
    w().vleE2P.Strings.Delete(300);
    w().vleE2P_log.setValue("1030", "9");
    w().Button25Click();
    w().btnClearE2P_logClick();
    EXPECT_EQ(console(), (Lines{">>EEPROM grid values cleared!", ">>Grid values cleared!"}));
    EXPECT_EQ(gridLines().size(), 512u);
    EXPECT_EQ(grid(17), "0");
    EXPECT_EQ(gridLines()[300], "300=0");
    EXPECT_EQ(logGrid(1030), "0");
    EXPECT_EQ(w().vleE2P_log.Strings.Count(), 64);
}

// ---- image files ---------------------------------------------------------------

TEST_F(EepromPage, ExportAndImportRoundTripARead) {
    model([](DetectorModel& m) {
        m.eeprom[0] = 12;
        m.eeprom[2] = 255;
    });
    connect();
    w().btnrseepClick();
    ASSERT_EQ(gridLines().size(), 512u);
    const Lines read = gridLines();
    const std::string path = work->path() + "/image.e2p";
    host.answerFile(path);
    w().btnExportE2PClick();
    const std::string file = work->read("image.e2p");
    EXPECT_EQ(file.rfind("0=12\r\n1=" + std::to_string(deviceByte(1)) + "\r\n2=255\r\n3=", 0), 0u);
    EXPECT_EQ(file.substr(file.size() - 2), "\r\n");

    w().Button25Click();
    w().clearConsole();
    w().actionOk = 0;
    host.answerFile(path);
    w().btnImportE2PClick();
    EXPECT_EQ(gridLines(), read);
    EXPECT_EQ(console(), Lines{">>Grid values updated!"});
    EXPECT_EQ(w().actionOk, 1);
    const auto& dialog = host.shown.back().file;
    EXPECT_EQ(dialog.Title, "Load EEPROM (bytes 0-511) file");
    EXPECT_EQ(dialog.Filter, "EEPROM files (*.e2p)|*.e2p");
    EXPECT_EQ(dialog.DefaultExt, "e2p");
    EXPECT_EQ(dialog.FileName, "");

    // The imported grid writes like a read one: checksums right, no dialog.
    w().Button28Click(&w().Button28);
    EXPECT_EQ(console().back(), ">>Bytes 0-511 written!");
}

TEST_F(EepromPage, ImportKeepsTheFilesRowsAndTheirTextsInOrder) {
    // A hand-made image: reversed rows, blanks and signs in values, a
    // UTF-8 mark; the grid takes the rows as they are.
    std::string text = "\xEF\xBB\xBF";
    for (int i = 511; i >= 0; --i) text += std::to_string(i) + "=" + (i == 5 ? " +5 " : std::to_string(i % 256)) + "\n";
    work->write("hand.e2p", text);
    host.answerFile(work->path() + "/hand.e2p");
    w().btnImportE2PClick();
    ASSERT_EQ(gridLines().size(), 512u);
    EXPECT_EQ(gridLines()[0], "511=255");
    EXPECT_EQ(grid(5), " +5 ");
    EXPECT_EQ(w().actionOk, 1);
}

TEST_F(EepromPage, ImportReadsUtf16Files) {
    for (bool bigEndian : {false, true}) {
        const std::string ascii = imageText([](int i) { return std::to_string(i / 2); });
        std::string file = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : ascii) {
            if (bigEndian) file.push_back('\0');
            file.push_back(c);
            if (!bigEndian) file.push_back('\0');
        }
        work->write("wide.e2p", file);
        w().Button25Click();
        host.answerFile(work->path() + "/wide.e2p");
        w().btnImportE2PClick();
        EXPECT_EQ(grid(301), "150") << bigEndian;
        EXPECT_EQ(w().actionOk, 1);
    }
}

TEST_F(EepromPage, ABrokenImageFileIsRefusedAndChangesNothing) {
    const std::string good = imageText([](int i) { return std::to_string(i % 256); });
    std::string duplicate = good;
    duplicate.replace(duplicate.find("\r\n7=7\r\n"), 7, "\r\n6=7\r\n");
    std::string badValue = good;
    badValue.replace(badValue.find("\r\n17=17\r\n"), 9, "\r\n17=x7\r\n");
    std::string binary = good;
    binary[40] = '\0';
    struct Case {
        const char* what;
        std::string content;  // empty name: no file at all
        std::string reason;
    };
    // clang-format off
    const Case cases[] = {
        {"100 rows", imageText([](int) { return "1"; }, 100), "byte 100 is missing (the file holds 100 rows of 512)"},
        {"no equals sign", "0=1\r\nhello\r\n", "line 2: \"hello\" is not byte=value with a byte from 0 to 511"},
        {"byte out of range", good + "512=0\r\n", "line 513: \"512=0\" is not byte=value with a byte from 0 to 511"},
        {"leading zero", "00=1\r\n", "line 1: \"00=1\" is not byte=value with a byte from 0 to 511"},
        {"duplicate", duplicate, "line 8: byte 6 appears twice"},
        {"value", badValue, "line 18: 'x7' is not a valid integer value"},
        {"empty value", "0=\r\n", "line 1: '' is not a valid integer value"},
        {"binary", binary, "it is not a text file"},
        {"empty", "", "the file is empty"},
        {"cut inside its last line", good.substr(0, good.size() - 3), "the file is cut short: its last line has no line end"},
        {"cut right after an equals sign", good.substr(0, good.size() - 6), "the file is cut short: its last line has no line end"},
        {"UTF-16 cut short", std::string("\xFF\xFE" "0\0=\0" "1\0", 8), "the file is cut short: its last line has no line end"},
        {"odd UTF-16", std::string("\xFF\xFE" "0\0=\0" "1", 7), "the file is not valid UTF-16"},
        {"broken UTF-8", "\xEF\xBB\xBF" "0=\xC3", "the file is not valid UTF-8"},
        {"wide character", "\xEF\xBB\xBF" "0=\xE2\x82\xAC", "the file holds characters an image file never has"},
    };
    // clang-format on
    connect();
    w().btnrseepClick();
    const Lines before = gridLines();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        work->write("broken.e2p", c.content);
        w().clearConsole();
        w().actionOk = 1;
        host.answerFile(work->path() + "/broken.e2p");
        w().btnImportE2PClick();
        EXPECT_EQ(lastMessage(), "Not loaded, the grid is unchanged: " + work->path() + "/broken.e2p\n\n" + c.reason);
        EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error);
        EXPECT_EQ(gridLines(), before);
        EXPECT_TRUE(console().empty());
        EXPECT_EQ(w().actionOk, 0);
    }
}

TEST_F(EepromPage, ImportOfAMissingFileOrAFolderIsRefused) {
    const std::pair<std::string, std::string> cases[] = {
        {work->path() + "/none.e2p", "the file does not exist"},
        {work->path(), "it is not a file"},
    };
    for (const auto& [path, reason] : cases) {
        w().actionOk = 1;
        host.answerFile(path);
        w().btnImportE2PClick();
        EXPECT_EQ(lastMessage(), "Not loaded, the grid is unchanged: " + path + "\n\n" + reason);
        EXPECT_EQ(w().actionOk, 0);
    }
    EXPECT_EQ(grid(17), "0");
    EXPECT_TRUE(console().empty());
}

TEST_F(EepromPage, CancelledFileDialogsDoNothingButClearActionOk) {
    setGrid(17, "5");
    w().actionOk = 1;
    host.answerCancel();
    w().btnImportE2PClick();
    EXPECT_EQ(w().actionOk, 0);
    host.answerCancel();
    w().btnExportE2PClick();
    EXPECT_EQ(grid(17), "5");
    EXPECT_TRUE(console().empty());
    EXPECT_TRUE(work->files().empty());
}

TEST_F(EepromPage, AnExportThatCannotBeWrittenSaysSoAndLogsNothing) {
    const std::string path = work->path() + "/no/such/folder/x.e2p";
    host.answerFile(path);
    w().btnExportE2PClick();
    EXPECT_EQ(lastMessage().rfind("File not saved: " + path + "\n\n", 0), 0u) << lastMessage();
    EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error);
    EXPECT_TRUE(console().empty());
}

// ---- log header block ---------------------------------------------------------

TEST_F(EepromPage, LogHeaderReadFillsItsGrid) {
    connect();
    const std::vector<uint8_t> header = detector().eepromBytes(1024, 64);
    w().clearConsole();
    w().btnReadE2P_logClick();
    EXPECT_EQ(console(), Lines{">>Bytes 1024-1087 read!"});
    ASSERT_EQ(w().vleE2P_log.Strings.Count(), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(w().vleE2P_log.Strings[i],
                  std::to_string(1024 + i) + "=" + std::to_string(header[static_cast<size_t>(i)]));

    detector().injectFault(3, Fault{FaultKind::NotAcknowledged}, 1);
    w().btnClearE2P_logClick();
    w().btnReadE2P_logClick();
    EXPECT_EQ(console().back(), ">>QOB Error [8] device doesn't acknowledge to command");
    EXPECT_EQ(logGrid(1024), "0");
}

TEST_F(EepromPage, LogHeaderWriteSealsByteTheChecksumOnlyWhenTicked) {
    connect();
    for (bool ticked : {true, false}) {
        SCOPED_TRACE(ticked);
        w().btnClearE2P_logClick();
        w().vleE2P_log.setValue("1024", "10");
        w().vleE2P_log.setValue("1030", "300");  // low byte 44
        w().vleE2P_log.setValue("1087", "99");
        w().cboChkOnf.Checked = ticked;
        w().clearConsole();
        w().btnWriteE2P_logClick();
        EXPECT_EQ(console(), Lines{">>Bytes 1024-1087 written!"});
        const std::vector<uint8_t> header = detector().eepromBytes(1024, 64);
        EXPECT_EQ(header[0], 10);
        EXPECT_EQ(header[6], 44);
        EXPECT_EQ(header[63], ticked ? (7 + 10 + 44) : 99);
        EXPECT_EQ(logGrid(1087), "99");
    }
}

TEST_F(EepromPage, LogHeaderWriteRefusesAGridItCannotRead) {
    connect();
    w().vleE2P_log.setValue("1050", "ten");
    w().btnWriteE2P_logClick();
    EXPECT_EQ(lastMessage(), "'ten' is not a valid integer value (byte 1050)");
    w().btnClearE2P_logClick();
    w().vleE2P_log.Strings.Delete(63);
    w().cboChkOnf.Checked = true;  // 1087 is not needed then
    w().clearConsole();
    w().btnWriteE2P_logClick();
    EXPECT_EQ(console(), Lines{">>Bytes 1024-1087 written!"});
    w().cboChkOnf.Checked = false;
    w().btnWriteE2P_logClick();
    EXPECT_EQ(lastMessage(), "Byte 1087 is missing from the grid");
    EXPECT_EQ(detector().requestCount(4), 1);
}

// ---- dump and test buttons ---------------------------------------------------

TEST_F(EepromPage, DumpListsEveryByteBetweenItsBanners) {
    model([](DetectorModel& m) {
        m.eeprom[32767] = 77;
        m.eeprom[1025] = 5;
    });
    connect();
    w().clearConsole();
    w().Button39Click();
    const Lines& got = console();
    ASSERT_EQ(got.size(), 32768u + 2);
    EXPECT_EQ(got.front(), ">>>--EEPROM-------------------");
    EXPECT_EQ(got.back(), "<<<--EEPROM-------------------");
    EXPECT_EQ(got[1], "0=" + std::to_string(deviceByte(0)));
    EXPECT_EQ(got[1 + 1025], "1025=5");
    EXPECT_EQ(got[32768], "32767=77");
}

TEST_F(EepromPage, AFailedDumpBlockEndsTheDumpWithoutTheClosingBanner) {
    connect();
    w().clearConsole();
    Fault fault{FaultKind::NotAcknowledged};
    fault.skip = 5;
    detector().injectFault(36, fault, 1);
    w().Button39Click();
    const Lines& got = console();
    ASSERT_EQ(got.size(), 1u + 5 * 1024 + 1);
    EXPECT_EQ(got[5 * 1024], "5119=" + std::to_string(deviceByte(5119)));
    EXPECT_EQ(got.back(), ">>QOB Error [0] unknown error");
}

TEST_F(EepromPage, TestButtonsChangeSingleBytes) {
    model([](DetectorModel& m) {
        m.eeprom[1023] = 255;
        m.eeprom[3] = 1;
        m.eeprom[500] = 255;
    });
    connect();
    w().clearConsole();
    w().Button40Click();
    EXPECT_EQ(deviceByte(1023), 0);
    w().Button40Click();
    EXPECT_EQ(deviceByte(1023), 1);
    w().Button42Click();
    EXPECT_EQ(deviceByte(3), 255);
    EXPECT_EQ(console(), (Lines{">>Bytes 1023 written!", ">>Bytes 1023 written!", ">>Bytes 3 written!"}));

    w().Button45Click();
    EXPECT_EQ(deviceByte(500), 0);
    EXPECT_TRUE(console().empty());  // cleared first
    EXPECT_EQ(lastMessage(), "Done!");
    w().Button45Click();
    EXPECT_EQ(deviceByte(500), 1);
}

TEST_F(EepromPage, TestButtonFailuresWriteTheErrorLine) {
    connect();
    detector().injectFault(3, Fault{FaultKind::NotAcknowledged}, 1);
    w().clearConsole();
    w().Button40Click();
    detector().injectFault(5, Fault{FaultKind::NotAcknowledged}, 1);
    w().Button42Click();
    EXPECT_EQ(console(), (Lines{">>QOB Error [8] device doesn't acknowledge to command",
                                ">>QOB Error [8] device doesn't acknowledge to command"}));
    EXPECT_EQ(detector().requestCount(4), 0);

    detector().injectFault(36, Fault{FaultKind::NotAcknowledged}, 1);
    host.shown.clear();
    w().Button45Click();
    EXPECT_EQ(console(), Lines{">>QOB Error [0] unknown error"});
    EXPECT_TRUE(host.shown.empty());
}

// ---- cell drawing ------------------------------------------------------------------

TEST_F(EepromPage, CellsShowDecimalHexAndBitsAndMarkTheChecksumRows) {
    setGrid(7, "12");
    setGrid(8, "256");
    setGrid(9, "abc");
    struct Case {
        int col, row;
        std::string text;
        uint32_t background, colour;
    };
    const Case cases[] = {
        {0, 0, std::string("Description") + std::string(39, ' ') + "|#Byte", 0xF0F0F0, 0x000000},
        {1, 0, "DEC|HEX|BIN 76543210", 0xF0F0F0, 0x000000},
        {0, 8, "7  |", 0xF0F0F0, 0x000000},
        {1, 8, "12 | 0C|    00001100", 0xFFFFFF, 0x000000},
        {1, 9, "256| 100|    00000000", 0xFFFFFF, 0x000000},
        {1, 10, "abc|", 0xFFFFFF, 0x000000},
        {0, 49, "48 |", 0xF0F0F0, 0x0000FF},
        {1, 49, "0  | 00|    00000000", 0xFFFF00, 0x000000},
        {0, 276, "275|", 0xF0F0F0, 0x0000FF},
        {1, 496, "0  | 00|    00000000", 0xFFFF00, 0x000000},
        {1, 497, "0  | 00|    00000000", 0xFFFFFF, 0x000000},
    };
    for (const Case& c : cases) {
        const TFrmTestQOB::E2PCell cell = w().vleE2PDrawCell(c.col, c.row);
        EXPECT_EQ(cell.text, c.text) << c.col << "," << c.row;
        EXPECT_EQ(cell.style.background, c.background) << c.col << "," << c.row;
        EXPECT_EQ(cell.style.text, c.colour) << c.col << "," << c.row;
    }
    EXPECT_EQ(w().vleE2P.OnDrawCell(1, 49).background, 0xFFFF00u);
}

}  // namespace

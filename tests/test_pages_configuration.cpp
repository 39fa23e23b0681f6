// The configuration pages against the virtual detector: "get all
// parameters" fills every control from the image, "update configuration"
// stores the controls and writes the CFG area, "restore parameters"
// reloads it; refused groups, conversion errors, an invalid image and a
// failed write.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/status.h"
#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

// clang-format off
const Lines kGroupButtons = {
    "btnPwd",       "btnCfg",        "btnChEnable",  "btnSenEn",     "btnDisTim",      "btnMaintTime",
    "btnTrendLogTime", "btnMirrEn",  "btnSuppl",     "btnCommChSe",  "btnSndCutoff",   "btnLtAlarm",
    "btnAlarmDelay", "btnAuxRelCh2", "btnChLabel",   "btnFlows",     "btnFil",         "btnFan",
    "btnLatFau",    "btnFauDel",     "btnFloFauDel", "btnPowResTim", "btnFanSp",       "btnPressure",
    "btnAuxLt",     "btnExtInp",     "btnExtEv",     "btnSensDisTime", "btdsen",       "btndldate",
    "btnAuxEv",     "btnAlMode",     "btnSeTimeout", "btnRemOutTime", "btnWeekD",      "btnhd",
    "btnPrealDelay", "btnCasAl",     "btnDayNig",    "btnSndac",     "btnallev",       "btnDayNight"};
// clang-format on

const std::string kRefused = ">>QOB Error [13] bad library function call";
const std::string kInvalidImage = ">>QOB Error [22] device eeprom data are not valid";

// What a control shows, as text: an edit's text, "x" / "-" for a check
// box, the item index of a radio group, a track bar's position.
std::string shown(TFrmTestQOB& w, const std::string& name) {
    Control* c = w.FindComponent(name);
    if (auto* edit = dynamic_cast<TEdit*>(c)) return edit->Text;
    if (auto* box = dynamic_cast<TCheckBox*>(c)) return box->Checked ? "x" : "-";
    if (auto* radio = dynamic_cast<TRadioGroup*>(c)) return std::to_string(radio->ItemIndex);
    if (auto* bar = dynamic_cast<TTrackBar*>(c)) return std::to_string(bar->Position);
    if (auto* label = dynamic_cast<TLabel*>(c)) return label->Caption;
    return "<no control " + name + ">";
}

void setControl(TFrmTestQOB& w, const std::string& name, const std::string& value) {
    Control* c = w.FindComponent(name);
    if (auto* edit = dynamic_cast<TEdit*>(c))
        edit->Text = value;
    else if (auto* box = dynamic_cast<TCheckBox*>(c))
        box->Checked = value == "x";
    else if (auto* radio = dynamic_cast<TRadioGroup*>(c))
        radio->ItemIndex = std::stoi(value);
    else if (auto* bar = dynamic_cast<TTrackBar*>(c))
        bar->Position = std::stoi(value);
    else
        ADD_FAILURE() << "no settable control " << name;
}

struct Shows {
    const char* control;
    std::string text;
};

// The virtual detector's default configuration as the controls show it.
// clang-format off
const std::vector<Shows> kDefaultShown = {
    {"edtPwd", "5382"},
    {"edtCfg", "001|14/03/17 10:30:00"},
    {"cbCh1Enabled", "x"}, {"cbCh2Enabled", "x"}, {"cbSe1Enabled", "x"}, {"cbSe2Enabled", "x"},
    {"edtDisTime", "30"}, {"edtMaintTime", "10"}, {"edtTrendLogTime", "60"},
    {"cbMirrEn", "-"}, {"cbSupp", "-"}, {"cbCommChSe", "-"}, {"edtSndCufoff", "12"},
    {"cbLtAlarm1", "-"}, {"cbLtAlarm2", "-"}, {"edtAlarmDelay", "5"}, {"cbAuxRelCh2", "-"},
    {"edtCh1Label", "CHANNEL 1       "}, {"edtCh2Label", "CHANNEL 2       "},
    {"edtCh1FlowMin", "50"}, {"edtCh2FlowMin", "50"}, {"edtCh1FlowMax", "150"}, {"edtCh2FlowMax", "150"},
    {"edtCh1FlowRef", "100"}, {"edtCh2FlowRef", "100"},
    {"edtFil1", "14/03/19"}, {"edtFil2", "14/03/19"},
    {"cbFan1", "x"}, {"cbFan2", "x"},                 // manual fan 0: automatic
    {"cbLatFau", "-"},                                // 1: faults not latched
    {"edtFauDel", "30"}, {"edtFloFauDel", "60"}, {"edtPowResTim", "10"},
    {"tbFanSp1", "6"}, {"tbFanSp2", "6"}, {"lbFanSp1", "6"}, {"lbFanSp2", "6"},
    {"edtPressure", "101325"},
    {"cbAuxLt", "x"},                                 // 0: latched
    {"cbExtInp", "-"}, {"rgExtInp", "0"}, {"edtSensDisTime", "60"},
    {"rgdsen", "2"}, {"edtdldatest", "25/03 02:00"}, {"edtdldateend", "28/10 03:00"},
    {"cbAuxTemp", "-"}, {"cbAuxExtInp", "x"}, {"cbAuxLowPow", "-"}, {"cbAuxFlowFault", "x"},
    {"cbAuxSens", "-"}, {"cbAuxPowRes", "-"},
    {"rgAlMode", "0"}, {"edtSeTimeout", "30"}, {"edtRemOutTime", "20"},
    {"cbDnMon", "-"}, {"cbDnTue", "-"}, {"cbDnWed", "-"}, {"cbDnThu", "-"}, {"cbDnFri", "-"},
    {"cbDnSat", "x"}, {"cbDnSun", "x"},
    {"edthd0", "01/01"}, {"edthd1", "25/12"}, {"edthd2", "26/12"}, {"edthd3", "00/00"}, {"edthd19", "00/00"},
    {"edtPrealDelay", "10"}, {"cbCasAl", "-"}, {"edtDaySt", "08:00"}, {"edtDayEnd", "20:00"}, {"cbSndac", "-"},
    {"edtalday1", "5"}, {"edtalday2", "5"}, {"edtpalday1", "3"}, {"edtpalday2", "3"},
    {"edtalnig1", "6"}, {"edtalnig2", "6"}, {"edtpalnig1", "4"}, {"edtpalnig2", "4"},
    {"cbDayNight", "-"},
};
// clang-format on

Lines repeated(const std::string& line, size_t n) { return Lines(n, line); }

// The update's console: each button name followed by what its group wrote.
Lines updateConsole(const std::function<Lines(const std::string&)>& linesOf, const std::string& last) {
    Lines out;
    for (const auto& name : kGroupButtons) {
        out.push_back(name);
        for (const auto& line : linesOf(name)) out.push_back(line);
    }
    out.push_back(last);
    return out;
}

class ConfigurationPages : public SimWindowTest {
protected:
    void model(const std::function<void(DetectorModel&)>& change) {
        detector().withModel([&](DetectorModel& m) {
            change(m);
            m.sealAreas();
        });
    }
    std::vector<uint8_t> cfgOnDetector() { return detector().eepromBytes(276, 220); }
    bool cfgChecksumOk() {
        return detector().withModel([](DetectorModel& m) { return m.areaValid(276, 220, 495, 5); });
    }
    uint8_t byteOnDetector(int address) { return detector().eepromBytes(address, 1)[0]; }
    // Runs one group in write mode, as "update configuration" would.
    void writeGroup(TButton& button) {
        button.Tag = 1;
        button.OnClick();
    }
};

// ---- get all parameters -----------------------------------------------

TEST_F(ConfigurationPages, GetAllShowsTheDetectorsConfigurationInEveryControl) {
    connect();
    const int reads = detector().requestCount(cmd::ReadEeprom);
    w().addConsoleLine("earlier line");
    w().btnGetAllClick();
    EXPECT_EQ(console(), repeated(">>ok", 42));
    for (const Shows& s : kDefaultShown) EXPECT_EQ(shown(w(), s.control), s.text) << s.control;
    // Reading sends nothing: the image came with the connect.
    EXPECT_EQ(detector().requestCount(cmd::ReadEeprom), reads);
}

TEST_F(ConfigurationPages, GetAllShowsStoredOddValuesAsTheControlsCan) {
    model([](DetectorModel& m) {
        for (int a = 309; a <= 348; ++a) m.eeprom[a] = 0;     // no holidays
        for (int a = 472; a <= 475; ++a) m.eeprom[a] = 0xFF;  // pressure above 2^31
        m.eeprom[283] = 150;                                  // stamp year > 99 reads as 11
        m.eeprom[426] = 7;                                    // no such daylight mode
        m.eeprom[455] = 200;                                  // fan speed beyond the bar
        m.eeprom[422] = 5;                                    // inverted box: only 0 ticks
        m.eeprom[295] = 0;                                    // offset box: all but 1 tick
        // first set byte wins
        m.eeprom[466] = 0;
        m.eeprom[467] = 1;
        m.eeprom[468] = 1;
        m.eeprom[351] = 2;                          // by module
        const char label[16] = {'A', 'B', 0, 'C'};  // ends at the zero byte
        for (int i = 0; i < 16; ++i) m.eeprom[372 + i] = static_cast<uint8_t>(label[i]);
    });
    connect();
    w().btnGetAllClick();
    EXPECT_EQ(console(), repeated(">>ok", 42));
    // clang-format off
    const std::vector<Shows> cases = {
        {"edthd0", "00/00"}, {"edthd7", "00/00"}, {"edthd19", "00/00"},
        {"edtPressure", "4294967295"},
        {"edtCfg", "001|14/03/11 10:30:00"},
        {"rgdsen", "2"},
        {"tbFanSp2", "10"}, {"lbFanSp2", "10"},
        {"cbFan1", "-"}, {"cbSupp", "x"},
        {"rgExtInp", "1"}, {"rgAlMode", "1"},
        {"edtCh1Label", "AB"},
    };
    // clang-format on
    for (const Shows& s : cases) EXPECT_EQ(shown(w(), s.control), s.text) << s.control;
}

TEST_F(ConfigurationPages, DriversNeedAConnection) {
    const std::vector<std::pair<const char*, std::function<void(TFrmTestQOB&)>>> drivers = {
        {"get all", [](TFrmTestQOB& w) { w.btnGetAllClick(); }},
        {"update", [](TFrmTestQOB& w) { w.btnUpdateCfgClick(); }},
        {"restore", [](TFrmTestQOB& w) { w.btnRestoreCfgClick(); }},
        {"one group", [](TFrmTestQOB& w) { w.btnPwdClick(); }},
    };
    for (const auto& [what, run] : drivers) {
        w().clearConsole();
        w().addConsoleLine("earlier line");
        run(w());
        EXPECT_EQ(console(), (Lines{"earlier line", ">>Not connected!"})) << what;
    }
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 0);
}

// ---- update configuration ---------------------------------------------

TEST_F(ConfigurationPages, UpdateAfterGetAllWritesTheSameConfigurationBack) {
    connect();
    const auto before = cfgOnDetector();
    w().btnGetAllClick();
    w().btnUpdateCfgClick();
    EXPECT_EQ(console(), updateConsole([](const std::string&) { return Lines{">>ok"}; }, ">>Configuration updated"));
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 1);
    EXPECT_EQ(cfgOnDetector(), before);
    EXPECT_TRUE(w().btnUpdateCfg.Enabled);
}

TEST_F(ConfigurationPages, UpdateStoresEachControlInItsBytes) {
    connect();
    w().btnGetAllClick();
    // clang-format off
    const std::vector<std::pair<const char*, std::string>> edits = {
        {"edtPwd", "1234"},
        {"edtCfg", "300|31/12/16 23:59:07"},
        {"edtCh1Label", "Zone A"},
        {"edtCh2Label", "12345678901234567890"},
        {"edtPressure", "110000"},
        {"rgExtInp", "3"},
        {"rgAlMode", "1"},
        {"rgdsen", "0"},
        {"cbFan1", "-"},
        {"cbLatFau", "x"},
        {"cbAuxLt", "-"},
        {"cbSupp", "x"},
        {"cbCommChSe", "x"},
        {"cbDnMon", "x"},
        {"cbAuxTemp", "x"},
        {"edtSensDisTime", "1440"},
        {"tbFanSp1", "10"},
        {"edthd5", "29/02"},
        {"edtDaySt", "07:15"},
        {"edtdldatest", "31/03 01:30"},
        {"edtFil2", "29/02/12"},
        {"edtCh2FlowMin", "20"}, {"edtCh2FlowRef", "60"}, {"edtCh2FlowMax", "250"},
        {"edtpalnig2", "9"},
        {"edtPowResTim", "255"},
        {"edtPrealDelay", "240"},
    };
    // clang-format on
    for (const auto& [name, value] : edits) setControl(w(), name, value);
    w().btnUpdateCfgClick();
    ASSERT_EQ(console().back(), ">>Configuration updated");
    for (const auto& line : console()) EXPECT_TRUE(line.rfind(">>QOB", 0) != 0 && line != "EXCEPTION") << line;

    // clang-format off
    const std::vector<std::pair<int, int>> bytes = {
        {276, 1}, {277, 2}, {278, 3}, {279, 4},
        {280, 44}, {281, 31}, {282, 12}, {283, 16}, {284, 23}, {285, 59}, {286, 7},
        {372, 'Z'}, {377, 'A'}, {378, ' '}, {387, ' '}, {388, '1'}, {403, '6'},
        {472, 0xB0}, {473, 0xAD}, {474, 0x01}, {475, 0x00},
        {466, 0}, {467, 0}, {468, 0}, {469, 1},
        {351, 2}, {426, 0}, {422, 1}, {423, 0}, {437, 0}, {464, 1}, {295, 2}, {349, 2},
        {302, 1}, {457, 1},
        {470, 160}, {471, 5},
        {454, 10}, {455, 6},
        {319, 29}, {320, 2},
        {298, 7}, {299, 15}, {300, 20}, {301, 0},
        {427, 31}, {428, 3}, {430, 1}, {431, 30},
        {419, 29}, {420, 2}, {421, 12},
        {414, 20}, {406, 60}, {410, 250},
        {366, 9}, {442, 255}, {354, 240},
    };
    // clang-format on
    for (const auto& [address, value] : bytes) EXPECT_EQ(byteOnDetector(address), value) << "byte " << address;
    EXPECT_TRUE(cfgChecksumOk());
}

TEST_F(ConfigurationPages, UpdateReportsEachRefusedOrUnreadableGroupAndWritesTheRest) {
    connect();
    w().btnGetAllClick();
    const auto before = cfgOnDetector();
    w().edtPwd.Text = "";                     // conversion error
    w().edtCfg.Text = "5|01/02/16 10:00:00";  // "5|0" is no number
    w().cbCh2Enabled.Checked = false;         // accepted, clears sensor 2
    w().tbFanSp1.Position = 0;                // speeds are 1..10
    w().edtDaySt.Text = "08:30";              // start hour must be below end hour
    w().edtDayEnd.Text = "08:45";
    w().edtCh1Label.Text = "Zon\xE9";  // not ASCII
    w().edtDisTime.Text = "45";        // accepted
    w().btnUpdateCfgClick();

    // clang-format off
    const std::map<std::string, Lines> special = {
        {"btnPwd", {"EXCEPTION"}},  {"btnCfg", {"EXCEPTION"}}, {"btnSenEn", {kRefused}},
        {"btnFanSp", {kRefused}},   {"btnDayNig", {kRefused}}, {"btnChLabel", {kRefused}},
    };
    // clang-format on
    EXPECT_EQ(console(), updateConsole(
                             [&](const std::string& name) {
                                 auto it = special.find(name);
                                 return it == special.end() ? Lines{">>ok"} : it->second;
                             },
                             ">>Configuration updated"));
    const auto after = cfgOnDetector();
    for (int a = 276; a < 495; ++a) {
        const int expected = a == 288 ? 0 : a == 290 ? 0 : a == 291 ? 45 : before[static_cast<size_t>(a - 276)];
        EXPECT_EQ(after[static_cast<size_t>(a - 276)], expected) << "byte " << a;
    }
    EXPECT_TRUE(cfgChecksumOk());
}

TEST_F(ConfigurationPages, OneChannelDetectorRefusesTheSecondChannel) {
    model([](DetectorModel& m) {
        m.eeprom[257] = 1;
        m.eeprom[288] = 0;
        m.eeprom[290] = 1;
    });
    connect();
    w().btnGetAllClick();
    ASSERT_EQ(console(), repeated(">>ok", 42));
    w().cbCh2Enabled.Checked = true;
    writeGroup(w().btnChEnable);
    EXPECT_EQ(console().back(), kRefused);
    w().cbCh2Enabled.Checked = false;
    w().cbSe1Enabled.Checked = false;
    w().cbSe2Enabled.Checked = false;
    writeGroup(w().btnChEnable);
    EXPECT_EQ(console().back(), ">>ok");
    // One channel, two sensors: at least one sensor.
    writeGroup(w().btnSenEn);
    EXPECT_EQ(console().back(), kRefused);
    w().cbSe2Enabled.Checked = true;
    writeGroup(w().btnSenEn);
    EXPECT_EQ(console().back(), ">>ok");
}

// ---- single groups: conversions and the accessors' rules ----------------

TEST_F(ConfigurationPages, GroupsInWriteModeAcceptOrRefuseLikeTheirAccessors) {
    connect();
    w().btnGetAllClick();
    struct Case {
        const char* control;
        std::string text;
        const char* button;
        std::string line;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"edtFil1", "29/02/12", "btnFil", ">>ok"},
        {"edtFil1", "29/02/13", "btnFil", kRefused},
        {"edtFil1", "01/01/10", "btnFil", kRefused},
        {"edtPowResTim", "240", "btnPowResTim", ">>ok"},
        {"edtPowResTim", "241", "btnPowResTim", kRefused},
        {"edtPowResTim", "254", "btnPowResTim", kRefused},
        {"edtPressure", "68758", "btnPressure", ">>ok"},
        {"edtPressure", "68757", "btnPressure", kRefused},
        {"edtPressure", "110001", "btnPressure", kRefused},
        {"edtPressure", "-1", "btnPressure", kRefused},
        {"edtdldatest", "29/02 01:00", "btndldate", kRefused},
        {"edtdldateend", "29/02 01:00", "btndldate", kRefused},
        {"edthd3", "30/02", "btnhd", kRefused},
        {"edthd3", "31/04", "btnhd", kRefused},
        {"edthd3", "00/05", "btnhd", ">>ok"},
        {"edthd3", "29/02", "btnhd", ">>ok"},
        {"edtCh1FlowMin", "100", "btnFlows", kRefused},   // minimum = reference
        {"edtCh1FlowMin", "0", "btnFlows", kRefused},
        {"edtCh1FlowMax", "251", "btnFlows", kRefused},
        {"edtSensDisTime", "0", "btnSensDisTime", kRefused},
        {"edtSensDisTime", "1441", "btnSensDisTime", kRefused},
        {"edtPwd", "7359", "btnPwd", kRefused},           // the reserved password
        {"edtPwd", "1230", "btnPwd", kRefused},
        {"edtPwd", "99991", "btnPwd", ">>ok"},            // characters 1 to 4 only
        {"edtCh1Label", "1234567890123456", "btnChLabel", ">>ok"},
        {"edtCh1Label", "tab\there", "btnChLabel", kRefused},
        {"edtalday1", "10", "btnallev", kRefused},
        {"edtDisTime", " 7", "btnDisTim", ">>ok"},
        {"edtCfg", "007|31/12/16 23:59:00", "btnCfg", ">>ok"},
        {"edtCfg", "007|29/02/17 23:59:00", "btnCfg", kRefused},
    };
    // clang-format on
    for (const Case& c : cases) {
        w().btnGetAllClick();
        setControl(w(), c.control, c.text);
        auto* button = dynamic_cast<TButton*>(w().FindComponent(c.button));
        ASSERT_NE(button, nullptr) << c.button;
        writeGroup(*button);
        EXPECT_EQ(console().back(), c.line) << c.control << " = " << c.text;
    }
}

TEST_F(ConfigurationPages, TextThatIsNoNumberRaisesTheConversionError) {
    connect();
    w().btnGetAllClick();
    const size_t lines = console().size();
    struct Case {
        const char* control;
        std::string text;
        const char* button;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"edtPwd", "", "btnPwd", "'' is not a valid integer value"},
        {"edtPwd", "12a4", "btnPwd", "'a' is not a valid integer value"},
        {"edtRemOutTime", "abc", "btnRemOutTime", "'abc' is not a valid integer value"},
        {"edtCfg", "5|01/02/16 10:00:00", "btnCfg", "'5|0' is not a valid integer value"},
        {"edtDaySt", "8:00", "btnDayNig", "'8:' is not a valid integer value"},
        {"edthd12", "1/1", "btnhd", "'1/' is not a valid integer value"},
        {"edtPressure", "4294967295", "btnPressure", "'4294967295' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        w().btnGetAllClick();
        const auto image = std::vector<uint8_t>(w().qob->imageBytes(), w().qob->imageBytes() + 512);
        setControl(w(), c.control, c.text);
        auto* button = dynamic_cast<TButton*>(w().FindComponent(c.button));
        ASSERT_NE(button, nullptr);
        button->Tag = 1;
        try {
            button->OnClick();
            ADD_FAILURE() << c.control << " = " << c.text << ": no conversion error";
        } catch (const std::invalid_argument& e) { EXPECT_EQ(std::string(e.what()), c.message); }
        EXPECT_EQ(console().size(), lines) << "the handler wrote a line";
        EXPECT_EQ(std::vector<uint8_t>(w().qob->imageBytes(), w().qob->imageBytes() + 512), image);
    }
}

TEST_F(ConfigurationPages, CheckModeValidatesWithoutStoring) {
    connect();
    w().btnGetAllClick();
    const auto image = std::vector<uint8_t>(w().qob->imageBytes(), w().qob->imageBytes() + 512);
    w().edtDisTime.Text = "99";
    w().btnDisTim.Tag = 2;
    w().btnDisTimClick();
    EXPECT_EQ(console().back(), ">>ok");
    w().edtDisTime.Text = "241";
    w().btnDisTimClick();
    EXPECT_EQ(console().back(), kRefused);
    EXPECT_EQ(std::vector<uint8_t>(w().qob->imageBytes(), w().qob->imageBytes() + 512), image);
    EXPECT_EQ(w().edtDisTime.Text.get(), "241");
}

TEST_F(ConfigurationPages, FanSpeedLabelsFollowTheirTrackBars) {
    w().tbFanSp1.Position = 7;
    w().tbFanSp1.OnChange();
    w().tbFanSp2.Position = 3;
    w().tbFanSp2.OnChange();
    EXPECT_EQ(w().lbFanSp1.Caption.get(), "7");
    EXPECT_EQ(w().lbFanSp2.Caption.get(), "3");
}

TEST_F(ConfigurationPages, ChannelLabelsTakeSixteenCharactersWhenTyped) {
    for (TEdit* edit : {&w().edtCh1Label, &w().edtCh2Label}) {
        edit->Text = "ZONE 1 NORTH WING";
        edit->OnChange();
        EXPECT_EQ(edit->Text.get(), "ZONE 1 NORTH WIN");
        edit->Text = "SHORT";
        edit->OnChange();
        EXPECT_EQ(edit->Text.get(), "SHORT");
    }
}

// ---- restore parameters -----------------------------------------------

TEST_F(ConfigurationPages, RestoreDiscardsUnwrittenChanges) {
    connect();
    w().btnGetAllClick();
    w().edtAlarmDelay.Text = "99";
    writeGroup(w().btnAlarmDelay);
    ASSERT_EQ(w().qob->imageBytes()[355], 99);
    // Meanwhile the detector's own configuration changed.
    model([](DetectorModel& m) { m.eeprom[354] = 77; });
    w().btnRestoreCfgClick();
    EXPECT_EQ(console().back(), ">>Parameters restored");
    EXPECT_TRUE(w().btnRestoreCfg.Enabled);
    // The controls are not refreshed until "get all parameters".
    EXPECT_EQ(w().edtAlarmDelay.Text.get(), "99");
    w().btnGetAllClick();
    EXPECT_EQ(w().edtAlarmDelay.Text.get(), "5");
    EXPECT_EQ(w().edtPrealDelay.Text.get(), "77");
}

TEST_F(ConfigurationPages, RestoreAndUpdateReportALinkFailure) {
    connect();
    w().btnGetAllClick();
    w().edtAlarmDelay.Text = "17";

    detector().injectFault(cmd::WriteEeprom, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    w().btnUpdateCfgClick();
    const std::string writeError = libraryErrorLine(*w().qob);
    EXPECT_EQ(console().back(), writeError);
    EXPECT_NE(writeError.rfind(">>QOB Error [", 0), std::string::npos);
    EXPECT_TRUE(w().btnUpdateCfg.Enabled);
    // The image kept the accepted values: pressing again retries the write.
    w().btnUpdateCfgClick();
    EXPECT_EQ(console().back(), ">>Configuration updated");
    EXPECT_EQ(byteOnDetector(355), 17);

    detector().injectFault(cmd::ReadEeprom, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    w().btnRestoreCfgClick();
    EXPECT_EQ(console().back(), libraryErrorLine(*w().qob));
    EXPECT_NE(console().back(), ">>Parameters restored");
    EXPECT_TRUE(w().btnRestoreCfg.Enabled);
}

// ---- an invalid image ----------------------------------------------------

class ConfigurationPagesBrokenCfg : public ConfigurationPages {
protected:
    nerax_sim::DetectorOptions simOptions() const override {
        nerax_sim::DetectorOptions o;
        o.image.brokenCfg = true;
        return o;
    }
};

TEST_F(ConfigurationPagesBrokenCfg, EveryGroupReportsTheInvalidImageAndNothingIsWritten) {
    connect();
    w().btnGetAllClick();
    EXPECT_EQ(console(), repeated(kInvalidImage, 42));
    EXPECT_EQ(w().edtPwd.Text.get(), "");
    EXPECT_FALSE(w().cbCh1Enabled.Checked);

    w().edtPwd.Text = "1234";
    w().btnUpdateCfgClick();
    // Group 1 converts first, then finds the image invalid; the track bars
    // and check boxes convert as well, only edits can raise.
    const Lines& all = console();
    ASSERT_EQ(all.size(), 2 * 42 + 1);
    EXPECT_EQ(all[0], "btnPwd");
    EXPECT_EQ(all[1], kInvalidImage);
    EXPECT_EQ(all[3], "EXCEPTION");  // btnCfg: empty edit
    EXPECT_EQ(all.back(), kInvalidImage);
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 0);

    w().btnRestoreCfgClick();
    EXPECT_EQ(console().back(), kInvalidImage);
}

}  // namespace

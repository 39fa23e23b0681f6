// Event texts and the event log table rows: exact texts, restore texts
// derived from the fault/alert tags, cut and padded cells.
#include <gtest/gtest.h>

#include <string>

#include "reports/event_catalogue.h"
#include "support/log_table.h"

namespace {

TEST(EventCatalogue, TextsOfDeviceFaultAlertAndRestoreEvents) {
    struct Case {
        int code;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {0, "void event"},
        {5, "void event"},
        {7, "Device initialization"},
        {23, "Device eneters is disable mode"},
        {34, "[E013] invalid EEPROM (checksum failed for area [BKP])"},
        {53, "Auxiliary fault relay deactivated"},
        {100, "[F001] device configuration data are not available"},
        {104, "[A016] bad communication with LED pcb"},
        {137, "[F022] channel 2 flow is over the configured limit"},
        {152, "Restore from fault [F002]"},
        {153, "Restore from alert [A002]"},
        {154, "Restore from alert [A016]"},
        {160, "Restore from fault [F023]"},
        {161, "Restore from alert [A007]"},
        {187, "Restore from fault [F022]"},
        // No text.
        {-1, ""}, {54, ""}, {99, ""}, {138, ""}, {149, ""}, {150, ""}, {151, ""}, {188, ""}, {255, ""}, {256, ""},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(eventText(c.code), c.text) << c.code;
}

TEST(EventCatalogue, EveryFaultAndAlertHasItsTagAndItsRestore) {
    for (int code = 100; code <= 137; ++code) {
        const std::string text = eventText(code);
        ASSERT_GE(text.size(), 7u) << code;
        const bool fault = text.compare(0, 2, "[F") == 0;
        EXPECT_TRUE(fault || text.compare(0, 2, "[A") == 0) << code;
        EXPECT_EQ(text[5], ']') << code;
        if (code < 102) continue;
        EXPECT_EQ(eventText(code + 50),
                  std::string(fault ? "Restore from fault [" : "Restore from alert [") + text.substr(1, 4) + "]")
            << code;
    }
}

TEST(EventCatalogue, HeaderAndSeparatorRows) {
    EXPECT_EQ(logTableHeaderRow(),
              "#   |Date             |Event                                        |Temp|Power |Power |Flow 1|Flow 2|"
              "Sensor 1            |Sensor 2            ");
    EXPECT_EQ(logTableSeparatorRow(),
              "----|-----------------|---------------------------------------------|----|------|------|------|------|"
              "------------------- |------------------- ");
}

LogRecordValues sample() {
    LogRecordValues r;
    r.event = 7;
    r.day = 21;
    r.month = 3;
    r.year = 17;
    r.hour = 10;
    r.minute = 15;
    r.second = 2;
    r.temperature = 250;
    r.power[0] = 24000;
    r.power[1] = 23900;
    r.flow[0] = 87;
    r.flow[1] = 86;
    r.sensor[0] = 1;
    r.sensor[1] = 22;
    return r;
}

TEST(EventCatalogue, RecordRowCellsAreCutAndPadded) {
    struct Case {
        const char* what;
        void (*change)(LogRecordValues&);
        int cell;
        const char* want;
    };
    // clang-format off
    const Case cases[] = {
        {"number", [](LogRecordValues&) {}, 0, "12  "},
        {"date", [](LogRecordValues&) {}, 1, "21/03/17 10:15:02"},
        {"single digits of the date", [](LogRecordValues& r) { r.day = 5; r.month = 3; r.hour = 9; r.minute = 4; r.second = 7; },
         1, "05/03/17 09:04:07"},
        {"no date", [](LogRecordValues& r) { r.day = 0; }, 1, "undefined        "},
        {"one-digit code", [](LogRecordValues&) {}, 2, "7  : Device initialization                   "},
        {"code without text", [](LogRecordValues& r) { r.event = 60; }, 2,
         "60 :                                         "},
        {"restore of [F001] has no text", [](LogRecordValues& r) { r.event = 150; }, 2,
         "150:                                         "},
        {"exactly the cell", [](LogRecordValues& r) { r.event = 107; }, 2,
         "107: [A004] device temperature is over limits"},
        {"cut text", [](LogRecordValues& r) { r.event = 1; }, 2, "1  : device cannot read its EEPROM during ini"},
        {"cut text 129", [](LogRecordValues& r) { r.event = 129; }, 2, "129: [A013] sensor 2 chamber is dirty (0.6 %/"},
        {"whole degrees", [](LogRecordValues&) {}, 3, "25  "},
        {"tenths", [](LogRecordValues& r) { r.temperature = 255; }, 3, "25.5"},
        {"negative tenths cut", [](LogRecordValues& r) { r.temperature = -125; }, 3, "-12."},
        {"undefined temperature", [](LogRecordValues& r) { r.temperature = 99999; }, 3, "unde"},
        {"power", [](LogRecordValues&) {}, 4, "24000 "},
        {"undefined power", [](LogRecordValues& r) { r.power[1] = 99999; }, 5, "undefi"},
        {"undefined flow", [](LogRecordValues& r) { r.flow[0] = 99999; }, 6, "undefi"},
        {"flow", [](LogRecordValues&) {}, 7, "86    "},
        {"sensor text", [](LogRecordValues&) {}, 8, "normal              "},
        {"long sensor text cut", [](LogRecordValues&) {}, 9, "error 14 [no answer/"},
        {"sensor 0", [](LogRecordValues& r) { r.sensor[0] = 0; }, 8, "undefined           "},
        {"sensor above 22", [](LogRecordValues& r) { r.sensor[0] = 23; }, 8, "                    "},
    };
    // clang-format on
    for (const auto& c : cases) {
        LogRecordValues r = sample();
        c.change(r);
        const std::string row = logRecordRow(12, r, 1);
        EXPECT_EQ(row.size(), 4u + 17 + 45 + 4 + 6 * 4 + 20 + 20 + 9) << c.what;
        const auto cells = cellsOf(row);
        ASSERT_EQ(cells.size(), 10u) << c.what;
        EXPECT_EQ(cells[static_cast<size_t>(c.cell)], c.want) << c.what;
    }
}

TEST(EventCatalogue, SensorCellsOfOtherVariantsAreOnOff) {
    LogRecordValues r = sample();
    r.sensor[1] = 0;
    const auto cells = cellsOf(logRecordRow(0, r, 2));
    EXPECT_EQ(cells[8], "active              ");
    EXPECT_EQ(cells[9], "not active          ");
}

}  // namespace

// Pure parts of the device library: area checksums, the date rules and the
// fixed texts. No device needed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/qob.h"
#include "device/texts.h"

namespace {

TEST(AreaChecksum, SeedAloneOnZeroArea) {
    uint8_t data[512] = {};
    struct Case {
        int start, length, at, seed;
    } cases[] = {{256, 20, 275, 3}, {276, 220, 495, 5}, {0, 49, 48, 1}, {0, 64, 63, 7}};
    for (const Case& c : cases) {
        std::memset(data, 0, sizeof data);
        EXPECT_EQ(QOB::checkArea(data, c.start, c.length, c.at, c.seed), 0) << c.start;
        data[c.at] = static_cast<uint8_t>(c.seed);
        EXPECT_EQ(QOB::checkArea(data, c.start, c.length, c.at, c.seed), 1) << c.start;
    }
}

TEST(AreaChecksum, WrapsModulo256AndIgnoresBytesOutsideTheArea) {
    uint8_t data[64] = {};
    data[0] = 200;
    data[1] = 100;  // 7 + 300 = 307 -> 51
    data[63] = 51;
    EXPECT_EQ(QOB::checkArea(data, 0, 64, 63, 7), 1);
    uint8_t wide[600] = {};
    for (auto& b : wide) b = 0xAB;
    QOB::sealImage(wide);
    wide[255] ^= 0xFF;  // between LOB and FCT: no area covers it
    wide[500] ^= 0xFF;  // behind CFG
    EXPECT_EQ(QOB::checkImage(wide), 1);
}

TEST(SealImage, EveryImageChecksAfterSealingAndAnyAreaBreaksIt) {
    uint8_t image[512];
    for (int seed = 0; seed < 8; ++seed) {
        for (int i = 0; i < 512; ++i) image[i] = static_cast<uint8_t>(i * 37 + seed * 11);
        EXPECT_EQ(QOB::sealImage(image), 1);
        EXPECT_EQ(QOB::checkImage(image), 1);
        for (int at : {48, 275, 495, 10, 260, 300}) {
            uint8_t broken[512];
            std::memcpy(broken, image, sizeof broken);
            broken[at] ^= 1;
            EXPECT_EQ(QOB::checkImage(broken), 0) << "byte " << at;
        }
    }
}

TEST(SealImage, ChecksumsAreSeedPlusSum) {
    uint8_t image[512] = {};
    image[256] = 1;
    image[276] = 250;
    image[277] = 10;
    image[0] = 255;
    QOB::sealImage(image);
    EXPECT_EQ(image[275], 4);                     // 3 + 1
    EXPECT_EQ(image[495], (5 + 250 + 10) % 256);  // wraps
    EXPECT_EQ(image[48], 0);                      // 1 + 255 wraps to 0
}

TEST(DateTimeRule, Boundaries) {
    struct Case {
        int d, mo, y, h, mi, s;
        bool valid;
    } cases[] = {
        {1, 1, 11, 0, 0, 0, true},    {31, 12, 99, 23, 59, 59, true}, {29, 2, 12, 10, 0, 0, true},
        {29, 2, 13, 10, 0, 0, false}, {28, 2, 13, 0, 0, 0, true},     {29, 2, 96, 0, 0, 0, true},
        {1, 1, 10, 0, 0, 0, false},   {1, 1, 100, 0, 0, 0, false},    {1, 1, 20, 24, 0, 0, false},
        {1, 1, 20, 0, 60, 0, false},  {1, 1, 20, 0, 0, 60, false},    {1, 1, 20, -1, 0, 0, false},
        {0, 1, 20, 0, 0, 0, false},   {32, 1, 20, 0, 0, 0, false},    {1, 0, 20, 0, 0, 0, false},
        {1, 13, 20, 0, 0, 0, false},  {30, 4, 20, 0, 0, 0, true},     {31, 4, 20, 0, 0, 0, false},
        {31, 6, 20, 0, 0, 0, false},  {31, 9, 20, 0, 0, 0, false},    {31, 11, 20, 0, 0, 0, false},
        {31, 8, 20, 0, 0, 0, true},   {30, 2, 20, 0, 0, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QOB::dateTimeValid(c.d, c.mo, c.y, c.h, c.mi, c.s), c.valid)
            << c.d << "/" << c.mo << "/" << c.y << " " << c.h << ":" << c.mi << ":" << c.s;
}

TEST(HolidayRule, EmptyEntriesAndMonthLengthsWithoutYear) {
    struct Case {
        int day, month;
        bool valid;
    } cases[] = {
        {0, 5, true},   {31, 0, true},  {0, 0, true},   {29, 2, true},  {30, 2, false}, {31, 4, false}, {30, 4, true},
        {31, 12, true}, {32, 1, false}, {1, 13, false}, {-1, 3, false}, {3, -1, false}, {1, 1, true},
    };
    for (const Case& c : cases) EXPECT_EQ(QOB::dayMonthValid(c.day, c.month), c.valid) << c.day << "/" << c.month;
}

TEST(Texts, FaultAlertLabels) {
    EXPECT_STREQ(faultAlertLabel(100), " fault 001 (wrong conf)");
    EXPECT_STREQ(faultAlertLabel(104), " alert 016 (LED pcb ko)");
    EXPECT_STREQ(faultAlertLabel(110), " fault 023 (high power)");
    EXPECT_STREQ(faultAlertLabel(137), " fault 022 (flow 2 hi )");
    EXPECT_STREQ(faultAlertLabel(99), "");
    EXPECT_STREQ(faultAlertLabel(138), "");
    // Every label is as wide as the readout column, and the readout order
    // names every code once: the faults, then the alerts.
    bool seen[38] = {};
    for (int i = 0; i < 38; ++i) {
        const int code = kFaultAlertReadoutOrder[i];
        ASSERT_GE(code, 100);
        ASSERT_LE(code, 137);
        EXPECT_FALSE(seen[code - 100]) << code;
        seen[code - 100] = true;
        const std::string label = faultAlertLabel(code);
        EXPECT_EQ(label.size(), 23u) << code;
        EXPECT_EQ(label.substr(1, 5), i < 22 ? "fault" : "alert") << code;
    }
}

TEST(Texts, PollStatusByVariant) {
    struct Case {
        int variant, code;
        const char* text;
    } cases[] = {
        {1, 0, "undefined"},
        {1, 1, "normal"},
        {1, 2, "error 1 [addresses switched]"},
        {1, 6, "error 5 [pw out of spec.]"},
        {1, 7, "initializing"},
        {1, 8, "warning 1 [chamber dirty 0.3%/f]"},
        {1, 10, "warning 3 [chamber dirty (max)]"},
        {1, 11, "smoke level 1"},
        {1, 19, "smoke level 9"},
        {1, 20, "remote test passed"},
        {1, 21, "error 4/6 [low chamber or remote test failed]"},
        {1, 22, "error 14 [no answer/pw out of spec.]"},
        {1, 23, ""},
        {1, 255, ""},
        {2, 0, "not active"},
        {2, 5, "active"},
        {4, 1, "active"},
        {-1, 0, "not active"},
    };
    for (const Case& c : cases) EXPECT_EQ(pollStatusTextFor(c.variant, c.code), c.text) << c.variant << "/" << c.code;
}

}  // namespace

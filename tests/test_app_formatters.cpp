// The shared formatters, the date-time patterns and the report stamp.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/formatters.h"
#include "app/host.h"
#include "app/report_file.h"

namespace {

TEST(Formatters, TableOfValues) {
    struct Case {
        std::string got, want;
    } cases[] = {
        {yesNo(0), "N"},
        {yesNo(1), "Y"},
        {yesNo(-1), "Y"},
        {pickText(3, 3, "diff", "same"), "same"},
        {pickText(2, 3, "diff", "same"), "diff"},
        {twoDigits(7), "07"},
        {twoDigits(0), "00"},
        {twoDigits(12), "12"},
        {twoDigits(123), "123"},
        {threeDigits(7), "007"},
        {threeDigits(42), "042"},
        {threeDigits(99), "099"},
        {threeDigits(100), "100"},
        {threeDigits(200), "200"},
        {fitWidth("abc", 5), "abc  "},
        {fitWidth("abcdef", 4), "abcd"},
        {fitWidth("abcd", 4), "abcd"},
        {fitWidth("", 3), "   "},
        {fitWidth("abc", 0), ""},
        {numberOrUndefined(99999), "undefined"},
        {numberOrUndefined(87), "87"},
        {numberOrUndefined(-3), "-3"},
        {tenthsOrUndefined(99999), "undefined"},
        {tenthsOrUndefined(255), "25.5"},
        {tenthsOrUndefined(250), "25"},
        {tenthsOrUndefined(-5), "-0.5"},
        {tenthsOrUndefined(-15), "-1.5"},
        {tenthsOrUndefined(0), "0"},
        {tenthsOrUndefined(7), "0.7"},
        {tenthsOrUndefined(-20), "-2"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Formatters, StrictIntegerConversion) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"7", true, 7},
        {"-12", true, -12},
        {"+5", true, 5},
        {" 30000 ", true, 30000},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"  ", false, 0},
        {"7.5", false, 0},
        {"7,5", false, 0},
        {"abc", false, 0},
        {"1 2", false, 0},
        {"-", false, 0},
        {"0x10", false, 0},
        {"12a", false, 0},
    };
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(parseInteger(c.text, v), c.ok) << '"' << c.text << '"';
        if (c.ok) { EXPECT_EQ(v, c.value) << c.text; }
    }
}

TEST(DateTimeText, PatternsAndSeparators) {
    LocalDateTime t{2017, 3, 5, 9, 4, 7, 42};
    struct Case {
        const char* pattern;
        char dateSep, timeSep;
        const char* want;
    } cases[] = {
        {"yyyy/mm/dd hh:nn:ss", '/', ':', "2017/03/05 09:04:07"},
        {"dd/mm/yy", '/', ':', "05/03/17"},
        {"hh:mm:ss", '/', ':', "09:04:07"},  // mm after an hour is minutes
        {"dd/mm/yy hh:mm:ss", '/', ':', "05/03/17 09:04:07"},
        {"d/m/yyyy h:n:s", '/', ':', "5/3/2017 9:4:7"},
        {"yyyy/mm/dd hh:nn:ss", '.', '.', "2017.03.05 09.04.07"},
        {"hh:nn:ss.zzz", '/', ':', "09:04:07.042"},
        {"\"at\" hh", '/', ':', "at 09"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatDateTime(c.pattern, t, c.dateSep, c.timeSep), c.want) << c.pattern;
}

TEST(ReportNames, StampDropsSeparatorsAndJoinsWithUnderscore) {
    EXPECT_EQ(reportStamp("2017/03/21 10:15:30"), "20170321_101530");
    EXPECT_EQ(reportStamp("2017.03.21 10$15:30"), "20170321_101530");
    EXPECT_EQ(reportFileName("NERAX_LT_LOG_", "2017/03/21 10:15:30"), "NERAX_LT_LOG_20170321_101530.LOG");
    LocalDateTime t{2017, 3, 21, 10, 15, 30, 0};
    EXPECT_EQ(reportFileName("NERAX_LT_DIAG_", formatDateTime("yyyy/mm/dd hh:nn:ss", t, '.', '.')),
              "NERAX_LT_DIAG_20170321_101530.LOG");
}

TEST(ReportNames, IniFileIsTheExecutableNameWithIni) {
    EXPECT_EQ(iniFileNameFor("/usr/local/bin/nerax-lt"), "nerax-lt.INI");
    EXPECT_EQ(iniFileNameFor("nerax-lt"), "nerax-lt.INI");
    EXPECT_EQ(iniFileNameFor("/opt/tool/NERAX.EXE"), "NERAX.INI");
    EXPECT_EQ(iniFileNameFor("/opt/my.dir/tool"), "tool.INI");
    EXPECT_EQ(iniFileNameFor("C:\\Tools\\my.dir\\nerax-lt.exe"), "nerax-lt.INI");
}

}  // namespace

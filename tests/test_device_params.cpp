// Configuration accessors on an object whose image is set by hand: they
// work on the image alone, so no device is needed.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/qob.h"

namespace {

class Params : public ::testing::Test {
protected:
    void SetUp() override {
        q.connected = 1;
        q.flagEepromRead = q.flagFactoryOk = q.flagConfigOk = q.flagLoopBasedOk = 1;
        q.idChannelCount = 2;
        q.idSensorCount = 2;
        for (int i = 0; i < 512; ++i) q.image[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::vector<uint8_t> image() const { return {q.image, q.image + 512}; }
    QOB q;
};

// ---- access check ------------------------------------------------------

TEST_F(Params, AccessRefusedInOrderAndCallerValuesUntouched) {
    struct Case {
        const char* what;
        std::function<void(QOB&)> setup;
        int mode;
        int status;  // 0: accepted
    } cases[] = {
        {"not connected",
         [](QOB& o) {
             o.connected = 0;
             o.flagEepromRead = 0;
         },
         Read, 10},
        {"eeprom unreadable",
         [](QOB& o) {
             o.flagEepromRead = 0;
             o.wrongConfig = 1;
         },
         Read, 20},
        {"wrong configuration", [](QOB& o) { o.wrongConfig = 1; }, Read, 22},
        {"factory area bad", [](QOB& o) { o.flagFactoryOk = 0; }, Write, 22},
        {"config area bad", [](QOB& o) { o.flagConfigOk = 0; }, Check, 22},
        {"mode above range", [](QOB&) {}, 3, 13},
        {"mode below range", [](QOB&) {}, -1, 13},
        {"bad mode on a bad area", [](QOB& o) { o.flagConfigOk = 0; }, 7, 22},
        {"loop area is not looked at", [](QOB& o) { o.flagLoopBasedOk = 0; }, Read, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        q.wrongConfig = 0;
        c.setup(q);
        q.status = -5;
        const auto before = image();
        int minutes = 1234;
        const int ok = q.parDisableTime(minutes, c.mode);
        if (c.status == 0) {
            EXPECT_EQ(ok, 1) << c.what;
            EXPECT_EQ(q.checkParAccess(c.mode), 1) << c.what;
            continue;
        }
        EXPECT_EQ(ok, 0) << c.what;
        EXPECT_EQ(q.lastStatus(), c.status) << c.what;
        EXPECT_EQ(minutes, 1234) << c.what;
        EXPECT_EQ(image(), before) << c.what;
        q.status = -5;
        EXPECT_EQ(q.checkParAccess(c.mode), 0) << c.what;
        EXPECT_EQ(q.lastStatus(), c.status) << c.what;
    }
}

// ---- groups of one byte per value with a shared range ------------------

using Flat = std::function<int(QOB&, int*, int)>;

struct Mapped {
    const char* name;
    Flat access;
    std::vector<int> bytes;  // image byte of each value, in argument order
    int min, max;
    int alsoAllowed = -1;
};

std::vector<Mapped> mappedGroups() {
    auto one = [](int (QOB::*f)(int&, int)) { return [f](QOB& o, int* v, int m) { return (o.*f)(*v, m); }; };
    auto arr = [](int (QOB::*f)(int*, int)) { return [f](QOB& o, int* v, int m) { return (o.*f)(v, m); }; };
    auto range = [](int first, int n) {
        std::vector<int> b;
        for (int i = 0; i < n; ++i) b.push_back(first + i);
        return b;
    };
    return {
        {"parDisableTime", one(&QOB::parDisableTime), {291}, 1, 240},
        {"parMaintTimeout", one(&QOB::parMaintTimeout), {292}, 0, 30},
        {"parTrendLogTime", one(&QOB::parTrendLogTime), {293}, 0, 240},
        {"parMirrorLeds", one(&QOB::parMirrorLeds), {294}, 0, 1},
        {"parSupplies", one(&QOB::parSupplies), {295}, 1, 2},
        {"parDayNight", one(&QOB::parDayNight), {297}, 0, 1},
        {"parNightWeekDays", arr(&QOB::parNightWeekDays), range(302, 7), 0, 1},
        {"parCommonChamber", one(&QOB::parCommonChamber), {349}, 1, 2},
        {"parSounderCutoff", one(&QOB::parSounderCutoff), {350}, 0, 120},
        {"parLbAlarmMode", one(&QOB::parLbAlarmMode), {351}, 1, 2},
        {"parLatchedAlarm", arr(&QOB::parLatchedAlarm), {352, 353}, 0, 1},
        {"parPrealarmDelay", one(&QOB::parPrealarmDelay), {354}, 0, 240},
        {"parAlarmDelay", one(&QOB::parAlarmDelay), {355}, 0, 240},
        {"parCascadeAlarm", one(&QOB::parCascadeAlarm), {356}, 0, 1},
        {"parSounderOnPrealarm", one(&QOB::parSounderOnPrealarm), {357}, 0, 1},
        {"parSensorTimeout", one(&QOB::parSensorTimeout), {358}, 0, 240},
        {"parAlarmLevels", [](QOB& o, int* v, int m) { return o.parAlarmLevels(v, v + 2, v + 4, v + 6, m); },
         range(359, 8), 1, 9},
        {"parAuxRelayCh2", one(&QOB::parAuxRelayCh2), {367}, 0, 1},
        {"parRemoteOutputTime", one(&QOB::parRemoteOutputTime), {370}, 1, 200},
        {"parChannelLabels", arr(&QOB::parChannelLabels), range(372, 32), 32, 127},
        {"parManualFan", arr(&QOB::parManualFan), {422, 423}, 0, 1},
        {"parDaylightSaving", one(&QOB::parDaylightSaving), {426}, 0, 2},
        {"parFaultNoLatch", one(&QOB::parFaultNoLatch), {437}, 0, 1},
        {"parFaultDelay", one(&QOB::parFaultDelay), {439}, 0, 240},
        {"parFlowFaultDelay", one(&QOB::parFlowFaultDelay), {440}, 0, 240},
        {"parPowerRestTime", one(&QOB::parPowerRestTime), {442}, 0, 240, 255},
        {"parManualFanSpeed", arr(&QOB::parManualFanSpeed), {454, 455}, 1, 10},
        {"parAuxFaultEvents",
         [](QOB& o, int* v, int m) { return o.parAuxFaultEvents(v[0], v[1], v[2], v[3], v[4], v[5], m); },
         range(457, 6), 0, 1},
        {"parAuxFaultNoLatch", one(&QOB::parAuxFaultNoLatch), {464}, 0, 1},
        {"parExtInputShort", one(&QOB::parExtInputShort), {465}, 0, 1},
        {"parPassword", arr(&QOB::parPassword), {276, 277, 278, 279}, 1, 9},
    };
}

TEST_F(Params, MappedGroupsReadTheirBytes) {
    for (const Mapped& g : mappedGroups()) {
        std::vector<int> v(g.bytes.size(), -7);
        ASSERT_EQ(g.access(q, v.data(), Read), 1) << g.name;
        for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i], q.image[g.bytes[i]]) << g.name << i;
    }
}

TEST_F(Params, MappedGroupsValidateEveryValueAtTheBoundaries) {
    for (const Mapped& g : mappedGroups()) {
        std::vector<int> probes = {g.min - 1, g.min, g.max, g.max + 1, -1, 256, 1 << 16};
        if (g.alsoAllowed >= 0) probes.push_back(g.alsoAllowed);
        if (g.alsoAllowed > g.max + 1) probes.push_back(g.alsoAllowed - 1);
        // Valid except at the probed position; a password of all minimum
        // digits is not the reserved one.
        const int fill = g.max == 9 && g.min == 1 ? 2 : g.min;
        for (size_t at : {size_t{0}, g.bytes.size() - 1}) {
            for (int probe : probes) {
                const bool valid = (probe >= g.min && probe <= g.max) || (g.alsoAllowed >= 0 && probe == g.alsoAllowed);
                for (int mode : {Check, Write}) {
                    SetUp();
                    const auto before = image();
                    std::vector<int> v(g.bytes.size(), fill);
                    v[at] = probe;
                    q.status = -5;
                    const int ok = g.access(q, v.data(), mode);
                    const std::string where = std::string(g.name) + " value " + std::to_string(at) + " = " +
                                              std::to_string(probe) + " mode " + std::to_string(mode);
                    EXPECT_EQ(ok, valid ? 1 : 0) << where;
                    if (!valid) { EXPECT_EQ(q.lastStatus(), 13) << where; }
                    auto expected = before;
                    if (valid && mode == Write)
                        for (size_t i = 0; i < v.size(); ++i) expected[g.bytes[i]] = static_cast<uint8_t>(v[i]);
                    EXPECT_EQ(image(), expected) << where;
                }
            }
        }
    }
}

// ---- groups with rules of their own ---------------------------------------

TEST_F(Params, ReservedPasswordIsRefused) {
    int digits[4];
    std::memcpy(digits, QOB::reservedPassword, sizeof digits);
    for (int d : digits) {
        EXPECT_GE(d, 1);
        EXPECT_LE(d, 9);
    }
    EXPECT_EQ(q.parPassword(digits, Check), 0);
    EXPECT_EQ(q.lastStatus(), 13);
    EXPECT_EQ(q.parPassword(digits, Write), 0);
    digits[3] = digits[3] % 9 + 1;  // any other combination
    EXPECT_EQ(q.parPassword(digits, Write), 1);
    EXPECT_EQ(q.image[279], digits[3]);
}

struct RuleCase {
    const char* what;
    std::function<int(QOB&, int)> call;  // (object, mode) -> result
    bool valid;
};

TEST_F(Params, RulesOfTheGroupsWithTheirOwnChecks) {
    auto stamp = [](int n, int d, int mo, int y, int h, int mi, int s) {
        return [=](QOB& o, int m) mutable { return o.parConfigStamp(n, d, mo, y, h, mi, s, m); };
    };
    auto dayTimes = [](int sh, int sm, int eh, int em) {
        return [=](QOB& o, int m) mutable { return o.parDayTimes(sh, sm, eh, em, m); };
    };
    auto flow = [](std::array<int, 2> r, std::array<int, 2> lo, std::array<int, 2> hi) {
        return [=](QOB& o, int m) mutable { return o.parFlowLimits(r.data(), lo.data(), hi.data(), m); };
    };
    auto filter = [](int d, int mo, int y) {
        return [=](QOB& o, int m) {
            int days[2] = {1, d}, months[2] = {1, mo}, years[2] = {20, y};
            return o.parFilterDueDates(days, months, years, m);
        };
    };
    auto daylight = [](int sd, int smo, int sh, int smi, int ed, int emo, int eh, int emi) {
        return [=](QOB& o, int m) mutable { return o.parDaylightDates(sd, smo, sh, smi, ed, emo, eh, emi, m); };
    };
    auto pressure = [](uint32_t pa) {
        return [=](QOB& o, int m) {
            int b[4] = {int(pa & 255), int((pa >> 8) & 255), int((pa >> 16) & 255), int(pa >> 24)};
            return o.parPressure(b, m);
        };
    };
    auto pressureBytes = [](int b0, int b1, int b2, int b3) {
        return [=](QOB& o, int m) {
            int b[4] = {b0, b1, b2, b3};
            return o.parPressure(b, m);
        };
    };
    auto extEvent = [](int code) { return [=](QOB& o, int m) mutable { return o.parExtInputEvent(code, m); }; };
    auto extTime = [](int t) { return [=](QOB& o, int m) mutable { return o.parExtDisableTime(t, m); }; };
    auto holiday = [](int d, int mo) {
        return [=](QOB& o, int m) {
            int days[20] = {}, months[20] = {};
            days[19] = d;
            months[19] = mo;
            return o.parHolidays(days, months, m);
        };
    };

    const RuleCase cases[] = {
        {"stamp, number unchecked", stamp(300, 1, 1, 11, 0, 0, 0), true},
        {"stamp 29/02/12", stamp(1, 29, 2, 12, 23, 59, 59), true},
        {"stamp 29/02/13", stamp(1, 29, 2, 13, 0, 0, 0), false},
        {"stamp year 10", stamp(1, 1, 1, 10, 0, 0, 0), false},
        {"stamp second 60", stamp(1, 1, 1, 20, 0, 0, 60), false},
        {"day 08:00-09:00", dayTimes(8, 0, 9, 0), true},
        {"day 08:30-08:45", dayTimes(8, 30, 8, 45), false},
        {"day 09:00-08:00", dayTimes(9, 0, 8, 0), false},
        {"day 00:00-23:59", dayTimes(0, 0, 23, 59), true},
        {"day end hour 24", dayTimes(0, 0, 24, 0), false},
        {"day start minute 60", dayTimes(7, 60, 9, 0), false},
        {"day end minute -1", dayTimes(7, 0, 9, -1), false},
        {"flow 1 < 2 < 3", flow({2, 100}, {1, 99}, {3, 250}), true},
        {"flow min = ref", flow({50, 100}, {50, 90}, {60, 110}), false},
        {"flow ref = max", flow({50, 100}, {40, 90}, {60, 100}), false},
        {"flow min 0", flow({50, 100}, {0, 90}, {60, 110}), false},
        {"flow max 251", flow({50, 100}, {40, 90}, {60, 251}), false},
        {"flow min > ref", flow({50, 100}, {40, 101}, {60, 110}), false},
        {"filter 29/02/12", filter(29, 2, 12), true},
        {"filter 29/02/13", filter(29, 2, 13), false},
        {"filter year 10", filter(1, 6, 10), false},
        {"filter year 0", filter(1, 6, 0), false},
        {"filter 31/04/20", filter(31, 4, 20), false},
        {"daylight 28/02 - 31/10", daylight(28, 2, 2, 0, 31, 10, 3, 0), true},
        {"daylight start 29/02", daylight(29, 2, 2, 0, 31, 10, 3, 0), false},
        {"daylight end 29/02", daylight(28, 3, 2, 0, 29, 2, 3, 0), false},
        {"daylight hour 24", daylight(28, 3, 24, 0, 31, 10, 3, 0), false},
        {"daylight minute 60", daylight(28, 3, 2, 0, 31, 10, 3, 60), false},
        {"pressure 68758", pressure(68758), true},
        {"pressure 68757", pressure(68757), false},
        {"pressure 110000", pressure(110000), true},
        {"pressure 110001", pressure(110001), false},
        {"pressure byte of 256 cut to a valid value", pressureBytes(0x96 + 256, 0x0C, 1, 0), false},
        {"pressure negative byte", pressureBytes(-1, 0x0C, 1, 0), false},
        {"ext event 0", extEvent(0), true},
        {"ext event 4", extEvent(4), true},
        {"ext event 5", extEvent(5), false},
        {"ext event -1", extEvent(-1), false},
        {"ext disable 1", extTime(1), true},
        {"ext disable 1440", extTime(1440), true},
        {"ext disable 0", extTime(0), false},
        {"ext disable 1441", extTime(1441), false},
        {"holiday 0/5", holiday(0, 5), true},
        {"holiday 31/0", holiday(31, 0), true},
        {"holiday 29/2", holiday(29, 2), true},
        {"holiday 30/2", holiday(30, 2), false},
        {"holiday 31/4", holiday(31, 4), false},
        {"holiday 1/13", holiday(1, 13), false},
    };
    for (const RuleCase& c : cases) {
        for (int mode : {Check, Write}) {
            SetUp();
            const auto before = image();
            q.status = -5;
            EXPECT_EQ(c.call(q, mode), c.valid ? 1 : 0) << c.what << " mode " << mode;
            if (!c.valid) {
                EXPECT_EQ(q.lastStatus(), 13) << c.what;
                EXPECT_EQ(image(), before) << c.what << ": a refused group stores nothing";
            }
            if (mode == Check) { EXPECT_EQ(image(), before) << c.what << ": Check stores nothing"; }
        }
    }
}

TEST_F(Params, MultiByteStoresAndReadConversions) {
    int minutes = 1440;
    ASSERT_EQ(q.parExtDisableTime(minutes, Write), 1);
    EXPECT_EQ(q.image[470], 160);
    EXPECT_EQ(q.image[471], 5);
    minutes = 0;
    ASSERT_EQ(q.parExtDisableTime(minutes, Read), 1);
    EXPECT_EQ(minutes, 1440);

    int n = 300, d = 31, mo = 12, y = 99, h = 23, mi = 59, s = 58;
    ASSERT_EQ(q.parConfigStamp(n, d, mo, y, h, mi, s, Write), 1);
    EXPECT_EQ(std::vector<uint8_t>(q.image + 280, q.image + 287), (std::vector<uint8_t>{44, 31, 12, 99, 23, 59, 58}));
    q.image[283] = 100;
    ASSERT_EQ(q.parConfigStamp(n, d, mo, y, h, mi, s, Read), 1);
    EXPECT_EQ(n, 44);
    EXPECT_EQ(y, 11);
    q.image[283] = 99;
    ASSERT_EQ(q.parConfigStamp(n, d, mo, y, h, mi, s, Read), 1);
    EXPECT_EQ(y, 99);

    int pressure[4] = {0x10, 0xAD, 0x01, 0x00};  // 110000
    ASSERT_EQ(q.parPressure(pressure, Write), 1);
    EXPECT_EQ(std::vector<uint8_t>(q.image + 472, q.image + 476), (std::vector<uint8_t>{0x10, 0xAD, 0x01, 0x00}));
    int back[4] = {};
    ASSERT_EQ(q.parPressure(back, Read), 1);
    EXPECT_EQ(std::vector<int>(back, back + 4), std::vector<int>(pressure, pressure + 4));

    int ref[2] = {100, 120}, lo[2] = {90, 110}, hi[2] = {110, 130};
    ASSERT_EQ(q.parFlowLimits(ref, lo, hi, Write), 1);
    EXPECT_EQ(q.image[404], 100);
    EXPECT_EQ(q.image[406], 120);
    EXPECT_EQ(q.image[408], 110);
    EXPECT_EQ(q.image[410], 130);
    EXPECT_EQ(q.image[412], 90);
    EXPECT_EQ(q.image[414], 110);
    int r2[2], lo2[2], hi2[2];
    ASSERT_EQ(q.parFlowLimits(r2, lo2, hi2, Read), 1);
    EXPECT_EQ(lo2[1], 110);
    EXPECT_EQ(hi2[0], 110);

    int fd[2] = {29, 31}, fm[2] = {2, 12}, fy[2] = {12, 30};
    ASSERT_EQ(q.parFilterDueDates(fd, fm, fy, Write), 1);
    EXPECT_EQ(std::vector<uint8_t>(q.image + 416, q.image + 422), (std::vector<uint8_t>{29, 2, 12, 31, 12, 30}));

    int sd = 25, smo = 3, sh = 2, smi = 0, ed = 28, emo = 10, eh = 3, emi = 30;
    ASSERT_EQ(q.parDaylightDates(sd, smo, sh, smi, ed, emo, eh, emi, Write), 1);
    EXPECT_EQ(q.image[427], 25);
    EXPECT_EQ(q.image[428], 3);
    EXPECT_EQ(q.image[430], 2);
    EXPECT_EQ(q.image[431], 0);
    EXPECT_EQ(q.image[432], 28);
    EXPECT_EQ(q.image[433], 10);
    EXPECT_EQ(q.image[435], 3);
    EXPECT_EQ(q.image[436], 30);
    EXPECT_EQ(q.image[429], (429 * 7 + 3) & 255) << "unmapped bytes stay";
    EXPECT_EQ(q.image[434], (434 * 7 + 3) & 255);

    int sh2 = 6, sm2 = 30, eh2 = 22, em2 = 15;
    ASSERT_EQ(q.parDayTimes(sh2, sm2, eh2, em2, Write), 1);
    EXPECT_EQ(std::vector<uint8_t>(q.image + 298, q.image + 302), (std::vector<uint8_t>{6, 30, 22, 15}));
}

TEST_F(Params, ExternalInputEventIsOneHot) {
    struct Case {
        std::vector<uint8_t> bytes;
        int code;
    } reads[] = {{{0, 1, 1, 0}, 1}, {{0, 0, 0, 0}, 4}, {{1, 1, 1, 1}, 0}, {{0, 0, 0, 7}, 3}, {{0, 0, 2, 0}, 2}};
    for (const Case& c : reads) {
        std::memcpy(q.image + 466, c.bytes.data(), 4);
        int code = -1;
        ASSERT_EQ(q.parExtInputEvent(code, Read), 1);
        EXPECT_EQ(code, c.code);
    }
    for (int code = 0; code <= 4; ++code) {
        std::memset(q.image + 466, 9, 4);
        int v = code;
        ASSERT_EQ(q.parExtInputEvent(v, Write), 1);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(q.image[466 + i], i == code ? 1 : 0) << code;
    }
}

TEST_F(Params, HolidaysAreStoredAsPairsAndOneBadEntryStoresNone) {
    int days[20], months[20];
    for (int k = 0; k < 20; ++k) {
        days[k] = k + 1;
        months[k] = k % 12 + 1;
    }
    ASSERT_EQ(q.parHolidays(days, months, Write), 1);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(q.image[309 + 2 * k], k + 1);
        EXPECT_EQ(q.image[310 + 2 * k], k % 12 + 1);
    }
    const auto stored = image();
    for (int k = 0; k < 20; ++k) days[k] = 1;
    days[10] = 30;
    months[10] = 2;
    EXPECT_EQ(q.parHolidays(days, months, Write), 0);
    EXPECT_EQ(q.lastStatus(), 13);
    EXPECT_EQ(image(), stored);
    int rd[20], rm[20];
    ASSERT_EQ(q.parHolidays(rd, rm, Read), 1);
    EXPECT_EQ(rd[19], 20);
    EXPECT_EQ(rm[19], 8);
}

TEST_F(Params, ChannelRulesAndTheirSideEffectOnSensors) {
    struct Case {
        int channels;
        int flags[2];
        bool valid;
    } cases[] = {
        {2, {0, 0}, false},  {2, {1, 0}, true},  {2, {0, 1}, true}, {2, {1, 1}, true},  {2, {2, 1}, false},
        {2, {1, -1}, false}, {1, {1, 1}, false}, {1, {1, 0}, true}, {1, {0, 1}, false}, {1, {0, 0}, false},
    };
    for (const Case& c : cases) {
        for (int mode : {Check, Write}) {
            SetUp();
            q.idChannelCount = c.channels;
            const auto before = image();
            int flags[2] = {c.flags[0], c.flags[1]};
            EXPECT_EQ(q.parChannelEnable(flags, mode), c.valid ? 1 : 0)
                << c.channels << " channels " << c.flags[0] << c.flags[1] << " mode " << mode;
            auto expected = before;
            if (c.valid && mode == Write) {
                expected[287] = static_cast<uint8_t>(c.flags[0]);
                expected[288] = static_cast<uint8_t>(c.flags[1]);
                if (c.channels == 2) {
                    expected[289] = static_cast<uint8_t>(c.flags[0]);
                    expected[290] = static_cast<uint8_t>(c.flags[1]);
                }
            }
            EXPECT_EQ(image(), expected) << c.channels << " channels " << c.flags[0] << c.flags[1];
        }
    }
}

TEST_F(Params, SensorRulesFollowTheDetectorAndTheStoredChannels) {
    struct Case {
        int channels, sensors;
        int stored[2];  // channel flags in the image
        int flags[2];
        bool valid;
    } cases[] = {
        {2, 2, {1, 0}, {1, 1}, false}, {2, 2, {1, 0}, {1, 0}, true},  {2, 2, {1, 1}, {1, 1}, true},
        {2, 2, {0, 1}, {0, 1}, true},  {2, 2, {0, 1}, {1, 1}, false}, {1, 1, {1, 0}, {1, 0}, true},
        {1, 1, {1, 0}, {1, 1}, false}, {1, 1, {1, 0}, {0, 1}, false}, {1, 2, {1, 0}, {0, 1}, true},
        {1, 2, {1, 0}, {1, 1}, true},  {1, 2, {1, 0}, {0, 0}, false}, {3, 2, {0, 0}, {0, 0}, true},
        {2, 2, {1, 1}, {1, 2}, false},
    };
    for (const Case& c : cases) {
        SetUp();
        q.idChannelCount = c.channels;
        q.idSensorCount = c.sensors;
        q.image[287] = static_cast<uint8_t>(c.stored[0]);
        q.image[288] = static_cast<uint8_t>(c.stored[1]);
        int flags[2] = {c.flags[0], c.flags[1]};
        const auto before = image();
        EXPECT_EQ(q.parSensorEnable(flags, Write), c.valid ? 1 : 0)
            << c.channels << "/" << c.sensors << " stored " << c.stored[0] << c.stored[1] << " flags " << c.flags[0]
            << c.flags[1];
        if (c.valid) {
            EXPECT_EQ(q.image[289], c.flags[0]);
            EXPECT_EQ(q.image[290], c.flags[1]);
        } else {
            EXPECT_EQ(image(), before);
        }
    }
    // The channel write sets the sensors so that the sensor rule then holds.
    SetUp();
    int ch[2] = {1, 0};
    ASSERT_EQ(q.parChannelEnable(ch, Write), 1);
    EXPECT_EQ(q.image[289], 1);
    EXPECT_EQ(q.image[290], 0);
    int s11[2] = {1, 1}, s10[2] = {1, 0};
    EXPECT_EQ(q.parSensorEnable(s11, Write), 0);
    EXPECT_EQ(q.lastStatus(), 13);
    EXPECT_EQ(q.parSensorEnable(s10, Write), 1);
}

}  // namespace

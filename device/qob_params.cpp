// Configuration parameters: accessors between the caller's ints and the
// CFG bytes of the image. They never talk to the device.
#include "device/qob.h"
#include "link/status.h"

#include <cstdint>

const int QOB::reservedPassword[4] = {7, 3, 5, 9};

namespace {

// Groups stored one value per byte, in consecutive bytes, all sharing one
// range. `alsoAllowed` is a single value accepted outside the range (-1: none).
struct ParRow {
    const char* name;
    int first;
    int count;
    int min;
    int max;
    int alsoAllowed;
};

// clang-format off
enum ParId {
    Password, ChannelEnable, SensorEnable, DisableTime, MaintTimeout, TrendLogTime, MirrorLeds,
    Supplies, DayNight, NightWeekDays, CommonChamber, SounderCutoff, LbAlarmMode, LatchedAlarm,
    PrealarmDelay, AlarmDelay, CascadeAlarm, SounderOnPrealarm, SensorTimeout, AlarmLevels,
    AuxRelayCh2, RemoteOutputTime, ChannelLabels, ManualFan, DaylightSaving, FaultNoLatch,
    FaultDelay, FlowFaultDelay, PowerRestTime, ManualFanSpeed, AuxFaultEvents, AuxFaultNoLatch,
    ExtInputShort, ParIdCount
};
// clang-format on

constexpr ParRow kParMap[ParIdCount] = {
    {"password", 276, 4, 1, 9, -1},
    {"channel enable", 287, 2, 0, 1, -1},
    {"sensor enable", 289, 2, 0, 1, -1},
    {"disable time", 291, 1, 1, 240, -1},
    {"maintenance timeout", 292, 1, 0, 30, -1},
    {"trend log time", 293, 1, 0, 240, -1},
    {"mirror LEDs", 294, 1, 0, 1, -1},
    {"supplies", 295, 1, 1, 2, -1},
    {"day/night", 297, 1, 0, 1, -1},
    {"night week days", 302, 7, 0, 1, -1},
    {"common chamber", 349, 1, 1, 2, -1},
    {"sounder cut-off", 350, 1, 0, 120, -1},
    {"loop-based alarm mode", 351, 1, 1, 2, -1},
    {"latched alarm", 352, 2, 0, 1, -1},
    {"prealarm delay", 354, 1, 0, 240, -1},
    {"alarm delay", 355, 1, 0, 240, -1},
    {"cascade alarm", 356, 1, 0, 1, -1},
    {"sounders on prealarm", 357, 1, 0, 1, -1},
    {"sensor timeout", 358, 1, 0, 240, -1},
    {"alarm levels", 359, 8, 1, 9, -1},
    {"aux relay for channel 2", 367, 1, 0, 1, -1},
    {"remote output time", 370, 1, 1, 200, -1},
    {"channel labels", 372, 32, 32, 127, -1},
    {"manual fan", 422, 2, 0, 1, -1},
    {"daylight saving", 426, 1, 0, 2, -1},
    {"fault no latch", 437, 1, 0, 1, -1},
    {"fault delay", 439, 1, 0, 240, -1},
    {"flow fault delay", 440, 1, 0, 240, -1},
    {"power rest time", 442, 1, 0, 240, 255},
    {"manual fan speed", 454, 2, 1, 10, -1},
    {"aux fault events", 457, 6, 0, 1, -1},
    {"aux fault no latch", 464, 1, 0, 1, -1},
    {"external input short", 465, 1, 0, 1, -1},
};

// Bytes of the groups with rules of their own.
constexpr int kConfigStamp = 280;  // number, then day .. second
constexpr int kDayTimes = 298;     // start hour, start minute, end hour, end minute
constexpr int kHolidays = 309;     // day, month pairs
constexpr int kFlowReference[2] = {404, 406};
constexpr int kFlowMaximum[2] = {408, 410};
constexpr int kFlowMinimum[2] = {412, 414};
constexpr int kFilterDates = 416;                        // day, month, year per filter
constexpr int kDaylightStart[4] = {427, 428, 430, 431};  // day, month, hour, minute
constexpr int kDaylightEnd[4] = {432, 433, 435, 436};
constexpr int kExtInputEvent = 466;   // one-hot over four bytes
constexpr int kExtDisableTime = 470;  // low, high
constexpr int kPressure = 472;        // four bytes, least significant first

constexpr int kEventCodeNone = 4;
constexpr int kHolidayCount = 20;

bool inRow(const ParRow& row, int v) {
    return (v >= row.min && v <= row.max) || (row.alsoAllowed >= 0 && v == row.alsoAllowed);
}

uint8_t lowByte(int v) { return static_cast<uint8_t>(v & 0xFF); }

}  // namespace

int QOB::checkParAccess(int mode) {
    if (!isConnected()) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    if (wrongConfig != 0 || flagFactoryOk == 0 || flagConfigOk == 0) return fail(StatusCode::EepromNotValid);
    if (mode < Read || mode > Check) return fail(StatusCode::BadCall);
    return 1;
}

// The common path of the mapped groups: `valid` is the group's own rule on
// top of the per-value range (it sees the caller's values, never the image).
template <class Rule>
static int mappedGroup(QOB& q, ParId id, int* values, int mode, Rule valid) {
    const ParRow& row = kParMap[id];
    if (!q.checkParAccess(mode)) return 0;
    if (mode == Read) {
        for (int i = 0; i < row.count; ++i) values[i] = q.image[row.first + i];
        return 1;
    }
    for (int i = 0; i < row.count; ++i)
        if (!inRow(row, values[i])) return q.fail(StatusCode::BadCall);
    if (!valid(values)) return q.fail(StatusCode::BadCall);
    if (mode == Write)
        for (int i = 0; i < row.count; ++i) q.image[row.first + i] = lowByte(values[i]);
    return 1;
}

static int mappedGroup(QOB& q, ParId id, int* values, int mode) {
    return mappedGroup(q, id, values, mode, [](const int*) { return true; });
}

int QOB::parPassword(int digits[4], int mode) {
    return mappedGroup(*this, Password, digits, mode, [](const int* d) {
        for (int i = 0; i < 4; ++i)
            if (d[i] != reservedPassword[i]) return true;
        return false;
    });
}

int QOB::parChannelEnable(int flags[2], int mode) {
    // The identity captured at connect decides, never the image bytes; it is
    // only consulted once the access check has vouched for it.
    const int& channels = idChannelCount;
    const int result = mappedGroup(*this, ChannelEnable, flags, mode, [&](const int* f) {
        if (f[0] == 0 && f[1] == 0) return false;
        if (channels == 1) return f[0] == 1 && f[1] == 0;
        return true;
    });
    // A disabled channel takes its sensor with it.
    if (result == 1 && mode == Write && channels == 2) {
        image[kParMap[SensorEnable].first] = flags[0] != 0 ? 1 : 0;
        image[kParMap[SensorEnable].first + 1] = flags[1] != 0 ? 1 : 0;
    }
    return result;
}

int QOB::parSensorEnable(int flags[2], int mode) {
    const int& channels = idChannelCount;
    const int& sensors = idSensorCount;
    const uint8_t* stored = image + kParMap[ChannelEnable].first;
    return mappedGroup(*this, SensorEnable, flags, mode, [&](const int* f) {
        if (channels == 2) return f[0] == stored[0] && f[1] == stored[1];
        if (channels == 1 && sensors == 1) return f[0] == 1 && f[1] == 0;
        if (channels == 1 && sensors == 2) return f[0] == 1 || f[1] == 1;
        return true;
    });
}

int QOB::parDisableTime(int& v, int mode) { return mappedGroup(*this, DisableTime, &v, mode); }
int QOB::parMaintTimeout(int& v, int mode) { return mappedGroup(*this, MaintTimeout, &v, mode); }
int QOB::parTrendLogTime(int& v, int mode) { return mappedGroup(*this, TrendLogTime, &v, mode); }
int QOB::parMirrorLeds(int& v, int mode) { return mappedGroup(*this, MirrorLeds, &v, mode); }
int QOB::parSupplies(int& v, int mode) { return mappedGroup(*this, Supplies, &v, mode); }
int QOB::parDayNight(int& v, int mode) { return mappedGroup(*this, DayNight, &v, mode); }
int QOB::parNightWeekDays(int f[7], int mode) { return mappedGroup(*this, NightWeekDays, f, mode); }
int QOB::parCommonChamber(int& v, int mode) { return mappedGroup(*this, CommonChamber, &v, mode); }
int QOB::parSounderCutoff(int& v, int mode) { return mappedGroup(*this, SounderCutoff, &v, mode); }
int QOB::parLbAlarmMode(int& v, int mode) { return mappedGroup(*this, LbAlarmMode, &v, mode); }
int QOB::parLatchedAlarm(int f[2], int mode) { return mappedGroup(*this, LatchedAlarm, f, mode); }
int QOB::parPrealarmDelay(int& v, int mode) { return mappedGroup(*this, PrealarmDelay, &v, mode); }
int QOB::parAlarmDelay(int& v, int mode) { return mappedGroup(*this, AlarmDelay, &v, mode); }
int QOB::parCascadeAlarm(int& v, int mode) { return mappedGroup(*this, CascadeAlarm, &v, mode); }
int QOB::parSounderOnPrealarm(int& v, int mode) { return mappedGroup(*this, SounderOnPrealarm, &v, mode); }
int QOB::parSensorTimeout(int& v, int mode) { return mappedGroup(*this, SensorTimeout, &v, mode); }
int QOB::parAuxRelayCh2(int& v, int mode) { return mappedGroup(*this, AuxRelayCh2, &v, mode); }
int QOB::parRemoteOutputTime(int& v, int mode) { return mappedGroup(*this, RemoteOutputTime, &v, mode); }
int QOB::parChannelLabels(int c[32], int mode) { return mappedGroup(*this, ChannelLabels, c, mode); }
int QOB::parManualFan(int f[2], int mode) { return mappedGroup(*this, ManualFan, f, mode); }
int QOB::parDaylightSaving(int& v, int mode) { return mappedGroup(*this, DaylightSaving, &v, mode); }
int QOB::parFaultNoLatch(int& v, int mode) { return mappedGroup(*this, FaultNoLatch, &v, mode); }
int QOB::parFaultDelay(int& v, int mode) { return mappedGroup(*this, FaultDelay, &v, mode); }
int QOB::parFlowFaultDelay(int& v, int mode) { return mappedGroup(*this, FlowFaultDelay, &v, mode); }
int QOB::parPowerRestTime(int& v, int mode) { return mappedGroup(*this, PowerRestTime, &v, mode); }
int QOB::parManualFanSpeed(int s[2], int mode) { return mappedGroup(*this, ManualFanSpeed, s, mode); }
int QOB::parAuxFaultNoLatch(int& v, int mode) { return mappedGroup(*this, AuxFaultNoLatch, &v, mode); }
int QOB::parExtInputShort(int& v, int mode) { return mappedGroup(*this, ExtInputShort, &v, mode); }

// Groups handed in as several arguments go through the map as one array.
int QOB::parAlarmLevels(int alarmDay[2], int prealarmDay[2], int alarmNight[2], int prealarmNight[2], int mode) {
    int* parts[4] = {alarmDay, prealarmDay, alarmNight, prealarmNight};
    int all[8];
    for (int k = 0; k < 4; ++k)
        for (int ch = 0; ch < 2; ++ch) all[2 * k + ch] = parts[k][ch];
    if (!mappedGroup(*this, AlarmLevels, all, mode)) return 0;
    if (mode == Read)
        for (int k = 0; k < 4; ++k)
            for (int ch = 0; ch < 2; ++ch) parts[k][ch] = all[2 * k + ch];
    return 1;
}

int QOB::parAuxFaultEvents(int& temperature, int& externalInput, int& lowPower, int& flowFault, int& sensorFault,
                           int& powerRestart, int mode) {
    int* parts[6] = {&temperature, &externalInput, &lowPower, &flowFault, &sensorFault, &powerRestart};
    int all[6];
    for (int i = 0; i < 6; ++i) all[i] = *parts[i];
    if (!mappedGroup(*this, AuxFaultEvents, all, mode)) return 0;
    if (mode == Read)
        for (int i = 0; i < 6; ++i) *parts[i] = all[i];
    return 1;
}

int QOB::parConfigStamp(int& number, int& day, int& month, int& year, int& hour, int& minute, int& second, int mode) {
    if (!checkParAccess(mode)) return 0;
    int* values[7] = {&number, &day, &month, &year, &hour, &minute, &second};
    if (mode == Read) {
        for (int i = 0; i < 7; ++i) *values[i] = image[kConfigStamp + i];
        if (year > 99) year = 11;
        return 1;
    }
    if (!dateTimeValid(day, month, year, hour, minute, second)) return fail(StatusCode::BadCall);
    if (mode == Write)
        for (int i = 0; i < 7; ++i) image[kConfigStamp + i] = lowByte(*values[i]);
    return 1;
}

int QOB::parDayTimes(int& startHour, int& startMinute, int& endHour, int& endMinute, int mode) {
    if (!checkParAccess(mode)) return 0;
    int* values[4] = {&startHour, &startMinute, &endHour, &endMinute};
    if (mode == Read) {
        for (int i = 0; i < 4; ++i) *values[i] = image[kDayTimes + i];
        return 1;
    }
    const bool hoursOk = startHour >= 0 && startHour <= 23 && endHour >= 0 && endHour <= 23;
    const bool minutesOk = startMinute >= 0 && startMinute <= 59 && endMinute >= 0 && endMinute <= 59;
    // The day must start in an earlier hour than it ends, whatever the minutes.
    if (!hoursOk || !minutesOk || startHour >= endHour) return fail(StatusCode::BadCall);
    if (mode == Write)
        for (int i = 0; i < 4; ++i) image[kDayTimes + i] = lowByte(*values[i]);
    return 1;
}

int QOB::parHolidays(int days[20], int months[20], int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        for (int k = 0; k < kHolidayCount; ++k) {
            days[k] = image[kHolidays + 2 * k];
            months[k] = image[kHolidays + 2 * k + 1];
        }
        return 1;
    }
    for (int k = 0; k < kHolidayCount; ++k)
        if (!dayMonthValid(days[k], months[k])) return fail(StatusCode::BadCall);
    if (mode == Write)
        for (int k = 0; k < kHolidayCount; ++k) {
            image[kHolidays + 2 * k] = lowByte(days[k]);
            image[kHolidays + 2 * k + 1] = lowByte(months[k]);
        }
    return 1;
}

int QOB::parFlowLimits(int reference[2], int minimum[2], int maximum[2], int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        for (int ch = 0; ch < 2; ++ch) {
            reference[ch] = image[kFlowReference[ch]];
            minimum[ch] = image[kFlowMinimum[ch]];
            maximum[ch] = image[kFlowMaximum[ch]];
        }
        return 1;
    }
    for (int ch = 0; ch < 2; ++ch) {
        const int r = reference[ch], lo = minimum[ch], hi = maximum[ch];
        const bool ranges = r >= 1 && r <= 250 && lo >= 1 && lo <= 250 && hi >= 1 && hi <= 250;
        if (!ranges || !(lo < r && r < hi)) return fail(StatusCode::BadCall);
    }
    if (mode == Write)
        for (int ch = 0; ch < 2; ++ch) {
            image[kFlowReference[ch]] = lowByte(reference[ch]);
            image[kFlowMinimum[ch]] = lowByte(minimum[ch]);
            image[kFlowMaximum[ch]] = lowByte(maximum[ch]);
        }
    return 1;
}

int QOB::parFilterDueDates(int days[2], int months[2], int years[2], int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        for (int k = 0; k < 2; ++k) {
            days[k] = image[kFilterDates + 3 * k];
            months[k] = image[kFilterDates + 3 * k + 1];
            years[k] = image[kFilterDates + 3 * k + 2];
        }
        return 1;
    }
    for (int k = 0; k < 2; ++k)
        if (!dateTimeValid(days[k], months[k], years[k], 0, 0, 0)) return fail(StatusCode::BadCall);
    if (mode == Write)
        for (int k = 0; k < 2; ++k) {
            image[kFilterDates + 3 * k] = lowByte(days[k]);
            image[kFilterDates + 3 * k + 1] = lowByte(months[k]);
            image[kFilterDates + 3 * k + 2] = lowByte(years[k]);
        }
    return 1;
}

int QOB::parDaylightDates(int& startDay, int& startMonth, int& startHour, int& startMinute, int& endDay, int& endMonth,
                          int& endHour, int& endMinute, int mode) {
    if (!checkParAccess(mode)) return 0;
    int* start[4] = {&startDay, &startMonth, &startHour, &startMinute};
    int* end[4] = {&endDay, &endMonth, &endHour, &endMinute};
    if (mode == Read) {
        for (int i = 0; i < 4; ++i) {
            *start[i] = image[kDaylightStart[i]];
            *end[i] = image[kDaylightEnd[i]];
        }
        return 1;
    }
    // Checked against a year that is no leap year: the date recurs every year.
    if (!dateTimeValid(startDay, startMonth, 99, startHour, startMinute, 0) ||
        !dateTimeValid(endDay, endMonth, 99, endHour, endMinute, 0)) {
        return fail(StatusCode::BadCall);
    }
    if (mode == Write)
        for (int i = 0; i < 4; ++i) {
            image[kDaylightStart[i]] = lowByte(*start[i]);
            image[kDaylightEnd[i]] = lowByte(*end[i]);
        }
    return 1;
}

int QOB::parExtInputEvent(int& code, int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        code = kEventCodeNone;
        for (int i = 0; i < 4; ++i)
            if (image[kExtInputEvent + i] != 0) {
                code = i;
                break;
            }
        return 1;
    }
    if (code < 0 || code > kEventCodeNone) return fail(StatusCode::BadCall);
    if (mode == Write) {
        for (int i = 0; i < 4; ++i) image[kExtInputEvent + i] = 0;
        if (code != kEventCodeNone) image[kExtInputEvent + code] = 1;
    }
    return 1;
}

int QOB::parExtDisableTime(int& minutes, int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        minutes = image[kExtDisableTime] + 256 * image[kExtDisableTime + 1];
        return 1;
    }
    if (minutes < 1 || minutes > 1440) return fail(StatusCode::BadCall);
    if (mode == Write) {
        image[kExtDisableTime] = lowByte(minutes % 256);
        image[kExtDisableTime + 1] = lowByte(minutes / 256);
    }
    return 1;
}

int QOB::parPressure(int bytes[4], int mode) {
    if (!checkParAccess(mode)) return 0;
    if (mode == Read) {
        for (int i = 0; i < 4; ++i) bytes[i] = image[kPressure + i];
        return 1;
    }
    // Each element is one byte of the value: anything wider would be cut
    // when stored and leave a pressure other than the one validated.
    uint32_t pascal = 0;
    for (int i = 3; i >= 0; --i) {
        if (bytes[i] < 0 || bytes[i] > 255) return fail(StatusCode::BadCall);
        pascal = pascal * 256 + static_cast<uint32_t>(bytes[i]);
    }
    if (pascal < 68758 || pascal > 110000) return fail(StatusCode::BadCall);
    if (mode == Write)
        for (int i = 0; i < 4; ++i) image[kPressure + i] = lowByte(bytes[i]);
    return 1;
}

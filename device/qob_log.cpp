// Event log (ring of 14-byte records behind the log header) and the clock.
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

#include <cstring>
#include <vector>

namespace {

constexpr int kLogRecords = 2244;
constexpr int kRecordSize = 14;
constexpr int kLogStart = eeprom::kLogHeader.start + eeprom::kLogHeader.length;
constexpr int kPieceSize = 1024;
constexpr int kFullPieces = 30;
constexpr int kLastPieceSize = 704;  // 31424 bytes in all
constexpr int kNotAvailable = 99999;

int orUndefined(int x) { return x == 0 ? kNotAvailable : x; }

bool logRefused(QOB& q) {
    if (!q.connected) {
        q.status = StatusCode::NotConnected;
        return true;
    }
    if (q.wrongConfig != 0 || q.flagEepromRead == 0) {
        q.status = StatusCode::LogNotAvailable;
        return true;
    }
    return false;
}

// The read log's accessors: true, with the status set, when there is no
// log to give (no link, or no log read from a readable EEPROM).
bool noLogRead(QOB& q) {
    if (!q.connected)
        q.status = StatusCode::NotConnected;
    else if (q.wrongConfig != 0 || q.flagEepromRead != 1 || q.logLoaded != 1)
        q.status = StatusCode::LogNotAvailable;
    else
        return false;
    return true;
}

bool clockRefused(QOB& q) {
    if (!q.connected) {
        q.status = StatusCode::NotConnected;
        return true;
    }
    if (q.flagEepromRead == 0 || q.wrongConfig != 0) {
        q.status = StatusCode::NotPossibleInState;
        return true;
    }
    return false;
}

}  // namespace

int QOB::readLog() {
    if (logRefused(*this)) return 0;
    const EepromArea& area = eeprom::kLogHeader;
    uint8_t p[frame::kParamCount];
    rangeParams(p, area.start, area.length);
    if (!transact(cmd::ReadEeprom, 0, area.length, p, nullptr, StatusCode::LogInfoUnreadable)) return 0;
    const uint8_t* header = answer + 1;
    if (!areaIntact(header, area)) return fail(StatusCode::EepromNotValid);
    if (header[5] == 255) {
        // Blank log: nothing to read, and no stale wrap flag may let old
        // records through.
        logLoaded = 1;
        logLast = -2;
        logWrap = 0;
        return 1;
    }
    const int last = header[4] + 256 * header[5];
    if (last > kLogRecords - 1) return fail(StatusCode::LogNotAvailable);
    const int wrapped = header[6] == 1 ? 1 : 0;

    // Pieces land in a scratch copy: a read that fails half-way leaves the
    // previous log, its index and wrap flag, as they were.
    std::vector<uint8_t> pieces(sizeof logImage);
    for (int k = 0; k <= kFullPieces; ++k) {
        const int size = k < kFullPieces ? kPieceSize : kLastPieceSize;
        const int offset = kPieceSize * k;
        rangeParams(p, kLogStart + offset, size);
        if (!transact(cmd::ReadEeprom, 0, size, p, nullptr, StatusCode::LogNotAvailable)) return 0;
        std::memcpy(pieces.data() + offset, answer + 1, static_cast<size_t>(size));
    }
    std::memcpy(logImage, pieces.data(), sizeof logImage);
    logLast = last;
    logWrap = wrapped;
    logLoaded = 1;
    return 1;
}

int QOB::logRecord(int index, int& event, int& day, int& month, int& year, int& hour, int& minute, int& second,
                   int& temperature, int power2[2], int flow2[2], int sensor2[2]) {
    if (logRefused(*this)) return 0;
    if (!logLoaded) return fail(StatusCode::LogNotAvailable);
    int record;
    if (index < 0) {
        // Stored records are addressed by negative index, unchecked against
        // the newest one. (-INT_MIN has no int value: it is out of range anyway.)
        record = index < -(kLogRecords - 1) ? kLogRecords : -index;
    } else {
        if (index > logLast && logWrap == 0) return fail(StatusCode::WrongLogIndex);
        record = index;
    }
    if (record > kLogRecords - 1) return fail(StatusCode::WrongLogIndex);

    const uint8_t* r = logImage + kRecordSize * record;
    event = r[0];
    day = r[1];
    month = r[2];
    year = r[3];
    hour = r[4];
    minute = r[5];
    second = r[6];
    temperature = r[7] == 0 ? kNotAvailable : (r[7] - 100) * 5;
    if (power2) {
        power2[0] = r[8] == 0 ? kNotAvailable : (r[8] + 100) * 100;
        power2[1] = r[9] == 0 ? kNotAvailable : (r[9] + 100) * 100;
    }
    if (flow2) {
        flow2[0] = orUndefined(r[10]);
        flow2[1] = orUndefined(r[11]);
    }
    if (sensor2) {
        sensor2[0] = r[12];
        sensor2[1] = r[13];
    }
    return 1;
}

int QOB::clearLog() {
    if (logRefused(*this)) return 0;
    if (!transact(cmd::ClearLog, 0, 0, nullptr, nullptr, StatusCode::LogAreaFailed)) return 0;
    logLoaded = 0;
    return 1;
}

int QOB::logLastIndex() { return noLogRead(*this) ? -1 : logLast; }

int QOB::logWrapped() { return noLogRead(*this) ? -1 : logWrap; }

int QOB::readClock(int& day, int& month, int& year, int& hour, int& minute, int& second) {
    if (clockRefused(*this)) return 0;
    if (!transact(cmd::ReadClock, 0, 7, nullptr, nullptr, StatusCode::ClockFailed)) return 0;
    day = answer[1];
    month = answer[2];
    year = answer[3];
    hour = answer[4];
    minute = answer[5];
    second = answer[6];
    return 1;
}

int QOB::setClock(int day, int month, int year, int hour, int minute, int second) {
    if (clockRefused(*this)) return 0;
    if (!dateTimeValid(day, month, year, hour, minute, second)) return fail(StatusCode::BadCall);
    const int values[6] = {day, month, year, hour, minute, second};
    for (int i = 0; i < 6; ++i) payload[i] = static_cast<uint8_t>(values[i] & 0xFF);
    return transact(cmd::SetClock, 6, 0, nullptr, payload, StatusCode::ClockFailed);
}

namespace {
// January first; February is settled by the caller.
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kHolidayMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}  // namespace

bool QOB::dateTimeValid(int day, int month, int year, int hour, int minute, int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return false;
    if (day < 1 || day > 31 || month < 1 || month > 12) return false;
    if (year < 11 || year > 99) return false;
    const int length = month == 2 ? (year % 4 == 0 ? 29 : 28) : kMonthDays[month - 1];
    return day <= length;
}

bool QOB::dayMonthValid(int day, int month) {
    if (day == 0 || month == 0) return true;  // an empty holiday entry
    if (day < 1 || day > 31 || month < 1 || month > 12) return false;
    return day <= kHolidayMonthDays[month - 1];
}

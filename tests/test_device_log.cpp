// Event log and clock against the virtual detector.
#include <gtest/gtest.h>

#include <vector>

#include "device/qob.h"
#include "support/device_rows.h"
#include "support/sim_fixture.h"

using namespace device_rows;
using nerax_sim::DetectorModel;

namespace {

struct Record {
    int event = -1, day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
    int temperature = -1, power[2] = {-1, -1}, flow[2] = {-1, -1}, sensor[2] = {-1, -1};
};

int readRecord(QOB& q, int index, Record& r) {
    return q.logRecord(index, r.event, r.day, r.month, r.year, r.hour, r.minute, r.second, r.temperature, r.power,
                       r.flow, r.sensor);
}

Call record(int index) {
    return [index](QOB& q) {
        Record r;
        return readRecord(q, index, r);
    };
}

Options records(int n) {
    return [n](nerax_sim::DetectorOptions& o) { o.image.logRecords = n; };
}

const Call readLog = [](QOB& q) { return q.readLog(); };

Call setClock(int d, int mo, int y, int h, int mi, int s) {
    return [=](QOB& q) { return q.setClock(d, mo, y, h, mi, s); };
}

TEST(DeviceLog, RefusalsAndFailures) {
    const Call clear = [](QOB& q) { return q.clearLog(); };
    const Call lastIndex = [](QOB& q) { return q.logLastIndex(); };
    const Call wrapped = [](QOB& q) { return q.logWrapped(); };
    const Call readClock = [](QOB& q) {
        int d, mo, y, h, mi, s;
        return q.readClock(d, mo, y, h, mi, s);
    };
    runRows({
        {.what = "read, not connected", .call = readLog, .result = 0, .status = 10, .connect = false},
        {.what = "read, wrong configuration",
         .call = readLog,
         .result = 0,
         .status = 15,
         .options = wrongConfiguration()},
        {.what = "read, EEPROM unreadable", .call = readLog, .result = 0, .status = 15, .options = unreadableEeprom()},
        {.what = "read, header refused", .call = readLog, .result = 0, .status = 16, .refusedCode = 3},
        {.what = "read, header checksum",
         .call = readLog,
         .result = 0,
         .status = 22,
         .options = [](nerax_sim::DetectorOptions& o) { o.image.brokenLogHeader = true; },
         .sends = true},
        {.what = "read, newest index 2244",
         .call = readLog,
         .result = 0,
         .status = 15,
         .model =
             [](DetectorModel& m) {
                 m.eeprom[1028] = 2244 & 255;
                 m.eeprom[1029] = 2244 >> 8;
                 m.sealLogHeader();
             },
         .sends = true},
        {.what = "read, newest index 2243",
         .call = readLog,
         .result = 1,
         .status = 0,
         .model =
             [](DetectorModel& m) {
                 m.eeprom[1028] = 2243 & 255;
                 m.eeprom[1029] = 2243 >> 8;
                 m.sealLogHeader();
             },
         .sends = true},
        {.what = "read, a record piece refused",
         .call = readLog,
         .result = 0,
         .status = 15,
         .refusedCode = 3,
         .skip = 7},
        {.what = "read, last record piece refused",
         .call = readLog,
         .result = 0,
         .status = 15,
         .refusedCode = 3,
         .skip = 31},
        {.what = "record, not connected", .call = record(0), .result = 0, .status = 10, .connect = false},
        {.what = "record, log not read", .call = record(0), .result = 0, .status = 15},
        {.what = "record, EEPROM unreadable",
         .call = record(0),
         .result = 0,
         .status = 15,
         .options = unreadableEeprom()},
        {.what = "record, newest",
         .call = record(5),
         .result = 1,
         .status = kUntouched,
         .options = records(6),
         .before = readLog},
        {.what = "record, beyond newest",
         .call = record(6),
         .result = 0,
         .status = 17,
         .options = records(6),
         .before = readLog},
        {.what = "record, stored beyond newest",
         .call = record(-6),
         .result = 1,
         .status = kUntouched,
         .options = records(6),
         .before = readLog},
        {.what = "record, last of the ring",
         .call = record(-2243),
         .result = 1,
         .status = kUntouched,
         .options = records(6),
         .before = readLog},
        {.what = "record, past the ring",
         .call = record(-2244),
         .result = 0,
         .status = 17,
         .options = records(6),
         .before = readLog},
        {.what = "record, blank log",
         .call = record(0),
         .result = 0,
         .status = 17,
         .options = records(0),
         .before = readLog},
        {.what = "record, wrapped log past the ring",
         .call = record(2244),
         .result = 0,
         .status = 17,
         .options = [](nerax_sim::DetectorOptions& o) { o.image.logWrapped = true; },
         .before = readLog},
        {.what = "record, wrapped log beyond newest",
         .call = record(2000),
         .result = 1,
         .status = kUntouched,
         .options = [](nerax_sim::DetectorOptions& o) { o.image.logWrapped = true; },
         .before = readLog},
        {.what = "clear, not connected", .call = clear, .result = 0, .status = 10, .connect = false},
        {.what = "clear, wrong configuration",
         .call = clear,
         .result = 0,
         .status = 15,
         .options = wrongConfiguration()},
        {.what = "clear, EEPROM unreadable", .call = clear, .result = 0, .status = 15, .options = unreadableEeprom()},
        {.what = "clear refused", .call = clear, .result = 0, .status = 18, .refusedCode = 22},
        {.what = "newest index, not connected", .call = lastIndex, .result = -1, .status = 10, .connect = false},
        {.what = "newest index, log not read", .call = lastIndex, .result = -1, .status = 15},
        {.what = "newest index after a clear",
         .call = lastIndex,
         .result = -1,
         .status = 15,
         .before = [](QOB& q) { return q.readLog() && q.clearLog(); }},
        {.what = "newest index",
         .call = lastIndex,
         .result = 11,
         .status = kUntouched,
         .options = records(12),
         .before = readLog},
        {.what = "blank log index",
         .call = lastIndex,
         .result = -2,
         .status = kUntouched,
         .options = records(0),
         .before = readLog},
        {.what = "wrap flag, log not read", .call = wrapped, .result = -1, .status = 15},
        {.what = "clock read, not connected", .call = readClock, .result = 0, .status = 10, .connect = false},
        {.what = "clock read, EEPROM unreadable",
         .call = readClock,
         .result = 0,
         .status = 19,
         .options = unreadableEeprom()},
        {.what = "clock read, wrong configuration",
         .call = readClock,
         .result = 0,
         .status = 19,
         .options = wrongConfiguration()},
        {.what = "clock read refused", .call = readClock, .result = 0, .status = 24, .refusedCode = 19},
        {.what = "clock set, not connected",
         .call = setClock(1, 1, 20, 0, 0, 0),
         .result = 0,
         .status = 10,
         .connect = false},
        {.what = "clock set, EEPROM unreadable",
         .call = setClock(1, 1, 20, 0, 0, 0),
         .result = 0,
         .status = 19,
         .options = unreadableEeprom()},
        {.what = "clock set, wrong configuration",
         .call = setClock(1, 1, 20, 0, 0, 0),
         .result = 0,
         .status = 19,
         .options = wrongConfiguration()},
        {.what = "clock set, 29/02/13", .call = setClock(29, 2, 13, 10, 0, 0), .result = 0, .status = 13},
        {.what = "clock set, year 10", .call = setClock(1, 1, 10, 0, 0, 0), .result = 0, .status = 13},
        {.what = "clock set, year 100", .call = setClock(1, 1, 100, 0, 0, 0), .result = 0, .status = 13},
        {.what = "clock set, hour 24", .call = setClock(1, 1, 20, 24, 0, 0), .result = 0, .status = 13},
        {.what = "clock set refused",
         .call = setClock(1, 1, 20, 0, 0, 0),
         .result = 0,
         .status = 24,
         .refusedCode = 20},
    });
}

class DeviceLogRead : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(q.connect(comNumber(), 0, 0, 0), 1) << q.lastStatus();
    }
    std::vector<nerax_sim::Request> history() {
        return detector().withModel(
            [](DetectorModel& m) { return std::vector<nerax_sim::Request>(m.history.begin(), m.history.end()); });
    }
    QOB q;
};

TEST_F(DeviceLogRead, WholeLogInPiecesAndRecordsDecoded) {
    detector().withModel([](DetectorModel& m) {
        // Record 3 with every measurement missing, record 4 with values.
        const uint8_t empty[14] = {19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const uint8_t full[14] = {38, 5, 3, 17, 9, 4, 7, 99, 140, 1, 87, 250, 21, 1};
        std::copy(empty, empty + 14, &m.eeprom[1088 + 14 * 3]);
        std::copy(full, full + 14, &m.eeprom[1088 + 14 * 4]);
    });
    const size_t before = history().size();
    ASSERT_EQ(q.readLog(), 1) << q.lastStatus();
    const auto h = history();
    ASSERT_EQ(h.size(), before + 32);
    const auto& last = h.back();
    EXPECT_EQ(last.code, 3);
    EXPECT_EQ(last.p[1], 64);
    EXPECT_EQ(last.p[2], 124);
    EXPECT_EQ(last.p[3], 192);
    EXPECT_EQ(last.p[4], 2);
    EXPECT_EQ(h[before + 1].p[1], 1088 & 255);
    EXPECT_EQ(h[before + 1].p[2], 1088 >> 8);
    EXPECT_EQ(h[before + 1].p[4], 4);

    EXPECT_EQ(q.logLastIndex(), 11);
    EXPECT_EQ(q.logWrapped(), 0);
    Record r;
    ASSERT_EQ(readRecord(q, 3, r), 1);
    EXPECT_EQ(r.event, 19);
    EXPECT_EQ(r.day, 0);
    EXPECT_EQ(r.temperature, 99999);
    EXPECT_EQ(r.power[0], 99999);
    EXPECT_EQ(r.power[1], 99999);
    EXPECT_EQ(r.flow[0], 99999);
    EXPECT_EQ(r.flow[1], 99999);
    EXPECT_EQ(r.sensor[0], 0);
    EXPECT_EQ(r.sensor[1], 0);
    ASSERT_EQ(readRecord(q, 4, r), 1);
    EXPECT_EQ(r.event, 38);
    EXPECT_EQ(r.day, 5);
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.year, 17);
    EXPECT_EQ(r.hour, 9);
    EXPECT_EQ(r.minute, 4);
    EXPECT_EQ(r.second, 7);
    EXPECT_EQ(r.temperature, -5);
    EXPECT_EQ(r.power[0], 24000);
    EXPECT_EQ(r.power[1], 10100);
    EXPECT_EQ(r.flow[0], 87);
    EXPECT_EQ(r.flow[1], 250);
    EXPECT_EQ(r.sensor[0], 21);
    EXPECT_EQ(r.sensor[1], 1);

    // Every stored record matches the device's bytes.
    for (int i = 0; i <= 11; ++i) {
        const auto bytes = detector().withModel([i](DetectorModel& m) { return m.logRecord(i); });
        ASSERT_EQ(readRecord(q, i, r), 1);
        EXPECT_EQ(r.event, bytes[0]) << i;
        EXPECT_EQ(r.second, bytes[6]) << i;
    }
}

TEST_F(DeviceLogRead, FailedReadKeepsThePreviousLog) {
    ASSERT_EQ(q.readLog(), 1);
    Record newest;
    ASSERT_EQ(readRecord(q, 11, newest), 1);
    detector().withModel([](DetectorModel& m) {
        m.appendLog(10);
        m.appendLog(10);
        m.eeprom[1030] = 1;  // and claim a wrapped ring
        m.sealLogHeader();
    });
    nerax_sim::Fault nak;
    nak.kind = nerax_sim::FaultKind::NotAcknowledged;
    nak.skip = 20;
    detector().injectFault(3, nak, 1);
    EXPECT_EQ(q.readLog(), 0);
    EXPECT_EQ(q.lastStatus(), 15);
    EXPECT_EQ(q.logLastIndex(), 11);
    EXPECT_EQ(q.logWrapped(), 0);
    Record r;
    ASSERT_EQ(readRecord(q, 11, r), 1);
    EXPECT_EQ(r.event, newest.event);
    EXPECT_EQ(r.second, newest.second);
    EXPECT_EQ(readRecord(q, 12, r), 0);
    EXPECT_EQ(q.lastStatus(), 17);
    ASSERT_EQ(q.readLog(), 1);
    EXPECT_EQ(q.logLastIndex(), 13);
}

TEST_F(DeviceLogRead, WrapFlagAndClear) {
    detector().withModel([](DetectorModel& m) {
        m.eeprom[1030] = 1;
        m.sealLogHeader();
    });
    ASSERT_EQ(q.readLog(), 1);
    EXPECT_EQ(q.logWrapped(), 1);
    Record r;
    EXPECT_EQ(readRecord(q, 100, r), 1) << "a wrapped ring has records beyond the newest";

    ASSERT_EQ(q.clearLog(), 1) << q.lastStatus();
    EXPECT_EQ(q.logLastIndex(), -1);
    EXPECT_EQ(q.lastStatus(), 15);
    EXPECT_EQ(readRecord(q, 0, r), 0);
    EXPECT_EQ(q.lastStatus(), 15);
    ASSERT_EQ(q.readLog(), 1);
    EXPECT_EQ(q.logLastIndex(), -2);
    EXPECT_EQ(q.logWrapped(), 0);
    EXPECT_EQ(readRecord(q, 0, r), 0);
    EXPECT_EQ(q.lastStatus(), 17);
}

TEST_F(DeviceLogRead, ClockRoundTripAndRefusedDates) {
    struct Case {
        int d, mo, y, h, mi, s;
        bool accepted;
    } cases[] = {
        {29, 2, 12, 10, 0, 0, true}, {5, 3, 17, 9, 4, 7, true},    {31, 12, 99, 23, 59, 59, true},
        {1, 1, 11, 0, 0, 0, true},   {29, 2, 13, 10, 0, 0, false}, {31, 4, 20, 0, 0, 0, false},
        {1, 1, 10, 0, 0, 0, false},  {1, 1, 100, 0, 0, 0, false},  {1, 1, 20, 24, 0, 0, false},
        {1, 1, 20, 0, 60, 0, false}, {0, 1, 20, 0, 0, 0, false},   {1, 13, 20, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.d << "/" << c.mo << "/" << c.y << " " << c.h << ":" << c.mi << ":" << c.s);
        const nerax_sim::ClockValue before = detector().clock();
        EXPECT_EQ(q.setClock(c.d, c.mo, c.y, c.h, c.mi, c.s), c.accepted ? 1 : 0);
        int d = -1, mo = -1, y = -1, h = -1, mi = -1, s = -1;
        ASSERT_EQ(q.readClock(d, mo, y, h, mi, s), 1) << q.lastStatus();
        if (c.accepted) {
            EXPECT_EQ(std::vector<int>({d, mo, y, h, mi, s}), std::vector<int>({c.d, c.mo, c.y, c.h, c.mi, c.s}));
        } else {
            EXPECT_EQ(
                std::vector<int>({d, mo, y, h, mi, s}),
                std::vector<int>({before.day, before.month, before.year, before.hour, before.minute, before.second}))
                << "a refused date leaves the clock alone";
        }
    }
}

}  // namespace

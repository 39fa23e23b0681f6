// Live state read from the virtual detector: decoding and the refusals.
#include <gtest/gtest.h>

#include "device/qob.h"
#include "support/device_rows.h"
#include "support/sim_fixture.h"

using namespace device_rows;
using nerax_sim::DetectorModel;

namespace {

Call readState() {
    return [](QOB& q) { return q.readState(); };
}

TEST(DeviceState, RefusalsAndFailures) {
    runRows({
        {.what = "read, not connected", .call = readState(), .result = 0, .status = 10, .connect = false},
        {.what = "read, wrong configuration",
         .call = readState(),
         .result = 0,
         .status = 12,
         .options = wrongConfiguration()},
        {.what = "read, not acknowledged", .call = readState(), .result = 0, .status = 11, .refusedCode = 30},
        {.what = "read, bad checksum",
         .call = readState(),
         .result = 0,
         .status = 7,
         .refusedCode = 30,
         .fault = nerax_sim::FaultKind::BadChecksum},
        {.what = "accessor, not connected",
         .call = [](QOB& q) { return q.asdInFault(); },
         .result = -1,
         .status = 10,
         .connect = false},
        {.what = "accessor before the first read",
         .call = [](QOB& q) { return q.flow(0); },
         .result = -1,
         .status = 12},
        {.what = "hours before the first read",
         .call = [](QOB& q) { return q.hoursByte0(); },
         .result = -1,
         .status = 12},
        {.what = "accessor, wrong configuration",
         .call = [](QOB& q) { return q.externalInput(); },
         .result = -1,
         .status = 12,
         .options = wrongConfiguration()},
        {.what = "relay 9",
         .call = [](QOB& q) { return q.relayState(9); },
         .result = -1,
         .status = 13,
         .before = readState()},
        {.what = "relay -1",
         .call = [](QOB& q) { return q.relayState(-1); },
         .result = -1,
         .status = 13,
         .before = readState()},
        {.what = "flag 99",
         .call = [](QOB& q) { return q.faultAlertFlag(99); },
         .result = -1,
         .status = 13,
         .before = readState()},
        {.what = "flag 138",
         .call = [](QOB& q) { return q.faultAlertFlag(138); },
         .result = -1,
         .status = 13,
         .before = readState()},
        {.what = "channel 2",
         .call = [](QOB& q) { return q.flow(2); },
         .result = -1,
         .status = 13,
         .before = readState()},
        {.what = "channel -1",
         .call = [](QOB& q) { return q.sensorOutput(-1); },
         .result = -1,
         .status = 13,
         .before = readState()},
    });
}

class DeviceStateRead : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(q.connect(comNumber(), 0, 0, 0), 1) << q.lastStatus();
    }
    QOB q;
};

TEST_F(DeviceStateRead, EveryByteLandsInItsField) {
    detector().withModel([](DetectorModel& m) {
        m.channelEnabled[0] = 1;
        m.channelEnabled[1] = 1;
        m.sensorEnabled[0] = 1;
        m.sensorEnabled[1] = 0;
        m.alarm[0] = 2;
        m.alarm[1] = 1;
        m.prealarm[0] = 0;
        m.prealarm[1] = 2;
        m.flow[0] = 87;
        m.flow[1] = 3;
        m.fanSpeed[0] = 6;
        m.fanSpeed[1] = 10;
        m.powerByte[0] = 140;
        m.powerByte[1] = 1;
        for (int i = 0; i < 38; ++i) m.faultAlert[i] = (i * 5) % 3;
        m.asdInFault = 2;
        m.asdInAuxFault = 1;
        m.eeprom[1024] = 0x10;
        m.eeprom[1025] = 0x27;
        m.eeprom[1026] = 0;
        m.eeprom[1027] = 0;
        m.externalInput = 1;
        for (int i = 0; i < 9; ++i) m.relay[i] = i % 2;
        m.internalTempByte = 99;
        m.flowTempByte[0] = 150;
        m.flowTempByte[1] = 255;
        m.sensorOutput[0] = 21;
    });
    ASSERT_EQ(q.readState(), 1) << q.lastStatus();
    EXPECT_EQ(q.channelEnabled(0), 1);
    EXPECT_EQ(q.sensorEnabled(1), 0);
    EXPECT_EQ(q.channelInAlarm(0), 2);
    EXPECT_EQ(q.channelInAlarm(1), 1);
    EXPECT_EQ(q.channelInPrealarm(0), 0);
    EXPECT_EQ(q.channelInPrealarm(1), 2);
    EXPECT_EQ(q.flow(0), 87);
    EXPECT_EQ(q.flow(1), 3);
    EXPECT_EQ(q.fanSpeed(0), 6);
    EXPECT_EQ(q.fanSpeed(1), 10);
    EXPECT_EQ(q.power(0), 24000);
    EXPECT_EQ(q.power(1), 10100);
    for (int i = 0; i < 38; ++i) EXPECT_EQ(q.faultAlertFlag(100 + i), (i * 5) % 3) << 100 + i;
    EXPECT_EQ(q.asdInFault(), 2);
    EXPECT_EQ(q.asdInAuxFault(), 1);
    const uint32_t counter =
        q.hoursByte0() | q.hoursByte1() << 8 | q.hoursByte2() << 16 | static_cast<uint32_t>(q.hoursByte3()) << 24;
    EXPECT_EQ(counter, 10000u);  // 5000 operating hours
    EXPECT_EQ(q.externalInput(), 1);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(q.relayState(i), i % 2) << i;
    EXPECT_EQ(q.internalTemperature(), -5);
    EXPECT_EQ(q.flowTemperature(0), 250);
    EXPECT_EQ(q.flowTemperature(1), 775);
    EXPECT_EQ(q.loopAddress(), 255);
    EXPECT_EQ(q.sensorOutput(0), 21);
    EXPECT_EQ(q.sensorOutput(1), 0);
}

TEST_F(DeviceStateRead, ZeroBytesAreNotAvailable) {
    detector().withModel([](DetectorModel& m) {
        for (int c = 0; c < 2; ++c) m.channelEnabled[c] = m.sensorEnabled[c] = m.fanSpeed[c] = 0;
        m.powerByte[0] = m.powerByte[1] = 0;
        m.internalTempByte = 0;
        for (int& f : m.faultAlert) f = 0;
        for (int& r : m.relay) r = 0;
    });
    ASSERT_EQ(q.readState(), 1);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(q.flow(c), 99999);
        EXPECT_EQ(q.power(c), 99999);
        EXPECT_EQ(q.flowTemperature(c), 99999);
        EXPECT_EQ(q.sensorOutput(c), 0);
    }
    EXPECT_EQ(q.internalTemperature(), 99999);
    for (int code = 100; code <= 137; ++code) EXPECT_EQ(q.faultAlertFlag(code), 0);
    for (int i = 0; i <= 8; ++i) EXPECT_EQ(q.relayState(i), 0);
}

TEST_F(DeviceStateRead, FailedReadKeepsThePreviousRecord) {
    ASSERT_EQ(q.readState(), 1);
    const int flow = q.flow(0);
    detector().withModel([](DetectorModel& m) { m.flow[0] = m.flow[0] + 20; });
    nerax_sim::Fault nak;
    nak.kind = nerax_sim::FaultKind::NotAcknowledged;
    detector().injectFault(30, nak, 1);
    EXPECT_EQ(q.readState(), 0);
    EXPECT_EQ(q.lastStatus(), 11);
    EXPECT_EQ(q.flow(0), flow);
    ASSERT_EQ(q.readState(), 1);
    EXPECT_EQ(q.flow(0), flow + 20);
}

}  // namespace

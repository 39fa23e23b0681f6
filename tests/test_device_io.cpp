// Action commands, the extended command and the air density test against
// the virtual detector.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "device/qob.h"
#include "support/device_rows.h"
#include "support/sim_fixture.h"

using namespace device_rows;
using nerax_sim::DetectorModel;

namespace {

Options loopBased() {
    return [](nerax_sim::DetectorOptions& o) { o.image.variant = 2; };
}

TEST(DeviceActions, RefusalsAndFailures) {
    struct Op {
        const char* name;
        Call call;
        int code;
    };
    const Op ops[] = {
        {"restart", [](QOB& q) { return q.restart(0); }, 29},
        {"reset", [](QOB& q) { return q.resetDevice(); }, 34},
        {"channel test", [](QOB& q) { return q.testChannel(0); }, 34},
        {"sounders off", [](QOB& q) { return q.soundersOff(1); }, 34},
        {"fan test", [](QOB& q) { return q.testFan(0, 5); }, 27},
        {"relay", [](QOB& q) { return q.setRelay(1, 1); }, 33},
        {"clear hours", [](QOB& q) { return q.clearOperatingHours(); }, 23},
        {"air density start", [](QOB& q) { return q.airDensityStep(1, -1); }, 36},
    };
    std::deque<std::string> names;  // keeps the row names in place while rows point at them
    std::vector<Row> rows;
    for (const Op& op : ops) {
        names.push_back(std::string(op.name) + ", not connected");
        rows.push_back({.what = names.back().c_str(), .call = op.call, .result = 0, .status = 10, .connect = false});
        names.push_back(std::string(op.name) + ", EEPROM unreadable");
        rows.push_back(
            {.what = names.back().c_str(), .call = op.call, .result = 0, .status = 19, .options = unreadableEeprom()});
        names.push_back(std::string(op.name) + ", wrong configuration");
        rows.push_back({.what = names.back().c_str(),
                        .call = op.call,
                        .result = 0,
                        .status = 19,
                        .options = wrongConfiguration()});
        // Not acknowledged keeps the link's status; the extended command's becomes 0.
        names.push_back(std::string(op.name) + ", not acknowledged");
        rows.push_back({.what = names.back().c_str(),
                        .call = op.call,
                        .result = 0,
                        .status = op.code == 36 ? 0 : 8,
                        .refusedCode = op.code});
    }
    const int params[12] = {1};
    static int result[1024];
    // clang-format off
    const std::vector<Row> arguments = {
        {.what = "channel test 3", .call = [](QOB& q) { return q.testChannel(3); }, .result = 0, .status = 13},
        {.what = "channel test -1", .call = [](QOB& q) { return q.testChannel(-1); }, .result = 0, .status = 13},
        {.what = "sounders off 3", .call = [](QOB& q) { return q.soundersOff(3); }, .result = 0, .status = 13},
        {.what = "fan speed 11", .call = [](QOB& q) { return q.testFan(0, 11); }, .result = 0, .status = 13},
        {.what = "fan speed -1", .call = [](QOB& q) { return q.testFan(1, -1); }, .result = 0, .status = 13},
        {.what = "fan 3", .call = [](QOB& q) { return q.testFan(3, 5); }, .result = 0, .status = 13},
        {.what = "relay on 2", .call = [](QOB& q) { return q.setRelay(1, 2); }, .result = 0, .status = 13},
        {.what = "relay 0", .call = [](QOB& q) { return q.setRelay(0, 1); }, .result = 0, .status = 13},
        {.what = "relay 9", .call = [](QOB& q) { return q.setRelay(9, 0); }, .result = 0, .status = 13},
        {.what = "prealarm relay, loop based", .call = [](QOB& q) { return q.setRelay(6, 1); },
         .result = 0, .status = 13, .options = loopBased()},
        {.what = "prealarm relay 2, loop based", .call = [](QOB& q) { return q.setRelay(7, 0); },
         .result = 0, .status = 13, .options = loopBased()},
        {.what = "air density channel 0", .call = [](QOB& q) { return q.airDensityStep(0, -1); },
         .result = 0, .status = 13},
        {.what = "air density channel 3", .call = [](QOB& q) { return q.airDensityStep(3, 1); },
         .result = 0, .status = 13},
        {.what = "air density step before start", .call = [](QOB& q) { return q.airDensityStep(1, 5); },
         .result = 0, .status = 13},
        {.what = "extended, not connected",
         .call = [&](QOB& q) { return q.extendedCommand(params, nullptr, result); }, .result = 0,
         .status = 10, .connect = false},
        {.what = "extended on a wrong configuration",
         .call = [&](QOB& q) { return q.extendedCommand(params, nullptr, result); }, .result = 1,
         .status = 0, .options = wrongConfiguration(), .sends = true},
    };
    // clang-format on
    rows.insert(rows.end(), arguments.begin(), arguments.end());
    runRows(rows);
}

class DeviceActionsSent : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(q.connect(comNumber(), 0, 0, 0), 1) << q.lastStatus();
    }
    nerax_sim::Request lastRequest() {
        return detector().withModel([](DetectorModel& m) { return m.history.back(); });
    }
    QOB q;
};

TEST_F(DeviceActionsSent, ParameterBytesOnTheLine) {
    struct Case {
        const char* what;
        Call call;
        int code, p1, p2;
    } cases[] = {
        {"fan 1", [](QOB& o) { return o.testFan(0, 7); }, 27, 7, 11},
        {"fan 2", [](QOB& o) { return o.testFan(1, 7); }, 27, 11, 7},
        {"both fans", [](QOB& o) { return o.testFan(2, 7); }, 27, 11, 11},
        {"fan 1 stopped", [](QOB& o) { return o.testFan(0, 0); }, 27, 0, 11},
        {"prealarm relay, stand alone", [](QOB& o) { return o.setRelay(6, 1); }, 33, 6, 1},
        {"relay off", [](QOB& o) { return o.setRelay(8, 0); }, 33, 8, 0},
        {"sounders off, both", [](QOB& o) { return o.soundersOff(2); }, 34, 6, 0},
        {"sounder 1 off", [](QOB& o) { return o.soundersOff(0); }, 34, 4, 0},
        {"channel test, both", [](QOB& o) { return o.testChannel(2); }, 34, 2, 0},
        {"reset", [](QOB& o) { return o.resetDevice(); }, 34, 3, 0},
        {"restart into maintenance", [](QOB& o) { return o.restart(1); }, 29, 1, 0},
        {"clear hours", [](QOB& o) { return o.clearOperatingHours(); }, 23, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        q.status = -5;
        ASSERT_EQ(c.call(q), 1) << q.lastStatus();
        EXPECT_EQ(q.lastStatus(), 0);
        const auto r = lastRequest();
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.p[1], c.p1);
        EXPECT_EQ(r.p[2], c.p2);
        EXPECT_TRUE(r.payload.empty());
    }
}

TEST_F(DeviceActionsSent, TheDetectorFollowsTheCommands) {
    ASSERT_EQ(q.testChannel(0), 1);
    ASSERT_EQ(q.setRelay(8, 1), 1);
    ASSERT_EQ(q.clearOperatingHours(), 1);
    ASSERT_EQ(q.readState(), 1);
    EXPECT_NE(q.channelInAlarm(0), 0);
    EXPECT_EQ(q.channelInAlarm(1), 0);
    EXPECT_EQ(q.relayState(8), 1);
    EXPECT_EQ(q.hoursByte0() + q.hoursByte1() + q.hoursByte2() + q.hoursByte3(), 0);
    ASSERT_EQ(q.resetDevice(), 1);
    ASSERT_EQ(q.readState(), 1);
    EXPECT_EQ(q.channelInAlarm(0), 0);
}

TEST_F(DeviceActionsSent, ExtendedCommandCarriesLowBytesAndReturnsTheAnswer) {
    static int data[1024], result[1024];
    for (int i = 0; i < 1024; ++i) data[i] = 0x100 * i + (i & 0xFF);  // only the low byte goes
    const int info[12] = {1 + 0x100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F + 0x300};
    ASSERT_EQ(q.extendedCommand(info, data, result), 1) << q.lastStatus();
    const auto r = lastRequest();
    EXPECT_EQ(r.code, 36);
    EXPECT_EQ(r.p[1], 1);
    EXPECT_EQ(r.p[12], 0x7F);
    ASSERT_EQ(r.payload.size(), 1024u);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(r.payload[i], i & 0xFF) << i;
    EXPECT_EQ(result[33], 3) << "firmware version in the information block";

    // RAM byte written, then read back: address lowest byte first.
    const uint32_t address = 16725944;
    const int write[12] = {7, int(address & 255), int(address >> 8 & 255), int(address >> 16 & 255), int(address >> 24),
                           42};
    ASSERT_EQ(q.extendedCommand(write, nullptr, result), 1);
    EXPECT_EQ(detector().ramByte(address), 42);
    const int read[12] = {3, int(address & 255), int(address >> 8 & 255), int(address >> 16 & 255), int(address >> 24)};
    ASSERT_EQ(q.extendedCommand(read, nullptr, result), 1);
    EXPECT_EQ(result[0], 42);

    const int eepromByte[12] = {6, 411 & 255, 411 >> 8};
    ASSERT_EQ(q.extendedCommand(eepromByte, nullptr, result), 1);
    EXPECT_EQ(result[0], detector().eepromBytes(411, 1)[0]);
}

// ---- air density test ----------------------------------------------------

class AirDensity : public DeviceActionsSent {
protected:
    void SetUp() override {
        DeviceActionsSent::SetUp();
        // A noise generator stuck at zero gives every sample as level - 6.
        detector().withModel([](DetectorModel& m) {
            m.noiseState = 0;
            m.transitLevel[0] = 2006;
            m.transitLevel[2] = 3006;
        });
    }
    void setLevel(int channel, int sample) {
        detector().withModel([=](DetectorModel& m) { m.transitLevel[2 * channel - 2] = sample + 6; });
    }
    int transitRequests() { return detector().requestCount(11); }
    // Warm-up: 30 samples of `sample`, 4 each.
    void warmUp(int channel, int sample) {
        ASSERT_EQ(q.airDensityStep(channel, -1), 1) << q.lastStatus();
        setLevel(channel, sample);
        for (int tick = 1; tick <= 30; ++tick) ASSERT_EQ(q.airDensityStep(channel, tick), 4) << tick;
    }
};

TEST_F(AirDensity, EqualWarmUpSamplesAreTheReference) {
    warmUp(2, 3000);
    EXPECT_EQ(q.adMean, 3000);
    EXPECT_EQ(q.adFastMean, 3000.0);
    EXPECT_EQ(q.adSlowMean, 3000.0);
    for (int w : q.adWindow) EXPECT_EQ(w, 3000);
    const auto r = lastRequest();
    EXPECT_EQ(r.code, 11);
    EXPECT_EQ(r.p[1], 2) << "channel 2 reads selector 2";
}

TEST_F(AirDensity, NoisyWarmUpFailsOnTheThirtiethSample) {
    for (int noisyPairs : {15, 16}) {
        SCOPED_TRACE(noisyPairs);
        ASSERT_EQ(q.airDensityStep(1, -1), 1);
        int last = 0;
        for (int tick = 1; tick <= 30; ++tick) {
            // The sample changes between each of the first `noisyPairs` pairs.
            const int changes = std::min(tick - 1, noisyPairs);
            setLevel(1, changes % 2 == 0 ? 2000 : 2050);
            last = q.airDensityStep(1, tick);
            if (tick < 30) { ASSERT_EQ(last, 4) << tick; }
        }
        EXPECT_EQ(last, noisyPairs > 15 ? 2 : 4);
        const int sent = transitRequests();
        EXPECT_EQ(q.airDensityStep(1, 31), noisyPairs > 15 ? 2 : 1);
        if (noisyPairs > 15) { EXPECT_EQ(transitRequests(), sent) << "a failed test sends nothing more"; }
    }
}

TEST_F(AirDensity, FarSamplesLeaveTheAveragesAndEndTheTestAsOutliers) {
    warmUp(1, 2000);
    for (int tick = 31; tick <= 40; ++tick) ASSERT_EQ(q.airDensityStep(1, tick), 1) << tick;
    setLevel(1, 2200);
    int result = 0;
    for (int tick = 41; tick <= 60; ++tick) {
        result = q.airDensityStep(1, tick);
        EXPECT_EQ(q.adFastMean, 2000.0) << tick;
        EXPECT_EQ(q.adSlowMean, 2000.0) << tick;
        if (tick < 60) { ASSERT_EQ(result, 1) << tick; }
    }
    EXPECT_EQ(result, 40) << "twenty outliers in the window: the tick twenty steps back";
    const int sent = transitRequests();
    for (int tick = 61; tick <= 63; ++tick) EXPECT_EQ(q.airDensityStep(1, tick), 40);
    EXPECT_EQ(transitRequests(), sent) << "a finished test repeats its result without asking";
}

TEST_F(AirDensity, DriftOfTheFastAverageGivesTheLastSteadyTick) {
    warmUp(1, 2000);
    for (int tick = 31; tick <= 44; ++tick) ASSERT_EQ(q.airDensityStep(1, tick), 1) << tick;
    setLevel(1, 2030);
    for (int tick = 45; tick <= 53; ++tick) ASSERT_EQ(q.airDensityStep(1, tick), 1) << tick;
    EXPECT_EQ(q.airDensityStep(1, 54), 44) << "ten steps of drift";
    EXPECT_EQ(q.airDensityStep(1, 55), 44);
}

TEST_F(AirDensity, ChannelWithoutUltrasonicsIsNotStarted) {
    detector().withModel([](DetectorModel& m) { m.channelEnabled[1] = 0; });
    EXPECT_EQ(q.airDensityStep(2, -1), 3);
    EXPECT_EQ(q.airDensityStep(2, 1), 0) << "still not started";
    EXPECT_EQ(q.lastStatus(), 13);
}

}  // namespace

// The virtual detector seen through the tool's own link: connect, identity
// and the faults a test can inject, as QOB reports them.
#include <gtest/gtest.h>

#include "device/qob.h"
#include "support/sim_fixture.h"

using namespace nerax_sim;

namespace {

class SimThroughLink : public SimFixture {};

TEST_F(SimThroughLink, ConnectReadsTheDefaultIdentity) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1) << qob.lastStatus();
    EXPECT_EQ(qob.eepromRead(), 1);
    EXPECT_EQ(qob.factoryOk(), 1);
    EXPECT_EQ(qob.configOk(), 1);
    EXPECT_EQ(qob.loopBasedOk(), 1);
    EXPECT_EQ(qob.wrongConfiguration(), 0);
    EXPECT_EQ(qob.variant(), 1);
    EXPECT_EQ(qob.channelCount(), 2);
    EXPECT_EQ(qob.fwMajor(), 3);
    EXPECT_EQ(qob.mcVersion(), 1);
    EXPECT_EQ(qob.state.hours[0] | qob.state.hours[1] << 8, 2469);
    EXPECT_EQ(qob.restartPending(), 0);
}

TEST_F(SimThroughLink, RestartIsPendingUntilItHappens) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
    uint8_t params[12] = {1};  // maintenance
    ASSERT_EQ(qob.sendCommand(29, 0, 0, params, nullptr, qob.answer), 1);
    EXPECT_EQ(qob.restartPending(), 2);
    detector().withModel([](DetectorModel& m) { m.finishRestart(); });
    EXPECT_EQ(qob.restartPending(), 0);
    const int newest = detector().withModel([](DetectorModel& m) { return m.logNewestIndex(); });
    EXPECT_EQ(detector().withModel([&](DetectorModel& m) { return m.logRecord(newest)[0]; }), 20);
}

struct FaultCase {
    const char* name;
    Fault fault;
    int expectedStatus;
    // A detector still busy with a slow answer (pieces, late, endless) is
    // not ready for the next request at once.
    bool checkNext = true;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class SimFaultsThroughLink : public SimFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimFaultsThroughLink, StateReadFailsWithItsStatusAndTheNextOneWorks) {
    QOB qob;
    // Short time-outs keep the failing cases quick: one read call of 300 ms.
    ASSERT_EQ(qob.connect(comNumber(), 0, 300, 1), 1);
    detector().injectFault(30, GetParam().fault);
    EXPECT_EQ(qob.sendCommand(30, 0, 74, nullptr, nullptr, qob.answer), 0);
    EXPECT_EQ(qob.lastStatus(), GetParam().expectedStatus);
    // The stale-input discard before each request keeps leftovers out.
    if (!GetParam().checkNext) return;
    qob.status = 0;
    EXPECT_EQ(qob.sendCommand(30, 0, 74, nullptr, nullptr, qob.answer), 1) << qob.lastStatus();
}

INSTANTIATE_TEST_SUITE_P(Faults, SimFaultsThroughLink,
                         ::testing::Values(FaultCase{"NotAcknowledged", {FaultKind::NotAcknowledged}, 8},
                                           FaultCase{"BadChecksum", {FaultKind::BadChecksum}, 7},
                                           FaultCase{"ShortAnswer", {FaultKind::ShortAnswer, 3}, 4},
                                           FaultCase{"StrayBefore", {FaultKind::StrayBefore, 1, 0, 0x01}, 7},
                                           FaultCase{"NoAnswer", {FaultKind::NoAnswer}, 4},
                                           FaultCase{"Pieces", {FaultKind::Pieces, 4, 400}, 4, false},
                                           FaultCase{"LateAnswer", {FaultKind::LateAnswer, 1, 600}, 4, false},
                                           FaultCase{"EndlessAnswer", {FaultKind::EndlessAnswer, 1, 20}, 4, false}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(SimThroughLink, UnplugEndsTheTransactionAndReconnectWorks) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 300, 1), 1);
    detector().injectFault(30, Fault{FaultKind::Unplug});
    EXPECT_EQ(qob.sendCommand(30, 0, 74, nullptr, nullptr, qob.answer), 0);
    EXPECT_TRUE(qob.lastStatus() == 2 || qob.lastStatus() == 4) << qob.lastStatus();
    qob.disconnect();
    ASSERT_TRUE(detector().replug());
    QOB again;
    EXPECT_EQ(again.connect(comNumber(), 0, 0, 0), 1) << again.lastStatus();
}

}  // namespace

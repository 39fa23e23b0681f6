// A detector that is unplugged, noisy or slow: every operation ends within
// its time-outs with a status and the standard line, never with a wrong
// success; polling stops when the link fails and the window stays usable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "support/pty_peer.h"
#include "support/sim_fixture.h"
#include "support/window_fixture.h"

using namespace nerax_sim;

namespace {

const std::string kReadErrorLine = ">>WIN Error [" + std::to_string(EIO) + "]: Read error";
const std::string kWriteErrorLine = ">>WIN Error [" + std::to_string(EIO) + "]: Write error";
const std::string kTimeoutLine = ">>QOB Error [4] timeout reached waiting answer from COM port";

bool isLinkFailureLine(const std::string& line) {
    return line == kReadErrorLine || line == kWriteErrorLine || line == kTimeoutLine;
}

// ---- the window against an unplugged detector -------------------------

class UnplugTest : public SimWindowTest {
protected:
    // Short time-outs, so that a silent line costs little.
    void quickLink() {
        ASSERT_EQ(w().qob->port->setTimeouts(50, 200), 0);
        w().qob->readAttempts = 2;
    }
    void reconnect() {
        w().Button2Click();
        EXPECT_EQ(console().back(), ">>Disconnected");
        EXPECT_FALSE(w().qob);
        ASSERT_TRUE(detector().replug());
        connect();
        EXPECT_EQ(console().back(), ">>Connected");
    }
};

// Every kind of handler that talks to the detector, unplugged in the middle
// of its transaction: the standard line, the object no longer connected,
// the guard in force; Disconnect and Connect bring it back.
TEST_F(UnplugTest, HandlersEndWithTheStandardLineAndReconnectWorks) {
    struct Case {
        const char* what;
        int code;
        int skip;  // requests of the code answered before the plug goes
        std::function<void(TFrmTestQOB&)> run;
    };
    const Case cases[] = {
        {"state readout", cmd::ReadState, 0, [](TFrmTestQOB& w) { w.btnStateClick(); }},
        {"clock read", cmd::ReadClock, 0, [](TFrmTestQOB& w) { w.Button24Click(); }},
        {"reset", cmd::Action, 0, [](TFrmTestQOB& w) { w.btnresClick(); }},
        {"log header", cmd::ReadEeprom, 0, [](TFrmTestQOB& w) { w.btnReadLogsClick(&w.btnReadAllLogs); }},
        {"tenth log piece", cmd::ReadEeprom, 10, [](TFrmTestQOB& w) { w.btnReadLogsClick(&w.btnReadAllLogs); }},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        quickLink();
        const std::string stateBefore = w().memState.Text();
        Fault unplug{FaultKind::Unplug};
        unplug.skip = c.skip;
        detector().injectFault(c.code, unplug);
        const size_t from = console().size();
        c.run(w());
        const Lines lines = consoleFrom(from);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(isLinkFailureLine(lines[0])) << lines[0];
        EXPECT_EQ(w().memState.Text(), stateBefore);
        ASSERT_TRUE(w().qob);
        EXPECT_EQ(w().qob->isConnected(), 0);
        // Any further handler stops at the guard instead of failing again.
        w().btnStateClick();
        EXPECT_EQ(console().back(), ">>Not connected!");
        reconnect();
        // And the detector answers as before.
        w().btnStateClick();
        EXPECT_EQ(console().back(), ">>Connected");
        EXPECT_FALSE(w().memState.Lines.lines().empty());
    }
}

TEST_F(UnplugTest, ConnectWhileUnpluggedFailsAndLeavesNoObject) {
    connect();
    detector().unplug();
    w().btnStateClick();
    EXPECT_TRUE(isLinkFailureLine(console().back())) << console().back();
    w().Button2Click();
    // The COM entry went with the device (its pty number may already
    // serve another program): the connect fails cleanly.
    QOB probe;
    EXPECT_EQ(probe.connect(comNumber(), 0, 100, 1), 0);
    EXPECT_TRUE(probe.lastStatus() == 2 || probe.lastStatus() == 4 || probe.lastStatus() == 5) << probe.lastStatus();
    EXPECT_EQ(probe.isConnected(), 0);
    EXPECT_FALSE(probe.port->isOpen());
    ASSERT_TRUE(detector().replug());
    connect();
}

// Capture and state auto-refresh poll until the link fails; then they stop
// by themselves and the window goes on working.
TEST_F(UnplugTest, PollingTimersStopWhenTheLinkFails) {
    connect();
    quickLink();
    w().cboState.Checked = true;
    w().cboStateClick();
    w().cboFlowLog.Checked = true;
    w().cboFlowLogClick();
    ASSERT_TRUE(w().tmrState.Enabled);
    ASSERT_TRUE(w().tmrFlowLog.Enabled);
    host.sleep(300);
    EXPECT_GT(host.tickCount(w().tmrState), 0);
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 10);

    detector().injectFault(cmd::FlowLog, Fault{FaultKind::Unplug});
    host.sleep(300);  // the next flow log tick meets the unplugged detector
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_FALSE(w().cboFlowLog.Checked);
    EXPECT_EQ(w().memFlowLog1.Lines.lines().back(), "ERROR");
    EXPECT_EQ(w().memFlowLog2.Lines.lines().back(), "ERROR");
    host.sleep(100);  // and the state refresh its guard
    EXPECT_FALSE(w().tmrState.Enabled);
    EXPECT_FALSE(w().cboState.Checked);
    EXPECT_EQ(console().back(), ">>Not connected!");

    // No timer keeps ticking on a dead link.
    const int stateTicks = host.tickCount(w().tmrState);
    const size_t lines = console().size();
    host.sleep(2000);
    EXPECT_EQ(host.tickCount(w().tmrState), stateTicks);
    EXPECT_EQ(console().size(), lines);

    reconnect();
    w().cboFlowLog.Checked = true;
    w().cboFlowLogClick();
    host.sleep(300);
    EXPECT_EQ(w().memFlowLog1.Lines.lines().back().size(), 108u);
    w().cboFlowLog.Checked = false;
    w().cboFlowLogClick();
}

// A detector that is there but stops answering keeps its connection: the
// readout fails with status 4 and the next one works.
TEST_F(UnplugTest, SilenceIsATimeOutNotADisconnection) {
    connect();
    quickLink();
    w().btnStateClick();
    const std::string state = w().memState.Text();
    detector().injectFault(cmd::ReadState, Fault{FaultKind::NoAnswer});
    w().btnStateClick();
    EXPECT_EQ(console().back(), kTimeoutLine);
    EXPECT_EQ(w().memState.Text(), state);
    EXPECT_EQ(w().qob->isConnected(), 1);
    const size_t from = console().size();
    w().btnStateClick();
    EXPECT_TRUE(consoleFrom(from).empty());
}

// ---- answers that are noisy, late or endless, through the library ----

class NoisyAnswers : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        // One read call of 150 ms per answer; 50 ms of silence ends a read.
        ASSERT_EQ(qob.connect(comNumber(), 0, 150, 1), 1) << libraryErrorLine(qob);
    }
    void setFlow(int flow) {
        detector().withModel([&](DetectorModel& m) {
            m.flow[0] = flow;
            m.eeprom[484] = 0;  // no flow correction
        });
    }
    QOB qob;
};

// Stray bytes, a late answer and an endless one, each on a state read whose
// flow reading the test changes right after the faulty request: however
// the transactions after it fare, none succeeds with the old reading, and
// the line settles within a few transactions.
TEST_F(NoisyAnswers, NoWrongSuccessAndTheLineSettles) {
    struct Case {
        const char* what;
        Fault fault;
        // What the faulty transaction may end with (readState reports a
        // refusal, 8, as 11).
        std::vector<int> firstStatus;
    };
    const Case cases[] = {
        {"stray acknowledge before", {FaultKind::StrayBefore, 1, 0, 0x01}, {7}},
        {"stray zero before", {FaultKind::StrayBefore, 1, 0, 0x00}, {11}},
        {"two stray bytes before", {FaultKind::StrayBefore, 2, 0, 0x01}, {7, 11}},
        {"late answer", {FaultKind::LateAnswer, 1, 400}, {4}},
        {"pieces too far apart", {FaultKind::Pieces, 3, 200}, {4}},
        {"endless answer", {FaultKind::EndlessAnswer, 1, 10}, {4, 7}},
        {"short answer", {FaultKind::ShortAnswer, 5}, {4}},
        {"bad checksum", {FaultKind::BadChecksum}, {7}},
    };
    int flow = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setFlow(flow);
        detector().injectFault(cmd::ReadState, c.fault);
        qob.status = 0;
        ASSERT_EQ(qob.readState(), 0);
        EXPECT_NE(std::find(c.firstStatus.begin(), c.firstStatus.end(), qob.lastStatus()), c.firstStatus.end())
            << qob.lastStatus();
        EXPECT_EQ(qob.isConnected(), 1);
        setFlow(++flow);
        bool settled = false;
        for (int attempt = 0; attempt < 20 && !settled; ++attempt) {
            if (qob.readState() == 1) {
                EXPECT_EQ(qob.flow(0), flow) << "a success with the reading of an earlier request";
                settled = true;
            } else {
                EXPECT_TRUE(qob.lastStatus() == 4 || qob.lastStatus() == 6 || qob.lastStatus() == 7 ||
                            qob.lastStatus() == 11)
                    << qob.lastStatus();
            }
        }
        EXPECT_TRUE(settled);
        ++flow;
    }
}

TEST_F(NoisyAnswers, StrayBytesAfterAnAnswerLeaveItIntact) {
    setFlow(77);
    detector().injectFault(cmd::ReadState, Fault{FaultKind::StrayAfter, 3, 0, 0x01});
    ASSERT_EQ(qob.readState(), 1) << libraryErrorLine(qob);
    EXPECT_EQ(qob.flow(0), 77);
    // The leftovers are dropped before the next request.
    uint8_t p[12] = {0, 0, 0, 2};
    EXPECT_EQ(qob.sendCommand(cmd::ReadEeprom, 0, 512, p, nullptr, qob.answer), 1) << libraryErrorLine(qob);
}

// ---- the same, byte for byte, with the test playing the device --------

class LatePeer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ports.add(kPort, peer.devicePath());
        qob.readAttempts = 1;
        ASSERT_EQ(qob.openPort(kPort, 38400, 8, 0, 0, 50, 100), 1);
    }
    // One state read answered with `bytes` (nothing when empty).
    int stateRead(const std::vector<uint8_t>& bytes) {
        std::thread device([&] {
            peer.receive(16);
            if (!bytes.empty()) peer.send(bytes);
        });
        qob.status = 0;
        const int ok = qob.sendCommand(cmd::ReadState, 0, 74, nullptr, nullptr, qob.answer);
        device.join();
        return ok;
    }
    static std::vector<uint8_t> stateAnswer(uint8_t first) {
        std::vector<uint8_t> data(74, 0);
        data[0] = first;
        return answerFrame(data);
    }
    static constexpr int kPort = 9;
    PtyPeer peer;
    TempPortsFolder ports;
    QOB qob;
};

// After a time-out the earlier answer can arrive just behind the next
// request, right before its own answer: the pair is refused with status 6;
// the next transaction on a quiet line passes, and with a settled line an
// answer is taken as soon as it is complete.
TEST_F(LatePeer, AfterATimeOutOnlyAQuietLineProvesTheAnswer) {
    EXPECT_EQ(stateRead({}), 0);
    EXPECT_EQ(qob.status, 4);

    std::vector<uint8_t> lateThenOwn = stateAnswer(1);
    const std::vector<uint8_t> own = stateAnswer(2);
    lateThenOwn.insert(lateThenOwn.end(), own.begin(), own.end());
    EXPECT_EQ(stateRead(lateThenOwn), 0);
    EXPECT_EQ(qob.status, 6);
    EXPECT_EQ(libraryErrorLine(qob), ">>QOB Error [6] device doesn't answer to command or answer not valid");

    // The rest still queued is dropped before the next request.
    EXPECT_EQ(stateRead(stateAnswer(3)), 1);
    EXPECT_EQ(qob.answer[1], 3);

    std::vector<uint8_t> withStray = stateAnswer(4);
    withStray.push_back(0x01);
    EXPECT_EQ(stateRead(withStray), 1);
    EXPECT_EQ(qob.answer[1], 4);
}

// A checksum failure unsettles the line as a time-out does; a refusal
// (acknowledge 0) with its full length does not.
TEST_F(LatePeer, ChecksumFailuresUnsettleTheLineRefusalsDoNot) {
    std::vector<uint8_t> bad = stateAnswer(1);
    bad.back() ^= 0xFF;
    EXPECT_EQ(stateRead(bad), 0);
    EXPECT_EQ(qob.status, 7);
    EXPECT_EQ(qob.lineUnsettled, 1);
    EXPECT_EQ(stateRead(stateAnswer(2)), 1);
    EXPECT_EQ(qob.lineUnsettled, 0);

    std::vector<uint8_t> refused = stateAnswer(3);
    refused[0] = 0;
    EXPECT_EQ(stateRead(refused), 0);
    EXPECT_EQ(qob.status, 8);
    EXPECT_EQ(qob.lineUnsettled, 0);
}

}  // namespace

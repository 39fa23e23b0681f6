// Connect, disconnect, device flags, identity and restart pending, against
// the virtual detector (and, where the detector itself would refuse to
// misreport, a scripted device on a pseudo-terminal).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "support/pty_peer.h"
#include "support/sim_fixture.h"

namespace {

using nerax_sim::DetectorModel;
using nerax_sim::Fault;
using nerax_sim::FaultKind;

// Failing cases use a short total time-out so that a silent detector costs
// little; the answers that do come are not raced against it.
class Connect : public SimFixture {
protected:
    // The port is free again: nobody, the object included, still holds it.
    bool portReleased() {
        auto other = makePosixSerialPort();
        return other->open(sim().devicePath()) == 0;
    }
    int requests(uint8_t code) { return detector().requestCount(code); }
    // The calls the readout makes, for comparing whole identities.
    std::vector<int> identity(QOB& qob) {
        return {qob.sensorCount(), qob.channelCount(), qob.qobId(),       qob.variant(),        qob.serialByte(0),
                qob.serialByte(1), qob.serialByte(2),  qob.serialByte(3), qob.paramsSchemaId(), qob.fwMajor(),
                qob.hwVersion(),   qob.mcVersion(),    qob.manufDay(),    qob.manufMonth(),     qob.manufYear(),
                qob.manufHour(),   qob.manufMinute(),  qob.fwMinor(),     qob.fwBuild()};
    }
};

TEST_F(Connect, ReadsFlagsAndIdentity) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1) << libraryErrorLine(qob);
    EXPECT_EQ(qob.lastStatus(), 0);
    EXPECT_EQ(qob.isConnected(), 1);
    EXPECT_EQ(qob.linkUp, 1);
    EXPECT_EQ(qob.readAttempts, 8);
    EXPECT_EQ(qob.eepromRead(), 1);
    EXPECT_EQ(qob.factoryOk(), 1);
    EXPECT_EQ(qob.configOk(), 1);
    EXPECT_EQ(qob.loopBasedOk(), 1);
    EXPECT_EQ(qob.wrongConfiguration(), 0);
    EXPECT_EQ(qob.superUser(), 0);

    std::vector<uint8_t> fct = detector().eepromBytes(256, 20);
    std::vector<int> expected(fct.begin(), fct.begin() + 19);
    EXPECT_EQ(identity(qob), expected);
    EXPECT_EQ(qob.variant(), 1);
    EXPECT_EQ(qob.channelCount(), 2);
    EXPECT_EQ(qob.serialByte(4), qob.paramsSchemaId());
    EXPECT_EQ(qob.serialByte(5), qob.fwMajor());
    EXPECT_EQ(qob.serialByte(6), -1);
    EXPECT_EQ(qob.lastStatus(), 13);

    // The image and the log header are the detector's, the hours come from the header.
    std::vector<uint8_t> image = detector().eepromBytes(0, 512);
    std::vector<uint8_t> header = detector().eepromBytes(1024, 64);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), qob.image));
    EXPECT_TRUE(std::equal(header.begin(), header.end(), qob.logHeader));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(qob.state.hours[i], header[static_cast<size_t>(i)]);
    uint32_t hours = detector().withModel([](DetectorModel& m) { return m.hoursCounter(); });
    EXPECT_EQ(static_cast<uint32_t>(qob.state.hours[0] | qob.state.hours[1] << 8 | qob.state.hours[2] << 16 |
                                    qob.state.hours[3] << 24),
              hours);
}

TEST_F(Connect, BadTimeoutArgumentsOpenNothing) {
    struct Case {
        int interval, total;
    } cases[] = {{10, 0}, {-1, 0}, {0, -1}};
    for (const Case& c : cases) {
        QOB qob;
        EXPECT_EQ(qob.connect(comNumber(), c.interval, c.total, 0), 0);
        EXPECT_EQ(qob.lastStatus(), 25);
        EXPECT_EQ(libraryErrorLine(qob), ">>QOB Error [25] ");
        EXPECT_FALSE(qob.port->isOpen());
    }
    EXPECT_EQ(requests(cmd::Ping), 0);
}

TEST_F(Connect, SecondConnectLeavesTheConnectionAlone) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
    qob.status = 7;
    EXPECT_EQ(qob.connect(comNumber(), 0, 0, 0), 0);
    EXPECT_EQ(qob.lastStatus(), 0);
    EXPECT_EQ(qob.isConnected(), 1);
    EXPECT_EQ(requests(cmd::Ping), 1);
    EXPECT_EQ(requests(cmd::EepromStatus), 1);
    EXPECT_EQ(qob.factoryOk(), 1);
}

TEST_F(Connect, PortThatCannotBeOpened) {
    auto holder = makePosixSerialPort();
    ASSERT_EQ(holder->open(sim().devicePath()), 0);
    struct Case {
        int port;
        int status;
        uint32_t osError;
    } cases[] = {
        {0, 3, 0},
        {256, 3, 0},
        {-1, 3, 0},
        {comNumber() + 1, 2, ENOENT},  // no such COM number
        {comNumber(), 2, EBUSY},       // held by another program
    };
    for (const Case& c : cases) {
        QOB qob;
        EXPECT_EQ(qob.connect(c.port, 0, 0, 0), 0) << c.port;
        EXPECT_EQ(qob.lastStatus(), c.status) << c.port;
        EXPECT_EQ(qob.lastOsError(), c.osError) << c.port;
        if (c.status == 2) { EXPECT_STREQ(qob.errorText, "Invalid Handle (-1)"); }
        EXPECT_EQ(qob.isConnected(), 0);
        EXPECT_FALSE(qob.port->isOpen());
    }
    EXPECT_EQ(requests(cmd::Ping), 0);
}

TEST_F(Connect, FailingTransactionsAtConnect) {
    struct Case {
        uint8_t code;
        FaultKind fault;
        int status;
        int connected;  // afterwards
        bool portOpen;
    } cases[] = {
        {cmd::Ping, FaultKind::NoAnswer, 4, 0, false},
        {cmd::Ping, FaultKind::NotAcknowledged, 5, 0, false},
        {cmd::Ping, FaultKind::BadChecksum, 5, 0, false},  // a 1-byte answer: ack 2
        {cmd::EepromStatus, FaultKind::NotAcknowledged, 9, 0, false},
        {cmd::EepromStatus, FaultKind::BadChecksum, 7, 0, false},
        {cmd::EepromStatus, FaultKind::ShortAnswer, 4, 0, false},
        {cmd::ReadEeprom, FaultKind::NotAcknowledged, 20, 1, true},
        {cmd::ReadEeprom, FaultKind::BadChecksum, 7, 1, true},
        {cmd::ReadEeprom, FaultKind::ShortAnswer, 4, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << int(c.code) << " fault " << nerax_sim::faultKindName(c.fault));
        detector().clearFaults();
        detector().injectFault(c.code, Fault{c.fault, 1, 0, 0x13}, 1);
        {
            QOB qob;
            EXPECT_EQ(qob.connect(comNumber(), 0, 100, 2), 0);
            EXPECT_EQ(qob.lastStatus(), c.status);
            EXPECT_EQ(qob.isConnected(), c.connected);
            EXPECT_EQ(qob.port->isOpen(), c.portOpen);
            if (c.connected) {
                // Connected without a valid image: flags cleared, identity refused.
                EXPECT_EQ(qob.eepromRead(), 0);
                EXPECT_EQ(qob.factoryOk(), 0);
                EXPECT_EQ(qob.configOk(), 0);
                EXPECT_EQ(qob.loopBasedOk(), 0);
                EXPECT_EQ(qob.variant(), -1);
                EXPECT_EQ(qob.lastStatus(), 14);
            }
        }
        EXPECT_TRUE(portReleased());
    }
}

TEST_F(Connect, StrayBytesAroundAnswersDoNotDisturb) {
    detector().injectFault(cmd::Ping, Fault{FaultKind::StrayAfter, 3, 0, 0x01}, 1);
    detector().injectFault(cmd::EepromStatus, Fault{FaultKind::Pieces, 3, 0, 0}, 1);
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1) << libraryErrorLine(qob);
    EXPECT_EQ(qob.factoryOk(), 1);
    EXPECT_EQ(qob.configOk(), 1);
    EXPECT_EQ(qob.channelCount(), 2);
}

TEST_F(Connect, DisconnectAndDestructorReleaseThePort) {
    QOB idle;
    idle.status = 9;
    EXPECT_EQ(idle.disconnect(), 0);
    EXPECT_EQ(idle.lastStatus(), 0);
    {
        QOB qob;
        ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
        EXPECT_FALSE(portReleased());
        EXPECT_EQ(qob.disconnect(), 1);
        EXPECT_EQ(qob.isConnected(), 0);
        EXPECT_EQ(qob.linkUp, 0);
        EXPECT_TRUE(portReleased());
        EXPECT_EQ(qob.disconnect(), 0);
        EXPECT_EQ(qob.eepromRead(), -1);
        EXPECT_EQ(qob.lastStatus(), 10);
    }
    {
        QOB qob;
        ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
    }  // no disconnect
    EXPECT_TRUE(portReleased());
    int pings = requests(cmd::Ping);
    QOB again;
    EXPECT_EQ(again.connect(comNumber(), 0, 0, 0), 1);
    EXPECT_EQ(requests(cmd::Ping), pings + 1);
}

TEST_F(Connect, AccessorsRefuseWithoutConnection) {
    QOB qob;
    using Accessor = std::function<int()>;
    Accessor flags[] = {[&] { return qob.eepromRead(); },         [&] { return qob.factoryOk(); },
                        [&] { return qob.configOk(); },           [&] { return qob.loopBasedOk(); },
                        [&] { return qob.wrongConfiguration(); }, [&] { return qob.superUser(); }};
    for (auto& f : flags) {
        qob.status = 0;
        EXPECT_EQ(f(), -1);
        EXPECT_EQ(qob.lastStatus(), 10);
    }
    for (int value : identity(qob)) EXPECT_EQ(value, -1);
    EXPECT_EQ(qob.lastStatus(), 10);
    qob.status = 0;
    EXPECT_EQ(qob.restartPending(), 0);
    EXPECT_EQ(qob.lastStatus(), 10);
}

struct ImageCase {
    const char* name;
    void (*apply)(nerax_sim::ImageOptions&);
};

class ConnectWithImage : public Connect, public testing::WithParamInterface<ImageCase> {
protected:
    nerax_sim::DetectorOptions simOptions() const override {
        nerax_sim::DetectorOptions options;
        GetParam().apply(options.image);
        return options;
    }
};

// Flags the detector reports at connect decide what the tool reads.
TEST_P(ConnectWithImage, FlagsAndIdentity) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1) << libraryErrorLine(qob);
    nerax_sim::ImageOptions o;
    GetParam().apply(o);
    const bool eepromOk = !o.eepromUnreadable;
    EXPECT_EQ(qob.eepromRead(), eepromOk ? 1 : 0);
    EXPECT_EQ(qob.factoryOk(), eepromOk && !o.brokenFct ? 1 : 0);
    EXPECT_EQ(qob.configOk(), eepromOk && !o.brokenCfg ? 1 : 0);
    EXPECT_EQ(qob.loopBasedOk(), eepromOk && !o.brokenLob ? 1 : 0);
    EXPECT_EQ(qob.wrongConfiguration(), o.wrongConfiguration ? 1 : 0);
    EXPECT_EQ(qob.superUser(), o.superUser ? 1 : 0);

    const bool identityRead = eepromOk && !o.brokenFct && !o.wrongConfiguration;
    EXPECT_EQ(requests(cmd::ReadEeprom), identityRead ? 2 : 0);
    if (identityRead) {
        EXPECT_EQ(qob.variant(), o.variant);
        EXPECT_EQ(qob.fwMajor(), o.fwMajor);
        EXPECT_EQ(qob.mcVersion(), o.mcVersion);
    } else {
        for (int value : identity(qob)) EXPECT_EQ(value, -1);
        EXPECT_EQ(qob.lastStatus(), 14);
        EXPECT_EQ(libraryErrorLine(qob), ">>QOB Error [14] device info not available");
    }
    const bool hours = identityRead && !o.brokenLogHeader;
    int sum = qob.state.hours[0] + qob.state.hours[1] + qob.state.hours[2] + qob.state.hours[3];
    EXPECT_EQ(sum != 0, hours);
}

INSTANTIATE_TEST_SUITE_P(
    Images, ConnectWithImage,
    testing::Values(ImageCase{"Default", [](nerax_sim::ImageOptions&) {}},
                    ImageCase{"LoopBased", [](nerax_sim::ImageOptions& o) { o.variant = 2; }},
                    ImageCase{"SuperUser", [](nerax_sim::ImageOptions& o) { o.superUser = true; }},
                    ImageCase{"WrongConfiguration", [](nerax_sim::ImageOptions& o) { o.wrongConfiguration = true; }},
                    ImageCase{"EepromUnreadable", [](nerax_sim::ImageOptions& o) { o.eepromUnreadable = true; }},
                    ImageCase{"BrokenFct", [](nerax_sim::ImageOptions& o) { o.brokenFct = true; }},
                    ImageCase{"BrokenCfg", [](nerax_sim::ImageOptions& o) { o.brokenCfg = true; }},
                    ImageCase{"BrokenLob", [](nerax_sim::ImageOptions& o) { o.brokenLob = true; }},
                    ImageCase{"BrokenLogHeader", [](nerax_sim::ImageOptions& o) { o.brokenLogHeader = true; }}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST_F(Connect, ManufacturingYearAbove99ReadsAs11) {
    for (int year : {99, 100, 255}) {
        detector().withModel([&](DetectorModel& m) {
            m.eeprom[270] = static_cast<uint8_t>(year);
            m.sealAreas();
        });
        QOB qob;
        ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
        EXPECT_EQ(qob.manufYear(), year > 99 ? 11 : year);
    }
}

TEST_F(Connect, RestartPending) {
    struct Case {
        int pending;          // the detector's answer to command 35
        uint8_t maintenance;  // EEPROM byte 1031
        int result;
    } cases[] = {{0, 1, 0}, {1, 0, 1}, {1, 1, 2}, {2, 7, 2}};
    for (const Case& c : cases) {
        detector().withModel([&](DetectorModel& m) {
            m.restartPending = c.pending;
            m.restartDueMs = INT64_MAX;  // the restart never completes here
            m.eeprom[1031] = c.maintenance;
        });
        QOB qob;
        ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
        EXPECT_EQ(qob.restartPending(), c.result);
        EXPECT_EQ(qob.restartInfo, c.result);
        EXPECT_EQ(qob.lastStatus(), 0);
    }

    detector().withModel([](DetectorModel& m) {
        m.restartPending = 1;
        m.restartDueMs = INT64_MAX;
    });
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 100, 2), 1);
    struct FaultCase {
        uint8_t code;
        FaultKind fault;
        int status;
    } faults[] = {
        {cmd::RestartPending, FaultKind::NotAcknowledged, 0},
        {cmd::RestartPending, FaultKind::NoAnswer, 4},
        {cmd::ReadEeprom, FaultKind::NotAcknowledged, 20},
        {cmd::ReadEeprom, FaultKind::BadChecksum, 7},
    };
    for (const FaultCase& f : faults) {
        detector().injectFault(f.code, Fault{f.fault, 1, 0, 0x13}, 1);
        qob.status = 9;
        EXPECT_EQ(qob.restartPending(), -1);
        EXPECT_EQ(qob.lastStatus(), f.status);
    }
}

class ConnectWrongConfiguration : public Connect {
protected:
    nerax_sim::DetectorOptions simOptions() const override {
        nerax_sim::DetectorOptions options;
        options.image.wrongConfiguration = true;
        return options;
    }
};

TEST_F(ConnectWrongConfiguration, RestartPendingIsRefused) {
    QOB qob;
    ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
    EXPECT_EQ(qob.restartPending(), 0);
    EXPECT_EQ(qob.lastStatus(), 20);
    EXPECT_EQ(requests(cmd::RestartPending), 0);
}

// The detector reports its areas valid, but what arrives does not check:
// the tool trusts its own checksums.
TEST(ConnectChecks, AreasAreCheckedOnTheToolSide) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    TempPortsFolder ports;
    ports.add(9, peer.devicePath());

    std::vector<uint8_t> image(512, 0x21), header(64, 0x42);
    auto seal = [](std::vector<uint8_t>& bytes, int start, int length, int at, int seed) {
        unsigned sum = static_cast<unsigned>(seed);
        for (int a = start; a < start + length; ++a)
            if (a != at) sum += bytes[static_cast<size_t>(a)];
        bytes[static_cast<size_t>(at)] = static_cast<uint8_t>(sum);
    };
    struct Case {
        bool fct, cfg, lob, log;  // which areas arrive intact
    } cases[] = {{true, true, true, true},
                 {false, true, true, true},
                 {true, false, true, true},
                 {true, true, false, true},
                 {true, true, true, false}};
    for (const Case& c : cases) {
        seal(image, 256, 20, 275, 3);
        seal(image, 276, 220, 495, 5);
        seal(image, 0, 49, 48, 1);
        seal(header, 0, 64, 63, 7);
        image[275] = static_cast<uint8_t>(image[275] + !c.fct);
        image[495] = static_cast<uint8_t>(image[495] + !c.cfg);
        image[48] = static_cast<uint8_t>(image[48] + !c.lob);
        header[63] = static_cast<uint8_t>(header[63] + !c.log);

        std::thread device([&] {
            peer.receive(16);
            peer.send({1});
            peer.receive(16);
            peer.send(answerFrame({1, 1, 1, 1, 0, 0, 1}));
            peer.receive(16);
            peer.send(answerFrame(image));
            peer.receive(16);
            peer.send(answerFrame(header));
        });
        QOB qob;
        EXPECT_EQ(qob.connect(9, 0, 0, 0), 1);
        device.join();
        EXPECT_EQ(qob.factoryOk(), c.fct ? 1 : 0);
        EXPECT_EQ(qob.configOk(), c.cfg ? 1 : 0);
        EXPECT_EQ(qob.loopBasedOk(), c.lob ? 1 : 0);
        EXPECT_EQ(qob.superUser(), 1);
        EXPECT_EQ(qob.channelCount(), c.fct ? 0x21 : -1);
        EXPECT_EQ(qob.state.hours[0], c.log ? 0x42 : 0);
    }
}

}  // namespace

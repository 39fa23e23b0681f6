// The serial link over a real pseudo-terminal: the test plays the device.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "support/pty_peer.h"

namespace {

constexpr int kPort = 7;

std::vector<uint8_t> requestBytes(uint8_t code, const std::vector<uint8_t>& payload = {},
                                  const uint8_t* params = nullptr) {
    std::vector<uint8_t> out(frame::kMaxRequest);
    int n = frame::buildRequest(code, static_cast<int>(payload.size()), params,
                                payload.empty() ? nullptr : payload.data(), out.data());
    out.resize(static_cast<size_t>(n));
    return out;
}

class Link : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ports.add(kPort, peer.devicePath());
    }

    // Short time-outs keep the failing cases quick; results never depend on them.
    int open(int intervalMs = 50, int totalMs = 1000, int attempts = 8) {
        qob.readAttempts = attempts;
        return qob.openPort(kPort, 38400, 8, 0, 0, intervalMs, totalMs);
    }

    PtyPeer peer;
    TempPortsFolder ports;
    QOB qob;
};

TEST_F(Link, PortNumbersOutsideOneTo255AreRefusedWithoutOpening) {
    for (uint32_t number : {0u, 256u, 0xFFFFFFFFu}) {
        qob.status = 0;
        qob.osError = 1234;
        std::strcpy(qob.errorText, "before");
        EXPECT_EQ(qob.openPort(number, 38400, 8, 0, 0, 50, 1000), 0);
        EXPECT_EQ(qob.status, 3);
        EXPECT_EQ(qob.osError, 1234u);
        EXPECT_STREQ(qob.errorText, "before");
        EXPECT_FALSE(qob.port->isOpen());
    }
}

TEST_F(Link, PortWithoutDeviceFailsWithInvalidHandle) {
    EXPECT_EQ(qob.openPort(8, 38400, 8, 0, 0, 50, 1000), 0);
    EXPECT_EQ(qob.status, 2);
    EXPECT_EQ(qob.osError, static_cast<uint32_t>(ENOENT));
    EXPECT_STREQ(qob.errorText, "Invalid Handle (-1)");
}

TEST_F(Link, BusyPortFailsWithInvalidHandleUntilReleased) {
    auto holder = makePosixSerialPort();
    ASSERT_EQ(holder->open(peer.devicePath()), 0);
    EXPECT_EQ(open(), 0);
    EXPECT_EQ(qob.status, 2);
    EXPECT_EQ(qob.osError, static_cast<uint32_t>(EBUSY));
    EXPECT_EQ(libraryErrorLine(qob), ">>WIN Error [" + std::to_string(EBUSY) + "]: Invalid Handle (-1)");
    char text[128] = {};
    EXPECT_EQ(qob.osErrorText(text), 1);
    EXPECT_STREQ(text, "Invalid Handle (-1)");

    holder->close();
    EXPECT_EQ(open(), 1);
    // And now the object holds it against others.
    EXPECT_EQ(holder->open(peer.devicePath()), EBUSY);
}

TEST_F(Link, PingRoundTrip) {
    ASSERT_EQ(open(), 1);
    std::vector<uint8_t> seen;
    std::thread device([&] {
        seen = peer.receive(16);
        peer.send({0x01});
    });
    qob.status = 0;
    EXPECT_EQ(qob.sendCommand(cmd::Ping, 0, 0, nullptr, nullptr, qob.answer), 1);
    device.join();
    EXPECT_EQ(seen, requestBytes(cmd::Ping));
    EXPECT_EQ(qob.status, 0);
    char text[128] = "untouched";
    EXPECT_EQ(qob.osErrorText(text), 0);
    EXPECT_STREQ(text, "untouched");
}

TEST_F(Link, AnswerInPiecesIsAssembled) {
    ASSERT_EQ(open(), 1);
    std::vector<uint8_t> full = answerFrame({0x34, 0x12, 0x56, 0x78});
    std::thread device([&] {
        peer.receive(16);
        for (size_t at = 0; at < full.size(); at += 2) {
            peer.send({full[at], full[at + 1]});
            peer.waitDrained();
        }
    });
    auto request = requestBytes(cmd::ReadAnalog);
    uint8_t answer[16] = {};
    unsigned received = 0;
    EXPECT_EQ(qob.exchange(request.data(), 16, answer, 6, received), 1);
    device.join();
    EXPECT_EQ(received, 6u);
    EXPECT_TRUE(std::equal(full.begin(), full.end(), answer));
}

TEST_F(Link, ShortAnswerTimesOutKeepingWhatArrived) {
    ASSERT_EQ(open(1, 5, 3), 1);
    std::thread device([&] {
        peer.receive(16);
        peer.send({0x01, 0x34});
    });
    auto request = requestBytes(cmd::ReadAnalog);
    uint8_t answer[16] = {};
    unsigned received = 0;
    qob.status = 0;
    EXPECT_EQ(qob.exchange(request.data(), 16, answer, 4, received), 0);
    device.join();
    EXPECT_EQ(qob.status, 4);
    // Whether the two bytes came in before the attempts ran out is up to the
    // scheduler; whatever came is counted and kept.
    EXPECT_LE(received, 2u);
    if (received == 2) {
        EXPECT_EQ(answer[0], 0x01);
        EXPECT_EQ(answer[1], 0x34);
    }
}

TEST_F(Link, SilentDeviceGivesStatus4) {
    ASSERT_EQ(open(1, 2, 2), 1);
    qob.status = 0;
    EXPECT_EQ(qob.sendCommand(cmd::Ping, 0, 0, nullptr, nullptr, qob.answer), 0);
    EXPECT_EQ(qob.status, 4);
    EXPECT_EQ(libraryErrorLine(qob), ">>QOB Error [4] timeout reached waiting answer from COM port");
    EXPECT_EQ(peer.receive(16), requestBytes(cmd::Ping));
}

TEST_F(Link, FlowControlBytesPassUnchanged) {
    ASSERT_EQ(open(), 1);
    // Payload, data and both checksums made of XON and XOFF only:
    // 8 + 10 * 0x11 + 59 * 0x13 = 0x13 (mod 256).
    std::vector<uint8_t> payload(69, 0x13);
    for (size_t i = 0; i < 20; i += 2) payload[i] = 0x11;
    std::vector<uint8_t> data(payload.rbegin(), payload.rend());
    uint8_t params[12];
    std::memset(params, 0x11, sizeof params);
    auto request = requestBytes(36, payload, params);
    std::vector<uint8_t> seen;
    std::thread device([&] {
        seen = peer.receive(request.size());
        peer.send(answerFrame(data));
    });
    qob.status = 0;
    EXPECT_EQ(qob.sendCommand(36, static_cast<int>(payload.size()), static_cast<int>(data.size()), params,
                              payload.data(), qob.answer),
              1);
    device.join();
    EXPECT_EQ(seen, request);
    EXPECT_EQ(frame::checksum(data.data(), data.size()), 0x13);
    EXPECT_EQ(request.back(), 0x13);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), qob.answer + 1));
    EXPECT_EQ(qob.answer[data.size() + 1], 0x13);
}

TEST_F(Link, StaleInputIsNeverTakenForTheAnswer) {
    ASSERT_EQ(open(1, 5, 2), 1);
    // A stray acknowledge (say, the late answer to an earlier request) lies
    // in the input queue; the ping that follows gets no answer at all.
    peer.send({0x01});
    ASSERT_TRUE(peer.waitQueued(1));
    qob.status = 0;
    EXPECT_EQ(qob.sendCommand(cmd::Ping, 0, 0, nullptr, nullptr, qob.answer), 0);
    EXPECT_EQ(qob.status, 4);
    peer.receive(16);

    // A late answer before a request with data: the request gets its own answer.
    peer.send({0x01});
    ASSERT_TRUE(peer.waitQueued(1));
    ASSERT_EQ(qob.port->setTimeouts(50, 1000), 0);
    qob.readAttempts = 8;
    std::vector<uint8_t> flags{1, 1, 1, 1, 0, 0, 0};
    std::thread device([&] {
        peer.receive(16);
        peer.send(answerFrame(flags));
    });
    EXPECT_EQ(qob.sendCommand(cmd::EepromStatus, 0, 7, nullptr, nullptr, qob.answer), 1);
    device.join();
    EXPECT_TRUE(std::equal(flags.begin(), flags.end(), qob.answer + 1));
}

TEST_F(Link, AnswerChecksSetTheirStatus) {
    ASSERT_EQ(open(), 1);
    struct Case {
        std::vector<uint8_t> answer;
        int status;
    } cases[] = {
        {{0x01, 0x34, 0x12, 0x4E}, 0},
        {{0x01, 0x34, 0x12, 0x4F}, 7},
        {{0x00, 0x34, 0x12, 0x4E}, 8},
    };
    for (const Case& c : cases) {
        std::thread device([&] {
            peer.receive(16);
            peer.send(c.answer);
        });
        qob.status = 0;
        EXPECT_EQ(qob.sendCommand(cmd::ReadAnalog, 0, 2, nullptr, nullptr, qob.answer), c.status == 0);
        device.join();
        EXPECT_EQ(qob.status, c.status);
        EXPECT_TRUE(std::equal(c.answer.begin(), c.answer.end(), qob.answer));
    }
}

TEST_F(Link, BadTransactionArgumentsAreRefused) {
    ASSERT_EQ(open(), 1);
    uint8_t payload[1025] = {};
    struct Case {
        int payloadLength, dataLength;
        const uint8_t* payload;
        uint8_t* answer;
    } cases[] = {
        {-1, 0, payload, qob.answer},   {1025, 0, payload, qob.answer}, {0, -1, nullptr, qob.answer},
        {0, 1025, nullptr, qob.answer}, {4, 0, nullptr, qob.answer},    {0, 0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        qob.status = 0;
        EXPECT_EQ(qob.sendCommand(cmd::Ping, c.payloadLength, c.dataLength, nullptr, c.payload, c.answer), 0);
        EXPECT_EQ(qob.status, 13);
    }
}

TEST_F(Link, WriteThatCannotFinishGivesWriteError) {
    ASSERT_EQ(open(50, 20), 1);
    // Nobody reads the other end: the line's buffers fill and the write gives up.
    std::vector<uint8_t> flood(4 << 20, 0x55);
    uint8_t answer[1];
    unsigned received = 0;
    EXPECT_EQ(qob.exchange(flood.data(), static_cast<int>(flood.size()), answer, 1, received), 0);
    EXPECT_EQ(qob.status, 2);
    EXPECT_EQ(qob.osError, static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_STREQ(qob.errorText, "Write error");
}

TEST_F(Link, ClosedPortGivesWriteError) {
    ASSERT_EQ(open(), 1);
    qob.closePort();
    EXPECT_FALSE(qob.port->isOpen());
    uint8_t request[16] = {6};
    unsigned received = 0;
    EXPECT_EQ(qob.exchange(request, 16, qob.answer, 1, received), 0);
    EXPECT_EQ(qob.status, 2);
    EXPECT_STREQ(qob.errorText, "Write error");
}

TEST_F(Link, LinkAndDestructorReleaseThePort) {
    {
        QOB linked;
        std::thread device([&] {
            peer.receive(16);
            peer.send({0x01});
        });
        EXPECT_EQ(linked.openLink(kPort, 0, 0, 0), 1);
        device.join();
        EXPECT_EQ(linked.linkUp, 1);
        EXPECT_EQ(linked.readAttempts, 8);
    }
    {
        QOB halfOpen;  // port open, link never came up
        EXPECT_EQ(halfOpen.openPort(kPort, 38400, 8, 0, 0, 50, 1000), 1);
    }
    auto other = makePosixSerialPort();
    EXPECT_EQ(other->open(peer.devicePath()), 0);
}

TEST_F(Link, PingNotAcknowledgedClosesThePort) {
    std::thread device([&] {
        peer.receive(16);
        peer.send({0x00});
    });
    EXPECT_EQ(qob.openLink(kPort, 0, 0, 0), 0);
    device.join();
    EXPECT_EQ(qob.status, 5);
    EXPECT_EQ(qob.linkUp, 0);
    EXPECT_FALSE(qob.port->isOpen());
}

TEST_F(Link, UnsupportedLineSettingsFailTheSettingsStep) {
    EXPECT_EQ(qob.openPort(kPort, 12345, 8, 0, 0, 50, 1000), 0);
    EXPECT_EQ(qob.status, 2);
    EXPECT_EQ(qob.osError, static_cast<uint32_t>(EINVAL));
    EXPECT_STREQ(qob.errorText, "Error trying to set control setting information");
}

}  // namespace

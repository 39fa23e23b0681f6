// Frame layout, checksums, answer checks, status texts and the command table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

namespace {

std::vector<uint8_t> request(uint8_t code, std::vector<uint8_t> params, std::vector<uint8_t> payload) {
    params.resize(12);
    std::vector<uint8_t> out(frame::kMaxRequest);
    int n = frame::buildRequest(code, static_cast<int>(payload.size()), params.data(),
                                payload.empty() ? nullptr : payload.data(), out.data());
    out.resize(static_cast<size_t>(n));
    return out;
}

TEST(Frame, RequestLayout) {
    // The ping: code, length 0, twelve zero parameters, checksum 8 + 6.
    std::vector<uint8_t> ping{6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0E};
    EXPECT_EQ(request(6, {}, {}), ping);

    // Payload length high byte first, payload and its own checksum after the header.
    std::vector<uint8_t> payload{1, 2, 3, 4, 5, 6};
    auto r = request(20, {9}, payload);
    ASSERT_EQ(r.size(), 23u);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[2], 6);
    EXPECT_EQ(r[3], 9);
    EXPECT_EQ(r[15], (8 + 20 + 6 + 9) % 256);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), r.begin() + 16));
    EXPECT_EQ(r[22], 8 + 21);

    auto big = request(36, {}, std::vector<uint8_t>(1024, 0xFF));
    ASSERT_EQ(big.size(), 16u + 1024 + 1);
    EXPECT_EQ(big[1], 4);
    EXPECT_EQ(big[2], 0);
    EXPECT_EQ(big.back(), static_cast<uint8_t>(8 + 1024 * 0xFF));
}

TEST(Frame, ChecksumWrapsModulo256) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint8_t sum;
    } cases[] = {
        {{}, 8},
        {{250}, 2},  // a header summing to 250 carries 2
        {{0x34, 0x12}, 0x4E},
        {{0xF8}, 0},
        {{0xFF, 0xFF, 0xFF}, static_cast<uint8_t>(8 + 3 * 0xFF)},
    };
    for (const Case& c : cases) EXPECT_EQ(frame::checksum(c.bytes.data(), c.bytes.size()), c.sum);
    EXPECT_EQ(request(250, {}, {})[15], 2);
}

TEST(Frame, BadRequestArgumentsBuildNothing) {
    uint8_t out[frame::kMaxRequest];
    uint8_t payload[1025] = {};
    EXPECT_EQ(frame::buildRequest(4, -1, nullptr, payload, out), 0);
    EXPECT_EQ(frame::buildRequest(4, 1025, nullptr, payload, out), 0);
    EXPECT_EQ(frame::buildRequest(4, 3, nullptr, nullptr, out), 0);
}

TEST(Frame, AnswerChecksInOrderLengthAcknowledgeChecksum) {
    struct Case {
        std::vector<uint8_t> answer;
        int dataLength;
        int result;
    } cases[] = {
        {{0x01}, 0, 0},
        {{0x00}, 0, 8},
        {{0x01, 0x34, 0x12, 0x4E}, 2, 0},
        {{0x01, 0x34, 0x12, 0x4F}, 2, 7},
        {{0x00, 0x34, 0x12, 0x4E}, 2, 8},  // acknowledge decides before the checksum
        {{0x00, 0x34, 0x12, 0x4F}, 2, 8},
        {{0x01, 0x34, 0x12}, 2, 6},  // short
        {{0x00, 0x34}, 2, 6},        // length decides first
    };
    for (const Case& c : cases) {
        unsigned n = static_cast<unsigned>(frame::answerLength(c.dataLength));
        EXPECT_EQ(frame::checkAnswer(c.answer.data(), static_cast<unsigned>(c.answer.size()), n), c.result)
            << "answer of " << c.answer.size() << " bytes, D = " << c.dataLength;
    }
    EXPECT_EQ(frame::answerLength(0), 1);
    EXPECT_EQ(frame::answerLength(7), 9);
    EXPECT_EQ(frame::answerLength(1024), 1026);
}

TEST(StatusText, EveryCodeHasItsMessage) {
    const char* expected[] = {
        "unknown error",
        "operation executed successfully",
        "windows error",
        "invalid com port specified",
        "timeout reached waiting answer from COM port",
        "device doesn't acknowledge to connect command",
        "device doesn't answer to command or answer not valid",
        "invalid device answer (message checksum failed)",
        "device doesn't acknowledge to command",
        "impossible to read device eeprom state",
        "device not connected",
        "impossible to read device state",
        "unknown device state",
        "bad library function call",
        "device info not available",
        "device log not available",
        "impossible to read log information",
        "wrong log index",
        "impossible to read/write log area",
        "action is not possible due to ASD state",
        "impossible to read/write device eeprom",
        "device backup eeprom area contains not valid data",
        "device eeprom data are not valid",
        "passed data have wrong checksum",
        "impossible to read/write device clock",
    };
    for (int code = 0; code < 25; ++code) EXPECT_STREQ(statusMessage(code), expected[code]) << "code " << code;
    EXPECT_STREQ(statusMessage(25), "");
    EXPECT_STREQ(statusMessage(-1), "");
    EXPECT_STREQ(statusMessage(1000), "");
}

TEST(StatusText, ConsoleRenderings) {
    struct Case {
        int code;
        uint32_t osError;
        const char* text;
        const char* line;
    } cases[] = {
        {2, 5, "Invalid Handle (-1)", ">>WIN Error [5]: Invalid Handle (-1)"},
        {2, 4294967295u, "Read error", ">>WIN Error [4294967295]: Read error"},
        {13, 5, "ignored", ">>QOB Error [13] bad library function call"},
        {10, 0, "", ">>QOB Error [10] device not connected"},
        {0, 0, "", ">>QOB Error [0] unknown error"},
        {25, 0, "", ">>QOB Error [25] "},
        {99, 0, "", ">>QOB Error [99] "},
    };
    for (const Case& c : cases) EXPECT_EQ(libraryErrorLine(c.code, c.osError, c.text), c.line);

    // The text field of the object is 128 bytes and may lack its terminator.
    QOB qob;
    qob.status = 2;
    qob.osError = 16;
    std::memset(qob.errorText, 'x', sizeof qob.errorText);
    EXPECT_EQ(libraryErrorLine(qob), ">>WIN Error [16]: " + std::string(128, 'x'));
    qob.status = 4;
    EXPECT_EQ(libraryErrorLine(qob), ">>QOB Error [4] timeout reached waiting answer from COM port");
}

TEST(CommandTable, CodesInUseWithTheirAnswerLengths) {
    std::set<int> codes;
    for (size_t i = 0; i < kCommandCount; ++i) {
        EXPECT_TRUE(codes.insert(kCommands[i].code).second) << "duplicate " << int(kCommands[i].code);
        EXPECT_EQ(commandInfo(kCommands[i].code), &kCommands[i]);
    }
    for (int unused : {0, 1, 2, 13, 37, 255}) EXPECT_EQ(commandInfo(static_cast<uint8_t>(unused)), nullptr) << unused;
    EXPECT_EQ(codes.size(), 33u);

    struct Case {
        uint8_t code;
        int dataLength;
    } cases[] = {{cmd::Ping, 0},         {cmd::ReadEeprom, -1},    {cmd::ReadState, 74},
                 {cmd::EepromStatus, 7}, {cmd::RestartPending, 1}, {cmd::FlowLog, 1024},
                 {cmd::ReadClock, 7},    {cmd::SensorPoll, 13},    {cmd::Extended, 1024}};
    for (const Case& c : cases) EXPECT_EQ(commandInfo(c.code)->dataLength, c.dataLength) << int(c.code);
}

}  // namespace

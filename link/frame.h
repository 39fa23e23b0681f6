// Command frames of the detector protocol and the table of command codes.
//
// Request: code, payload length (high, low), p1..p12, header checksum,
// then, when there is a payload, the payload and its checksum.
// Answer: acknowledge byte 1, D data bytes, checksum (just the
// acknowledge byte when D is 0). Every checksum is 8 + sum, modulo 256.
#pragma once

#include <cstddef>
#include <cstdint>

namespace frame {

constexpr int kHeaderSize = 16;
constexpr int kParamCount = 12;
constexpr int kMaxPayload = 1024;
constexpr int kMaxData = 1024;
constexpr int kMaxRequest = kHeaderSize + kMaxPayload + 1;
constexpr int kMaxAnswer = kMaxData + 2;
constexpr uint8_t kAcknowledge = 1;

// (8 + sum of the bytes) mod 256.
uint8_t checksum(const uint8_t* data, size_t length);

// Builds the request into `out` (at least kMaxRequest bytes); `params` may be
// null for all zero. Returns the request length, or 0 when the payload length
// is out of range or a payload is missing.
int buildRequest(uint8_t code, int payloadLength, const uint8_t* params, const uint8_t* payload, uint8_t* out);

// Length of the answer to a command with D data bytes: 1 for D = 0, else D + 2.
int answerLength(int dataLength);

// Checks a received answer of `received` bytes against the expected length
// `expected`, in the order length, acknowledge, checksum. Returns 0 when it
// passes, else the status code: 6 length, 8 acknowledge, 7 checksum.
int checkAnswer(const uint8_t* answer, unsigned received, unsigned expected);

}  // namespace frame

// Command codes of the detector.
namespace cmd {
constexpr uint8_t ReadEeprom = 3;
constexpr uint8_t WriteEeprom = 4;
constexpr uint8_t WriteEepromByte = 5;
constexpr uint8_t Ping = 6;
constexpr uint8_t ReloadEeprom = 7;
constexpr uint8_t FanLevels = 8;
constexpr uint8_t ReadAnalog = 9;
constexpr uint8_t Isolator = 10;
constexpr uint8_t TransitCounter = 11;
constexpr uint8_t ShiftRegisterLeds = 12;
constexpr uint8_t FrontButtons = 14;
constexpr uint8_t SensorRemoteOutputs = 15;
constexpr uint8_t ConfigurableInput = 16;
constexpr uint8_t Sounders = 17;
constexpr uint8_t CoverSwitch = 18;
constexpr uint8_t ReadClock = 19;
constexpr uint8_t SetClock = 20;
constexpr uint8_t InsertLogEvent = 21;
constexpr uint8_t ClearLog = 22;
constexpr uint8_t ClearOperatingHours = 23;
constexpr uint8_t LoopSupply = 24;
constexpr uint8_t SensorPoll = 25;
constexpr uint8_t FlowLog = 26;
constexpr uint8_t FanTest = 27;
constexpr uint8_t RestoreArea = 28;
constexpr uint8_t Restart = 29;
constexpr uint8_t ReadState = 30;
constexpr uint8_t UpdateBackup = 31;
constexpr uint8_t EepromStatus = 32;
constexpr uint8_t Relay = 33;
constexpr uint8_t Action = 34;
constexpr uint8_t RestartPending = 35;
constexpr uint8_t Extended = 36;
}  // namespace cmd

struct CommandInfo {
    uint8_t code;
    const char* purpose;
    int payloadLength;  // bytes of payload; -1: as many as the count in p3, p4; -2: depends on p1
    int dataLength;     // D of the answer; -1: the count in p3, p4
};

// Every command code in use, in code order.
extern const CommandInfo kCommands[];
extern const size_t kCommandCount;

// The table row of a code, or null for a code that is not in use.
const CommandInfo* commandInfo(uint8_t code);

#include "link/frame.h"

#include <cstring>

namespace frame {

uint8_t checksum(const uint8_t* data, size_t length) {
    unsigned sum = 8;
    for (size_t i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint8_t>(sum);
}

int buildRequest(uint8_t code, int payloadLength, const uint8_t* params, const uint8_t* payload, uint8_t* out) {
    if (payloadLength < 0 || payloadLength > kMaxPayload || (payloadLength > 0 && !payload)) return 0;
    out[0] = code;
    out[1] = static_cast<uint8_t>(payloadLength >> 8);
    out[2] = static_cast<uint8_t>(payloadLength & 255);
    if (params)
        std::memcpy(out + 3, params, kParamCount);
    else
        std::memset(out + 3, 0, kParamCount);
    out[15] = checksum(out, 15);
    if (payloadLength == 0) return kHeaderSize;
    std::memcpy(out + kHeaderSize, payload, static_cast<size_t>(payloadLength));
    out[kHeaderSize + payloadLength] = checksum(payload, static_cast<size_t>(payloadLength));
    return kHeaderSize + payloadLength + 1;
}

int answerLength(int dataLength) { return dataLength > 0 ? dataLength + 2 : 1; }

int checkAnswer(const uint8_t* answer, unsigned received, unsigned expected) {
    if (received != expected) return 6;
    if (answer[0] != kAcknowledge) return 8;
    if (expected > 1 && answer[expected - 1] != checksum(answer + 1, expected - 2)) return 7;
    return 0;
}

}  // namespace frame

const CommandInfo kCommands[] = {
    {cmd::ReadEeprom, "read EEPROM bytes", 0, -1},
    {cmd::WriteEeprom, "write EEPROM bytes", -1, 0},
    {cmd::WriteEepromByte, "write EEPROM byte (administration tool)", 1, 0},
    {cmd::Ping, "ping", 0, 0},
    {cmd::ReloadEeprom, "device reloads its working copy of the EEPROM", 0, 0},
    {cmd::FanLevels, "fan drive levels", 0, 0},
    {cmd::ReadAnalog, "read analogue channel", 0, 2},
    {cmd::Isolator, "isolator read / command", 0, 2},
    {cmd::TransitCounter, "ultrasonic transit counter", 0, 2},
    {cmd::ShiftRegisterLeds, "shift-register LEDs", -2, 0},
    {cmd::FrontButtons, "front buttons", 0, 3},
    {cmd::SensorRemoteOutputs, "sensor remote outputs", 0, 4},
    {cmd::ConfigurableInput, "configurable input", 0, 1},
    {cmd::Sounders, "sounders", 0, 6},
    {cmd::CoverSwitch, "cover switch", 0, 3},
    {cmd::ReadClock, "read clock", 0, 7},
    {cmd::SetClock, "set clock", 6, 0},
    {cmd::InsertLogEvent, "insert a log event", 0, 0},
    {cmd::ClearLog, "clear the event log", 0, 0},
    {cmd::ClearOperatingHours, "clear operating hours", 0, 0},
    {cmd::LoopSupply, "stand-alone loop supply", 0, 0},
    {cmd::SensorPoll, "stand-alone sensor poll / test", 0, 13},
    {cmd::FlowLog, "flow log records", 0, 1024},
    {cmd::FanTest, "fan test", 0, 0},
    {cmd::RestoreArea, "restore an EEPROM area from the device's backup", 0, 0},
    {cmd::Restart, "restart", 0, 0},
    {cmd::ReadState, "read state", 0, 74},
    {cmd::UpdateBackup, "update the device's backup area", 0, 0},
    {cmd::EepromStatus, "EEPROM status at connect", 0, 7},
    {cmd::Relay, "relay on/off", 0, 0},
    {cmd::Action, "action", 0, 0},
    {cmd::RestartPending, "restart pending", 0, 1},
    {cmd::Extended, "extended command", 1024, 1024},
};

const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const CommandInfo* commandInfo(uint8_t code) {
    for (const CommandInfo& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

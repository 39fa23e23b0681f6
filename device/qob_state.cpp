// Live state (command 30): decoding into the state record, its accessors,
// and the fault/alert and poll status texts.
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "device/texts.h"

namespace {

constexpr int kNotAvailable = 99999;
constexpr int kStateLength = 74;

int orUndefined(int x) { return x == 0 ? kNotAvailable : x; }
int powerValue(int x) { return x == 0 ? kNotAvailable : (x + 100) * 100; }
int tenthsValue(int x) { return x == 0 ? kNotAvailable : (x - 100) * 5; }

struct FaultAlertText {
    int code;
    const char* text;
};

// clang-format off
const FaultAlertText kFaultAlertTexts[38] = {
    {100, " fault 001 (wrong conf)"}, {101, " alert 001 (lb data ko)"},
    {102, " fault 002 (eeprom ko )"}, {103, " alert 002 (clock ko  )"},
    {104, " alert 016 (LED pcb ko)"}, {105, " alert 003 (date ko   )"},
    {106, " fault 004 (ext input )"}, {107, " alert 004 (high temp )"},
    {108, " alert 005 (low temp  )"}, {109, " alert 006 (low power )"},
    {110, " fault 023 (high power)"}, {111, " alert 007 (sys pow up)"},
    {112, " fault 005 (ultra 1 ko)"}, {113, " fault 006 (sounder 1 )"},
    {114, " fault 007 (sens 1 com)"}, {115, " alert 008 (drift sen1)"},
    {116, " alert 009 (drift sen1)"}, {117, " alert 010 (drift sen1)"},
    {118, " fault 008 (sens 1 ini)"}, {119, " fault 009 (sens 1 low)"},
    {120, " alert 011 (filter 1  )"}, {121, " fault 010 (fan 1 ko  )"},
    {122, " fault 011 (asp 1 init)"}, {123, " fault 012 (flow 1 low)"},
    {124, " fault 013 (flow 1 hi )"}, {125, " fault 014 (ultra 2 ko)"},
    {126, " fault 015 (sounder 2 )"}, {127, " fault 016 (sens 2 com)"},
    {128, " alert 012 (drift sen2)"}, {129, " alert 013 (drift sen2)"},
    {130, " alert 014 (drift sen2)"}, {131, " fault 017 (sens 2 ini)"},
    {132, " fault 018 (sens 2 low)"}, {133, " alert 015 (filter 2  )"},
    {134, " fault 019 (fan 2 ko  )"}, {135, " fault 020 (asp 2 init)"},
    {136, " fault 021 (flow 2 low)"}, {137, " fault 022 (flow 2 hi )"},
};
// clang-format on

// Stand-alone sensor statuses 1..22.
// clang-format off
const char* const kPollTexts[23] = {
    "undefined",
    "normal",
    "error 1 [addresses switched]",
    "error 2 [address doubled]",
    "error 3 [remote not detected]",
    "error 4 [low chamber]",
    "error 5 [pw out of spec.]",
    "initializing",
    "warning 1 [chamber dirty 0.3%/f]",
    "warning 2 [chamber dirty 0.6%/f]",
    "warning 3 [chamber dirty (max)]",
    "smoke level 1", "smoke level 2", "smoke level 3", "smoke level 4", "smoke level 5",
    "smoke level 6", "smoke level 7", "smoke level 8", "smoke level 9",
    "remote test passed",
    "error 4/6 [low chamber or remote test failed]",
    "error 14 [no answer/pw out of spec.]",
};
// clang-format on

}  // namespace

// clang-format off
const int kFaultAlertReadoutOrder[38] = {
    100, 102, 106, 112, 113, 114, 118, 119, 121, 122, 123, 124, 125, 126, 127, 131, 132, 134, 135,
    136, 137, 110,
    101, 103, 105, 107, 108, 109, 111, 115, 116, 117, 120, 128, 129, 130, 133, 104,
};
// clang-format on

const char* faultAlertLabel(int code) {
    if (code < 100 || code > 137) return "";
    return kFaultAlertTexts[code - 100].text;
}

std::string pollStatusTextFor(int variant, int code) {
    if (variant != 1) return code != 0 ? "active" : "not active";
    if (code < 0 || code > 22) return "";
    return kPollTexts[code];
}

int QOB::readState() {
    if (!connected) return fail(StatusCode::NotConnected);
    if (wrongConfig != 0) return fail(StatusCode::UnknownState);
    if (!transact(cmd::ReadState, 0, kStateLength, nullptr, nullptr, StatusCode::StateUnreadable)) return 0;
    const uint8_t* d = answer;  // d[1] is the first data byte
    StateRecord s = {};
    for (int ch = 0; ch < 2; ++ch) {
        const uint8_t* c = d + 1 + 6 * ch;
        s.channelEnabled[ch] = c[0];
        s.sensorEnabled[ch] = c[1];
        s.alarm[ch] = c[2];
        s.prealarm[ch] = c[3];
        s.flow[ch] = orUndefined(c[4]);
        s.fanSpeed[ch] = c[5];
    }
    s.power[0] = powerValue(d[13]);
    s.power[1] = powerValue(d[14]);
    for (int i = 0; i < 38; ++i) s.faultAlert[i] = d[15 + i];
    s.asdInFault = d[53];
    s.asdInAuxFault = d[54];
    for (int i = 0; i < 4; ++i) s.hours[i] = d[55 + i];
    s.externalInput = d[59];
    for (int i = 0; i < 9; ++i) s.relay[i] = d[60 + i];
    s.internalTemperature = tenthsValue(d[69]);
    s.flowTemperature[0] = tenthsValue(d[70]);
    s.flowTemperature[1] = tenthsValue(d[71]);
    s.loopAddress = d[72];
    s.sensorOutput[0] = d[73];
    s.sensorOutput[1] = d[74];
    state = s;
    stateValid = 1;
    return 1;
}

// Shared precondition of every state accessor.
static bool stateReadable(QOB& q) {
    if (!q.connected) {
        q.status = StatusCode::NotConnected;
        return false;
    }
    if (!q.stateValid || q.wrongConfig != 0) {
        q.status = StatusCode::UnknownState;
        return false;
    }
    return true;
}

// Per-channel accessors: a channel other than 0 or 1 is a bad call, not a
// read past the record.
static int channelValue(QOB& q, const int (&field)[2], int channel) {
    if (!stateReadable(q)) return -1;
    if (channel < 0 || channel > 1) {
        q.status = StatusCode::BadCall;
        return -1;
    }
    return field[channel];
}

int QOB::channelEnabled(int channel) { return channelValue(*this, state.channelEnabled, channel); }
int QOB::sensorEnabled(int channel) { return channelValue(*this, state.sensorEnabled, channel); }
int QOB::channelInAlarm(int channel) { return channelValue(*this, state.alarm, channel); }
int QOB::channelInPrealarm(int channel) { return channelValue(*this, state.prealarm, channel); }
int QOB::flow(int channel) { return channelValue(*this, state.flow, channel); }
int QOB::fanSpeed(int channel) { return channelValue(*this, state.fanSpeed, channel); }
int QOB::power(int which) { return channelValue(*this, state.power, which); }
int QOB::flowTemperature(int channel) { return channelValue(*this, state.flowTemperature, channel); }
int QOB::sensorOutput(int channel) { return channelValue(*this, state.sensorOutput, channel); }

int QOB::faultAlertFlag(int code) {
    if (!stateReadable(*this)) return -1;
    if (code < 100 || code > 137) {
        status = StatusCode::BadCall;
        return -1;
    }
    return state.faultAlert[code - 100];
}

int QOB::relayState(int i) {
    if (!stateReadable(*this)) return -1;
    if (i < 0 || i > 8) {
        status = StatusCode::BadCall;
        return -1;
    }
    return state.relay[i];
}

int QOB::asdInFault() { return stateReadable(*this) ? state.asdInFault : -1; }
int QOB::asdInAuxFault() { return stateReadable(*this) ? state.asdInAuxFault : -1; }
int QOB::hoursByte0() { return stateReadable(*this) ? state.hours[0] : -1; }
int QOB::hoursByte1() { return stateReadable(*this) ? state.hours[1] : -1; }
int QOB::hoursByte2() { return stateReadable(*this) ? state.hours[2] : -1; }
int QOB::hoursByte3() { return stateReadable(*this) ? state.hours[3] : -1; }
int QOB::externalInput() { return stateReadable(*this) ? state.externalInput : -1; }
int QOB::internalTemperature() { return stateReadable(*this) ? state.internalTemperature : -1; }
int QOB::loopAddress() { return stateReadable(*this) ? state.loopAddress : -1; }

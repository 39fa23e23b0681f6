// The detector's memory and behaviour: default EEPROM image, log ring,
// clock, live state and the command table. The pty side lives in
// virtual_detector.cpp, the flow-log sweep in flow_sweep.cpp.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "sim/virtual_detector.h"

namespace nerax_sim {

namespace {

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Days since 2000-01-01 for a civil date (proleptic Gregorian).
int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468 + 10957;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool clockValueValid(const ClockValue& c) {
    static const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.hour < 0 || c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59) return false;
    if (c.month < 1 || c.month > 12 || c.day < 1 || c.year < 11 || c.year > 99) return false;
    int length = monthDays[c.month - 1];
    if (c.month == 2 && c.year % 4 == 0) length = 29;
    return c.day <= length;
}

void putText(std::array<uint8_t, kEepromSize>& e, int at, const char* text, int width) {
    const size_t n = std::strlen(text);
    for (int i = 0; i < width; ++i) e[at + i] = i < static_cast<int>(n) ? text[i] : ' ';
}

// Configuration area, every value inside its accessor's range.
struct CfgByte {
    int address;
    uint8_t value;
};
// clang-format off
const CfgByte kDefaultConfiguration[] = {
    {276, 5}, {277, 3}, {278, 8}, {279, 2},                 // password digits
    {280, 1}, {281, 14}, {282, 3}, {283, 17}, {284, 10}, {285, 30}, {286, 0},  // config stamp
    {287, 1}, {288, 1}, {289, 1}, {290, 1},                 // channels, sensors
    {291, 30}, {292, 10}, {293, 60}, {294, 0}, {295, 1},    // disable, maint., trend, mirror, supplies
    {297, 0}, {298, 8}, {299, 0}, {300, 20}, {301, 0},      // day/night, day times
    {302, 0}, {303, 0}, {304, 0}, {305, 0}, {306, 0}, {307, 1}, {308, 1},  // night week days
    {309, 1}, {310, 1}, {311, 25}, {312, 12}, {313, 26}, {314, 12},        // holidays
    {349, 1}, {350, 12}, {351, 1}, {352, 0}, {353, 0},      // chamber, cut-off, lb mode, latched
    {354, 10}, {355, 5}, {356, 0}, {357, 0}, {358, 30},     // delays, cascade, sounder, timeout
    {359, 5}, {360, 5}, {361, 3}, {362, 3}, {363, 6}, {364, 6}, {365, 4}, {366, 4},  // levels
    {367, 0}, {370, 20},                                    // aux relay ch2, remote output time
    {404, 100}, {406, 100}, {408, 150}, {410, 150},         // flow reference, maximum
    {411, 0xA7},                                            // energy parameter (low nibble)
    {412, 50}, {414, 50},                                   // flow minimum
    {416, 14}, {417, 3}, {418, 19}, {419, 14}, {420, 3}, {421, 19},  // filter due dates
    {422, 0}, {423, 0}, {426, 2},                           // manual fan, daylight saving
    {427, 25}, {428, 3}, {430, 2}, {431, 0}, {432, 28}, {433, 10}, {435, 3}, {436, 0},
    {437, 1}, {439, 30}, {440, 60}, {442, 10},              // fault latch, delays, rest time
    {454, 6}, {455, 6},                                     // manual fan speeds
    {457, 0}, {458, 1}, {459, 0}, {460, 1}, {461, 0}, {462, 0}, {464, 0}, {465, 0},
    {466, 1}, {467, 0}, {468, 0}, {469, 0},                 // ext input event: fault
    {470, 60}, {471, 0},                                    // ext disable time
    {472, 0xCD}, {473, 0x8B}, {474, 0x01}, {475, 0x00},     // 101325 Pa
};
// clang-format on

}  // namespace

uint8_t frameChecksum(const uint8_t* data, size_t length) {
    unsigned sum = 8;
    for (size_t i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

uint8_t areaChecksum(const uint8_t* eeprom, int start, int length, int checksumPos, int seed) {
    unsigned sum = static_cast<unsigned>(seed);
    for (int a = start; a < start + length; ++a)
        if (a != checksumPos) sum += eeprom[a];
    return static_cast<uint8_t>(sum & 0xFF);
}

DetectorModel::DetectorModel() : DetectorModel(ImageOptions{}) {}

DetectorModel::DetectorModel(const ImageOptions& o) {
    eeprom.fill(0xFF);  // erased cells
    for (int a = 0; a < 512; ++a) eeprom[a] = 0;
    for (int a = kLogHeader; a < kLogHeader + 64; ++a) eeprom[a] = 0;

    // LOB: loop-based data; a plausible module table.
    for (int a = 0; a < 48; ++a) eeprom[a] = static_cast<uint8_t>((a * 7 + 3) & 0x3F);
    eeprom[0] = 1;
    // Bytes 49..255: uncovered, left zero.

    // FCT: identity, one line a field.
    // clang-format off
    eeprom[256] = static_cast<uint8_t>(o.sensorCount);
    eeprom[257] = static_cast<uint8_t>(o.channelCount);
    eeprom[258] = 1;                          // QOB id
    eeprom[259] = static_cast<uint8_t>(o.variant);
    eeprom[260] = 17; eeprom[261] = 5; eeprom[262] = 3; eeprom[263] = 42;   // serial
    eeprom[264] = 2;                          // params schema id
    eeprom[265] = static_cast<uint8_t>(o.fwMajor);
    eeprom[266] = 2;                          // hardware version
    eeprom[267] = static_cast<uint8_t>(o.mcVersion);
    eeprom[268] = 14; eeprom[269] = 3; eeprom[270] = 17; eeprom[271] = 10; eeprom[272] = 30;
    eeprom[273] = 4;                          // fw minor
    eeprom[274] = 12;                         // fw build
    // clang-format on

    // CFG.
    for (const CfgByte& b : kDefaultConfiguration) eeprom[b.address] = b.value;
    putText(eeprom, 372, "CHANNEL 1", 16);
    putText(eeprom, 388, "CHANNEL 2", 16);
    eeprom[411] = static_cast<uint8_t>(o.energyByte);
    if (o.channelCount == 1) {
        eeprom[288] = 0;
        eeprom[290] = o.sensorCount > 1 ? 1 : 0;
    }
    // Factory constants the production test writes.
    const uint8_t constants[10] = {113, 112, 109, 108, 106, 102, 100, 99, 97, 93};
    for (int i = 0; i < 10; ++i) eeprom[501 + i] = constants[i];

    // Log header: operating hours, blank log.
    setHoursCounter(o.hoursCounter);
    eeprom[1028] = 255;
    eeprom[1029] = 255;
    eeprom[1030] = 0;
    eeprom[1031] = 0;

    // The history below ends shortly before the clock's 21/03/17 10:15:02.
    const int records = o.logWrapped ? kLogRecordCount + 20 : o.logRecords;
    const int64_t spacing = 97 * 60;
    setClock(ClockValue{21, 3, 17, 10, 15, 2});
    const int64_t now = clockSeconds;
    clockSeconds = now - spacing * records - 600;

    channelEnabled[1] = o.channelCount > 1 ? 1 : 0;
    sensorEnabled[1] = eeprom[290];
    loopAddress = o.variant == 2 ? 12 : 255;
    sensorOutput[0] = o.variant == 1 ? 1 : 0;
    sensorOutput[1] = o.variant == 1 && channelEnabled[1] ? 1 : 0;

    ram[kPulseSettingRam1] = 30;
    ram[kPulseSettingRam2] = 30;

    sealAreas();

    // A short history: power-up, initialisation, normal state, a clock set,
    // a reset, one alarm with its relays, and the end of a power alert.
    static const int kHistory[] = {111, 7, 35, 19, 37, 10, 13, 11, 38, 40, 12, 14, 46, 48, 161, 27};
    for (int i = 0; i < records; ++i) {
        appendLog(kHistory[i % (sizeof kHistory / sizeof kHistory[0])]);
        clockSeconds += spacing;
    }
    clockSeconds = now;

    backup = eeprom;

    if (o.brokenFct) eeprom[275] = static_cast<uint8_t>(eeprom[275] + 1);
    if (o.brokenCfg) eeprom[495] = static_cast<uint8_t>(eeprom[495] + 1);
    if (o.brokenLob) eeprom[48] = static_cast<uint8_t>(eeprom[48] + 1);
    if (o.brokenLogHeader) eeprom[1087] = static_cast<uint8_t>(eeprom[1087] + 1);
    eepromUnreadable = o.eepromUnreadable;
    wrongConfiguration = o.wrongConfiguration;
    superUser = o.superUser;
}

// ---- clock and hours -----------------------------------------------------

int64_t DetectorModel::wallClockSeconds() const {
    if (!clockRunning) return clockSeconds;
    return clockSeconds + (steadyMs() - clockAnchorMs) / 1000;
}

void DetectorModel::catchUp() {
    const int64_t now = steadyMs();
    if (clockRunning) {
        const int64_t elapsed = (now - clockAnchorMs) / 1000;
        if (elapsed > 0) {
            clockAnchorMs += elapsed * 1000;
            advanceTime(elapsed);
        }
    }
    if (restartPending && now >= restartDueMs) finishRestart();
}

void DetectorModel::finishRestart() {
    if (!restartPending) return;
    const bool maintenance = eeprom[1031] != 0;
    restartPending = 0;
    eeprom[1031] = 0;
    sealLogHeader();
    for (int c = 0; c < 2; ++c) alarm[c] = prealarm[c] = 0;
    for (int k = 1; k <= 8; ++k) relay[k] = 0;
    // Test settings do not survive a restart: the fans run at their
    // configured speeds again and the LEDs show the device's state.
    for (int c = 0; c < 2; ++c) fanSpeed[c] = std::clamp<int>(eeprom[454 + c], 1, 10);
    fanDacMode = 0;
    fanStopped = 0;
    ledsOverride = 0;
    appendLog(7);
    appendLog(maintenance ? 20 : 19);
    restartSweep();
}

ClockValue DetectorModel::clock() const {
    const int64_t t = wallClockSeconds();
    int64_t days = t / 86400;
    int64_t rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int y, m, d;
    civilFromDays(days, y, m, d);
    ClockValue c;
    c.day = d;
    c.month = m;
    c.year = y % 100;
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

void DetectorModel::setClock(const ClockValue& c) {
    clockSeconds = daysFromCivil(2000 + c.year, c.month, c.day) * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
    clockAnchorMs = steadyMs();
}

void DetectorModel::advanceTime(int64_t seconds) {
    if (seconds <= 0) return;
    clockSeconds += seconds;
    halfHourRemainder += seconds;
    const int64_t ticks = halfHourRemainder / 1800;
    halfHourRemainder %= 1800;
    if (ticks > 0) setHoursCounter(hoursCounter() + static_cast<uint32_t>(ticks));
}

uint32_t DetectorModel::hoursCounter() const {
    return eeprom[1024] | eeprom[1025] << 8 | eeprom[1026] << 16 | static_cast<uint32_t>(eeprom[1027]) << 24;
}

void DetectorModel::setHoursCounter(uint32_t v) {
    for (int i = 0; i < 4; ++i) eeprom[1024 + i] = static_cast<uint8_t>(v >> (8 * i));
    sealLogHeader();
}

// ---- checksums -----------------------------------------------------------

bool DetectorModel::areaValid(int start, int length, int checksumPos, int seed) const {
    return eeprom[checksumPos] == areaChecksum(eeprom.data(), start, length, checksumPos, seed);
}

void DetectorModel::sealLogHeader() { eeprom[1087] = areaChecksum(eeprom.data(), 1024, 64, 1087, 7); }

void DetectorModel::sealAreas() {
    eeprom[48] = areaChecksum(eeprom.data(), 0, 49, 48, 1);
    eeprom[275] = areaChecksum(eeprom.data(), 256, 20, 275, 3);
    eeprom[495] = areaChecksum(eeprom.data(), 276, 220, 495, 5);
    sealLogHeader();
}

// ---- event log -----------------------------------------------------------

int DetectorModel::logNewestIndex() const {
    if (eeprom[1029] == 255) return -1;
    return eeprom[1028] | eeprom[1029] << 8;
}

bool DetectorModel::logWrapped() const { return eeprom[1030] == 1; }

void DetectorModel::appendLog(int code) {
    int index = logNewestIndex() + 1;
    if (index >= kLogRecordCount) {
        index = 0;
        eeprom[1030] = 1;
    }
    const ClockValue c = clock();
    uint8_t* r = &eeprom[kLogRecordsStart + kLogRecordSize * index];
    r[0] = static_cast<uint8_t>(code);
    r[1] = static_cast<uint8_t>(c.day);
    r[2] = static_cast<uint8_t>(c.month);
    r[3] = static_cast<uint8_t>(c.year);
    r[4] = static_cast<uint8_t>(c.hour);
    r[5] = static_cast<uint8_t>(c.minute);
    r[6] = static_cast<uint8_t>(c.second);
    r[7] = static_cast<uint8_t>(internalTempByte);
    r[8] = static_cast<uint8_t>(powerByte[0]);
    r[9] = static_cast<uint8_t>(powerByte[1]);
    r[10] = static_cast<uint8_t>(channelEnabled[0] ? reportedFlow(0) : 0);
    r[11] = static_cast<uint8_t>(channelEnabled[1] ? reportedFlow(1) : 0);
    r[12] = static_cast<uint8_t>(sensorEnabled[0] ? sensorOutput[0] : 0);
    r[13] = static_cast<uint8_t>(sensorEnabled[1] ? sensorOutput[1] : 0);
    eeprom[1028] = static_cast<uint8_t>(index & 0xFF);
    eeprom[1029] = static_cast<uint8_t>(index >> 8);
    sealLogHeader();
}

void DetectorModel::clearLog() {
    for (int a = kLogRecordsStart; a < kLogRecordsStart + kLogRecordCount * kLogRecordSize; ++a) eeprom[a] = 0xFF;
    eeprom[1028] = 255;
    eeprom[1029] = 255;
    eeprom[1030] = 0;
    sealLogHeader();
}

std::vector<uint8_t> DetectorModel::logRecord(int index) const {
    if (index < 0 || index >= kLogRecordCount) return {};
    const uint8_t* r = &eeprom[kLogRecordsStart + kLogRecordSize * index];
    return std::vector<uint8_t>(r, r + kLogRecordSize);
}

// The factory flow calibration (bytes 484, 485) is a signed correction.
int DetectorModel::reportedFlow(int channel) const {
    const int corrected = flow[channel] + static_cast<int8_t>(eeprom[484 + channel]);
    return std::clamp(corrected, 1, 255);
}

uint8_t DetectorModel::ramByte(uint32_t address) const {
    auto it = ram.find(address);
    return it == ram.end() ? 0 : it->second;
}

uint32_t DetectorModel::nextNoise() {
    uint32_t x = noiseState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noiseState = x;
    return x;
}

// ---- records sent to the tool -------------------------------------------

std::array<uint8_t, 74> DetectorModel::stateBytes() const {
    std::array<uint8_t, 74> s{};
    for (int c = 0; c < 2; ++c) {
        uint8_t* b = &s[c * 6];
        b[0] = static_cast<uint8_t>(channelEnabled[c]);
        b[1] = static_cast<uint8_t>(sensorEnabled[c]);
        b[2] = static_cast<uint8_t>(alarm[c]);
        b[3] = static_cast<uint8_t>(prealarm[c]);
        b[4] = static_cast<uint8_t>(channelEnabled[c] ? reportedFlow(c) : 0);
        b[5] = static_cast<uint8_t>(fanSpeed[c]);
    }
    s[12] = static_cast<uint8_t>(powerByte[0]);
    s[13] = static_cast<uint8_t>(powerByte[1]);
    for (int i = 0; i < 38; ++i) s[14 + i] = static_cast<uint8_t>(faultAlert[i]);
    s[52] = static_cast<uint8_t>(asdInFault);
    s[53] = static_cast<uint8_t>(asdInAuxFault);
    for (int i = 0; i < 4; ++i) s[54 + i] = eeprom[1024 + i];
    s[58] = static_cast<uint8_t>(externalInput);
    for (int i = 0; i < 9; ++i) s[59 + i] = static_cast<uint8_t>(relay[i]);
    s[68] = static_cast<uint8_t>(internalTempByte);
    s[69] = static_cast<uint8_t>(channelEnabled[0] ? flowTempByte[0] : 0);
    s[70] = static_cast<uint8_t>(channelEnabled[1] ? flowTempByte[1] : 0);
    s[71] = static_cast<uint8_t>(variant() == 2 ? loopAddress : 255);
    s[72] = static_cast<uint8_t>(sensorEnabled[0] ? sensorOutput[0] : 0);
    s[73] = static_cast<uint8_t>(sensorEnabled[1] ? sensorOutput[1] : 0);
    return s;
}

std::array<uint8_t, 1024> DetectorModel::informationBlock() const {
    std::array<uint8_t, 1024> b{};
    // 0..15: identity mirror of the factory area.
    for (int i = 0; i < 16; ++i) b[i] = eeprom[256 + i];
    b[16] = static_cast<uint8_t>(variant());
    // 17: reserved; 18 / 19: channel 1 / 2 without ultrasonic circuit (air density not possible).
    b[17] = 0;
    b[18] = channelEnabled[0] ? 0 : 1;
    b[19] = channelEnabled[1] ? 0 : 1;
    b[32] = eeprom[264];  // params schema
    b[33] = eeprom[265];  // firmware major
    b[34] = eeprom[273];  // firmware minor
    b[35] = eeprom[274];  // firmware build
    b[36] = eeprom[266];  // hardware
    b[37] = eeprom[267];  // mechanics
    b[40] = static_cast<uint8_t>(ramByte(kPulseSettingRam1));
    b[41] = static_cast<uint8_t>(ramByte(kPulseSettingRam2));
    b[42] = static_cast<uint8_t>(eeprom[411] & 0x0F);
    return b;
}

// ---- command table -------------------------------------------------------

int flowLogAnswer(DetectorModel& m, int fan1, int fan2, std::vector<uint8_t>& data);

namespace {

void put16le(std::vector<uint8_t>& d, int at, int v) {
    d[at] = static_cast<uint8_t>(v & 0xFF);
    d[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

// Sounder line reading: about 510 with the 47 k end-of-line resistor, near
// full scale when the line is open.
int analogueReading(DetectorModel& m, int channel) {
    if (channel >= 0 && channel < 9 && m.analogFixed[channel] >= 0) return m.analogFixed[channel];
    const int jitter = static_cast<int>(m.nextNoise() % 7) - 3;  // -3..3
    switch (channel) {
    case 0:
    case 1: {
        if (!m.sounderEolFitted[channel]) return 1022 + (jitter + 3) / 3;  // open line: 1022..1024
        if (m.relay[3 + channel]) return 300 + jitter;                     // driven line
        return 510 + jitter;
    }
    case 2: return 230 + jitter;  // PCB thermistor
    case 3:
    case 4: return 231 + jitter;  // flow thermistors
    case 5:
    case 6: {  // fan feedback rises with the drive
        const int fan = channel - 5;
        if (m.fanDacMode) {
            if (m.fanStopped || m.fanDrive[fan] == 0) return 4 + (jitter + 3) / 2;
            return 420 + m.fanDrive[fan] * 400 / 255 + jitter;  // DAC 1 -> 421, 255 -> 820
        }
        const int speed = m.fanSpeed[fan];
        if (speed <= 0) return 4 + (jitter + 3) / 2;
        return 535 + (speed - 1) * 280 / 9 + jitter;  // 1 -> 535, 5 -> 659, 10 -> 815
    }
    case 7: return 672 + jitter;  // power 1
    case 8: return 671 + jitter;  // power 2
    default: return 0;
    }
}

// One handler per command code. Each gets the request and the answer data,
// zeros of the expected length; false means not acknowledged.
using Handler = bool (*)(DetectorModel& m, const Request& r, std::vector<uint8_t>& d);

bool eepromOk(const DetectorModel& m) { return !m.eepromUnreadable; }

bool readEeprom(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    const int address = r.p[1] | r.p[2] << 8;
    const int length = static_cast<int>(d.size());
    if (!eepromOk(m) || address + length > kEepromSize) return false;
    std::memcpy(d.data(), &m.eeprom[address], static_cast<size_t>(length));
    return true;
}

bool writeEeprom(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    const int address = r.p[1] | r.p[2] << 8;
    const int count = r.p[3] | r.p[4] << 8;
    if (!eepromOk(m) || count != static_cast<int>(r.payload.size()) || address + count > kEepromSize) return false;
    std::memcpy(&m.eeprom[address], r.payload.data(), static_cast<size_t>(count));
    return true;
}

// Administration test: the value is p5, the one payload byte is whatever
// the tool's buffer held and is ignored.
bool writeEepromByte(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    const int address = r.p[1] | r.p[2] << 8;
    if (!eepromOk(m) || r.payload.size() != 1 || address >= kEepromSize) return false;
    m.eeprom[address] = r.p[5];
    return true;
}

bool ping(DetectorModel&, const Request&, std::vector<uint8_t>&) { return true; }

bool reloadEeprom(DetectorModel& m, const Request&, std::vector<uint8_t>&) {
    m.reloadCount++;
    return eepromOk(m);
}

// The fan DACs drive the fans directly until the next speed command.
bool fanLevels(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    m.fanDrive[0] = r.p[1];
    m.fanDrive[1] = r.p[2];
    m.fanStopped = r.p[3];
    m.fanDacMode = 1;
    for (int c = 0; c < 2; ++c) m.fanSpeed[c] = r.p[3] ? 0 : (m.fanDrive[c] * 10 + 127) / 255;
    return true;
}

bool readAnalog(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    if (r.p[1] > 8) return false;
    put16le(d, 0, analogueReading(m, r.p[1]));
    return true;
}

bool isolator(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    if (r.p[1] == 32) m.isolatorOpen = true;
    if (r.p[1] == 96) m.isolatorOpen = false;
    d[0] = m.isolatorOpen ? 0 : 1;     // pin state
    d[1] = m.isolatorOpen ? 32 : 224;  // sub-address 127 input value
    return true;
}

// Transit counter, noisy around a level.
bool transitCounter(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    if (r.p[1] > 3) return false;
    const int channel = r.p[1] / 2;
    if (!m.channelEnabled[channel]) {
        put16le(d, 0, 0);
        return true;
    }
    const int noise = static_cast<int>(m.nextNoise() % 13) - 6;
    put16le(d, 0, m.transitLevel[r.p[1]] + noise);
    return true;
}

bool shiftRegisterLeds(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    if (r.p[1] == 1) {
        if (r.payload.size() != 90) return false;
        std::memcpy(m.leds.data(), r.payload.data(), 90);
        m.ledsOverride = 1;
    } else {
        m.ledsOverride = 0;
    }
    return true;
}

bool frontButtons(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(m.buttons[i]);
    return true;
}

bool sensorRemoteOutputs(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    for (int i = 0; i < 4; ++i) d[i] = static_cast<uint8_t>(m.remoteOutputs[i]);
    return true;
}

bool configurableInput(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    d[0] = m.externalInput ? 1 : 0;
    return true;
}

bool sounders(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    d[0] = static_cast<uint8_t>(m.relay[3]);
    d[1] = static_cast<uint8_t>(m.relay[4]);
    put16le(d, 2, analogueReading(m, 0));
    put16le(d, 4, analogueReading(m, 1));
    return true;
}

bool coverSwitch(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    d[0] = static_cast<uint8_t>(m.coverCounters[0]);
    d[1] = static_cast<uint8_t>(m.coverCounters[1]);
    d[2] = m.coverClosed ? 1 : 0;
    return true;
}

bool readClock(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    if (!eepromOk(m)) return false;
    if (m.clockLost) return true;  // all zeros
    const ClockValue c = m.clock();
    d[0] = static_cast<uint8_t>(c.day);
    d[1] = static_cast<uint8_t>(c.month);
    d[2] = static_cast<uint8_t>(c.year);
    d[3] = static_cast<uint8_t>(c.hour);
    d[4] = static_cast<uint8_t>(c.minute);
    d[5] = static_cast<uint8_t>(c.second);
    d[6] = static_cast<uint8_t>((daysFromCivil(2000 + c.year, c.month, c.day) + 5) % 7 + 1);  // weekday, Monday 1
    return true;
}

bool setClock(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    if (!eepromOk(m) || r.payload.size() != 6) return false;
    const ClockValue c{r.payload[0], r.payload[1], r.payload[2], r.payload[3], r.payload[4], r.payload[5]};
    if (!clockValueValid(c)) return false;
    m.setClock(c);
    m.clockLost = false;
    m.appendLog(37);
    return true;
}

bool insertLogEvent(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    if (!eepromOk(m)) return false;
    m.appendLog(r.p[1]);
    return true;
}

bool clearLog(DetectorModel& m, const Request&, std::vector<uint8_t>&) {
    if (!eepromOk(m)) return false;
    m.clearLog();
    return true;
}

bool clearOperatingHours(DetectorModel& m, const Request&, std::vector<uint8_t>&) {
    if (!eepromOk(m)) return false;
    m.setHoursCounter(0);
    m.halfHourRemainder = 0;
    return true;
}

// The stand-alone sensor loop does not exist on a loop-based board.
bool loopSupply(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    if (r.p[1] > 3 || m.variant() == 2) return false;
    m.loopSupply = r.p[1];
    return true;
}

bool sensorPoll(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    const uint8_t* p = r.p;
    if (p[1] > 1 || (p[2] != 1 && p[2] != 2) || m.variant() == 2) return false;
    const int s = p[1];
    d[0] = m.sensorEnabled[0] ? 1 : 0;
    d[1] = m.sensorEnabled[1] ? 1 : 0;
    if (!m.sensorEnabled[s]) {
        for (int i = 0; i < 5; ++i) put16le(d, 2 + 2 * i, 65500);  // no answer
        d[12] = 22;
        return true;
    }
    const int spread = std::max(0, m.sensorPulseNoise);
    for (int i = 0; i < 5; ++i) {
        const int noise = static_cast<int>(m.nextNoise() % static_cast<uint32_t>(2 * spread + 1)) - spread;
        put16le(d, 2 + 2 * i, std::clamp(m.sensorPulseWidths[i] + noise, 0, 65535));
    }
    d[12] = static_cast<uint8_t>(p[2] == 2 ? 20 : m.sensorOutput[s]);  // 20 remote test passed
    return true;
}

bool flowLog(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    return flowLogAnswer(m, r.p[1], r.p[2], d) != 0;
}

bool fanTest(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    m.fanDacMode = 0;
    if (r.p[1] <= 10) m.fanSpeed[0] = r.p[1];
    if (r.p[2] <= 10) m.fanSpeed[1] = r.p[2];
    return true;
}

// Restore from backup.
bool restoreArea(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    const uint8_t* p = r.p;
    static const int events[5] = {28, 29, 30, 31, 32};
    if (!eepromOk(m) || p[1] > 4) return false;
    struct Area {
        int start, length, checksum, seed;
    };
    static const Area areas[4] = {{0, 49, 48, 1}, {256, 20, 275, 3}, {276, 220, 495, 5}, {1024, 64, 1087, 7}};
    auto backupValid = [&](const Area& a) {
        return m.backup[a.checksum] == areaChecksum(m.backup.data(), a.start, a.length, a.checksum, a.seed);
    };
    auto restore = [&](int from, int to) {
        std::memcpy(&m.eeprom[from], &m.backup[from], static_cast<size_t>(to - from + 1));
    };
    bool ok = true;
    switch (p[1]) {
    case 0:
        ok = backupValid(areas[0]) && backupValid(areas[1]) && backupValid(areas[2]);
        if (ok) restore(0, 511);
        break;
    case 1:
        ok = backupValid(areas[0]);
        if (ok) restore(0, 255);
        break;
    case 2:
        ok = backupValid(areas[1]);
        if (ok) restore(256, 275);
        break;
    case 3:
        ok = backupValid(areas[2]);
        if (ok) restore(276, 511);
        break;
    case 4: {
        ok = backupValid(areas[3]);
        if (ok) {
            // The log pointers stay the device's own: only counters and flags come back.
            const uint8_t keep[3] = {m.eeprom[1028], m.eeprom[1029], m.eeprom[1030]};
            restore(1024, 1087);
            m.eeprom[1028] = keep[0];
            m.eeprom[1029] = keep[1];
            m.eeprom[1030] = keep[2];
            m.sealLogHeader();
        }
        break;
    }
    }
    m.appendLog(ok ? events[p[1]] : 33);
    return ok;
}

bool restart(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    if (r.p[1] > 1) return false;
    m.restartPending = 1;
    m.restartDueMs = steadyMs() + m.restartDelayMs;
    m.eeprom[1031] = r.p[1];
    m.sealLogHeader();
    m.restartCount++;
    return true;
}

bool readState(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    d.assign(74, 0);
    const auto s = m.stateBytes();
    std::memcpy(d.data(), s.data(), 74);
    return true;
}

bool updateBackup(DetectorModel& m, const Request&, std::vector<uint8_t>&) {
    if (!eepromOk(m)) return false;
    std::memcpy(&m.backup[0], &m.eeprom[0], 512);
    std::memcpy(&m.backup[1024], &m.eeprom[1024], 64);
    return true;
}

bool eepromStatus(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    const bool ok = eepromOk(m);
    d[0] = ok ? 1 : 0;
    d[1] = ok && m.areaValid(256, 20, 275, 3) ? 1 : 0;
    d[2] = ok && m.areaValid(276, 220, 495, 5) ? 1 : 0;
    d[3] = ok && m.areaValid(0, 49, 48, 1) ? 1 : 0;
    d[4] = 0;
    d[5] = m.wrongConfiguration ? 1 : 0;
    d[6] = m.superUser ? 1 : 0;
    return true;
}

bool relay(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    const uint8_t* p = r.p;
    if (p[1] < 1 || p[1] > 8 || p[2] > 1) return false;
    if ((p[1] == 6 || p[1] == 7) && m.variant() != 1) return false;
    if (m.relay[p[1]] != p[2]) {
        m.relay[p[1]] = p[2];
        m.appendLog((p[2] ? 37 : 45) + p[1]);
    }
    return true;
}

bool action(DetectorModel& m, const Request& r, std::vector<uint8_t>&) {
    const int action = r.p[1];
    if (action > 6) return false;
    if (action <= 2) {  // channel test: both levels reached, relays follow
        for (int c = 0; c < 2; ++c) {
            if (!(action == c || action == 2) || !m.channelEnabled[c]) continue;
            m.prealarm[c] = 1;
            m.alarm[c] = 1;
            m.appendLog(c == 0 ? 13 : 17);
            m.appendLog(c == 0 ? 11 : 15);
            const int relays[3] = {1 + c, m.variant() == 1 ? 6 + c : 0, 3 + c};
            for (int k : relays)
                if (k && !m.relay[k]) {
                    m.relay[k] = 1;
                    m.appendLog(37 + k);
                }
        }
    } else if (action == 3) {  // reset
        for (int c = 0; c < 2; ++c) {
            if (m.alarm[c]) m.appendLog(c == 0 ? 12 : 16);
            if (m.prealarm[c]) m.appendLog(c == 0 ? 14 : 18);
            m.alarm[c] = m.prealarm[c] = 0;
        }
        for (int k = 1; k <= 8; ++k)
            if (m.relay[k] && k != 5) {
                m.relay[k] = 0;
                m.appendLog(45 + k);
            }
        m.appendLog(10);
        m.resetCount++;
        m.restartSweep();
    } else {  // sounders off
        const int which = action - 4;
        bool any = false;
        for (int c = 0; c < 2; ++c)
            if ((which == c || which == 2) && m.relay[3 + c]) {
                m.relay[3 + c] = 0;
                m.appendLog(48 + c);
                any = true;
            }
        if (any) m.appendLog(36);
    }
    return true;
}

bool restartPending(DetectorModel& m, const Request&, std::vector<uint8_t>& d) {
    d[0] = static_cast<uint8_t>(m.restartPending);
    return true;
}

bool extended(DetectorModel& m, const Request& r, std::vector<uint8_t>& d) {
    const uint8_t* p = r.p;
    switch (p[1]) {
    case 1: {
        auto b = m.informationBlock();
        std::memcpy(d.data(), b.data(), 1024);
        return true;
    }
    case 2:
        if (!eepromOk(m) || p[2] > 31) return false;
        std::memcpy(d.data(), &m.eeprom[p[2] * 1024], 1024);
        return true;
    case 3: {
        const uint32_t a = p[2] | p[3] << 8 | p[4] << 16 | static_cast<uint32_t>(p[5]) << 24;
        d[0] = m.ramByte(a);
        return true;
    }
    case 4: {
        const int address = m.variant() == 2 ? m.loopAddress : 0;
        d[0] = static_cast<uint8_t>(address % 10);
        d[1] = static_cast<uint8_t>(address / 10);
        return true;
    }
    case 5: {
        const int address = p[2] | p[3] << 8;
        if (!eepromOk(m) || address >= kEepromSize) return false;
        m.eeprom[address] = p[4];
        return true;
    }
    case 6: {
        const int address = p[2] | p[3] << 8;
        if (!eepromOk(m) || address >= kEepromSize) return false;
        d[0] = m.eeprom[address];
        return true;
    }
    case 7: {
        const uint32_t a = p[2] | p[3] << 8 | p[4] << 16 | static_cast<uint32_t>(p[5]) << 24;
        m.ram[a] = p[6];
        return true;
    }
    default: return false;
    }
}

constexpr int kCountFromParams = -2;  // D is the count in p3, p4

struct CommandRow {
    uint8_t code;
    int dataLength;  // D of the answer
    Handler handle;
};

// clang-format off
const CommandRow kCommandRows[] = {
    {3, kCountFromParams, readEeprom},
    {4, 0, writeEeprom},
    {5, 0, writeEepromByte},
    {6, 0, ping},
    {7, 0, reloadEeprom},
    {8, 0, fanLevels},
    {9, 2, readAnalog},
    {10, 2, isolator},
    {11, 2, transitCounter},
    {12, 0, shiftRegisterLeds},
    {14, 3, frontButtons},
    {15, 4, sensorRemoteOutputs},
    {16, 1, configurableInput},
    {17, 6, sounders},
    {18, 3, coverSwitch},
    {19, 7, readClock},
    {20, 0, setClock},
    {21, 0, insertLogEvent},
    {22, 0, clearLog},
    {23, 0, clearOperatingHours},
    {24, 0, loopSupply},
    {25, 13, sensorPoll},
    {26, 1024, flowLog},
    {27, 0, fanTest},
    {28, 0, restoreArea},
    {29, 0, restart},
    {30, 74, readState},
    {31, 0, updateBackup},
    {32, 7, eepromStatus},
    {33, 0, relay},
    {34, 0, action},
    {35, 1, restartPending},
    {36, 1024, extended},
};
// clang-format on

const CommandRow* commandRow(uint8_t code) {
    for (const CommandRow& row : kCommandRows)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace

int expectedDataLength(const Request& r) {
    const CommandRow* row = commandRow(r.code);
    if (!row) return -1;
    return row->dataLength == kCountFromParams ? (r.p[3] | r.p[4] << 8) : row->dataLength;
}

bool DetectorModel::execute(const Request& r, std::vector<uint8_t>& d) {
    const int length = expectedDataLength(r);
    d.assign(length > 0 ? static_cast<size_t>(length) : 0, 0);
    catchUp();
    requestCount[r.code]++;
    history.push_back(r);
    if (history.size() > 512) history.pop_front();
    const CommandRow* row = commandRow(r.code);
    return row && row->handle(*this, r, d);
}

}  // namespace nerax_sim

// The device-access object: the only way the tool talks to a detector.
// C-like on purpose: every operation returns an int (1 / value on success,
// 0 on failure, accessors -1) and leaves the reason in the status field.
// Nothing here throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/serial_port.h"
#include "link/status.h"

enum ParMode : int { Read = 0, Write = 1, Check = 2 };

// The EEPROM areas the tool checks. Each ends in its checksum byte:
// seed + the sum of the area's other bytes, modulo 256.
struct EepromArea {
    int start;
    int length;
    int seed;
    constexpr int checksumAt() const { return start + length - 1; }
};

namespace eeprom {
constexpr int kImageSize = 512;                   // the image the tool reads and writes: 0..511
constexpr EepromArea kLoop = {0, 49, 1};          // LOB
constexpr EepromArea kFactory = {256, 20, 3};     // FCT
constexpr EepromArea kConfig = {276, 220, 5};     // CFG
constexpr EepromArea kLogHeader = {1024, 64, 7};  // last index, wrap flag, hours
// The image's areas, in the order they are checked and sealed.
constexpr EepromArea kImageAreas[] = {kFactory, kConfig, kLoop};
}  // namespace eeprom

// True when the area's checksum byte matches; `bytes` holds the area from
// its first byte on.
bool areaIntact(const uint8_t* bytes, const EepromArea& area);
// The checksum the area's last byte must hold.
uint8_t areaChecksum(const uint8_t* bytes, const EepromArea& area);

// Writes `value` low byte first into `count` parameter bytes.
template <typename T>
void putLowFirst(T* out, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<T>(value >> (8 * i) & 0xFF);
}

// Parameter bytes of an EEPROM transfer (commands 3, 4, 5): address in p1,
// p2, count in p3, p4, the rest zero.
void rangeParams(uint8_t params[12], int address, int count);

class QOB {
public:
    QOB();
    // Tests and fuzzers hand in their own port (in-memory exchange).
    explicit QOB(std::unique_ptr<SerialPort> port);
    ~QOB();
    QOB(const QOB&) = delete;
    QOB& operator=(const QOB&) = delete;

    // ---- link: serial port -------------------------------------------
    int openPort(uint32_t portNumber, int baudRate, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                 int readIntervalMs, int totalTimeoutMs);
    void closePort();
    void dropLink();
    int exchange(const uint8_t* request, int requestLength, uint8_t* answer, unsigned expectedLength,
                 unsigned& receivedCount);

    // ---- frame and transaction ---------------------------------------
    // params: 12 bytes (p1..p12), may be null for all zero.
    int sendCommand(uint8_t code, int payloadLength, int expectedDataLength, const uint8_t* params,
                    const uint8_t* payload, uint8_t* answer);
    // Records `code` as the last status and returns 0, the library's
    // failure result: `return fail(StatusCode::BadCall);`.
    int fail(int code) {
        status = code;
        return 0;
    }
    // The library's own transaction, into `answer`: status 0 first; a
    // failure keeps the link's status, except that a refusal (not
    // acknowledged) becomes `refused`, the operation's own status.
    int transact(uint8_t code, int payloadLength, int expectedDataLength, const uint8_t* params, const uint8_t* payload,
                 int refused = StatusCode::NotAcknowledged);
    int lastStatus() const { return status; }
    uint32_t lastOsError() const { return osError; }
    int osErrorText(char* destination128) const;

    // ---- connection and identity -------------------------------------
    int openLink(int portNumber, int readIntervalMs, int totalTimeoutMs, int readAttemptsArg);
    int connect(int portNumber, int readIntervalMs, int totalTimeoutMs, int readAttemptsArg);
    int disconnect();
    int isConnected() const { return connected; }
    int eepromRead();
    int factoryOk();
    int configOk();
    int loopBasedOk();
    int wrongConfiguration();
    int superUser();
    int variant();
    int channelCount();
    int sensorCount();
    int qobId();
    int paramsSchemaId();
    int fwMajor();
    int fwMinor();
    int fwBuild();
    int hwVersion();
    int mcVersion();
    int manufDay();
    int manufMonth();
    int manufYear();
    int manufHour();
    int manufMinute();
    int serialByte(int i);
    int restartPending();

    // ---- device state ------------------------------------------------
    int readState();
    int channelEnabled(int channel);
    int sensorEnabled(int channel);
    int channelInAlarm(int channel);
    int channelInPrealarm(int channel);
    int flow(int channel);
    int fanSpeed(int channel);
    int power(int which);
    int faultAlertFlag(int code);
    int asdInFault();
    int asdInAuxFault();
    int hoursByte0();
    int hoursByte1();
    int hoursByte2();
    int hoursByte3();
    int externalInput();
    int relayState(int i);
    int internalTemperature();
    int flowTemperature(int channel);
    int loopAddress();
    int sensorOutput(int channel);

    // ---- EEPROM image and integrity ----------------------------------
    static int checkArea(const uint8_t* data, int start, int length, int checksumPosition, int seed);
    static int checkImage(const uint8_t* image512);
    static int sealImage(uint8_t* image512);
    int reloadImage();
    int readImageCopy(uint8_t* destination512);
    int writeEepromRange(const uint8_t* source, int from, int to);
    int writeImage(const uint8_t* source512, int low, int fct, int cfg);
    // What the last writeEepromRange did to the device's bytes, and what
    // the last writeImage did to each of its ranges LOW, FCT, CFG (a failed
    // write leaves the earlier ranges written).
    enum RangeWrite : int { RangeNotWritten = 0, RangeWritten = 1, RangeUnconfirmed = 2 };
    int imageRangeWrite(int range) const { return range >= 0 && range < 3 ? imageRanges[range] : RangeNotWritten; }
    int storeConfiguration();
    int updateBackup();
    int restoreArea(int code);
    int restoreAll() { return restoreArea(0); }
    int restoreLoopArea() { return restoreArea(1); }
    int restoreFactoryArea() { return restoreArea(2); }
    int restoreConfigArea() { return restoreArea(3); }
    int restoreOnfArea();
    const uint8_t* imageBytes() const { return image; }
    const uint8_t* logHeaderBytes() const { return logHeader; }

    // ---- event log and clock -----------------------------------------
    int readLog();
    int logRecord(int index, int& event, int& day, int& month, int& year, int& hour, int& minute, int& second,
                  int& temperature, int power2[2], int flow2[2], int sensor2[2]);
    int clearLog();
    int logLastIndex();
    int logWrapped();
    int readClock(int& day, int& month, int& year, int& hour, int& minute, int& second);
    int setClock(int day, int month, int year, int hour, int minute, int second);
    static bool dateTimeValid(int day, int month, int year, int hour, int minute, int second);
    static bool dayMonthValid(int day, int month);

    // ---- configuration parameters ------------------------------------
    // Each accessor copies one group between the caller's ints and the image
    // (Read), validates them (Check) or validates and stores them (Write).
    // Nothing is sent; storeConfiguration carries the image to the device.
    int checkParAccess(int mode);
    int parPassword(int digits[4], int mode);
    int parConfigStamp(int& number, int& day, int& month, int& year, int& hour, int& minute, int& second, int mode);
    int parChannelEnable(int flags[2], int mode);
    int parSensorEnable(int flags[2], int mode);
    int parDisableTime(int& minutes, int mode);
    int parMaintTimeout(int& minutes, int mode);
    int parTrendLogTime(int& minutes, int mode);
    int parMirrorLeds(int& flag, int mode);
    int parSupplies(int& value, int mode);
    int parDayNight(int& flag, int mode);
    int parDayTimes(int& startHour, int& startMinute, int& endHour, int& endMinute, int mode);
    int parNightWeekDays(int flags[7], int mode);
    int parHolidays(int days[20], int months[20], int mode);
    int parCommonChamber(int& value, int mode);
    int parSounderCutoff(int& value, int mode);
    int parLbAlarmMode(int& value, int mode);
    int parLatchedAlarm(int flags[2], int mode);
    int parPrealarmDelay(int& seconds, int mode);
    int parAlarmDelay(int& seconds, int mode);
    int parCascadeAlarm(int& flag, int mode);
    int parSounderOnPrealarm(int& flag, int mode);
    int parSensorTimeout(int& seconds, int mode);
    int parAlarmLevels(int alarmDay[2], int prealarmDay[2], int alarmNight[2], int prealarmNight[2], int mode);
    int parAuxRelayCh2(int& flag, int mode);
    int parRemoteOutputTime(int& value, int mode);
    int parChannelLabels(int codes[32], int mode);
    int parFlowLimits(int reference[2], int minimum[2], int maximum[2], int mode);
    int parFilterDueDates(int days[2], int months[2], int years[2], int mode);
    int parManualFan(int flags[2], int mode);
    int parDaylightSaving(int& value, int mode);
    int parDaylightDates(int& startDay, int& startMonth, int& startHour, int& startMinute, int& endDay, int& endMonth,
                         int& endHour, int& endMinute, int mode);
    int parFaultNoLatch(int& flag, int mode);
    int parFaultDelay(int& seconds, int mode);
    int parFlowFaultDelay(int& seconds, int mode);
    int parPowerRestTime(int& seconds, int mode);
    int parManualFanSpeed(int speeds[2], int mode);
    int parAuxFaultEvents(int& temperature, int& externalInput, int& lowPower, int& flowFault, int& sensorFault,
                          int& powerRestart, int mode);
    int parAuxFaultNoLatch(int& flag, int mode);
    int parExtInputShort(int& flag, int mode);
    int parExtInputEvent(int& code, int mode);
    int parExtDisableTime(int& minutes, int mode);
    int parPressure(int bytes[4], int mode);
    // The one password the library refuses to set.
    static const int reservedPassword[4];

    // ---- outputs, inputs and test commands ---------------------------
    int restart(int mode);
    int resetDevice();
    int testChannel(int which);
    int soundersOff(int which);
    int testFan(int fan, int speed);
    int setRelay(int relay, int on);
    int clearOperatingHours();
    int extendedCommand(const int params[12], const int data[1024], int result[1024]);
    int airDensityStep(int channel, int tick);

    // ---- fields -------------------------------------------------------
    // Public like the record they are: readouts and tests look at them.
    // link
    int status = 0;
    uint32_t osError = 0;
    char errorText[128] = {};
    int readAttempts = 8;  // openLink sets it; 8 until then
    int linkUp = 0;
    // Set by a transaction that failed on time or framing: the rest of its
    // answer may still be on the way and could pass for the next answer.
    int lineUnsettled = 0;
    std::unique_ptr<SerialPort> port;  // portHandle: open() / isOpen()
    // identity byte
    int superUserByte = 0;
    // buffers
    uint8_t answer[1026] = {};
    uint8_t payload[1024] = {};
    // EEPROM
    uint8_t image[512] = {};
    uint8_t logHeader[64] = {};
    int lastRangeWrite = RangeNotWritten;
    int imageRanges[3] = {};
    // log
    uint8_t logImage[31424] = {};
    int logLast = 0;
    int logLoaded = 0;
    int logWrap = 0;
    // connection
    int connected = 0;
    int wrongConfig = 0;
    int stateValid = 0;
    int restartInfo = 0;
    // device flags
    int flagEepromRead = 0, flagFactoryOk = 0, flagConfigOk = 0, flagLoopBasedOk = 0;
    // identity
    int idVariant = 0, idChannelCount = 0, idSensorCount = 0, idQobId = 0;
    int serial[6] = {};
    int idFwMinor = 0, idFwBuild = 0, idHwVersion = 0, idMcVersion = 0;
    int idManufDay = 0, idManufMonth = 0, idManufYear = 0, idManufHour = 0, idManufMinute = 0;
    // state record (command 30), decoded
    struct StateRecord {
        int channelEnabled[2], sensorEnabled[2], alarm[2], prealarm[2], flow[2], fanSpeed[2];
        int power[2];
        int faultAlert[38];  // codes 100..137
        int asdInFault, asdInAuxFault;
        int hours[4];
        int externalInput;
        int relay[9];
        int internalTemperature;
        int flowTemperature[2];
        int loopAddress;
        int sensorOutput[2];
    } state = {};
    // air density test
    int adWindow[30] = {};
    int adWindowSize = 0, adPosition = 0, adMean = 0, adCounter = 0, adResult = 0;
    double adFastMean = 0.0, adSlowMean = 0.0;
};

// ">>WIN Error [..]" / ">>QOB Error [..]" line of the object's last failure.
std::string libraryErrorLine(const QOB& qob);

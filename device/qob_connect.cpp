// QOB: connect, disconnect, device flags and identity.
#include <algorithm>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

namespace {

constexpr int kMaintenanceFlagAddress = 1031;

}  // namespace

int QOB::checkArea(const uint8_t* data, int start, int length, int checksumPosition, int seed) {
    if (!data || start < 0 || length < 1 || checksumPosition < 0) return 0;
    unsigned sum = static_cast<unsigned>(seed);
    for (int a = start; a < start + length; ++a)
        if (a != checksumPosition) sum += data[a];
    return data[checksumPosition] == static_cast<uint8_t>(sum) ? 1 : 0;
}

int QOB::openLink(int portNumber, int readIntervalMs, int totalTimeoutMs, int readAttemptsArg) {
    readAttempts = readAttemptsArg < 1 ? 8 : readAttemptsArg;
    int interval = readIntervalMs == 0 ? 50 : readIntervalMs;
    int total = totalTimeoutMs == 0 ? 1000 : totalTimeoutMs;
    if (!openPort(static_cast<uint32_t>(portNumber), 38400, 8, 0, 0, interval, total)) return 0;
    if (!transact(cmd::Ping, 0, 0, nullptr, nullptr, StatusCode::ConnectNotAcknowledged)) {
        closePort();
        return 0;
    }
    linkUp = 1;
    return 1;
}

int QOB::connect(int portNumber, int readIntervalMs, int totalTimeoutMs, int readAttemptsArg) {
    if (readIntervalMs != 0 || totalTimeoutMs < 0) return fail(StatusCode::BadConnectArguments);
    if (connected == 1) return fail(StatusCode::Unknown);
    if (!openLink(portNumber, readIntervalMs, totalTimeoutMs, readAttemptsArg)) {
        dropLink();
        return 0;
    }
    connected = 1;
    stateValid = 0;
    logLoaded = 0;
    superUserByte = 0;

    if (!transact(cmd::EepromStatus, 0, 7, nullptr, nullptr, StatusCode::EepromStateUnreadable)) {
        disconnect();
        return 0;
    }
    flagEepromRead = answer[1];
    flagFactoryOk = answer[2];
    flagConfigOk = answer[3];
    flagLoopBasedOk = answer[4];
    wrongConfig = answer[6];
    superUserByte = answer[7];
    if (flagEepromRead != 1 || wrongConfig != 0 || flagFactoryOk != 1) return 1;

    // The image and the log header, each read whole.
    const struct {
        int start, length;
        uint8_t* copy;
    } reads[] = {{0, eeprom::kImageSize, image}, {eeprom::kLogHeader.start, eeprom::kLogHeader.length, logHeader}};
    for (const auto& read : reads) {
        uint8_t params[frame::kParamCount];
        rangeParams(params, read.start, read.length);
        if (!transact(cmd::ReadEeprom, 0, read.length, params, nullptr, StatusCode::EepromFailed)) {
            flagEepromRead = flagFactoryOk = flagConfigOk = flagLoopBasedOk = 0;
            return 0;
        }
        std::copy(answer + 1, answer + 1 + read.length, read.copy);
    }

    if (areaIntact(image + eeprom::kFactory.start, eeprom::kFactory)) {
        idSensorCount = image[256];
        idChannelCount = image[257];
        idQobId = image[258];
        idVariant = image[259];
        for (int i = 0; i < 6; ++i) serial[i] = image[260 + i];
        idHwVersion = image[266];
        idMcVersion = image[267];
        idManufDay = image[268];
        idManufMonth = image[269];
        idManufYear = image[270] > 99 ? 11 : image[270];
        idManufHour = image[271];
        idManufMinute = image[272];
        idFwMinor = image[273];
        idFwBuild = image[274];
    } else {
        flagFactoryOk = 0;
    }
    if (flagConfigOk == 1 && !areaIntact(image + eeprom::kConfig.start, eeprom::kConfig)) flagConfigOk = 0;
    if (flagLoopBasedOk == 1 && !areaIntact(image + eeprom::kLoop.start, eeprom::kLoop)) flagLoopBasedOk = 0;
    bool headerOk = areaIntact(logHeader, eeprom::kLogHeader);
    for (int i = 0; i < 4; ++i) state.hours[i] = headerOk ? logHeader[i] : 0;
    return 1;
}

int QOB::disconnect() {
    if (connected == 0) return fail(StatusCode::Unknown);
    dropLink();
    connected = 0;
    return 1;
}

namespace {

int flagValue(QOB& qob, int value) {
    if (qob.connected != 1) {
        qob.status = StatusCode::NotConnected;
        return -1;
    }
    return value;
}

int identityValue(QOB& qob, int value) {
    if (qob.connected != 1) {
        qob.status = StatusCode::NotConnected;
        return -1;
    }
    if (qob.wrongConfig != 0 || qob.flagFactoryOk != 1) {
        qob.status = StatusCode::InfoNotAvailable;
        return -1;
    }
    return value;
}

}  // namespace

int QOB::eepromRead() { return flagValue(*this, flagEepromRead); }
int QOB::factoryOk() { return flagValue(*this, flagFactoryOk); }
int QOB::configOk() { return flagValue(*this, flagConfigOk); }
int QOB::loopBasedOk() { return flagValue(*this, flagLoopBasedOk); }
int QOB::wrongConfiguration() { return flagValue(*this, wrongConfig); }
int QOB::superUser() { return flagValue(*this, superUserByte); }

int QOB::variant() { return identityValue(*this, idVariant); }
int QOB::channelCount() { return identityValue(*this, idChannelCount); }
int QOB::sensorCount() { return identityValue(*this, idSensorCount); }
int QOB::qobId() { return identityValue(*this, idQobId); }
int QOB::paramsSchemaId() { return identityValue(*this, serial[4]); }
int QOB::fwMajor() { return identityValue(*this, serial[5]); }
int QOB::fwMinor() { return identityValue(*this, idFwMinor); }
int QOB::fwBuild() { return identityValue(*this, idFwBuild); }
int QOB::hwVersion() { return identityValue(*this, idHwVersion); }
int QOB::mcVersion() { return identityValue(*this, idMcVersion); }
int QOB::manufDay() { return identityValue(*this, idManufDay); }
int QOB::manufMonth() { return identityValue(*this, idManufMonth); }
int QOB::manufYear() { return identityValue(*this, idManufYear); }
int QOB::manufHour() { return identityValue(*this, idManufHour); }
int QOB::manufMinute() { return identityValue(*this, idManufMinute); }

int QOB::serialByte(int i) {
    if (identityValue(*this, 0) < 0) return -1;
    if (i < 0 || i > 5) {
        status = StatusCode::BadCall;
        return -1;
    }
    return serial[i];
}

int QOB::restartPending() {
    if (connected != 1) return fail(StatusCode::NotConnected);
    if (wrongConfig != 0) return fail(StatusCode::EepromFailed);
    restartInfo = 0;
    if (!transact(cmd::RestartPending, 0, 1, nullptr, nullptr, StatusCode::Unknown)) return -1;
    if (answer[1] == 0) return 0;
    restartInfo = 1;
    uint8_t params[frame::kParamCount];
    rangeParams(params, kMaintenanceFlagAddress, 1);
    if (!transact(cmd::ReadEeprom, 0, 1, params, nullptr, StatusCode::EepromFailed)) return -1;
    if (answer[1] != 0) restartInfo = 2;
    return restartInfo;
}

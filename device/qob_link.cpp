// QOB: the serial link and the command transaction.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/qob.h"
#include "link/com_ports.h"
#include "link/frame.h"
#include "link/status.h"

namespace {

int osFailure(QOB& qob, int error, const char* text) {
    qob.status = StatusCode::OsError;
    qob.osError = static_cast<uint32_t>(error);
    std::snprintf(qob.errorText, sizeof qob.errorText, "%s", text);
    return 0;
}

// A write or read failure: status 2 with its text; when the device is gone
// the link is dropped too, so the object no longer claims a connection and
// every guard and polling timer sees it at once.
int linkFailure(QOB& qob, int error, const char* text) {
    osFailure(qob, error, text);
    if (!qob.port || !qob.port->isOpen() || qob.port->deviceLost(error)) qob.dropLink();
    return 0;
}

}  // namespace

QOB::QOB() : port(makeSystemSerialPort()) {}

QOB::QOB(std::unique_ptr<SerialPort> p) : port(std::move(p)) {}

QOB::~QOB() {
    if (linkUp == 1) dropLink();
    // A port left open by a failed set-up is closed by the port itself.
}

int QOB::openPort(uint32_t portNumber, int baudRate, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                  int readIntervalMs, int totalTimeoutMs) {
    // Never leak a descriptor by forgetting an open port.
    closePort();
    lineUnsettled = 0;
    if (portNumber == 0 || portNumber > 255) return fail(StatusCode::InvalidPort);
    if (!port) port = makeSystemSerialPort();

    std::string path = devicePathForPort(static_cast<int>(portNumber));
    int error = path.empty() ? ENOENT : port->open(path);
    if (error != 0) return osFailure(*this, error, "Invalid Handle (-1)");
    if ((error = port->getSettings()) != 0)
        return osFailure(*this, error, "Error trying to get control setting information");
    if ((error = port->setSettings(baudRate, byteSize, parity, stopBits)) != 0)
        return osFailure(*this, error, "Error trying to set control setting information");
    if ((error = port->getTimeouts()) != 0) return osFailure(*this, error, "Error trying to get time-out information");
    if ((error = port->setTimeouts(readIntervalMs, totalTimeoutMs)) != 0)
        return osFailure(*this, error, "Error trying to set time-out information");
    return 1;
}

void QOB::closePort() {
    if (port && port->isOpen()) port->close();
}

void QOB::dropLink() {
    closePort();
    linkUp = 0;
    connected = 0;
}

int QOB::exchange(const uint8_t* request, int requestLength, uint8_t* answerBuffer, unsigned expectedLength,
                  unsigned& receivedCount) {
    receivedCount = 0;
    if (!request || requestLength < 0 || (expectedLength > 0 && !answerBuffer)) return fail(StatusCode::BadCall);
    if (!port || !port->isOpen()) return linkFailure(*this, EBADF, "Write error");

    // A late answer to an earlier request must never pass for this one's.
    port->discardInput();

    size_t written = 0;
    int error = port->write(request, static_cast<size_t>(requestLength), written);
    if (error != 0) return linkFailure(*this, error, "Write error");
    if (written < static_cast<size_t>(requestLength)) return osFailure(*this, ETIMEDOUT, "Write error");

    unsigned total = 0;
    for (int attempts = readAttempts; total < expectedLength && attempts > 0; --attempts) {
        size_t received = 0;
        error = port->read(answerBuffer + total, expectedLength - total, received);
        total += static_cast<unsigned>(received);
        if (error != 0) {
            receivedCount = total;
            return linkFailure(*this, error, "Read error");
        }
    }
    receivedCount = total;
    if (total < expectedLength) return fail(StatusCode::Timeout);
    return 1;
}

int QOB::sendCommand(uint8_t code, int payloadLength, int expectedDataLength, const uint8_t* params,
                     const uint8_t* payloadData, uint8_t* answerBuffer) {
    if (payloadLength < 0 || payloadLength > frame::kMaxPayload || expectedDataLength < 0 ||
        expectedDataLength > frame::kMaxData || (payloadLength > 0 && !payloadData) || !answerBuffer) {
        return fail(StatusCode::BadCall);
    }
    uint8_t request[frame::kMaxRequest];
    int requestLength = frame::buildRequest(code, payloadLength, params, payloadData, request);
    unsigned n = static_cast<unsigned>(frame::answerLength(expectedDataLength));
    unsigned received = 0;
    if (!exchange(request, requestLength, answerBuffer, n, received)) {
        if (status == StatusCode::Timeout) lineUnsettled = 1;
        return 0;
    }
    if (int bad = frame::checkAnswer(answerBuffer, received, n); bad != 0) {
        status = bad;
        if (bad != StatusCode::NotAcknowledged) lineUnsettled = 1;
        return 0;
    }
    // After a failed transaction the answer just read may be the late rest
    // of the earlier one, with this one's answer right behind it: only a
    // line that stays quiet for one read interval proves it was ours.
    if (lineUnsettled) {
        if (port->inputFollows()) return fail(StatusCode::BadAnswer);
        lineUnsettled = 0;
    }
    return 1;
}

int QOB::transact(uint8_t code, int payloadLength, int expectedDataLength, const uint8_t* params,
                  const uint8_t* payloadData, int refused) {
    status = StatusCode::Unknown;
    if (sendCommand(code, payloadLength, expectedDataLength, params, payloadData, answer)) return 1;
    if (status == StatusCode::NotAcknowledged) status = refused;
    return 0;
}

void rangeParams(uint8_t params[12], int address, int count) {
    std::memset(params, 0, frame::kParamCount);
    putLowFirst(params, static_cast<uint32_t>(address), 2);
    putLowFirst(params + 2, static_cast<uint32_t>(count), 2);
}

std::string libraryErrorLine(const QOB& qob) {
    return libraryErrorLine(qob.lastStatus(), qob.lastOsError(), qob.errorText);
}

int QOB::osErrorText(char* destination128) const {
    if (status != StatusCode::OsError || !destination128) return 0;
    std::memcpy(destination128, errorText, sizeof errorText);
    return 1;
}

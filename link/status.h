// Status codes of the device library, their messages and the one-line
// console renderings of a failure.
#pragma once

#include <cstdint>
#include <string>

struct StatusCode {
    enum : int {
        Unknown = 0,
        Success = 1,
        OsError = 2,
        InvalidPort = 3,
        Timeout = 4,
        ConnectNotAcknowledged = 5,
        BadAnswer = 6,
        BadChecksum = 7,
        NotAcknowledged = 8,
        EepromStateUnreadable = 9,
        NotConnected = 10,
        StateUnreadable = 11,
        UnknownState = 12,
        BadCall = 13,
        InfoNotAvailable = 14,
        LogNotAvailable = 15,
        LogInfoUnreadable = 16,
        WrongLogIndex = 17,
        LogAreaFailed = 18,
        NotPossibleInState = 19,
        EepromFailed = 20,
        BackupNotValid = 21,
        EepromNotValid = 22,
        WrongChecksum = 23,
        ClockFailed = 24,
        BadConnectArguments = 25,
    };
};

// The message of a status code; "" for a code without one (25 and above, negative).
const char* statusMessage(int code);

// ">>WIN Error [<osError>]: <errorText>" for status 2,
// ">>QOB Error [<code>] <message>" for any other.
std::string libraryErrorLine(int code, uint32_t osError, const char* errorText);

#include "link/status.h"

#include <cstring>

namespace {

const char* const kMessages[] = {
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

constexpr int kMessageCount = sizeof kMessages / sizeof kMessages[0];

}  // namespace

const char* statusMessage(int code) { return code >= 0 && code < kMessageCount ? kMessages[code] : ""; }

std::string libraryErrorLine(int code, uint32_t osError, const char* errorText) {
    if (code == StatusCode::OsError) {
        // The text field is 128 bytes and need not be terminated.
        size_t length = errorText ? strnlen(errorText, 128) : 0;
        return ">>WIN Error [" + std::to_string(osError) + "]: " + std::string(errorText, length);
    }
    return ">>QOB Error [" + std::to_string(code) + "] " + statusMessage(code);
}

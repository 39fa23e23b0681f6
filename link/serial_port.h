// The one narrow interface between the device library and the platform.
// PosixSerialPort realises it with termios; tests and fuzzers plug in
// in-memory ports. Results are 0 or an errno value; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual int open(const std::string& devicePath) = 0;
    virtual int getSettings() = 0;
    virtual int setSettings(int baudRate, int byteSize, int parity, int stopBits) = 0;
    virtual int getTimeouts() = 0;
    virtual int setTimeouts(int readIntervalMs, int totalTimeoutMs) = 0;
    // Drops whatever arrived unasked (a late answer, a stray byte).
    virtual void discardInput() = 0;
    // Writes all or gives up after the total time-out; `written` says how much went.
    virtual int write(const uint8_t* data, size_t length, size_t& written) = 0;
    // One read call with the interval / total time-out rules.
    virtual int read(uint8_t* data, size_t length, size_t& received) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

// The one narrow interface between the device library and the platform.
// PosixSerialPort realises it with termios, Win32SerialPort with the Windows
// communications functions; tests and fuzzers plug in in-memory ports.
// Results are 0 or the platform's error number (errno, GetLastError);
// nothing throws.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the device for exclusive reading and writing.
    virtual int open(const std::string& devicePath) = 0;
    virtual int getSettings() = 0;
    // byteSize 5..8; parity 0 none, 1 odd, 2 even; stopBits 0 one, 2 two.
    virtual int setSettings(int baudRate, int byteSize, int parity, int stopBits) = 0;
    virtual int getTimeouts() = 0;
    virtual int setTimeouts(int readIntervalMs, int totalTimeoutMs) = 0;
    // Drops whatever arrived unasked (a late answer, a stray byte).
    virtual void discardInput() = 0;
    // Writes all or gives up after the total time-out; `written` says how much went.
    virtual int write(const uint8_t* data, size_t length, size_t& written) = 0;
    // One read call: returns when `length` bytes are in, when readIntervalMs
    // pass after a byte without another, or totalTimeoutMs after it began.
    // A time-out is not an error: the result is 0 and `received` says how many.
    // totalTimeoutMs 0 means no total limit (the call waits for the first byte).
    virtual int read(uint8_t* data, size_t length, size_t& received) = 0;
    // After a complete answer: does a further byte arrive within one read
    // interval? Ports that cannot tell say no.
    virtual bool inputFollows() { return false; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Does an error of write or read mean the device itself is gone
    // (unplugged, the other end closed) rather than one failed call?
    virtual bool deviceLost(int error) const {
        return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
    }
};

// The port of the platform this program runs on (posix_serial_port.cpp,
// win32_serial_port.cpp).
std::unique_ptr<SerialPort> makeSystemSerialPort();
// The termios port used for real devices and pseudo-terminals.
std::unique_ptr<SerialPort> makePosixSerialPort();

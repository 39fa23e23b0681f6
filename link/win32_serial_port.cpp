// Windows communications realisation of SerialPort.
//
// Exclusive, blocking (no overlapped I/O) handle on \\.\COMn; DCB line
// settings and COMMTIMEOUTS give the read semantics the layers above rely
// on. Software flow control stays off: with fOutX/fInX the driver would eat
// every 0x11 and 0x13 byte of a binary answer.
#include "link/serial_port.h"

#include <windows.h>

#include "link/win32_text.h"

namespace {

// Errors a USB serial driver (and Wine) gives once the device is unplugged.
// clang-format off
constexpr DWORD kLostDeviceErrors[] = {
    ERROR_ACCESS_DENIED,  ERROR_INVALID_HANDLE,       ERROR_NOT_READY,     ERROR_BAD_COMMAND,
    ERROR_GEN_FAILURE,    ERROR_OPERATION_ABORTED,    ERROR_DEVICE_NOT_CONNECTED,
    ERROR_DEVICE_REMOVED, ERROR_FILE_NOT_FOUND,
};
// clang-format on

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

// The driver's XON and XOFF limits; kept even though flow control is off.
constexpr WORD kXonXoffLimit = 1064;

int lastError() {
    DWORD error = GetLastError();
    return error ? static_cast<int>(error) : static_cast<int>(ERROR_GEN_FAILURE);
}

class Win32SerialPort final : public SerialPort {
public:
    ~Win32SerialPort() override { close(); }

    int open(const std::string& devicePath) override {
        close();
        // Share mode 0: a port another program holds fails with access denied.
        HANDLE h =
            CreateFileW(widen(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return lastError();
        handle_ = h;
        haveSettings_ = false;
        return 0;
    }

    int getSettings() override {
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (!GetCommState(handle_, &dcb_)) return lastError();
        haveSettings_ = true;
        return 0;
    }

    int setSettings(int baudRate, int byteSize, int parity, int stopBits) override {
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        if (!haveSettings_) {
            if (int error = getSettings(); error != 0) return error;
        }
        bool known = false;
        for (int rate : kBaudRates) known = known || rate == baudRate;
        if (!known || byteSize < 5 || byteSize > 8 || parity < 0 || parity > 4 || (stopBits != 0 && stopBits != 2))
            return ERROR_INVALID_PARAMETER;

        DCB d = dcb_;
        d.BaudRate = static_cast<DWORD>(baudRate);
        d.ByteSize = static_cast<BYTE>(byteSize);
        d.Parity = static_cast<BYTE>(parity);      // NOPARITY .. SPACEPARITY
        d.StopBits = static_cast<BYTE>(stopBits);  // ONESTOPBIT, TWOSTOPBITS
        d.fBinary = TRUE;
        d.fParity = FALSE;
        d.fOutX = FALSE;
        d.fInX = FALSE;
        d.fTXContinueOnXoff = TRUE;
        d.XonLim = kXonXoffLimit;
        d.XoffLim = kXonXoffLimit;
        if (!SetCommState(handle_, &d)) return lastError();
        dcb_ = d;
        return 0;
    }

    int getTimeouts() override {
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        return GetCommTimeouts(handle_, &timeouts_) ? 0 : lastError();
    }

    int setTimeouts(int readIntervalMs, int totalTimeoutMs) override {
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        if (readIntervalMs < 0 || totalTimeoutMs < 0) return ERROR_INVALID_PARAMETER;
        COMMTIMEOUTS t = timeouts_;
        t.ReadIntervalTimeout = static_cast<DWORD>(readIntervalMs);
        t.ReadTotalTimeoutMultiplier = 0;
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(totalTimeoutMs);
        t.WriteTotalTimeoutMultiplier = 0;
        t.WriteTotalTimeoutConstant = static_cast<DWORD>(totalTimeoutMs);
        if (!SetCommTimeouts(handle_, &t)) return lastError();
        timeouts_ = t;
        return 0;
    }

    void discardInput() override {
        if (isOpen()) PurgeComm(handle_, PURGE_RXCLEAR);
    }

    int write(const uint8_t* data, size_t length, size_t& written) override {
        written = 0;
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        DWORD n = 0;
        SetLastError(0);
        if (!WriteFile(handle_, data, static_cast<DWORD>(length), &n, nullptr)) return lastError();
        written = n;
        if (written < length) {
            // The write time-out expired; a lost device says so here.
            DWORD error = GetLastError();
            return error ? static_cast<int>(error) : static_cast<int>(ERROR_TIMEOUT);
        }
        return 0;
    }

    int read(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        if (!isOpen()) return ERROR_INVALID_HANDLE;
        DWORD n = 0;
        if (!ReadFile(handle_, data, static_cast<DWORD>(length), &n, nullptr)) return lastError();
        received = n;
        // A time-out and an unplugged device both end a read short without
        // an error; only the port's status tells them apart.
        if (received < length) {
            DWORD errors = 0;
            COMSTAT state{};
            if (!ClearCommError(handle_, &errors, &state)) return lastError();
        }
        return 0;
    }

    bool inputFollows() override {
        if (!isOpen()) return false;
        // MAXDWORD, MAXDWORD, n: return at the first byte, or after n ms.
        COMMTIMEOUTS wait = timeouts_;
        wait.ReadIntervalTimeout = MAXDWORD;
        wait.ReadTotalTimeoutMultiplier = MAXDWORD;
        wait.ReadTotalTimeoutConstant = timeouts_.ReadIntervalTimeout ? timeouts_.ReadIntervalTimeout : 1;
        if (!SetCommTimeouts(handle_, &wait)) return false;
        uint8_t byte = 0;
        DWORD n = 0;
        bool follows = ReadFile(handle_, &byte, 1, &n, nullptr) && n > 0;
        SetCommTimeouts(handle_, &timeouts_);
        return follows;
    }

    void close() override {
        if (!isOpen()) return;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        haveSettings_ = false;
    }

    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    bool deviceLost(int error) const override {
        for (DWORD lost : kLostDeviceErrors)
            if (static_cast<DWORD>(error) == lost) return true;
        return false;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    bool haveSettings_ = false;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() { return std::make_unique<Win32SerialPort>(); }

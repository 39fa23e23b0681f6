// termios realisation of SerialPort.
//
// Raw 8-bit line, no software flow control: with IXON/IXOFF the line
// discipline would eat every 0x11 and 0x13 byte of a binary answer.
// Time-outs are done with poll(), so nothing depends on modem lines
// (a pseudo-terminal has none).
#include "link/serial_port.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct BaudRate {
    int rate;
    speed_t code;
};

// clang-format off
constexpr BaudRate kBaudRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400},
};
// clang-format on

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override { close(); }

    int open(const std::string& devicePath) override {
        close();
        int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return errno;
        // flock keeps out every cooperating program, root included;
        // TIOCEXCL keeps out plain opens by other users.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return error;
        }
        // A file that is no terminal opens; it fails at the settings step.
        if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
            int error = errno;
            ::close(fd);
            return error;
        }
        fd_ = fd;
        haveSettings_ = false;
        return 0;
    }

    int getSettings() override {
        if (fd_ < 0) return EBADF;
        if (::tcgetattr(fd_, &settings_) != 0) return errno;
        haveSettings_ = true;
        return 0;
    }

    int setSettings(int baudRate, int byteSize, int parity, int stopBits) override {
        if (fd_ < 0) return EBADF;
        if (!haveSettings_) {
            int error = getSettings();
            if (error != 0) return error;
        }
        speed_t speed = 0;
        bool known = false;
        for (const BaudRate& b : kBaudRates)
            if (b.rate == baudRate) {
                speed = b.code;
                known = true;
            }
        if (!known || byteSize < 5 || byteSize > 8 || parity < 0 || parity > 4 || (stopBits != 0 && stopBits != 2))
            return EINVAL;

        termios t = settings_;
        ::cfmakeraw(&t);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag |= kSizes[byteSize - 5] | CLOCAL | CREAD;
        if (parity == 1)
            t.c_cflag |= PARENB | PARODD;
        else if (parity == 2)
            t.c_cflag |= PARENB;
        else if (parity == 3)
            t.c_cflag |= PARENB | PARODD | CMSPAR;
        else if (parity == 4)
            t.c_cflag |= PARENB | CMSPAR;
        if (stopBits == 2) t.c_cflag |= CSTOPB;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return errno;
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
        settings_ = t;
        return 0;
    }

    int getTimeouts() override { return fd_ < 0 ? EBADF : 0; }

    int setTimeouts(int readIntervalMs, int totalTimeoutMs) override {
        if (fd_ < 0) return EBADF;
        if (readIntervalMs < 0 || totalTimeoutMs < 0) return EINVAL;
        intervalMs_ = readIntervalMs;
        totalMs_ = totalTimeoutMs;
        return 0;
    }

    void discardInput() override {
        if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
    }

    int write(const uint8_t* data, size_t length, size_t& written) override {
        written = 0;
        if (fd_ < 0) return EBADF;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs_);
        while (written < length) {
            ssize_t n = ::write(fd_, data + written, length - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return errno;
            int waitMs = millisecondsLeft(deadline);
            if (waitMs == 0) return ETIMEDOUT;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, waitMs) < 0 && errno != EINTR) return errno;
        }
        return 0;
    }

    int read(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        if (fd_ < 0) return EBADF;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs_);
        while (received < length) {
            int waitMs = totalMs_ > 0 ? millisecondsLeft(deadline) : -1;
            if (received > 0 && intervalMs_ > 0 && (waitMs < 0 || intervalMs_ < waitMs)) waitMs = intervalMs_;
            if (waitMs == 0) break;
            pollfd p{fd_, POLLIN, 0};
            int ready = ::poll(&p, 1, waitMs);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (ready == 0) break;
            ssize_t n = ::read(fd_, data + received, length - received);
            if (n > 0)
                received += static_cast<size_t>(n);
            else if (n == 0)
                return EIO;  // hung up: the other end is gone
            else if (errno != EAGAIN && errno != EINTR)
                return errno;
        }
        return 0;
    }

    bool inputFollows() override {
        if (fd_ < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        int ready;
        do ready = ::poll(&p, 1, intervalMs_);
        while (ready < 0 && errno == EINTR);
        return ready > 0 && (p.revents & POLLIN);
    }

    void close() override {
        if (fd_ < 0) return;
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);  // also drops the flock
        fd_ = -1;
        haveSettings_ = false;
    }

    bool isOpen() const override { return fd_ >= 0; }

private:
    int fd_ = -1;
    termios settings_{};
    bool haveSettings_ = false;
    int intervalMs_ = 50;
    int totalMs_ = 1000;
};

}  // namespace

std::unique_ptr<SerialPort> makePosixSerialPort() { return std::make_unique<PosixSerialPort>(); }

std::unique_ptr<SerialPort> makeSystemSerialPort() { return makePosixSerialPort(); }

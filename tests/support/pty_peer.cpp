#include "support/pty_peer.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "link/com_ports.h"
#include "link/frame.h"

namespace fs = std::filesystem;

namespace {

constexpr int kGuardMs = 5000;

// Waits for a condition that another party brings about; gives up after
// the guard time so that a broken test fails instead of hanging.
template <typename Condition>
bool waitFor(Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::poll(nullptr, 0, 1);
    }
    return true;
}

}  // namespace

PtyPeer::PtyPeer() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    devicePath_ = name;
}

PtyPeer::~PtyPeer() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

std::vector<uint8_t> PtyPeer::receive(size_t count) {
    std::vector<uint8_t> bytes;
    uint8_t buffer[2048];
    while (bytes.size() < count) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, kGuardMs) <= 0) break;
        size_t want = std::min(sizeof buffer, count - bytes.size());
        ssize_t n = ::read(master_, buffer, want);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

void PtyPeer::send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

bool PtyPeer::waitQueued(size_t count) {
    return waitFor([&] {
        int queued = 0;
        return ::ioctl(slave_, FIONREAD, &queued) == 0 && static_cast<size_t>(queued) >= count;
    });
}

bool PtyPeer::waitDrained() {
    return waitFor([&] {
        int queued = 0;
        return ::ioctl(slave_, FIONREAD, &queued) == 0 && queued == 0;
    });
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "nerax-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& relative, const std::string& text) const {
    fs::path file = fs::path(path_) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void TempDir::link(const std::string& relative, const std::string& target) const {
    fs::path file = fs::path(path_) / relative;
    fs::create_directories(file.parent_path());
    fs::create_symlink(target, file);
}

TempPortsFolder::TempPortsFolder() {
    std::string pattern = (fs::temp_directory_path() / "nerax-ports-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
    previous_ = portInventoryRoots().portsFolder;
    portInventoryRoots().portsFolder = path_;
}

TempPortsFolder::~TempPortsFolder() {
    portInventoryRoots().portsFolder = previous_;
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

void TempPortsFolder::add(int number, const std::string& target, const std::string& friendlyName) {
    std::string name = comPortName(number);
    fs::create_symlink(target, fs::path(path_) / name);
    if (!friendlyName.empty())
        std::ofstream(fs::path(path_) / (name + ".name"), std::ios::binary) << friendlyName << "\n";
}

std::vector<uint8_t> answerFrame(const std::vector<uint8_t>& data, uint8_t acknowledge) {
    std::vector<uint8_t> bytes;
    bytes.reserve(data.size() + 2);
    bytes.push_back(acknowledge);
    for (uint8_t b : data) bytes.push_back(b);
    if (!data.empty()) bytes.push_back(frame::checksum(data.data(), data.size()));
    return bytes;
}

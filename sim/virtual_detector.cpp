// The pty server: device-side framing, faults, wire timing and the
// COM<n> entry in the ports folder.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "sim/virtual_detector.h"

namespace nerax_sim {

namespace {

int64_t nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// A partly received frame is dropped after this much silence: the tool
// never pauses inside a request, so a gap means the rest is not coming.
constexpr int64_t kFrameGapUs = 200000;
constexpr size_t kMaxPayload = 1024;

bool makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool makeDirs(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct FaultName {
    FaultKind kind;
    const char* name;
};
const FaultName kFaultNames[] = {
    {FaultKind::NoAnswer, "no-answer"},
    {FaultKind::ShortAnswer, "short-answer"},
    {FaultKind::BadChecksum, "bad-checksum"},
    {FaultKind::NotAcknowledged, "not-acknowledged"},
    {FaultKind::StrayBefore, "stray-before"},
    {FaultKind::StrayAfter, "stray-after"},
    {FaultKind::Pieces, "pieces"},
    {FaultKind::LateAnswer, "late-answer"},
    {FaultKind::EndlessAnswer, "endless-answer"},
    {FaultKind::Unplug, "unplug"},
    {FaultKind::WrongData, "wrong-data"},
};

}  // namespace

const char* faultKindName(FaultKind kind) {
    for (const FaultName& f : kFaultNames)
        if (f.kind == kind) return f.name;
    return "?";
}

bool faultKindFromName(const std::string& name, FaultKind& kind) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) {
            kind = f.kind;
            return true;
        }
    return false;
}

std::string defaultPortsFolder() {
    if (const char* p = std::getenv("NERAX_LT_PORTS"); p && *p) return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/nerax-lt/ports";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/nerax-lt/ports";
}

VirtualDetector::VirtualDetector() : VirtualDetector(DetectorOptions{}) {}

VirtualDetector::VirtualDetector(const DetectorOptions& options) : options_(options), model_(options.image) {
    model_.clockRunning = options.runningClock;
    wireSpeed_ = options.wireSpeed;
    baudRate_ = options.baudRate > 0 ? options.baudRate : kDefaultBaud;
}

VirtualDetector::~VirtualDetector() { stop(); }

bool VirtualDetector::openPty() {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        lastError_ = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        lastError_ = std::string("pty set-up: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) {
        lastError_ = std::string("open ") + name + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    if (!makeRaw(slave) || !makeRaw(master)) {
        lastError_ = std::string("raw mode: ") + std::strerror(errno);
        ::close(slave);
        ::close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::lock_guard<std::mutex> lock(ptyMutex_);
    masterFd_ = master;
    slaveHoldFd_ = slave;
    slavePath_ = name;
    return true;
}

void VirtualDetector::closePty() {
    pluggedIn_ = false;
    std::lock_guard<std::mutex> lock(ptyMutex_);
    if (masterFd_ >= 0) ::close(masterFd_);
    if (slaveHoldFd_ >= 0) ::close(slaveHoldFd_);
    masterFd_ = slaveHoldFd_ = -1;
    slavePath_.clear();
}

bool VirtualDetector::start() {
    if (running()) return true;
    if (pipe(wakePipe_) != 0) {
        lastError_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    fcntl(wakePipe_[0], F_SETFL, O_NONBLOCK);
    fcntl(wakePipe_[1], F_SETFL, O_NONBLOCK);
    if (!openPty()) {
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        wakePipe_[0] = wakePipe_[1] = -1;
        return false;
    }
    stopping_ = false;
    pluggedIn_ = true;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void VirtualDetector::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        wake();
        thread_.join();
    }
    closePty();
    for (int& fd : wakePipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    unregisterPort();
}

std::string VirtualDetector::devicePath() const {
    std::lock_guard<std::mutex> lock(ptyMutex_);
    return slavePath_;
}

// Plugged means served and reachable through the COM entry.
bool VirtualDetector::plugged() const { return pluggedIn_; }

void VirtualDetector::wake() {
    if (wakePipe_[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &c, 1);
    }
}

// ---- port entry ------------------------------------------------------------

bool VirtualDetector::registerPort(int number, const std::string& folder, const std::string& friendlyName,
                                   bool replaceExisting) {
    if (number < 1 || number > 255) {
        lastError_ = "COM number must be 1..255";
        return false;
    }
    if (!makeDirs(folder)) {
        lastError_ = "cannot create ports folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    unregisterPort();
    const std::string link = folder + "/COM" + std::to_string(number);
    const std::string target = devicePath();
    if (!replaceExisting) {
        // Claim the number atomically: symlink() fails when the entry exists.
        if (target.empty() || symlink(target.c_str(), link.c_str()) != 0) {
            lastError_ = "COM" + std::to_string(number) + " is taken in " + folder;
            return false;
        }
    }
    portFolder_ = folder;
    portNumber_ = number;
    linkedPath_ = target;
    const std::string nameFile = link + ".name";
    FILE* f = std::fopen(nameFile.c_str(), "w");
    if (!f) {
        lastError_ = "cannot write " + nameFile + ": " + std::strerror(errno);
        unregisterPort();
        return false;
    }
    std::fprintf(f, "%s\n", friendlyName.c_str());
    std::fclose(f);
    return replaceExisting ? refreshPortLink() : true;
}

bool VirtualDetector::refreshPortLink() {
    if (portNumber_ == 0) return true;
    const std::string link = portFolder_ + "/COM" + std::to_string(portNumber_);
    const std::string target = devicePath();
    if (target.empty()) return true;  // unplugged: put back on replug
    const std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
        lastError_ = "cannot create " + link + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    linkedPath_ = target;
    return true;
}

// Unplugged, the entry goes as a USB device's node goes: the freed pty
// number may soon belong to another program's pseudo-terminal, which the
// tool must not reach through our COM number. The name file stays, and
// refreshPortLink() puts the link back on replug.
void VirtualDetector::dropPortLink() {
    if (portNumber_ == 0) return;
    const std::string link = portFolder_ + "/COM" + std::to_string(portNumber_);
    char target[256] = {};
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == linkedPath_) ::unlink(link.c_str());
}

// Removes the entry only while it is still ours: another detector may have
// taken the number over since.
void VirtualDetector::unregisterPort() {
    if (portNumber_ == 0) return;
    const std::string link = portFolder_ + "/COM" + std::to_string(portNumber_);
    char target[256] = {};
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == linkedPath_) {
        ::unlink(link.c_str());
        ::unlink((link + ".name").c_str());
    }
    portNumber_ = 0;
    linkedPath_.clear();
}

// ---- model access ----------------------------------------------------------

std::vector<uint8_t> VirtualDetector::eepromBytes(int from, int count) {
    if (from < 0 || count < 0 || from + count > kEepromSize) return {};
    return withModel([&](DetectorModel& m) {
        return std::vector<uint8_t>(m.eeprom.begin() + from, m.eeprom.begin() + from + count);
    });
}

uint8_t VirtualDetector::ramByte(uint32_t address) {
    return withModel([&](DetectorModel& m) { return m.ramByte(address); });
}

ClockValue VirtualDetector::clock() {
    return withModel([](DetectorModel& m) { return m.clock(); });
}

int VirtualDetector::requestCount(uint8_t code) {
    return withModel([&](DetectorModel& m) { return m.requestCount[code]; });
}

// ---- faults ----------------------------------------------------------------

void VirtualDetector::injectFault(int code, const Fault& fault, int count) {
    if (count <= 0) return;
    std::lock_guard<std::mutex> lock(faultMutex_);
    faults_.push_back(PendingFault{code, fault, count});
}

void VirtualDetector::clearFaults() {
    std::lock_guard<std::mutex> lock(faultMutex_);
    faults_.clear();
}

int VirtualDetector::pendingFaults() {
    std::lock_guard<std::mutex> lock(faultMutex_);
    int n = 0;
    for (const PendingFault& f : faults_) n += f.count;
    return n;
}

bool VirtualDetector::takeFault(uint8_t code, Fault& fault) {
    std::lock_guard<std::mutex> lock(faultMutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->code != -1 && it->code != code) continue;
        if (it->fault.skip > 0) {
            --it->fault.skip;
            return false;
        }
        fault = it->fault;
        if (--it->count == 0) faults_.erase(it);
        return true;
    }
    return false;
}

namespace {
// Waits (briefly, the serving thread reacts at once) for a condition.
template <class F>
bool waitUntil(F done, int boundMs = 5000) {
    const int64_t end = nowUs() + static_cast<int64_t>(boundMs) * 1000;
    while (nowUs() < end) {
        if (done()) return true;
        poll(nullptr, 0, 1);
    }
    return done();
}
}  // namespace

void VirtualDetector::unplug() {
    if (!running()) {
        closePty();
        return;
    }
    unplugRequested_ = true;
    wake();
    waitUntil([this] { return !plugged(); });
}

bool VirtualDetector::replug() {
    if (!running()) return false;
    if (plugged()) return true;
    const int generation = ptyGeneration_;
    replugRequested_ = true;
    wake();
    return waitUntil([&] { return ptyGeneration_ != generation; }) && plugged();
}

bool VirtualDetector::waitForRequests(int code, int count, int boundMs) {
    return waitUntil(
        [&] {
            return withModel([&](DetectorModel& m) {
                int n = 0;
                if (code < 0) {
                    for (int c : m.requestCount) n += c;
                } else if (code < 256) {
                    n = m.requestCount[static_cast<size_t>(code)];
                }
                return n >= count;
            });
        },
        boundMs);
}

bool VirtualDetector::waitForPlug(bool pluggedIn, int boundMs) {
    return waitUntil([&] { return plugged() == pluggedIn; }, boundMs);
}

void VirtualDetector::setWireSpeed(bool on, int baudRate) {
    baudRate_ = baudRate > 0 ? baudRate : kDefaultBaud;
    wireSpeed_ = on;
}

// ---- serving ---------------------------------------------------------------

// Sleeps until `untilUs`, or returns false early when asked to stop or unplug.
bool VirtualDetector::waitFor(int64_t untilUs) {
    for (;;) {
        if (stopping_ || unplugRequested_) return false;
        const int64_t left = untilUs - nowUs();
        if (left <= 0) return true;
        pollfd p{wakePipe_[0], POLLIN, 0};
        const int ms = static_cast<int>((left + 999) / 1000);
        if (poll(&p, 1, ms) > 0) {
            char buffer[64];
            while (::read(wakePipe_[0], buffer, sizeof buffer) > 0) {}
        }
    }
}

// Writes all bytes; with wire speed on, byte k leaves no earlier than the
// line allows (one start, eight data and one stop bit per byte).
bool VirtualDetector::sendBytes(const uint8_t* data, size_t length, int64_t notBeforeUs) {
    if (length == 0) return true;
    const bool paced = wireSpeed_;
    const double byteUs = 10.0 * 1e6 / baudRate_;
    int64_t start = std::max(nowUs(), notBeforeUs);
    if (paced) start = std::max(start, lineFreeUs_);
    if (!waitFor(start)) return false;
    size_t sent = 0;
    while (sent < length) {
        size_t chunk = length - sent;
        if (paced) {
            chunk = std::min<size_t>(chunk, 4);
            // The chunk is on the wire once its last stop bit has gone.
            const int64_t due = start + static_cast<int64_t>(byteUs * static_cast<double>(sent + chunk));
            if (!waitFor(due)) return false;
        }
        int fd;
        {
            std::lock_guard<std::mutex> lock(ptyMutex_);
            fd = masterFd_;
        }
        if (fd < 0) return false;
        const ssize_t n = ::write(fd, data + sent, chunk);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p[2] = {{fd, POLLOUT, 0}, {wakePipe_[0], POLLIN, 0}};
        poll(p, 2, 50);
        if (stopping_ || unplugRequested_) return false;
    }
    if (paced) lineFreeUs_ = start + static_cast<int64_t>(byteUs * static_cast<double>(length));
    return true;
}

void VirtualDetector::handleFrame(const std::vector<uint8_t>& frame, int64_t firstByteUs) {
    Request request;
    request.code = frame[0];
    for (int i = 1; i <= 12; ++i) request.p[i] = frame[2 + i];
    const size_t payloadLength = static_cast<size_t>(frame[1]) << 8 | frame[2];
    if (payloadLength > 0)
        request.payload.assign(frame.begin() + 16, frame.begin() + 16 + static_cast<long>(payloadLength));
    bool payloadOk = true;
    if (payloadLength > 0)
        payloadOk = frame[16 + payloadLength] == frameChecksum(request.payload.data(), payloadLength);

    // With wire timing the answer cannot start before the request has
    // arrived in full.
    int64_t answerAt = 0;
    if (wireSpeed_) {
        const double byteUs = 10.0 * 1e6 / baudRate_;
        answerAt = firstByteUs + static_cast<int64_t>(byteUs * static_cast<double>(frame.size()));
    }

    Fault fault;
    const bool faulted = takeFault(request.code, fault);
    // A detector that refuses a request does nothing of it (a refused write
    // leaves its bytes as they were).
    const bool refused = faulted && fault.kind == FaultKind::NotAcknowledged;

    std::vector<uint8_t> data;
    bool ack = false;
    const int dataLength = expectedDataLength(request);
    {
        std::lock_guard<std::mutex> lock(modelMutex_);
        if (payloadOk && !refused) {
            ack = model_.execute(request, data);
        } else {
            model_.requestCount[request.code]++;
            if (refused) {
                model_.history.push_back(request);
                if (model_.history.size() > 512) model_.history.pop_front();
            }
            data.assign(dataLength > 0 ? static_cast<size_t>(dataLength) : 0, 0);
        }
        if (dataLength > 0 && data.size() != static_cast<size_t>(dataLength))
            data.resize(static_cast<size_t>(dataLength), 0);
    }

    std::vector<uint8_t> answer;
    if (dataLength < 0) {
        answer.push_back(0);  // unknown command: a bare refusal
    } else {
        answer.push_back(ack ? 1 : 0);
        if (dataLength > 0) {
            answer.insert(answer.end(), data.begin(), data.end());
            answer.push_back(frameChecksum(data.data(), data.size()));
        }
    }

    if (!faulted) {
        sendBytes(answer.data(), answer.size(), answerAt);
        return;
    }
    const int64_t delayUs = static_cast<int64_t>(fault.delayMs) * 1000;
    const size_t extra = static_cast<size_t>(std::max(fault.bytes, 1));
    switch (fault.kind) {
    case FaultKind::NoAnswer: break;
    case FaultKind::ShortAnswer: {
        const size_t keep = answer.size() > extra ? answer.size() - extra : 0;
        sendBytes(answer.data(), keep, answerAt);
        break;
    }
    case FaultKind::BadChecksum:
        answer.back() = static_cast<uint8_t>(answer.back() + 1);
        sendBytes(answer.data(), answer.size(), answerAt);
        break;
    case FaultKind::NotAcknowledged:
        answer[0] = 0;
        sendBytes(answer.data(), answer.size(), answerAt);
        break;
    case FaultKind::WrongData:
        if (answer.size() > 2) {
            answer[1] = static_cast<uint8_t>(answer[1] ^ 0xFF);
            answer.back() = frameChecksum(answer.data() + 1, answer.size() - 2);
        }
        sendBytes(answer.data(), answer.size(), answerAt);
        break;
    case FaultKind::StrayBefore:
        answer.insert(answer.begin(), extra, fault.strayByte);
        sendBytes(answer.data(), answer.size(), answerAt);
        break;
    case FaultKind::StrayAfter:
        answer.insert(answer.end(), extra, fault.strayByte);
        sendBytes(answer.data(), answer.size(), answerAt);
        break;
    case FaultKind::Pieces: {
        const size_t pieces = std::min(std::max<size_t>(extra, 2), answer.size());
        size_t at = 0;
        for (size_t k = 0; k < pieces && at < answer.size(); ++k) {
            const size_t size = k + 1 == pieces ? answer.size() - at : std::max<size_t>(answer.size() / pieces, 1);
            if (k > 0 && !waitFor(nowUs() + delayUs)) return;
            if (!sendBytes(answer.data() + at, size, answerAt)) return;
            at += size;
        }
        break;
    }
    case FaultKind::LateAnswer:
        if (waitFor(std::max(nowUs(), answerAt) + delayUs)) sendBytes(answer.data(), answer.size(), 0);
        break;
    case FaultKind::EndlessAnswer: {
        if (!sendBytes(answer.data(), 1, answerAt)) return;
        const int64_t periodUs = std::max<int64_t>(delayUs, 1000);
        uint8_t filler = 0x55;
        // Until the tool sends something else (or we stop).
        for (;;) {
            int fd;
            {
                std::lock_guard<std::mutex> lock(ptyMutex_);
                fd = masterFd_;
            }
            if (fd < 0) return;
            pollfd p[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            const int r = poll(p, 2, static_cast<int>(periodUs / 1000));
            if (stopping_ || unplugRequested_) return;
            if (r > 0 && (p[0].revents & POLLIN)) return;
            if (r > 0 && (p[1].revents & POLLIN)) {
                char buffer[64];
                while (::read(wakePipe_[0], buffer, sizeof buffer) > 0) {}
                continue;
            }
            if (!sendBytes(&filler, 1, 0)) return;
        }
    }
    case FaultKind::Unplug:
        unplugRequested_ = true;
        if (fault.delayMs > 0) replugAtUs_ = nowUs() + delayUs;
        break;
    }
}

void VirtualDetector::serve() {
    std::vector<uint8_t> rx;
    int64_t frameStartUs = 0;
    int64_t lastByteUs = 0;
    uint8_t buffer[4096];
    for (;;) {
        if (stopping_) return;
        if (unplugRequested_) {
            unplugRequested_ = false;
            closePty();
            dropPortLink();
            rx.clear();
        }
        if (replugRequested_ || (replugAtUs_ != 0 && nowUs() >= replugAtUs_)) {
            replugRequested_ = false;
            replugAtUs_ = 0;
            if (!plugged() && openPty()) {
                refreshPortLink();
                pluggedIn_ = true;
            }
            ptyGeneration_++;
        }
        int fd;
        {
            std::lock_guard<std::mutex> lock(ptyMutex_);
            fd = masterFd_;
        }
        int timeoutMs = -1;
        if (!rx.empty()) timeoutMs = static_cast<int>(kFrameGapUs / 1000);
        if (replugAtUs_ != 0) {
            const int untilReplug = static_cast<int>(std::max<int64_t>(replugAtUs_ - nowUs(), 0) / 1000) + 1;
            timeoutMs = timeoutMs < 0 ? untilReplug : std::min(timeoutMs, untilReplug);
        }
        pollfd p[2] = {{wakePipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const int r = poll(p, fd >= 0 ? 2 : 1, timeoutMs);
        if (r < 0 && errno != EINTR) return;
        if (p[0].revents & POLLIN) {
            while (::read(wakePipe_[0], buffer, sizeof buffer) > 0) {}
        }
        const int64_t now = nowUs();
        if (fd >= 0 && (p[1].revents & POLLIN)) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                if (rx.empty()) frameStartUs = now;
                rx.insert(rx.end(), buffer, buffer + n);
                lastByteUs = now;
            }
        }
        if (!rx.empty() && now - lastByteUs >= kFrameGapUs) {
            framingErrors_++;
            rx.clear();
        }
        // Cut complete frames off the front of the buffer.
        while (rx.size() >= 16) {
            const size_t payload = static_cast<size_t>(rx[1]) << 8 | rx[2];
            if (rx[15] != frameChecksum(rx.data(), 15) || payload > kMaxPayload) {
                // Not a header: slide one byte and look again (a stray byte
                // ahead of a request must not cost the request).
                framingErrors_++;
                rx.erase(rx.begin());
                continue;
            }
            const size_t total = 16 + (payload ? payload + 1 : 0);
            if (rx.size() < total) break;
            std::vector<uint8_t> frame(rx.begin(), rx.begin() + static_cast<long>(total));
            rx.erase(rx.begin(), rx.begin() + static_cast<long>(total));
            handleFrame(frame, frameStartUs);
            frameStartUs = nowUs();
            if (stopping_) return;
        }
    }
}

}  // namespace nerax_sim

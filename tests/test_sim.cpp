// The virtual detector on its own: frames, answers, faults, port entries and
// the executable. A minimal device-side-agnostic client speaks to it over
// the pty, so these tests do not depend on the tool's link code.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/sim_fixture.h"

using namespace nerax_sim;
using Bytes = std::vector<uint8_t>;

namespace {

// Bound for reads that must succeed; never reached when the detector works.
constexpr int kReadBoundMs = 5000;

class Client {
public:
    explicit Client(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void send(const Bytes& b) { ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }

    // Reads exactly n bytes (or fewer when the bound passes).
    Bytes read(size_t n) {
        Bytes out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadBoundMs);
        while (out.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
            uint8_t buffer[2048];
            const ssize_t r = ::read(fd_, buffer, std::min(sizeof buffer, n - out.size()));
            if (r <= 0) break;
            out.insert(out.end(), buffer, buffer + r);
        }
        return out;
    }

    Bytes transact(const Bytes& request, size_t answerLength) {
        send(request);
        return read(answerLength);
    }

private:
    int fd_ = -1;
};

Bytes frame(uint8_t code, std::initializer_list<uint8_t> params = {}, const Bytes& payload = {}) {
    Bytes f(16, 0);
    f[0] = code;
    f[1] = static_cast<uint8_t>(payload.size() >> 8);
    f[2] = static_cast<uint8_t>(payload.size() & 0xFF);
    int i = 3;
    for (uint8_t p : params) f[i++] = p;
    f[15] = frameChecksum(f.data(), 15);
    if (!payload.empty()) {
        f.insert(f.end(), payload.begin(), payload.end());
        f.push_back(frameChecksum(payload.data(), payload.size()));
    }
    return f;
}

// Checks acknowledge, length and checksum; returns the data bytes.
Bytes dataOf(const Bytes& answer, size_t dataLength) {
    EXPECT_EQ(answer.size(), dataLength + 2);
    if (answer.size() != dataLength + 2) return {};
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(answer.back(), frameChecksum(answer.data() + 1, dataLength));
    return Bytes(answer.begin() + 1, answer.end() - 1);
}

class SimFrames : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        client = std::make_unique<Client>(portsFolder() + "/COM" + std::to_string(comNumber()));
        ASSERT_TRUE(client->ok());
    }
    void TearDown() override {
        client.reset();
        SimFixture::TearDown();
    }
    std::unique_ptr<Client> client;
};

TEST_F(SimFrames, PingIsTheWorkedExample) {
    const Bytes ping = frame(6);
    ASSERT_EQ(ping[15], 0x0E);
    EXPECT_EQ(client->transact(ping, 1), Bytes{1});
}

TEST_F(SimFrames, ConnectAnswersDescribeAValidImage) {
    const Bytes flags = dataOf(client->transact(frame(32), 9), 7);
    ASSERT_EQ(flags.size(), 7u);
    EXPECT_EQ(flags[0], 1);  // EEPROM read
    EXPECT_EQ(flags[1], 1);  // FCT
    EXPECT_EQ(flags[2], 1);  // CFG
    EXPECT_EQ(flags[3], 1);  // LOB
    EXPECT_EQ(flags[5], 0);  // configuration right

    const Bytes image = dataOf(client->transact(frame(3, {0, 0, 0, 2}), 514), 512);
    ASSERT_EQ(image.size(), 512u);
    EXPECT_EQ(image[275], areaChecksum(image.data(), 256, 20, 275, 3));
    EXPECT_EQ(image[495], areaChecksum(image.data(), 276, 220, 495, 5));
    EXPECT_EQ(image[48], areaChecksum(image.data(), 0, 49, 48, 1));
    EXPECT_EQ(image[257], 2);  // channels
    EXPECT_EQ(image[259], 1);  // stand alone
    EXPECT_EQ(image[265], 3);  // firmware major
    EXPECT_EQ(image[267], 1);  // mechanical version
    EXPECT_EQ(image[411], 0xA7);

    const Bytes header = dataOf(client->transact(frame(3, {0, 4, 64, 0}), 66), 64);
    ASSERT_EQ(header.size(), 64u);
    EXPECT_EQ(header[63], areaChecksum(header.data(), 0, 64, 63, 7));
    EXPECT_EQ(header[0] | header[1] << 8, 2469);  // 1234 operating hours
    EXPECT_NE(header[5], 255);                    // log not blank

    EXPECT_EQ(dataOf(client->transact(frame(35), 3), 1), Bytes{0});
}

TEST_F(SimFrames, AnswersHaveTheirCommandsLengths) {
    struct Case {
        uint8_t code;
        std::initializer_list<uint8_t> params;
        size_t dataLength;
    };
    // clang-format off
    const Case cases[] = {
        {30, {}, 74}, {19, {}, 7}, {9, {7}, 2}, {11, {0}, 2}, {14, {}, 3}, {15, {}, 4},
        {16, {}, 1}, {17, {}, 6}, {18, {}, 3}, {25, {0, 1, 1, 0, 1}, 13}, {26, {1, 1}, 1024},
        {36, {1}, 1024}, {27, {5, 11}, 0}, {33, {1, 1}, 0}, {34, {3}, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        const Bytes answer = client->transact(frame(c.code, c.params), c.dataLength ? c.dataLength + 2 : 1);
        if (c.dataLength)
            dataOf(answer, c.dataLength);
        else
            EXPECT_EQ(answer, Bytes{1});
    }
    // Readings inside the production-test ranges.
    auto analogue = [&](uint8_t channel) {
        const Bytes d = dataOf(client->transact(frame(9, {channel}), 4), 2);
        return d.size() == 2 ? d[0] | d[1] << 8 : -1;
    };
    EXPECT_GE(analogue(7), 660);
    EXPECT_LE(analogue(7), 695);
    EXPECT_GE(analogue(2), 218);
    EXPECT_LE(analogue(2), 245);
    EXPECT_GE(analogue(0), 480);
    EXPECT_LE(analogue(0), 540);
    // fan 1 at speed 5 (set above)
    EXPECT_GE(analogue(5), 640);
    EXPECT_LE(analogue(5), 690);
}

TEST_F(SimFrames, PanelReadingsFollowTheHardware) {
    auto value16 = [&](uint8_t code, std::initializer_list<uint8_t> params) {
        const Bytes d = dataOf(client->transact(frame(code, params), 4), 2);
        return d.size() == 2 ? d[0] | d[1] << 8 : -1;
    };
    struct FanCase {
        uint8_t speed;
        int lo, hi;
    };
    for (const FanCase& f : {FanCase{0, 0, 10}, FanCase{1, 510, 560}, FanCase{5, 640, 690}, FanCase{10, 790, 840}}) {
        EXPECT_EQ(client->transact(frame(27, {f.speed, f.speed}), 1), Bytes{1});
        for (uint8_t channel : {5, 6}) {
            const int v = value16(9, {channel});
            EXPECT_GE(v, f.lo) << "speed " << int(f.speed);
            EXPECT_LE(v, f.hi) << "speed " << int(f.speed);
        }
    }
    detector().withModel([](DetectorModel& m) { m.sounderEolFitted[1] = false; });
    EXPECT_GE(value16(9, {1}), 1020);
    EXPECT_LE(value16(9, {1}), 1024);

    // A fixed analogue value reads exactly, noise and all other inputs aside.
    detector().withModel([](DetectorModel& m) {
        m.analogFixed[5] = 840;
        m.analogFixed[0] = 1019;
    });
    EXPECT_EQ(value16(9, {5}), 840);
    const Bytes sounders = dataOf(client->transact(frame(17), 8), 6);
    ASSERT_EQ(sounders.size(), 6u);
    EXPECT_EQ(sounders[2] | sounders[3] << 8, 1019);
    detector().withModel([](DetectorModel& m) { m.analogFixed[5] = -1; });
    EXPECT_LE(value16(9, {5}), 840);

    // The loop isolator opens with AP command 11 value 32 and closes with 96.
    EXPECT_EQ(dataOf(client->transact(frame(10, {0}), 4), 2), (Bytes{1, 224}));
    EXPECT_EQ(dataOf(client->transact(frame(10, {32}), 4), 2), (Bytes{0, 32}));
    EXPECT_EQ(dataOf(client->transact(frame(10, {96}), 4), 2), (Bytes{1, 224}));

    detector().withModel([](DetectorModel& m) {
        m.externalInput = 1;
        m.coverClosed = true;
    });
    EXPECT_EQ(dataOf(client->transact(frame(16), 3), 1), Bytes{1});
    EXPECT_EQ(dataOf(client->transact(frame(18), 5), 3), (Bytes{0, 0, 1}));

    // The flow calibration byte corrects the reported flow.
    EXPECT_EQ(dataOf(client->transact(frame(30), 76), 74)[4], 87);
    EXPECT_EQ(client->transact(frame(4, {228, 1, 1, 0}, {13}), 1), Bytes{1});
    const Bytes state = dataOf(client->transact(frame(30), 76), 74);
    ASSERT_EQ(state.size(), 74u);
    EXPECT_EQ(state[4], 100);
    EXPECT_EQ(state[58], 1);  // external input short
}

TEST_F(SimFrames, ARestartEndsTheTestSettings) {
    EXPECT_EQ(client->transact(frame(27, {2, 9}), 1), Bytes{1});
    detector().withModel([](DetectorModel& m) {
        m.ledsOverride = 1;
        m.eeprom[455] = 4;  // channel 2's configured speed
        m.restartPending = 1;
        m.finishRestart();
        EXPECT_EQ(m.fanSpeed[0], 6);
        EXPECT_EQ(m.fanSpeed[1], 4);
        EXPECT_EQ(m.ledsOverride, 0);
    });
    EXPECT_EQ(dataOf(client->transact(frame(30), 76), 74)[5], 6);  // fan speed in the state
}

TEST_F(SimFrames, ActionsShowInStateAndLog) {
    auto state = [&] { return dataOf(client->transact(frame(30), 76), 74); };
    EXPECT_EQ(client->transact(frame(34, {0}), 1), Bytes{1});  // test channel 1
    Bytes s = state();
    ASSERT_EQ(s.size(), 74u);
    EXPECT_EQ(s[2], 1);                                        // channel 1 alarm
    EXPECT_EQ(s[8], 0);                                        // channel 2 quiet
    EXPECT_EQ(s[60], 1);                                       // relay ALARM 1
    EXPECT_EQ(s[62], 1);                                       // relay SOUNDER 1
    EXPECT_EQ(client->transact(frame(34, {4}), 1), Bytes{1});  // sounder 1 off
    EXPECT_EQ(state()[62], 0);
    EXPECT_EQ(client->transact(frame(33, {5, 1}), 1), Bytes{1});  // FAULT relay on
    EXPECT_EQ(state()[64], 1);
    EXPECT_EQ(client->transact(frame(34, {3}), 1), Bytes{1});  // reset
    s = state();
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[60], 0);
    detector().withModel([](DetectorModel& m) {
        const Bytes newest = m.logRecord(m.logNewestIndex());
        EXPECT_EQ(newest[0], 10);  // "Device reset executed"
        EXPECT_TRUE(m.areaValid(1024, 64, 1087, 7));
        m.advanceTime(3600);  // an hour: two half-hour ticks
    });
    s = state();
    EXPECT_EQ(s[54] | s[55] << 8, 2469 + 2);

    // Restore of the configuration area from the backup, then clear the log.
    detector().withModel([](DetectorModel& m) { m.eeprom[300] ^= 0xFF; });
    EXPECT_EQ(client->transact(frame(28, {3}), 1), Bytes{1});
    detector().withModel([](DetectorModel& m) {
        EXPECT_TRUE(m.areaValid(276, 220, 495, 5));
        EXPECT_EQ(m.logRecord(m.logNewestIndex())[0], 31);  // CFG restored
    });
    EXPECT_EQ(client->transact(frame(22), 1), Bytes{1});
    const Bytes header = dataOf(client->transact(frame(3, {0, 4, 64, 0}), 66), 64);
    ASSERT_EQ(header.size(), 64u);
    EXPECT_EQ(header[5], 255);  // blank
    EXPECT_EQ(header[63], areaChecksum(header.data(), 0, 64, 63, 7));
}

TEST(SimLog, RingWrapsAt2244Records) {
    DetectorModel m;
    m.clearLog();
    for (int i = 0; i < kLogRecordCount; ++i) m.appendLog(27);
    EXPECT_EQ(m.logNewestIndex(), kLogRecordCount - 1);
    EXPECT_FALSE(m.logWrapped());
    m.appendLog(10);
    EXPECT_EQ(m.logNewestIndex(), 0);
    EXPECT_TRUE(m.logWrapped());
    EXPECT_EQ(m.logRecord(0)[0], 10);
    EXPECT_TRUE(m.areaValid(1024, 64, 1087, 7));
}

TEST_F(SimFrames, UnknownCommandsAndBadPayloadsAreRefused) {
    EXPECT_EQ(client->transact(frame(13), 1), Bytes{0});
    Bytes clock = frame(20, {}, {29, 2, 13, 10, 0, 0});  // 29/02/13 does not exist
    EXPECT_EQ(client->transact(clock, 1), Bytes{0});
    clock = frame(20, {}, {29, 2, 12, 10, 0, 0});
    clock.back() ^= 0x01;  // payload checksum broken
    EXPECT_EQ(client->transact(clock, 1), Bytes{0});
    EXPECT_EQ(client->transact(frame(3, {0, 0x7F, 0, 2}), 514)[0], 0);  // beyond the EEPROM
}

TEST_F(SimFrames, GarbageBeforeAFrameIsSkipped) {
    Bytes request = {0xAA, 0x55, 0x13};
    const Bytes ping = frame(6);
    request.insert(request.end(), ping.begin(), ping.end());
    EXPECT_EQ(client->transact(request, 1), Bytes{1});
    EXPECT_GT(detector().framingErrors(), 0);
}

TEST_F(SimFrames, ClockSetIsLoggedAndTheHeaderStaysSealed) {
    // A clock that lost its time reads zeros until it is set.
    detector().withModel([](DetectorModel& m) { m.clockLost = true; });
    EXPECT_EQ(dataOf(client->transact(frame(19), 9), 7), Bytes(7, 0));
    const int before = detector().withModel([](DetectorModel& m) { return m.logNewestIndex(); });
    EXPECT_EQ(client->transact(frame(20, {}, {29, 2, 12, 10, 0, 0}), 1), Bytes{1});
    const Bytes time = dataOf(client->transact(frame(19), 9), 7);
    ASSERT_EQ(time.size(), 7u);
    EXPECT_EQ(Bytes(time.begin(), time.begin() + 6), (Bytes{29, 2, 12, 10, 0, 0}));
    detector().withModel([&](DetectorModel& m) {
        EXPECT_EQ(m.logNewestIndex(), before + 1);
        const Bytes r = m.logRecord(m.logNewestIndex());
        EXPECT_EQ(r[0], 37);
        EXPECT_EQ(r[1], 29);
        EXPECT_TRUE(m.areaValid(1024, 64, 1087, 7));
    });
}

TEST_F(SimFrames, FaultsHitTheNextRequestsOfTheirCode) {
    struct Case {
        Fault fault;
        Bytes expected;  // what a ping (answer 01) turns into
    };
    const Case cases[] = {
        {{FaultKind::NotAcknowledged}, {0}},
        {{FaultKind::BadChecksum}, {2}},
        {{FaultKind::StrayBefore, 2, 0, 0x11}, {0x11, 0x11, 1}},
        {{FaultKind::StrayAfter, 1, 0, 0x13}, {1, 0x13}},
    };
    for (const Case& c : cases) {
        detector().injectFault(6, c.fault);
        EXPECT_EQ(client->transact(frame(6), c.expected.size()), c.expected) << faultKindName(c.fault.kind);
    }
    // No answer to two pings, then normal again: the only bytes that come
    // back are the answers of the third ping and of command 35.
    detector().injectFault(6, Fault{FaultKind::NoAnswer}, 2);
    client->send(frame(6));
    client->send(frame(6));
    client->send(frame(6));
    client->send(frame(35));
    EXPECT_EQ(client->read(4), (Bytes{1, 1, 0, 8}));
    EXPECT_EQ(detector().pendingFaults(), 0);
}

TEST_F(SimFrames, PiecesArriveWhole) {
    detector().injectFault(30, Fault{FaultKind::Pieces, 5, 2});
    dataOf(client->transact(frame(30), 76), 74);
}

TEST(SimPort, EntryFollowsTheDetector) {
    char pattern[] = "/tmp/nerax-sim-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::string folder = std::string(pattern) + "/nested/ports";
    {
        VirtualDetector d;
        ASSERT_TRUE(d.start()) << d.lastError();
        ASSERT_TRUE(d.registerPort(7, folder)) << d.lastError();
        EXPECT_EQ(std::filesystem::read_symlink(folder + "/COM7").string(), d.devicePath());
        std::ifstream name(folder + "/COM7.name");
        std::string text;
        std::getline(name, text);
        EXPECT_EQ(text, "NERAX LT (virtual)");

        // Unplugged and back: a new pty behind the same entry.
        d.unplug();
        ASSERT_TRUE(d.replug());
        EXPECT_EQ(std::filesystem::read_symlink(folder + "/COM7").string(), d.devicePath());
        Client c(folder + "/COM7");
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(c.transact(frame(6), 1), Bytes{1});

        // An unplug fault that plugs itself back in.
        d.injectFault(6, Fault{FaultKind::Unplug, 1, 50});
        c.send(frame(6));
        ASSERT_TRUE(d.waitForPlug(false));
        ASSERT_TRUE(d.waitForPlug(true));
        Client again(folder + "/COM7");
        ASSERT_TRUE(again.ok());
        EXPECT_EQ(again.transact(frame(6), 1), Bytes{1});
        EXPECT_TRUE(d.waitForRequests(6, 3));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder + "/COM7")));
    EXPECT_FALSE(std::filesystem::exists(folder + "/COM7.name"));
    std::filesystem::remove_all(pattern);
}

std::string simExecutable() {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    for (const auto& candidate : {self / "nerax-lt-sim", self.parent_path() / "bin" / "nerax-lt-sim"})
        if (std::filesystem::exists(candidate)) return candidate.string();
    return {};
}

TEST(SimExecutable, AnnouncesItsPortAndCleansUp) {
    const std::string exe = simExecutable();
    ASSERT_FALSE(exe.empty());
    char pattern[] = "/tmp/nerax-sim-exe-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::string folder = pattern;

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        setenv("NERAX_LT_PORTS", folder.c_str(), 1);
        execl(exe.c_str(), exe.c_str(), "--com", "42", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;

    const std::string link = folder + "/COM42";
    ASSERT_EQ(line.rfind("COM42 /dev/pts/", 0), 0u) << line;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), line.substr(6));
    {
        Client client(link);
        ASSERT_TRUE(client.ok());
        EXPECT_EQ(client.transact(frame(6), 1), Bytes{1});
    }
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(link + ".name"));
    ::close(out[0]);
    std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

// The flow-log sweep as the tuning sees it: records decoded from command 26.
struct FlowRecord {
    int field[18];
    int a() const { return field[1]; }
    int r() const { return field[2]; }
    int fA() const { return field[3]; }
    int pulse() const { return field[11]; }
};

class SimSweep : public SimFrames {
protected:
    // Writes the pulse setting into both RAM bytes, resets, and collects
    // channel `channel`'s records of `answers` flow-log requests.
    std::vector<FlowRecord> capture(int setting, int channel, int answers, uint8_t fan = 12) {
        for (uint32_t address : {kPulseSettingRam1, kPulseSettingRam2}) {
            const Bytes ram =
                client->transact(frame(36,
                                       {7, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                                        static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24),
                                        static_cast<uint8_t>(setting)},
                                       Bytes(1024, 0)),
                                 1026);
            EXPECT_EQ(ram.size(), 1026u);
        }
        EXPECT_EQ(detector().ramByte(kPulseSettingRam1), setting);
        EXPECT_EQ(client->transact(frame(34, {3}), 1), Bytes{1});
        std::vector<FlowRecord> records;
        for (int n = 0; n < answers; ++n) {
            const Bytes d = dataOf(client->transact(frame(26, {fan, fan}), 1026), 1024);
            if (d.size() != 1024) break;
            EXPECT_EQ(d[channel], 10);
            for (int k = 0; k < d[channel]; ++k) {
                FlowRecord rec;
                const size_t base = 2 + static_cast<size_t>(channel) * 360 + static_cast<size_t>(k) * 36;
                for (int f = 0; f < 18; ++f) rec.field[f] = d[base + 2 * f] << 8 | d[base + 2 * f + 1];
                EXPECT_NE(d[base], 0);  // live slot
                records.push_back(rec);
            }
        }
        return records;
    }
    static bool valid(const FlowRecord& r) {
        return r.a() >= 19500 && r.a() <= 26000 && r.r() >= 19500 && r.r() <= 26000 && r.r() >= r.a() &&
               r.r() - r.a() < 600;
    }
};

TEST_F(SimSweep, ResetRunsTwoPassesOfSteps) {
    const std::vector<FlowRecord> log = capture(30, 0, 60);
    ASSERT_GE(log.size(), 500u);
    size_t i = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int pulse = 29; pulse <= 122; pulse += 3) {
            int count = 0;
            while (i < log.size() && log[i].pulse() == pulse && log[i].fA() == 0) {
                ++i;
                ++count;
            }
            EXPECT_GE(count, 6) << "pass " << pass << " pulse " << pulse;
            EXPECT_LE(count, 8) << "pass " << pass << " pulse " << pulse;
        }
    }
    // Then normal records: filtered readings present, pulse shows the setting.
    ASSERT_LT(i, log.size());
    EXPECT_NE(log[i].fA(), 0);
    EXPECT_EQ(log[i].pulse(), 30);
}

TEST_F(SimSweep, PulseSettingDecidesHowSteadyTheStepsAre) {
    // Steps whose third to sixth records are valid and within 64 of each other.
    auto steadySteps = [&](int setting, int channel) {
        const std::vector<FlowRecord> log = capture(setting, channel, 25);
        int steady = 0;
        size_t i = 0;
        while (i < log.size() && log[i].fA() == 0) {
            size_t j = i;
            while (j < log.size() && log[j].pulse() == log[i].pulse()) ++j;
            if (j - i >= 6 && j < log.size()) {
                int lo = 1 << 30, hi = -1;
                bool allValid = true;
                for (size_t k = i + 2; k <= i + 5; ++k) {
                    allValid = allValid && valid(log[k]);
                    lo = std::min(lo, log[k].r() - log[k].a());
                    hi = std::max(hi, log[k].r() - log[k].a());
                }
                if (allValid && hi - lo <= 64) ++steady;
            }
            i = j;
        }
        return steady;
    };
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        const int clean = steadySteps(30, channel);
        EXPECT_GE(clean, 31);
        EXPECT_LT(steadySteps(20, channel), clean);
        EXPECT_LT(steadySteps(40, channel), clean);
        EXPECT_EQ(steadySteps(15, channel), 0);
    }
}

TEST_F(SimSweep, FanSpeedMovesTheFlowReading) {
    auto meanDelta = [&](uint8_t fan) {
        const std::vector<FlowRecord> log = capture(30, 0, 5, fan);
        long sum = 0;
        for (const FlowRecord& r : log) sum += r.r() - r.a();
        return sum / static_cast<long>(log.size());
    };
    const long fast = meanDelta(10);
    const long slow = meanDelta(1);
    EXPECT_GT(fast, slow + 50);
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.fanSpeed[0]; }), 1);
}

}  // namespace

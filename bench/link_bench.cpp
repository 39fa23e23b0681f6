// Link speed against the virtual detector over a pseudo-terminal.
//
// Wire runs: the detector times every byte as the real line does (38400
// baud 8N1, 3840 bytes/s); connect, "Read All Logs" and the whole-EEPROM
// dump, both through the window's handlers with their console output, are
// measured as elapsed time over the wire time of the bytes that went both
// ways (counter "wire_ratio"; 1.00 is the line's own limit).
//
// Pty runs: no line timing, so they measure the tool's own overhead per
// transaction (counter "transactions/s"). With NERAX_BENCH_COM=<n> they talk
// to an already running detector on COM<n> (scripts/bench runs the
// nerax-lt-sim program there, and the pyserial peer against the same device).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "pages/main_window.h"
#include "bench/quiet_host.h"
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "sim/virtual_detector.h"

namespace {

constexpr int kCom = 230;
constexpr double kWireBytesPerSecond = 38400.0 / 10.0;  // start, 8 data, stop bit

// Counts what crosses the line; everything else goes to the real port.
class CountingPort final : public SerialPort {
public:
    CountingPort() : port_(makePosixSerialPort()) {}
    int open(const std::string& path) override { return port_->open(path); }
    int getSettings() override { return port_->getSettings(); }
    int setSettings(int baud, int size, int parity, int stop) override {
        return port_->setSettings(baud, size, parity, stop);
    }
    int getTimeouts() override { return port_->getTimeouts(); }
    int setTimeouts(int interval, int total) override { return port_->setTimeouts(interval, total); }
    void discardInput() override { port_->discardInput(); }
    int write(const uint8_t* data, size_t length, size_t& written) override {
        int result = port_->write(data, length, written);
        bytes += written;
        return result;
    }
    int read(uint8_t* data, size_t length, size_t& received) override {
        int result = port_->read(data, length, received);
        bytes += received;
        return result;
    }
    void close() override { port_->close(); }
    bool isOpen() const override { return port_->isOpen(); }

    size_t bytes = 0;

private:
    std::unique_ptr<SerialPort> port_;
};

// A detector of our own (or the one on NERAX_BENCH_COM) and the window
// with a device object whose port counts the bytes.
class Session {
public:
    explicit Session(bool wireSpeed) : window(host_) {
        auto counting = std::make_unique<CountingPort>();
        counter_ = counting.get();
        window.qob = std::make_unique<QOB>(std::move(counting));
        if (const char* com = std::getenv("NERAX_BENCH_COM"); com && *com && !wireSpeed) {
            com_ = std::atoi(com);
            ready_ = true;
            return;
        }
        char pattern[] = "/tmp/nerax-bench-ports-XXXXXX";
        if (!::mkdtemp(pattern)) return;
        folder_ = pattern;
        ::setenv("NERAX_LT_PORTS", folder_.c_str(), 1);
        nerax_sim::DetectorOptions options;
        options.wireSpeed = wireSpeed;
        detector_ = std::make_unique<nerax_sim::VirtualDetector>(options);
        ready_ = detector_->start() && detector_->registerPort(kCom, folder_);
    }
    ~Session() {
        window.qob->disconnect();
        if (detector_) detector_->stop();
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }
    bool ready() const { return ready_; }
    int connect() { return qob().connect(com_, 0, 0, 0); }
    size_t bytes() const { return counter_->bytes; }
    void resetBytes() { counter_->bytes = 0; }
    QOB& qob() { return *window.qob; }

private:
    QuietHost host_;

public:
    TFrmTestQOB window;

private:
    CountingPort* counter_ = nullptr;
    std::unique_ptr<nerax_sim::VirtualDetector> detector_;
    std::string folder_;
    int com_ = kCom;
    bool ready_ = false;
};

// ---- wire runs ---------------------------------------------------------

void reportWire(benchmark::State& state, double seconds, size_t bytes) {
    // Per run; the ratio is the same over all runs.
    const double runs = static_cast<double>(state.iterations());
    const double wireSeconds = static_cast<double>(bytes) / kWireBytesPerSecond;
    state.counters["wire_ratio"] = seconds / wireSeconds;
    state.counters["wire_s"] = wireSeconds / runs;
    state.counters["bytes"] = static_cast<double>(bytes) / runs;
}

// The operation under test runs between resetBytes and the stop of the clock.
template <class Operation>
void wireRun(benchmark::State& state, bool connectFirst, Operation operation) {
    double seconds = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        Session session(true);
        if (!session.ready() || (connectFirst && session.connect() != 1)) {
            state.SkipWithError(("set-up failed: " + libraryErrorLine(session.qob())).c_str());
            return;
        }
        session.resetBytes();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = operation(session);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            state.SkipWithError(libraryErrorLine(session.qob()).c_str());
            return;
        }
        // Only the operation counts; setting up and ending the session do not.
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        bytes += session.bytes();
    }
    reportWire(state, seconds, bytes);
}

void WireConnect(benchmark::State& state) {
    wireRun(state, false, [](Session& s) { return s.connect() == 1; });
}

// "Read All Logs" as the operator runs it: the log header and 31 pieces
// (32 transactions), then every slot printed as the log table.
void WireReadAllLogs(benchmark::State& state) {
    wireRun(state, true, [](Session& s) { return s.window.btnReadLogsClick(&s.window.btnReadAllLogs); });
}

// The whole-EEPROM dump of the EEPROM page: 32 extended commands,
// sub-command 2, one 1 KB block each, every byte written to the console.
void WireEepromDump(benchmark::State& state) {
    wireRun(state, true, [](Session& s) {
        const size_t before = s.window.memLog.Lines.lines().size();
        s.window.Button39Click();
        const auto& lines = s.window.memLog.Lines.lines();
        return lines.size() == before + 2 + 32 * 1024 && lines.back() == "<<<--EEPROM-------------------";
    });
}

BENCHMARK(WireConnect)->Iterations(5)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(WireReadAllLogs)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(WireEepromDump)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// ---- bare pty runs -----------------------------------------------------

void transactions(benchmark::State& state, uint8_t code, int dataLength, const uint8_t* params) {
    Session session(false);
    if (!session.ready() || session.connect() != 1) {
        state.SkipWithError(("connect failed: " + libraryErrorLine(session.qob())).c_str());
        return;
    }
    QOB& qob = session.qob();
    for (auto _ : state) {
        if (!qob.sendCommand(code, 0, dataLength, params, nullptr, qob.answer)) {
            state.SkipWithError(libraryErrorLine(qob).c_str());
            return;
        }
    }
    state.counters["transactions/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const uint8_t kImageParams[12] = {0, 0, 0, 2};  // address 0, 512 bytes

void PtyPing(benchmark::State& state) { transactions(state, cmd::Ping, 0, nullptr); }
void PtyEepromRead512(benchmark::State& state) { transactions(state, cmd::ReadEeprom, 512, kImageParams); }

BENCHMARK(PtyPing)->MinTime(2.0)->UseRealTime();
BENCHMARK(PtyEepromRead512)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

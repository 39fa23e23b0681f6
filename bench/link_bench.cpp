// Transactions per second over a pseudo-terminal against the virtual
// detector: the ping and the 512-byte EEPROM read of connect. The
// "WireSpeed" runs let the detector time every byte as the real 38400-baud
// line does; the others measure the tool's own overhead.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"
#include "sim/virtual_detector.h"

namespace {

constexpr int kCom = 230;

class Session {
public:
    explicit Session(bool wireSpeed)
    {
        char pattern[] = "/tmp/nerax-bench-ports-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        folder_ = pattern;
        ::setenv("NERAX_LT_PORTS", folder_.c_str(), 1);
        nerax_sim::DetectorOptions options;
        options.wireSpeed = wireSpeed;
        detector_ = std::make_unique<nerax_sim::VirtualDetector>(options);
        if (detector_->start() && detector_->registerPort(kCom, folder_))
            connected_ = qob.connect(kCom, 0, 0, 0) == 1;
    }
    ~Session()
    {
        qob.disconnect();
        if (detector_)
            detector_->stop();
        std::error_code ec;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ec);
    }
    bool connected() const { return connected_; }

    QOB qob;

private:
    std::unique_ptr<nerax_sim::VirtualDetector> detector_;
    std::string folder_;
    bool connected_ = false;
};

void transactions(benchmark::State& state, uint8_t code, int dataLength, const uint8_t* params,
                  bool wireSpeed)
{
    Session session(wireSpeed);
    if (!session.connected()) {
        state.SkipWithError(("connect failed: " + libraryErrorLine(session.qob)).c_str());
        return;
    }
    for (auto _ : state) {
        if (!session.qob.sendCommand(code, 0, dataLength, params, nullptr, session.qob.answer)) {
            state.SkipWithError(libraryErrorLine(session.qob).c_str());
            return;
        }
    }
    state.counters["transactions/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                          benchmark::Counter::kIsRate);
}

const uint8_t kImageParams[12] = {0, 0, 0, 2};

void Ping(benchmark::State& state) { transactions(state, cmd::Ping, 0, nullptr, false); }
void EepromRead512(benchmark::State& state) { transactions(state, cmd::ReadEeprom, 512, kImageParams, false); }
void PingWireSpeed(benchmark::State& state) { transactions(state, cmd::Ping, 0, nullptr, true); }
void EepromRead512WireSpeed(benchmark::State& state)
{
    transactions(state, cmd::ReadEeprom, 512, kImageParams, true);
}

BENCHMARK(Ping)->UseRealTime();
BENCHMARK(EepromRead512)->UseRealTime();
BENCHMARK(PingWireSpeed)->UseRealTime();
BENCHMARK(EepromRead512WireSpeed)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

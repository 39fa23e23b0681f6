// The virtual detector: a NERAX LT stand-in that speaks the device side of
// the serial protocol over a pseudo-terminal. Tests and the nerax-lt-sim
// program open it like a real detector, so every exchange runs through the
// tool's real serial code.
//
// Layout of this header:
//   DetectorModel   - everything the detector "is": EEPROM, backup, RAM,
//                     clock, live state, flow sweep. Plain data plus helpers;
//                     reach it through VirtualDetector::withModel (locked).
//   Fault           - one way of misbehaving for the next k requests of a code.
//   VirtualDetector - the pty server thread, port registration, faults.
//
// Nothing here throws across the API; operations return bool / int.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nerax_sim {

constexpr int kEepromSize = 32768;
constexpr int kLogHeader = 1024;  // 64-byte header, checksum at 1087
constexpr int kLogRecordsStart = 1088;
constexpr int kLogRecordCount = 2244;
constexpr int kLogRecordSize = 14;
constexpr uint32_t kPulseSettingRam1 = 16725944;  // channel 1 pulse setting
constexpr uint32_t kPulseSettingRam2 = 16725945;  // channel 2 pulse setting
constexpr int kDefaultBaud = 38400;

// How the default EEPROM image and device flags are set up.
struct ImageOptions {
    int variant = 1;  // 1 stand alone, 2 loop based, 4 vask
    int channelCount = 2;
    int sensorCount = 2;
    int fwMajor = 3;         // FCT byte 265 and information block byte 33
    int mcVersion = 1;       // FCT byte 267
    int energyByte = 0xA7;   // CFG byte 411 (low nibble = energy parameter)
    bool brokenFct = false;  // FCT checksum off by one
    bool brokenCfg = false;
    bool brokenLob = false;
    bool brokenLogHeader = false;
    bool eepromUnreadable = false;    // command 32 byte 1 = 0, EEPROM reads refused
    bool wrongConfiguration = false;  // command 32 byte 6 = 1
    bool superUser = false;           // command 32 byte 7
    int logRecords = 12;              // records written into a fresh log (0 = blank log)
    bool logWrapped = false;          // fill the whole ring and wrap it
    uint32_t hoursCounter = 2469;     // half-hours (readout shows 1234)
};

// A request as the detector received it.
struct Request {
    uint8_t code = 0;
    uint8_t p[13] = {};  // p[1]..p[12]; p[0] unused
    std::vector<uint8_t> payload;
};

// Clock value, two-digit year as the detector keeps it.
struct ClockValue {
    int day = 1, month = 1, year = 17, hour = 0, minute = 0, second = 0;
};

struct DetectorModel {
    DetectorModel();
    explicit DetectorModel(const ImageOptions& options);

    // ---- memory ---------------------------------------------------------
    std::array<uint8_t, kEepromSize> eeprom{};
    std::array<uint8_t, kEepromSize> backup{};  // what commands 31 / 28 use
    std::map<uint32_t, uint8_t> ram;            // sparse RAM
    bool eepromUnreadable = false;
    bool wrongConfiguration = false;
    bool superUser = false;

    // ---- live state (command 30) ----------------------------------------
    int channelEnabled[2] = {1, 1};
    int sensorEnabled[2] = {1, 1};
    int alarm[2] = {0, 0};
    int prealarm[2] = {0, 0};
    int flow[2] = {87, 86};  // raw; reported with the EEPROM correction (bytes 484, 485)
    int fanSpeed[2] = {6, 6};
    int powerByte[2] = {140, 139};  // (x + 100) * 100 on the tool side
    int faultAlert[38] = {};        // codes 100..137
    int asdInFault = 0, asdInAuxFault = 0;
    int externalInput = 0;  // the configurable input: 0 open, 1 short (commands 16, 30)
    int relay[9] = {};
    int internalTempByte = 150;  // (x - 100) * 5 tenths: 25.0
    int flowTempByte[2] = {148, 149};
    int loopAddress = 255;
    int sensorOutput[2] = {1, 1};

    // ---- panel state ----------------------------------------------------
    int fanDrive[2] = {0, 0};  // command 8
    int fanStopped = 0;
    int fanDacMode = 0;    // 1 after command 8, 0 after a speed (27)
    int ledsOverride = 0;  // command 12
    std::array<uint8_t, 90> leds{};
    int loopSupply = 0;                       // command 24
    bool isolatorOpen = false;                // command 10: AP command 11 value 32 opens, 96 closes
    int buttons[3] = {0, 0, 0};               // command 14: RESET, TEST, DISABLE press counters (50 ms)
    int remoteOutputs[4] = {0, 0, 0, 0};      // command 15
    bool coverClosed = false;                 // command 18 pin state (bench: cover open)
    int coverCounters[2] = {0, 0};            // command 18: open / closed counters (50 ms)
    bool sounderEolFitted[2] = {true, true};  // 47 k end-of-line resistor on the sounder line
    // Analogue channels 0..8 (command 9 and the sounder readings): a value
    // >= 0 is read exactly, without noise; -1 reads the modelled value.
    int analogFixed[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    int transitLevel[4] = {21800, 22100, 21750, 22080};         // command 11 centres
    int sensorPulseWidths[5] = {1210, 2405, 1198, 3620, 2398};  // command 25 centres
    int sensorPulseNoise = 4;                                   // command 25: widths vary by up to this much
    int restartPending = 0;                                     // command 35; set by command 29
    int restartDelayMs = 3000;                                  // a restart takes effect this much later
    int64_t restartDueMs = 0;
    int restartCount = 0;
    int resetCount = 0;
    int reloadCount = 0;

    // ---- clock ----------------------------------------------------------
    // Seconds since 2000-01-01 00:00:00 of the detector's clock; a running
    // clock adds the real time that passed since clockAnchor.
    int64_t clockSeconds = 0;
    bool clockRunning = false;
    int64_t clockAnchorMs = 0;
    int64_t halfHourRemainder = 0;  // seconds toward the next half-hour tick
    // A clock that lost its time (no backup battery): command 19 reads all
    // zeros until the next clock set.
    bool clockLost = false;

    // ---- flow sweep (command 26) ---------------------------------------
    // (the model is described in flow_sweep.cpp)
    struct SweepChannel {
        int pulse = 29;       // current step value
        int pass = 2;         // 0, 1 sweeping; 2 sweep over
        int recordsLeft = 0;  // records still to log at this step
        int stepRecord = 0;   // records logged at this step so far
        int disturbedRecord = -1;
        int sweepIndex = 0;  // running record number (field "index")
        int total = 0;       // records since the sweep started
        int lastDelta = 0, filteredDelta = 0;
        uint32_t seed = 0x2545F491u;
    };
    bool sweepRunning = false;
    SweepChannel sweep[2];
    uint32_t noiseState = 0x2545F491u;  // noise of the other readings
    int sweepCleanSetting = 30;         // channel 1's best pulse setting (channel 2: +2)

    // ---- bookkeeping ----------------------------------------------------
    std::array<int, 256> requestCount{};
    std::deque<Request> history;  // newest at the back, bounded

    // ---- helpers --------------------------------------------------------
    ClockValue clock() const;
    void setClock(const ClockValue& value);
    void advanceTime(int64_t seconds);  // clock and operating hours
    uint32_t hoursCounter() const;
    void setHoursCounter(uint32_t value);
    int logNewestIndex() const;  // -1 blank
    bool logWrapped() const;
    void appendLog(int eventCode);  // stamped now, with current readings
    void clearLog();
    std::vector<uint8_t> logRecord(int index) const;
    void sealAreas();  // LOB, FCT, CFG, log header checksums
    void sealLogHeader();
    bool areaValid(int start, int length, int checksumPos, int seed) const;
    uint8_t ramByte(uint32_t address) const;
    int reportedFlow(int channel) const;
    void restartSweep();
    void finishRestart();  // what the detector does when it restarts
    void catchUp();        // running clock: hours and pending restart
    std::array<uint8_t, 74> stateBytes() const;
    std::array<uint8_t, 1024> informationBlock() const;
    int variant() const { return eeprom[259]; }

    // One request in, one answer out: returns false when the detector does
    // not acknowledge; `data` then holds zeros of the expected length.
    bool execute(const Request& request, std::vector<uint8_t>& data);

    uint32_t nextNoise();              // xorshift32
    int64_t wallClockSeconds() const;  // clockSeconds plus running time
};

// Expected answer data length of a request (D of the frame), or -1 for a
// code the detector does not know.
int expectedDataLength(const Request& request);

// Additive checksum of the protocol: (8 + sum) mod 256.
uint8_t frameChecksum(const uint8_t* data, size_t length);
// EEPROM area checksum: (seed + sum of the other bytes) mod 256.
uint8_t areaChecksum(const uint8_t* eeprom, int start, int length, int checksumPos, int seed);

// clang-format off
enum class FaultKind : int {
    NoAnswer,          // say nothing
    ShortAnswer,       // `bytes` fewer than the full answer (default 1)
    BadChecksum,       // last byte of the answer off by one
    NotAcknowledged,   // refuse: do nothing, full-length answer with acknowledge byte 0
    StrayBefore,       // `bytes` stray bytes (`strayByte`) before the answer
    StrayAfter,        // ... after the answer
    Pieces,            // answer in `bytes` pieces, `delayMs` apart
    LateAnswer,        // whole answer after `delayMs`
    EndlessAnswer,     // acknowledge, then a byte every `delayMs` until the next request
    Unplug,            // close the master side; re-open after `delayMs` when > 0
    WrongData,         // well-formed answer, first data byte altered, checksum to match
};
// clang-format on

struct Fault {
    FaultKind kind = FaultKind::NoAnswer;
    int bytes = 1;
    int delayMs = 0;
    uint8_t strayByte = 0x13;
    int skip = 0;  // requests of the code answered normally before the fault applies
};

// Name of a fault kind as the executable's options spell it ("no-answer", ...).
const char* faultKindName(FaultKind kind);
bool faultKindFromName(const std::string& name, FaultKind& kind);

struct DetectorOptions {
    ImageOptions image;
    bool wireSpeed = false;       // time every byte as on the real line
    int baudRate = kDefaultBaud;  // 10 bits per byte (8N1)
    bool runningClock = false;    // false: the clock only moves on set / advanceTime
};

class VirtualDetector {
public:
    VirtualDetector();
    explicit VirtualDetector(const DetectorOptions& options);
    ~VirtualDetector();
    VirtualDetector(const VirtualDetector&) = delete;
    VirtualDetector& operator=(const VirtualDetector&) = delete;

    // Opens the pseudo-terminal and starts serving. false with lastError().
    bool start();
    // Stops serving, closes the pty and removes a registered port entry.
    void stop();
    bool running() const { return thread_.joinable(); }
    // The slave side the tool opens, e.g. /dev/pts/7 ("" when unplugged).
    std::string devicePath() const;

    // COM<n> (symlink to the device) and COM<n>.name in `folder`; the folder
    // is created when missing. An existing COM<n> is replaced, or, with
    // replaceExisting false, makes the call fail (claims a free number
    // atomically). Removed by stop() or unregisterPort() while still ours.
    bool registerPort(int number, const std::string& folder, const std::string& friendlyName = "NERAX LT (virtual)",
                      bool replaceExisting = true);
    void unregisterPort();
    int portNumber() const { return portNumber_; }

    // Locked access to the model: detector.withModel([](DetectorModel& m){...}).
    template <class F>
    auto withModel(F&& f) {
        std::lock_guard<std::mutex> lock(modelMutex_);
        return f(model_);
    }
    // Convenience readers (each takes the lock once).
    std::vector<uint8_t> eepromBytes(int from, int count);
    uint8_t ramByte(uint32_t address);
    ClockValue clock();
    int requestCount(uint8_t code);

    // Fault for the next `count` requests of `code` (-1: any code).
    void injectFault(int code, const Fault& fault, int count = 1);
    void clearFaults();
    int pendingFaults();

    // Pull the plug now / put it back (a new pty, the COM entry follows it).
    // Both return once the serving thread has done it.
    void unplug();
    bool replug();
    bool plugged() const;

    // Bounded waits for tests that drive the detector from another process:
    // until `count` requests of `code` (-1: any) have arrived, or until the
    // detector is plugged in / out. false when the bound passed first.
    bool waitForRequests(int code, int count, int boundMs = 5000);
    bool waitForPlug(bool pluggedIn, int boundMs = 5000);

    void setWireSpeed(bool on, int baudRate = kDefaultBaud);
    const std::string& lastError() const { return lastError_; }
    // Bytes skipped while looking for a frame header, plus frames cut off.
    int framingErrors() const { return framingErrors_.load(); }

private:
    struct PendingFault {
        int code;
        Fault fault;
        int count;
    };
    bool openPty();
    void closePty();
    void serve();
    void handleFrame(const std::vector<uint8_t>& frame, int64_t firstByteUs);
    bool takeFault(uint8_t code, Fault& fault);
    bool sendBytes(const uint8_t* data, size_t length, int64_t notBeforeUs);
    bool waitFor(int64_t untilUs);  // false when stopping or interrupted
    void wake();
    bool refreshPortLink();
    void dropPortLink();

    DetectorOptions options_;
    std::mutex modelMutex_;
    DetectorModel model_;

    mutable std::mutex ptyMutex_;
    int masterFd_ = -1;
    int slaveHoldFd_ = -1;  // keeps the slave open so the master never sees a hang-up
    std::string slavePath_;
    int wakePipe_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> unplugRequested_{false};
    std::atomic<bool> replugRequested_{false};
    std::atomic<int64_t> replugAtUs_{0};
    std::atomic<int> ptyGeneration_{0};
    std::atomic<bool> pluggedIn_{false};

    std::mutex faultMutex_;
    std::vector<PendingFault> faults_;

    std::atomic<bool> wireSpeed_{false};
    std::atomic<int> baudRate_{kDefaultBaud};
    int64_t lineFreeUs_ = 0;

    std::string portFolder_;
    std::string linkedPath_;  // where our COM<n> entry points
    int portNumber_ = 0;
    std::string lastError_;
    std::atomic<int> framingErrors_{0};
};

// Ports folder of this user: $NERAX_LT_PORTS, else $XDG_CONFIG_HOME/nerax-lt/ports,
// else ~/.config/nerax-lt/ports.
std::string defaultPortsFolder();

}  // namespace nerax_sim

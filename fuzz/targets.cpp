#include "fuzz/targets.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/canvas.h"
#include "pages/main_window.h"
#include "app/settings.h"
#include "device/qob.h"
#include "link/com_ports.h"
#include "link/frame.h"
#include "link/status.h"
#include "reports/event_catalogue.h"
#include "support/scripted_host.h"
#include "tuning/ultrasonic_scan.h"

namespace {

// Aborts with a message: a broken invariant is a finding like a crash.
void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// The fuzz bytes, read front to back; past the end everything is 0.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int word() { return byte() | byte() << 8; }
    // A value in lo..hi, also the edges and a bit beyond them now and then.
    int around(int lo, int hi) {
        const uint8_t b = byte();
        if (b == 255) return hi + 1;
        if (b == 254) return lo - 1;
        if (b == 253) return static_cast<int>(0x80000000u | static_cast<unsigned>(word()));
        const int span = hi - lo + 1;
        return lo + (span > 0 ? (b | byte() << 8) % span : 0);
    }
    void fill(uint8_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i) out[i] = byte();
    }
    std::string text(size_t maxLength) {
        const size_t n = std::min<size_t>(byte(), maxLength);
        std::string s;
        for (size_t i = 0; i < n; ++i) s += static_cast<char>(byte());
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The detector side of the line, played from the fuzz bytes. Each read call
// takes one control byte: 0 mod 4 a whole valid answer of the asked length
// (acknowledge and checksum made right, the data from the input), 1 a raw
// piece of up to (byte >> 2) bytes (63: all asked for), 2 a time-out with
// nothing, 3 a hang-up (the device node went away).
class FuzzPort final : public SerialPort {
public:
    explicit FuzzPort(FuzzInput& in) : in_(in) {}
    int open(const std::string&) override {
        open_ = true;
        return 0;
    }
    int getSettings() override { return open_ ? 0 : EBADF; }
    int setSettings(int, int, int, int) override { return open_ ? 0 : EBADF; }
    int getTimeouts() override { return open_ ? 0 : EBADF; }
    int setTimeouts(int interval, int total) override {
        return !open_ ? EBADF : interval < 0 || total < 0 ? EINVAL : 0;
    }
    void discardInput() override {}
    int write(const uint8_t* data, size_t length, size_t& written) override {
        require(open_, "write on a closed port");
        require(length >= 16 && length <= static_cast<size_t>(frame::kMaxRequest), "request length");
        require(data[15] == frame::checksum(data, 15), "request header checksum");
        const size_t payload = static_cast<size_t>(data[1]) << 8 | data[2];
        require(length == (payload ? 17 + payload : 16), "request length against its header");
        if (payload) require(data[16 + payload] == frame::checksum(data + 16, payload), "payload checksum");
        written = length;
        firstRead_ = true;
        return 0;
    }
    int read(uint8_t* data, size_t length, size_t& received) override {
        received = 0;
        require(open_, "read on a closed port");
        const uint8_t control = in_.byte();
        const bool first = firstRead_;
        firstRead_ = false;
        switch (control & 3) {
        case 0:
            in_.fill(data, length);
            if (first && length > 0) {
                data[0] = frame::kAcknowledge;
                if (length > 1) data[length - 1] = frame::checksum(data + 1, length - 2);
            }
            received = length;
            return 0;
        case 1: {
            const size_t want = (control >> 2) == 63 ? length : std::min<size_t>(control >> 2, length);
            in_.fill(data, want);
            received = want;
            return 0;
        }
        case 2: return 0;
        default: return EIO;
        }
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }

private:
    FuzzInput& in_;
    bool open_ = false;
    bool firstRead_ = true;
};

constexpr int kFuzzCom = 5;

// COM5 in a private ports folder, pointing at a character device, so that
// connect finds a port to open (the FuzzPort ignores the path).
void preparePortsFolder() {
    static bool done = false;
    if (done) return;
    done = true;
    char pattern[] = "/tmp/nerax-fuzz-ports-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    const std::string folder = pattern;
    std::error_code ec;
    std::filesystem::create_symlink("/dev/null", folder + "/COM" + std::to_string(kFuzzCom), ec);
    portInventoryRoots().portsFolder = folder;
    portInventoryRoots().sysfsRoot = folder + "/no-sysfs";
}

// The library's promises that hold after any operation.
void checkObject(const QOB& q) {
    require(q.status >= 0 && q.status <= 25, "status code in range");
    require(q.connected == 0 || q.connected == 1, "connected flag");
    require(q.connected == 0 || q.port->isOpen(), "connected with the port closed");
    require(std::memchr(q.errorText, 0, sizeof q.errorText) != nullptr, "error text terminated");
    require(q.logLoaded == 0 || q.logLast == -2 || (q.logLast >= 0 && q.logLast <= 2243), "log index in range");
}

int v[64];

// One of the library's operations, chosen and fed by the input.
void deviceOperation(QOB& q, FuzzInput& in) {
    const int op = in.byte() % 15;
    switch (op) {
    case 0: {
        const int total = in.around(0, 2000);
        q.connect(kFuzzCom, in.byte() == 0 ? 0 : 10, total, in.around(0, 8));
        break;
    }
    case 1: q.disconnect(); break;
    case 2: {
        const int result = q.readState();
        int sink = 0;
        for (int c = -1; c <= 2; ++c)
            sink += q.channelEnabled(c) + q.sensorEnabled(c) + q.channelInAlarm(c) + q.channelInPrealarm(c) +
                    q.flow(c) + q.fanSpeed(c) + q.power(c) + q.flowTemperature(c) + q.sensorOutput(c);
        for (int code = 99; code <= 138; ++code) sink += q.faultAlertFlag(code);
        for (int r = -1; r <= 9; ++r) sink += q.relayState(r);
        sink += q.asdInFault() + q.asdInAuxFault() + q.hoursByte0() + q.hoursByte1() + q.hoursByte2() + q.hoursByte3() +
                q.externalInput() + q.internalTemperature() + q.loopAddress();
        if (result == 1) require(q.stateValid == 1, "state valid after a read");
        (void)sink;
        break;
    }
    case 3: {
        q.readLog();
        for (int k = 0; k < 4; ++k) {
            LogRecordValues r;
            const int index = in.around(-2244, 2244);
            if (q.logRecord(index, r.event, r.day, r.month, r.year, r.hour, r.minute, r.second, r.temperature, r.power,
                            r.flow, r.sensor))
                (void)logRecordRow(index, r, q.variant());
        }
        q.logLastIndex();
        q.logWrapped();
        break;
    }
    case 4: q.restartPending(); break;
    case 5: {
        int c[6];
        if (q.readClock(c[0], c[1], c[2], c[3], c[4], c[5]))
            for (int x : c) require(x >= 0 && x <= 255, "clock value is a byte");
        q.setClock(in.around(0, 32), in.around(0, 13), in.around(10, 100), in.around(0, 24), in.around(0, 60),
                   in.around(0, 60));
        break;
    }
    case 6: {
        int params[12];
        for (int& p : params) p = in.byte();
        static int data[1024], result[1024];
        for (int i = 0; i < 1024; i += 97) data[i] = in.byte();
        if (q.extendedCommand(params, in.byte() & 1 ? data : nullptr, in.byte() & 1 ? result : nullptr) == 1)
            for (int i = 0; i < 1024; i += 101) require(result[i] >= 0 && result[i] <= 255, "extended byte");
        break;
    }
    case 7: q.airDensityStep(in.around(1, 2), in.byte() == 0 ? -1 : in.around(1, 200)); break;
    case 8: {
        static uint8_t payload[1025];
        static uint8_t answer[1026];
        const int code = in.byte();
        const int length = in.byte() & 1 ? 0 : in.around(0, 1024);
        const int data = in.around(0, 1024);
        uint8_t params[12];
        in.fill(params, sizeof params);
        const int ok = q.sendCommand(static_cast<uint8_t>(code), length, data, params, payload, answer);
        if (ok) {
            const int n = frame::answerLength(data);
            require(answer[0] == 1, "success with an acknowledge byte");
            if (n > 1) require(answer[n - 1] == frame::checksum(answer + 1, static_cast<size_t>(n - 2)), "checksum");
        }
        break;
    }
    case 9: {
        static uint8_t copy[512];
        q.reloadImage();
        q.readImageCopy(in.byte() & 1 ? copy : nullptr);
        break;
    }
    case 10: {
        static uint8_t source[65536];
        // Any pair of ints: the range check must hold for all of them.
        const int from = in.around(0, 65535);
        const int to = in.byte() & 1 ? in.around(0, 65535)
                                     : static_cast<int>(std::clamp<long long>(
                                           static_cast<long long>(from) + in.around(-1, 1024), INT32_MIN, INT32_MAX));
        q.writeEepromRange(in.byte() & 1 ? source : nullptr, from, to);
        break;
    }
    case 11: {
        static uint8_t image[512];
        in.fill(image, 16);
        if (in.byte() & 1) QOB::sealImage(image);
        q.writeImage(image, in.byte() & 1, in.byte() & 1, in.byte() & 1);
        q.storeConfiguration();
        q.updateBackup();
        if (in.byte() & 1)
            q.restoreArea(in.around(0, 3));
        else
            q.restoreOnfArea();
        break;
    }
    case 12: {
        const int which = in.byte() % 9;
        const int a = in.around(0, 2), b = in.around(0, 10);
        switch (which) {
        case 0: q.restart(a); break;
        case 1: q.resetDevice(); break;
        case 2: q.testChannel(a); break;
        case 3: q.soundersOff(a); break;
        case 4: q.testFan(a, b); break;
        case 5: q.setRelay(in.around(1, 8), in.around(0, 1)); break;
        case 6: q.clearOperatingHours(); break;
        case 7: q.clearLog(); break;
        default: q.airDensityStep(1, -1); break;
        }
        break;
    }
    case 13: {
        // Configuration accessors on whatever image the device gave.
        const int mode = in.around(0, 2);
        for (int& x : v) x = in.byte() & 1 ? in.around(0, 255) : x;
        int* p = v;
        q.checkParAccess(mode);
        q.parPassword(p, mode);
        q.parConfigStamp(p[0], p[1], p[2], p[3], p[4], p[5], p[6], mode);
        q.parChannelEnable(p, mode);
        q.parSensorEnable(p + 2, mode);
        q.parDisableTime(p[0], mode);
        q.parMaintTimeout(p[1], mode);
        q.parTrendLogTime(p[2], mode);
        q.parMirrorLeds(p[3], mode);
        q.parSupplies(p[4], mode);
        q.parDayNight(p[5], mode);
        q.parDayTimes(p[0], p[1], p[2], p[3], mode);
        q.parNightWeekDays(p, mode);
        q.parHolidays(p, p + 20, mode);
        q.parCommonChamber(p[6], mode);
        q.parSounderCutoff(p[7], mode);
        q.parLbAlarmMode(p[8], mode);
        q.parLatchedAlarm(p, mode);
        q.parPrealarmDelay(p[9], mode);
        q.parAlarmDelay(p[10], mode);
        q.parCascadeAlarm(p[11], mode);
        q.parSounderOnPrealarm(p[12], mode);
        q.parSensorTimeout(p[13], mode);
        q.parAlarmLevels(p, p + 2, p + 4, p + 6, mode);
        q.parAuxRelayCh2(p[14], mode);
        q.parRemoteOutputTime(p[15], mode);
        q.parChannelLabels(p, mode);
        q.parFlowLimits(p, p + 2, p + 4, mode);
        q.parFilterDueDates(p, p + 2, p + 4, mode);
        q.parManualFan(p, mode);
        q.parDaylightSaving(p[16], mode);
        q.parDaylightDates(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], mode);
        q.parFaultNoLatch(p[17], mode);
        q.parFaultDelay(p[18], mode);
        q.parFlowFaultDelay(p[19], mode);
        q.parPowerRestTime(p[20], mode);
        q.parManualFanSpeed(p, mode);
        q.parAuxFaultEvents(p[0], p[1], p[2], p[3], p[4], p[5], mode);
        q.parAuxFaultNoLatch(p[21], mode);
        q.parExtInputShort(p[22], mode);
        q.parExtInputEvent(p[23], mode);
        q.parExtDisableTime(p[24], mode);
        q.parPressure(p, mode);
        break;
    }
    default: {
        int sink = q.eepromRead() + q.factoryOk() + q.configOk() + q.loopBasedOk() + q.wrongConfiguration() +
                   q.superUser() + q.variant() + q.channelCount() + q.sensorCount() + q.qobId() + q.paramsSchemaId() +
                   q.fwMajor() + q.fwMinor() + q.fwBuild() + q.hwVersion() + q.mcVersion() + q.manufDay() +
                   q.manufMonth() + q.manufYear() + q.manufHour() + q.manufMinute();
        for (int i = -1; i <= 6; ++i) sink += q.serialByte(i);
        if (q.connected && q.flagFactoryOk == 1 && q.wrongConfig == 0)
            require(q.manufYear() >= 0 && q.manufYear() <= 99, "manufacturing year two digits");
        (void)sink;
        break;
    }
    }
    checkObject(q);
}

// A canvas that only checks where it is drawn.
class CheckingCanvas final : public TCanvas {
public:
    CheckingCanvas(int w, int h) : w_(w), h_(h) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    void setPen(uint32_t, int) override {}
    void setBrush(uint32_t) override {}
    void fillRect(int, int, int, int) override {}
    void moveTo(int, int y) override { require(y >= 0 && y <= h_, "pen inside the box"); }
    void lineTo(int, int) override {}
    void textOut(int, int, const std::string&) override {}

private:
    int w_, h_;
};

void windowOperation(TFrmTestQOB& w, FuzzInput& in, ScriptedHost& host) {
    const int op = in.byte() % 14;
    switch (op) {
    case 0:
        if (!w.qob) {
            w.qob = std::make_unique<QOB>(std::make_unique<FuzzPort>(in));
            if (!w.qob->connect(kFuzzCom, 0, 0, 0)) {
                w.showLibraryError();
                w.qob.reset();
            }
        }
        break;
    case 1: w.Button2Click(); break;
    case 2: w.Button4Click(); break;
    case 3: w.btnStateClick(); break;
    case 4: w.Button24Click(); break;
    case 5:
        w.edtSetTime.Text = in.text(20);
        w.Button23Click();
        break;
    case 6: w.Button6Click(); break;
    case 7: w.btnReadLogsClick(in.byte() & 1 ? nullptr : &w.btnReadLogs); break;
    case 8:
        if (in.byte() % 8 == 0)
            w.btnReadLogsClick(&w.btnReadAllLogs);  // prints all 2244 slots
        else
            w.btnShowLogClick(nullptr);
        break;
    case 9:
        host.answerYes();
        w.btnClearLogClick(&w.btnClearLog);
        break;
    case 10: w.btnresClick(); break;
    case 11:
        w.edtReadRAM.Text = in.text(12);
        w.edtRamValue.Text = in.text(6);
        w.btnSetRamClick();
        break;
    case 12: {
        // Flow log: a few ticks of the capture with the fan edits and plot
        // channel from the input, then the graph painted.
        w.edtFlowLogFan1.Text = std::to_string(in.around(0, 12));
        w.edtFlowLogFan2.Text = std::to_string(in.around(0, 12));
        w.edtFlowLogIncSpeed.Text = std::to_string(in.around(0, 3));
        w.rgFlowLog.ItemIndex = in.around(0, 1);
        w.cboFlowLog.Checked = true;
        w.cboFlowLogClick();
        for (int k = in.byte() % 4; k >= 0 && w.tmrFlowLog.Enabled; --k) w.tmrFlowLogTimer();
        break;
    }
    default: {
        w.edtAndataMin.Text = in.byte() & 1 ? in.text(8) : std::to_string(in.around(0, 30000));
        w.edtAndataMax.Text = in.byte() & 1 ? in.text(8) : std::to_string(in.around(0, 30000));
        CheckingCanvas canvas(797, in.around(0, 400));
        w.pbFlow2Paint(w.pbFlow2, canvas);
        break;
    }
    }
    if (w.qob) checkObject(*w.qob);
}

std::vector<std::string> splitLines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(data[i]);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

int fuzzDeviceAnswers(const uint8_t* data, size_t size) {
    preparePortsFolder();
    FuzzInput in(data, size);
    QOB q(std::make_unique<FuzzPort>(in));
    for (int n = 0; n < 64 && !in.done(); ++n) deviceOperation(q, in);
    return 0;
}

int fuzzWindowAnswers(const uint8_t* data, size_t size) {
    preparePortsFolder();
    FuzzInput in(data, size);
    ScriptedHost host;
    TFrmTestQOB window(host);
    window.detectPort = [](int&) { return false; };
    for (int n = 0; n < 32 && !in.done(); ++n) windowOperation(window, in, host);
    return 0;
}

int fuzzFlowLog(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    EvaluationSettings settings;
    settings.LIB = in.around(-2, 40);
    settings.DIB = in.around(-2, 200);
    settings.DTI = in.around(-2, 200);
    settings.LCI = in.around(-2, 40);
    const size_t skip = std::min<size_t>(size, 12);
    const std::vector<std::string> lines = splitLines(data + skip, size - skip);
    PulseGroupTable table;
    const int count = parseFlowLog(lines, table);
    require(count == -1 || count == static_cast<int>(lines.size()), "parse result is -1 or the line count");
    int listed = 0;
    const int q = evaluatePulseGroups(table, settings, [&](const std::string&) { ++listed; });
    require(q >= 0, "quality number is not negative");
    // The same lines as two logs, as the tuning reads them.
    for (int channel = 0; channel < 2; ++channel)
        evaluateFlowLogs(lines, lines, channel, settings, [](const std::string&) {});
    return 0;
}

int fuzzLogRecords(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    QOB q(std::make_unique<FuzzPort>(in));
    q.connected = 1;
    q.flagEepromRead = in.byte() % 3 == 0 ? 0 : 1;
    q.wrongConfig = in.byte() % 5 == 0 ? 1 : 0;
    q.logLoaded = in.byte() % 7 == 0 ? 0 : 1;
    q.logWrap = in.byte() & 1;
    q.logLast = in.around(-2, 2243);
    if (q.logLast == -1) q.logLast = -2;
    const int variant = in.around(0, 5);
    q.idVariant = variant;
    q.flagFactoryOk = 1;
    // The image: the input repeated over all 31424 bytes.
    const size_t head = std::min<size_t>(size, 16);
    if (size > head)
        for (size_t i = 0; i < sizeof q.logImage; ++i) q.logImage[i] = data[head + i % (size - head)];
    for (int k = 0; k < 16 && !in.done(); ++k) {
        LogRecordValues r;
        const int index = in.around(-2300, 2300);
        if (!q.logRecord(index, r.event, r.day, r.month, r.year, r.hour, r.minute, r.second, r.temperature, r.power,
                         r.flow, r.sensor)) {
            require(q.status == StatusCode::LogNotAvailable || q.status == StatusCode::WrongLogIndex,
                    "a refused record gives 15 or 17");
            continue;
        }
        const std::string row = logRecordRow(index, r, variant);
        require(row.find('\n') == std::string::npos, "one row, one line");
        (void)logRecordDate(r);
        (void)eventText(r.event);
    }
    for (int code = -1; code <= 256; code += 1 + in.byte() % 16) (void)eventText(code);
    return 0;
}

int fuzzIniReader(const uint8_t* data, size_t size) {
    const std::string text = size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
    const IniSections sections = parseIni(text);
    for (const auto& [name, keys] : sections)
        for (const auto& [key, value] : keys) {
            require(key.find('=') == std::string::npos, "key without its equals sign");
            (void)value;
        }
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/nerax-fuzz-ini-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0) return 0;
        ::close(fd);
        path = pattern;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    TuningSettings values{{7, 30, 30, 7, 24, 30000}};
    if (readTuningSettingsFile(path, values)) {
        // Every key read: a GENERAL section without a key keeps the default.
        const auto general = sections.find("GENERAL");
        if (general == sections.end()) {
            const TuningSettings defaults{{7, 30, 30, 7, 24, 30000}};
            require(std::equal(values.value, values.value + 6, defaults.value), "no section, the defaults");
        }
    }
    return 0;
}

int fuzzE2pReader(const uint8_t* data, size_t size) {
    // The file as the operator picks it in the open dialog.
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/nerax-fuzz-e2p-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0) return 0;
        ::close(fd);
        path = pattern;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ScriptedHost host;
    TFrmTestQOB window(host);
    window.fillEepromGrids();
    const std::vector<std::string> before = window.vleE2P.Strings.lines();
    host.answerFile(path);
    const bool loaded = window.btnImportE2PClick();
    const std::vector<std::string>& after = window.vleE2P.Strings.lines();
    if (!loaded) {
        require(after == before, "a refused file leaves the grid as it was");
        return 0;
    }
    require(after.size() == 512, "an image file fills 512 rows");
    // What the grid then does with the values: cell texts, new checksums.
    for (int row = 0; row <= 512; row += 37)
        for (int col = 0; col < 2; ++col) (void)window.vleE2PDrawCell(col, row);
    window.Button3Click();
    uint8_t image[512];
    for (int i = 0; i < 512; ++i) {
        int value = -1;
        const int line = window.vleE2P.FindKey(std::to_string(i));
        require(line >= 0 && parseInteger(window.vleE2P.ValueAt(line), value), "a byte row after the checksums");
        require(value >= 0 && value <= 255, "checksummed rows hold bytes");
        image[i] = static_cast<uint8_t>(value);
    }
    require(QOB::checkImage(image) == 1, "the sealed grid checks");
    return 0;
}

// clang-format off
const FuzzTarget kFuzzTargets[] = {
    {"device_answers", fuzzDeviceAnswers},
    {"window_answers", fuzzWindowAnswers},
    {"flow_log", fuzzFlowLog},
    {"log_records", fuzzLogRecords},
    {"ini_reader", fuzzIniReader},
    {"e2p_reader", fuzzE2pReader},
};
// clang-format on
const size_t kFuzzTargetCount = sizeof kFuzzTargets / sizeof kFuzzTargets[0];

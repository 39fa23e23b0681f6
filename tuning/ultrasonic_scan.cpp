// Ultrasonic scan step, its flow log evaluation and "set RAM".
#include "tuning/ultrasonic_scan.h"

#include <algorithm>
#include <cstdlib>

#include "pages/main_window.h"

namespace {

constexpr int kMinLogLines = 200;
constexpr int kSweepFirstPulse = 29;
constexpr int kSweepLastPulse = 122;
constexpr int kPulseStep = 3;
constexpr int kRatedGroups = 32;  // pulse 29 .. 122
constexpr int kInvalidD = 3600;   // 6 x 600: marks a group incomplete
constexpr int kMaxSegments = 128;

// Field n of a log line: characters 6n+1 .. 6n+5 (1-based).
bool fieldOf(const std::string& line, int n, int& value) {
    const size_t at = static_cast<size_t>(6 * n);
    if (at >= line.size()) return false;
    return parseInteger(line.substr(at, 5), value);
}

bool allFields(const std::string& line, int fields[kFlowFieldCount]) {
    for (int f = 0; f < kFlowFieldCount; ++f)
        if (!fieldOf(line, f, fields[f])) return false;
    return true;
}

// The table row of a pulse value, or -1 when the table has none.
int groupOf(int pulse) {
    if (pulse < kSweepFirstPulse) return -1;
    const int g = (pulse - kSweepFirstPulse) / kPulseStep;
    return g < PulseGroupTable::kGroups ? g : -1;
}

bool validSample(int a, int r) { return a >= 19500 && a <= 26000 && r >= 19500 && r <= 26000 && r >= a && r - a < 600; }

struct GroupStats {
    int sum = 0, mean = 0;
    int minD = 600, maxD = 600;
    int minS = 0, maxS = 0;
};

struct Run {
    int length = 0, sum = 0, mean = 0;
    int interiorMin = 999, interiorMax = 0;
};

}  // namespace

int parseFlowLog(const std::vector<std::string>& lines, PulseGroupTable& table) {
    const int count = static_cast<int>(lines.size());
    if (count < kMinLogLines) return -1;

    // Search: skip to the first record of a sweep (fA 0 at pulse 29).
    int i = 0;
    int fA = 1, pulse = 0, tot = 1;
    while (i < count && !(fA == 0 && pulse == kSweepFirstPulse) && tot != 0) {
        const std::string& line = lines[static_cast<size_t>(i++)];
        fA = 1;
        pulse = 0;
        int v = 0;
        if (!fieldOf(line, FieldFA, v)) continue;
        fA = v;
        if (!fieldOf(line, FieldPulse, v)) continue;
        pulse = v;
        if (!fieldOf(line, FieldTotal, v)) continue;
        tot = v;
    }
    i = std::max(i - 1, 0);

    // Collection: one step after the other until the sweep starts again.
    int groupPulse = kSweepFirstPulse, samples = 0;
    bool seen122 = false;
    int lastA = 0, lastR = 0;
    fA = 0;
    while (i < count && fA == 0) {
        const std::string& line = lines[static_cast<size_t>(i++)];
        if (!fieldOf(line, FieldPulse, pulse)) return -1;
        if (pulse == kSweepLastPulse) seen122 = true;
        if (pulse == kSweepFirstPulse && seen122) break;
        if (pulse != groupPulse) {
            // A short step repeats its last pair in the slots it left empty.
            const int g = groupOf(groupPulse);
            if (g >= 0)
                for (int k = samples; k < PulseGroupTable::kSlots; ++k) {
                    table.a[g][k] = static_cast<uint16_t>(lastA);
                    table.r[g][k] = static_cast<uint16_t>(lastR);
                }
            samples = 0;
            groupPulse = pulse;
        }
        int fields[kFlowFieldCount];
        if (!allFields(line, fields)) return -1;
        lastA = fields[FieldA];
        lastR = fields[FieldR];
        fA = fields[FieldFA];
        const int g = groupOf(pulse);
        if (g >= 0 && samples < PulseGroupTable::kSlots) {
            table.a[g][samples] = static_cast<uint16_t>(lastA);
            table.r[g][samples] = static_cast<uint16_t>(lastR);
        }
        ++samples;
    }
    return count;
}

int evaluatePulseGroups(const PulseGroupTable& table, const EvaluationSettings& settings,
                        const std::function<void(const std::string&)>& listing) {
    GroupStats st[kRatedGroups];
    for (int g = 0; g < kRatedGroups; ++g) {
        GroupStats& s = st[g];
        bool any = false;
        for (int k = 2; k <= 5; ++k) {
            const int a = table.a[g][k], r = table.r[g][k];
            if (!validSample(a, r)) {
                s.sum += kInvalidD;
                continue;
            }
            const int d = r - a, sum = a + r;
            s.sum += d;
            if (!any) {
                s.minD = s.maxD = d;
                s.minS = s.maxS = sum;
                any = true;
            } else {
                s.minD = std::min(s.minD, d);
                s.maxD = std::max(s.maxD, d);
                s.minS = std::min(s.minS, sum);
                s.maxS = std::max(s.maxS, sum);
            }
        }
        s.mean = s.sum / 4;
    }
    // Neighbours must agree on A + R (sound speed does not jump).
    for (int g = 0; g + 1 < kRatedGroups; ++g)
        if (std::abs(st[g].maxS - st[g + 1].maxS) > 128 || std::abs(st[g].minS - st[g + 1].minS) > 128)
            st[g].sum = st[g + 1].sum = kInvalidD;

    bool good[kRatedGroups];
    for (int g = 0; g < kRatedGroups; ++g) {
        const GroupStats& s = st[g];
        good[g] = s.sum < kInvalidD && s.maxD - s.minD <= 64 && s.maxS - s.minS <= 128 && s.minS != 0 && s.maxS != 0;
        listing(good[g] ? std::to_string(s.mean) : "-");
    }

    int segments = 0;
    bool used[kRatedGroups] = {};
    for (int length = 17; length >= 3 && segments < kMaxSegments; length -= 2)
        for (int start = 0; start + length <= kRatedGroups && segments < kMaxSegments; ++start) {
            if (!std::all_of(good + start, good + start + length, [](bool b) { return b; })) continue;
            ++segments;
            std::fill(used + start, used + start + length, true);
        }
    if (settings.LIB <= 0) return segments;

    std::vector<Run> runs;
    bool open = false;
    auto usedAt = [&](int g) { return g < kRatedGroups && used[g]; };
    auto close = [&] {
        Run& run = runs.back();
        run.mean = run.sum / run.length;
        listing("is:" + std::to_string(runs.size()) + " le:" + std::to_string(run.length) +
                " me:" + std::to_string(run.mean) + " mi:" + std::to_string(run.interiorMin) +
                " ma:" + std::to_string(run.interiorMax) + " di:" + std::to_string(run.interiorMax - run.interiorMin));
        open = false;
    };
    for (int g = 0; g < kRatedGroups; ++g) {
        if (!used[g]) {
            if (open) close();
            continue;
        }
        if (!open) {
            runs.push_back(Run{1, st[g].mean, 0, 999, 0});
            open = true;
            continue;
        }
        Run& run = runs.back();
        ++run.length;
        run.sum += st[g].mean;
        // Interior: two run groups before and two after this one.
        if (run.length >= 3 && usedAt(g + 1) && usedAt(g + 2)) {
            run.interiorMin = std::min(run.interiorMin, st[g].mean);
            run.interiorMax = std::max(run.interiorMax, st[g].mean);
        }
    }
    if (open) close();

    bool longRun = false, failed = false;
    for (const Run& run : runs) {
        const int spread = run.interiorMax - run.interiorMin;
        if (run.length > settings.LIB) {
            longRun = true;
            if (spread > settings.DIB) failed = true;
        } else if (spread > settings.DIB && run.interiorMin != 0) {
            failed = true;
        }
        if (failed) break;
    }
    if (!longRun) return 1;
    if (failed) return 3;

    for (size_t x = 0; x < runs.size(); ++x)
        for (size_t y = x + 1; y < runs.size(); ++y)
            if (runs[x].length >= settings.LCI && runs[y].length >= settings.LCI &&
                std::abs(runs[x].mean - runs[y].mean) > settings.DTI)
                return 2;
    return segments;
}

int evaluateFlowLogs(const std::vector<std::string>& log1, const std::vector<std::string>& log2, int channel,
                     const EvaluationSettings& settings, const std::function<void(const std::string&)>& listing) {
    PulseGroupTable tables[2];
    const int read[2] = {parseFlowLog(log1, tables[0]), parseFlowLog(log2, tables[1])};
    if (channel < 0 || channel > 1 || read[channel] == -1) return -1;
    return evaluatePulseGroups(tables[channel], settings, listing);
}

// ---- the window's side ----------------------------------------------------

namespace {

constexpr const char* kPulseSettingAddress1 = "16725944";
constexpr const char* kPulseSettingAddress2 = "16725945";
constexpr int kRamWriteByte = 7;

}  // namespace

void UltrasonicTuning::btnSetRamClick() {
    if (!checkConnected()) return;
    int address = 0, value = 0;
    if (!::editInteger(host, window().edtReadRAM, address) || !::editInteger(host, edtRamValue, value)) return;
    const uint32_t a = static_cast<uint32_t>(address);
    int params[12] = {kRamWriteByte};
    putLowFirst(params + 1, a, 4);
    params[5] = value & 0xFF;
    if (!qob->extendedCommand(params, nullptr, nullptr)) {
        showLibraryError();
        return;
    }
    addConsoleLine("RAM:" + window().edtReadRAM.Text + "<--" + edtRamValue.Text);
}

int UltrasonicTuning::evaluateChannel(int channel) {
    return evaluateFlowLogs(window().memFlowLog1.Lines.lines(), window().memFlowLog2.Lines.lines(), channel,
                            EvaluationSettings{LIB, DIB, DTI, LCI},
                            [this](const std::string& line) { addConsoleLine(line); });
}

void UltrasonicTuning::scanSetting(int value, int& q1, int& q2) {
    TFrmTestQOB& w = window();
    if (btnabort.Tag != 0) return;
    const std::string dashes(45, '-');
    addConsoleLine(dashes);
    addConsoleLine(">>>--RAM: " + std::to_string(value));
    addConsoleLine(dashes);
    edtRamValue.Text = std::to_string(value);
    w.edtReadRAM.Text = kPulseSettingAddress1;
    btnSetRamClick();
    w.edtReadRAM.Text = kPulseSettingAddress2;
    btnSetRamClick();
    btnresClick();
    addConsoleLine(" ");
    addConsoleLine(" RESET EXECUTED " + host.dateTimeText());
    addConsoleLine(" ");

    addConsoleLine(">>>--ULTRA---------------------------------------------");
    addConsoleLine(host.dateTimeText());
    w.btnClearFlowLogClick();
    edtFlowLogFan1.Text = "12";
    edtFlowLogFan2.Text = "12";
    w.cboFlowLog.Checked = true;
    if (!w.switchFlowCapture()) return;  // the rate edit is no number: nothing to capture
    addConsoleLine("monitoring flow...");
    addConsoleLine(host.dateTimeText());
    tmrTimeout.Tag = 0;
    tmrTimeout.Enabled = true;
    waitCooperatively([this] { return tmrTimeout.Enabled && btnabort.Tag == 0; });
    w.cboFlowLog.Checked = false;
    w.cboFlowLogClick();
    tmrTimeout.Enabled = false;
    if (btnabort.Tag != 0) return;

    w.memFlowLog1.setText(w.memShowLogCol1.Text() + "\r\n" + w.memFlowLog1.Text());
    w.memFlowLog2.setText(w.memShowLogCol2.Text() + "\r\n" + w.memFlowLog2.Text());
    addConsoleLine("------------- ultra ch1");
    addConsoleLine(w.memFlowLog1.Text());
    addConsoleLine("------------- ultra ch2");
    addConsoleLine(w.memFlowLog2.Text());
    addConsoleLine("-------------");
    addConsoleLine(host.dateTimeText());
    q1 = evaluateChannel(0);
    q2 = evaluateChannel(1);
    for (const std::string& line :
         {std::string("-------------"), std::string("-------------"), "Q1: " + std::to_string(q1),
          "Q2: " + std::to_string(q2), std::string("-------------"), std::string("-------------"),
          std::string("<<<--ULTRA---------------------------------------------"), std::string(" ")})
        addConsoleLine(line);
}

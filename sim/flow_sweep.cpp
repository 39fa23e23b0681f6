// Flow log (command 26) and the ultrasonic sweep behind it.
//
// Model
// -----
// Each channel has an ultrasonic flow circuit: a transmitter pulse goes
// down the air stream (reading A) and back up (reading R); R - A grows with
// the air flow, A + R follows the sound speed. The energy of the pulse is
// the channel's pulse setting, RAM byte 16725944 (channel 1) or 16725945
// (channel 2), written with extended command sub-command 7.
//
// After a reset (command 34, action 3) or a restart the detector runs its
// flow initialisation sweep: the step value "pulse" climbs from 29 to 122 in
// steps of 3, twice, with six to eight records per step. During the sweep
// fA and fR (the filtered readings) are 0; once it is over the records
// carry fA / fR and "pulse" shows the channel's pulse setting.
//
// How steady A and R are depends on how far the pulse setting is from the
// channel's best setting (`sweepCleanSetting`, 30 by default; channel 2's
// best lies two above channel 1's, so the channels differ a little):
//   distance 0..4    clean: R - A within +-8, A + R within +-20; every step
//                    is usable, the tuning's quality number saturates.
//   distance 5..12   noisier: each step has a chance (1.5 % per unit of
//                    distance) of a disturbed record, R - A off by ~90
//                    (A + R unchanged), which spoils that step.
//   beyond 12        unusable: the received pulse is too weak, A and R sit
//                    below 19500 and no step is valid.
// With the settings the tuning tries (15, 20, 30, 40) that gives: 30 clean,
// 20 and 40 noisier, 15 unusable.
//
// Fan speeds (p1 fan 1, p2 fan 2; above 10 counts as 10, 0 stops the fan)
// set R - A: about 140 + 12 per speed step, and the turbulence adds noise.
//
// Every answer carries ten new records per enabled channel (the detector
// logs faster than the tool polls), so the log a capture collects depends
// on the number of requests, not on wall-clock time: tests with virtual
// time see the same sweep as a technician does. The noise comes from a
// generator seeded per channel and pulse setting at the start of a sweep,
// so the same setting always yields the same log.
#include <algorithm>
#include <cstdlib>

#include "sim/virtual_detector.h"

namespace nerax_sim {

namespace {

constexpr int kSweepFirst = 29;
constexpr int kSweepLast = 122;
constexpr int kSweepStep = 3;
constexpr int kRecordsPerAnswer = 10;
constexpr int kRecordBytes = 36;

struct Noise {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
    bool chance(int permille) { return static_cast<int>(next() % 1000) < permille; }
};

uint8_t pulseSetting(const DetectorModel& m, int channel) {
    return m.ramByte(channel == 0 ? kPulseSettingRam1 : kPulseSettingRam2);
}

int bestSetting(const DetectorModel& m, int channel) { return m.sweepCleanSetting + 2 * channel; }

void put16be(std::vector<uint8_t>& d, size_t at, int v) {
    v = std::clamp(v, 0, 65535);
    d[at] = static_cast<uint8_t>(v >> 8);
    d[at + 1] = static_cast<uint8_t>(v & 0xFF);
}

}  // namespace

void DetectorModel::restartSweep() {
    sweepRunning = true;
    for (int c = 0; c < 2; ++c) {
        SweepChannel& s = sweep[c];
        const int keepIndex = s.sweepIndex;
        s = SweepChannel{};
        s.sweepIndex = keepIndex;
        s.pulse = kSweepFirst;
        s.pass = 0;
        s.seed = 0x9E3779B9u ^ (static_cast<uint32_t>(pulseSetting(*this, c)) * 2654435761u) ^
                 (static_cast<uint32_t>(c + 1) * 40503u);
        if (s.seed == 0) s.seed = 1;
        s.recordsLeft = 0;
        s.total = 0;
    }
}

// One flow record of channel c into `out` (18 fields).
static void nextRecord(DetectorModel& m, int c, int fanSetting, int out[18]) {
    DetectorModel::SweepChannel& s = m.sweep[c];
    Noise noise{s.seed};
    const int fan = std::clamp(fanSetting, 0, 10);
    const int setting = pulseSetting(m, c);
    const int distance = std::abs(setting - bestSetting(m, c));
    const bool sweeping = m.sweepRunning && s.pass < 2;

    if (sweeping && s.recordsLeft == 0) {
        // A new step: its length and whether a record of it is disturbed.
        s.recordsLeft = noise.range(6, 8);
        s.stepRecord = 0;
        s.disturbedRecord = -1;
        if (distance > 4 && distance <= 12 && noise.chance(15 * distance))
            s.disturbedRecord = noise.range(2, 5);  // one of the records the tuning rates
    }

    const int flowDelta = fan == 0 ? 20 : 140 + 12 * fan;
    const int turbulence = 8 + fan / 2;
    const int step = sweeping ? s.pulse : setting;
    // Sound speed drifts gently along the sweep; the flow term hardly moves.
    int a = 21900 + step + noise.range(-10, 10);
    int delta = flowDelta + (step - kSweepFirst) / 12 + noise.range(-turbulence, turbulence);
    if (distance > 12) {
        a = 19100 + noise.range(-150, 150);  // weak echo: below the valid window
        delta = flowDelta + noise.range(-200, 200);
    } else if (sweeping && s.stepRecord == s.disturbedRecord) {
        a -= 45;
        delta += 90;
    }
    const int r = a + delta;

    s.total++;
    s.sweepIndex = s.sweepIndex % 65280 + 1;
    out[0] = 255 + s.sweepIndex;  // high byte never 0: a live slot
    out[1] = a;
    out[2] = r;
    out[3] = sweeping ? 0 : a;                             // fA
    out[4] = sweeping ? 0 : r;                             // fR
    out[5] = std::max(delta, 0);                           // dA: the difference
    out[6] = m.flowTempByte[c] + 82 + noise.range(-2, 2);  // dR: flow thermistor ~230
    out[7] = std::abs(out[6] - out[5] / 2);                // dR-A
    out[8] = fan;
    const bool valid = a >= 19500 && r >= 19500 && a <= 26000 && r <= 26000 && delta >= 0 && delta < 600;
    out[9] = valid ? s.stepRecord + 1 : 0;   // #stb
    out[10] = valid ? 0 : s.stepRecord + 1;  // #unst
    out[11] = step;
    out[12] = s.total;                        // #tot
    out[13] = valid ? 0 : 1;                  // #dis
    out[14] = valid ? 1 : 0;                  // ok?
    out[15] = std::abs(delta - s.lastDelta);  // dfRA
    s.filteredDelta += (delta - s.filteredDelta) / 4;
    out[16] = std::max(s.filteredDelta, 0);  // fdfRA
    out[17] = s.stepRecord + 1;              // meas
    s.lastDelta = delta;

    if (sweeping) {
        s.stepRecord++;
        if (--s.recordsLeft == 0) {
            s.pulse += kSweepStep;
            if (s.pulse > kSweepLast) {
                s.pulse = kSweepFirst;
                s.pass++;
            }
        }
    }
    s.seed = noise.state;
}

int flowLogAnswer(DetectorModel& m, int fan1, int fan2, std::vector<uint8_t>& data) {
    data.assign(1024, 0);
    const int fans[2] = {fan1, fan2};
    for (int c = 0; c < 2; ++c) {
        if (fans[c] > 0) {
            m.fanSpeed[c] = std::min(fans[c], 10);
            m.fanDacMode = 0;
        }
        if (!m.channelEnabled[c]) continue;
        data[c] = kRecordsPerAnswer;
        for (int k = 0; k < kRecordsPerAnswer; ++k) {
            int fields[18];
            nextRecord(m, c, fans[c], fields);
            const size_t base = 2 + static_cast<size_t>(c) * 10 * kRecordBytes + static_cast<size_t>(k) * kRecordBytes;
            for (int f = 0; f < 18; ++f) put16be(data, base + 2 * static_cast<size_t>(f), fields[f]);
        }
    }
    return 1;
}

}  // namespace nerax_sim

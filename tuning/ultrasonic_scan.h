// Rating one ultrasonic pulse setting from the flow log that follows a
// reset: the detector sweeps the step value "pulse" 29, 32 .. 122 and
// starts again; each step's readings A and R go into a pulse group, and
// long series of steady groups make a high quality number Q.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One channel's samples: 48 groups (pulse 29 + 3 g), 8 (A, R) slots each.
struct PulseGroupTable {
    static constexpr int kGroups = 48;
    static constexpr int kSlots = 8;
    uint16_t a[kGroups][kSlots] = {};
    uint16_t r[kGroups][kSlots] = {};
};

// Fills the table from one log (header line and data lines as the flow
// log pages write them). Returns the line count, or -1 for a log of fewer
// than 200 lines or with a line in the sweep that is not all numbers.
// Records beyond a step's eighth and pulses outside the table are skipped.
int parseFlowLog(const std::vector<std::string>& lines, PulseGroupTable& table);

struct EvaluationSettings {
    int LIB = 7, DIB = 30, DTI = 30, LCI = 7;
};

// Q of one channel (0 or 1) from both logs (both are read, as the tool
// always has); the listing lines (group means, runs) go to `listing`.
int evaluateFlowLogs(const std::vector<std::string>& log1, const std::vector<std::string>& log2, int channel,
                     const EvaluationSettings& settings, const std::function<void(const std::string&)>& listing);

// Q of one table: group statistics, neighbour check, group listing,
// window search, runs, spread and mean tests.
int evaluatePulseGroups(const PulseGroupTable& table, const EvaluationSettings& settings,
                        const std::function<void(const std::string&)>& listing);

// The tuning's choice among the four measured settings (index 1..4; -1
// none). q[i][c] is the Q of setting i, channel c (row 0 unused). A
// setting passes a threshold when every enabled channel's Q exceeds it;
// from 125 down to QMI + 1 the first setting to pass, in the order 3, 2,
// 4, 1, is best, the next one found the same way is second. Nothing is
// chosen unless some setting passes QMI itself.
struct PulseSelection {
    int best = -1, second = -1;
};
PulseSelection selectPulseSettings(const int q[5][2], const bool enabled[2], int qmi);

// Flow log evaluation on small hand-made logs: the search and collection
// of the pulse groups, the group listing, the window search, the runs and
// the spread and mean tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "pages/flow_log.h"
#include "tuning/ultrasonic_scan.h"

namespace {

using Lines = std::vector<std::string>;

// How one sweep step (pulse 29 + 3 g) is logged. A + R stays 44250 in
// every record, so neighbouring groups always agree on it; d = R - A.
struct Step {
    int records = 6;
    int d = 250;
    int wobble = 0;     // odd records get d + wobble (> 64: the group is not steady)
    bool weak = false;  // A and R below the valid window
};
using Sweep = std::array<Step, 32>;

struct LogBuilder {
    Lines lines{flowLogHeaderLine()};
    int total = 0;
    void record(int pulse, int a, int r, int fA = 0) {
        int f[kFlowFieldCount] = {};
        f[FieldIndex] = 256 + total;
        f[FieldA] = a;
        f[FieldR] = r;
        f[FieldFA] = fA;
        f[FieldDA] = r - a;
        f[FieldPulse] = pulse;
        f[FieldTotal] = ++total;
        lines.push_back(flowRecordLine(f));
    }
    void recordD(int pulse, int d) { record(pulse, 22125 - d / 2, 22125 - d / 2 + d); }
    void sweep(const Sweep& steps) {
        for (int g = 0; g < 32; ++g) {
            const Step& s = steps[static_cast<size_t>(g)];
            for (int k = 0; k < s.records; ++k) {
                if (s.weak)
                    record(29 + 3 * g, 19100, 19300);
                else
                    recordD(29 + 3 * g, s.d + (k % 2 ? s.wobble : 0));
            }
        }
    }
    // The sweep starting again, then the settled records, up to `atLeast` lines.
    void tail(size_t atLeast = 210) {
        for (int k = 0; k < 3; ++k) recordD(29, 250);
        while (lines.size() < atLeast) record(30, 22000, 22250, 22000);
    }
};

Sweep allSteps(Step s) {
    Sweep sweep;
    sweep.fill(s);
    return sweep;
}

// Groups [from, to) clean at mean d, everything else steady-looking but
// with a spread too large to be good.
Sweep goodBetween(Sweep sweep, int from, int to, int d) {
    for (int g = from; g < to; ++g) sweep[static_cast<size_t>(g)] = Step{6, d, 0, false};
    return sweep;
}
const Step kUnsteady{6, 250, 100, false};

Lines standardLog(const Sweep& sweep) {
    LogBuilder b;
    b.sweep(sweep);
    b.tail();
    return b.lines;
}

struct Outcome {
    int q;
    Lines listing;
    Lines runLines() const {
        Lines runs;
        for (const auto& l : listing)
            if (l.rfind("is:", 0) == 0) runs.push_back(l);
        return runs;
    }
    int dashes() const { return static_cast<int>(std::count(listing.begin(), listing.end(), "-")); }
};

Outcome evaluate(const Lines& log1, const Lines& log2, int channel, EvaluationSettings settings = {}) {
    Outcome o;
    o.q = evaluateFlowLogs(log1, log2, channel, settings, [&](const std::string& l) { o.listing.push_back(l); });
    return o;
}

struct EvaluationCase {
    const char* name;
    Lines log;
    EvaluationSettings settings;
    int q;
    Lines runLines;  // exact run lines
    int dashes;      // groups listed as not good
};

std::vector<EvaluationCase> evaluationCases() {
    std::vector<EvaluationCase> cases;
    // 32 steady steps: 184 windows of lengths 17..3, the count stops at 128.
    {
        LogBuilder b;
        for (int g = 0; g < 32; ++g)
            for (int k = 0; k < 6; ++k)
                b.record(29 + 3 * g, 22000 + (k * 2 + g) % 11, 22000 + (k * 2 + g) % 11 + 250 + (k * 3 + g) % 11);
        b.tail();
        cases.push_back({"ThirtyTwoGoodGroups", b.lines, {}, 128, {"is:1 le:32 me:254 mi:253 ma:256 di:3"}, 0});
    }
    cases.push_back({"ThirtyTwoGoodGroupsRunLine",
                     standardLog(allSteps({})),
                     {},
                     128,
                     {"is:1 le:32 me:250 mi:250 ma:250 di:0"},
                     0});
    // Runs of 4 and 3 have no interior: they never fail the spread test,
    // even with means 150 apart inside the run of 4.
    {
        Sweep s = allSteps(kUnsteady);
        s = goodBetween(s, 0, 4, 250);
        s[1].d = s[3].d = 400;
        s = goodBetween(s, 5, 8, 300);
        s = goodBetween(s, 9, 18, 260);
        cases.push_back({"ShortRunsHaveNoInterior",
                         standardLog(s),
                         {},
                         2 + 1 + 16,
                         {"is:1 le:4 me:325 mi:999 ma:0 di:-999", "is:2 le:3 me:300 mi:999 ma:0 di:-999",
                          "is:3 le:9 me:260 mi:260 ma:260 di:0"},
                         32 - 16});
    }
    // Only short runs: no long run at all gives 1.
    cases.push_back({"NoLongRun",
                     standardLog(goodBetween(allSteps(kUnsteady), 10, 13, 250)),
                     {},
                     1,
                     {"is:1 le:3 me:250 mi:999 ma:0 di:-999"},
                     29});
    // Nothing valid: no segment, no run, 1.
    cases.push_back({"NothingValid", standardLog(allSteps({6, 250, 0, true})), {}, 1, {}, 32});
    // A long run whose interior means spread more than DIB gives 3.
    {
        Sweep s = allSteps({});
        for (int g = 0; g < 32; g += 2) s[static_cast<size_t>(g)].d = 290;
        cases.push_back({"SpreadAboveDib", standardLog(s), {}, 3, {"is:1 le:32 me:270 mi:250 ma:290 di:40"}, 0});
        cases.push_back({"SpreadWithinALargerDib",
                         standardLog(s),
                         {7, 40, 30, 7},
                         128,
                         {"is:1 le:32 me:270 mi:250 ma:290 di:40"},
                         0});
    }
    // Two long runs whose means differ by more than DTI give 2; with
    // LIB = 0 there is no run analysis and Q is the segment count.
    {
        Sweep s = goodBetween(goodBetween(allSteps(kUnsteady), 0, 12, 250), 14, 26, 300);
        // 12 good groups: 1+3+5+7+9 windows of 11..3 ... twice.
        const int segments = 2 * (2 + 4 + 6 + 8 + 10);
        cases.push_back({"RunMeansDisagree",
                         standardLog(s),
                         {},
                         2,
                         {"is:1 le:12 me:250 mi:250 ma:250 di:0", "is:2 le:12 me:300 mi:300 ma:300 di:0"},
                         8});
        cases.push_back({"LibZeroSkipsTheRuns", standardLog(s), {0, 30, 30, 7}, segments, {}, 8});
        cases.push_back({"RunMeansWithinDti",
                         standardLog(s),
                         {7, 30, 60, 7},
                         segments,
                         {"is:1 le:12 me:250 mi:250 ma:250 di:0", "is:2 le:12 me:300 mi:300 ma:300 di:0"},
                         8});
        cases.push_back({"RunsShorterThanLciAreNotCompared",
                         standardLog(s),
                         {7, 30, 30, 13},
                         segments,
                         {"is:1 le:12 me:250 mi:250 ma:250 di:0", "is:2 le:12 me:300 mi:300 ma:300 di:0"},
                         8});
    }
    // A log that starts in the middle of a sweep: read from the first
    // pulse 29; from line 1 the collection would stop at once after 122.
    {
        LogBuilder b;
        for (int p = 110; p <= 122; p += 3)
            for (int k = 0; k < 6; ++k) b.record(p, 19000, 25000);
        b.sweep(allSteps({}));
        b.tail();
        cases.push_back({"StartsMidSweep", b.lines, {}, 128, {"is:1 le:32 me:250 mi:250 ma:250 di:0"}, 0});
    }
    // A step of five records repeats its fifth pair in slots 5..7.
    {
        LogBuilder b;
        for (int g = 0; g < 32; ++g) {
            const int pulse = 29 + 3 * g;
            if (g == 7) {
                for (int k = 0; k < 4; ++k) b.recordD(pulse, 250);
                b.recordD(pulse, 270);  // slots 4 and 5 count: mean (250+250+270+270)/4
            } else {
                for (int k = 0; k < 6; ++k) b.recordD(pulse, 250);
            }
        }
        b.tail();
        cases.push_back({"StepOfFiveRecords", b.lines, {}, 128, {"is:1 le:32 me:250 mi:250 ma:260 di:10"}, 0});
    }
    // More than eight records at one step: the ninth and later are not kept.
    {
        LogBuilder b;
        for (int g = 0; g < 32; ++g)
            for (int k = 0; k < (g == 4 ? 14 : 6); ++k) b.recordD(29 + 3 * g, k < 8 ? 250 : 500);
        b.tail();
        cases.push_back({"StepOfFourteenRecords", b.lines, {}, 128, {"is:1 le:32 me:250 mi:250 ma:250 di:0"}, 0});
    }
    // Fewer than 200 lines, or a line of the sweep that is not all numbers.
    {
        LogBuilder b;
        b.sweep(allSteps({}));
        b.tail(199);
        cases.push_back({"FewerThan200Lines", b.lines, {}, -1, {}, 0});
        LogBuilder broken;
        broken.sweep(allSteps({}));
        broken.lines.insert(broken.lines.begin() + 40, "ERROR");
        broken.tail();
        cases.push_back({"ErrorLineInsideTheSweep", broken.lines, {}, -1, {}, 0});
    }
    return cases;
}

void PrintTo(const EvaluationCase& c, std::ostream* os) { *os << c.name; }

class Evaluation : public ::testing::TestWithParam<EvaluationCase> {};

TEST_P(Evaluation, QualityAndListing) {
    const EvaluationCase& c = GetParam();
    const Outcome o = evaluate(c.log, standardLog(allSteps({})), 0, c.settings);
    EXPECT_EQ(o.q, c.q);
    if (c.q == -1) {
        EXPECT_TRUE(o.listing.empty());
        return;
    }
    // One line per rated group first, then the run lines.
    ASSERT_GE(o.listing.size(), 32u);
    EXPECT_EQ(o.dashes(), c.dashes);
    EXPECT_EQ(o.runLines(), c.runLines);
    EXPECT_EQ(o.listing.size(), 32 + o.runLines().size());
}

INSTANTIATE_TEST_SUITE_P(Logs, Evaluation, ::testing::ValuesIn(evaluationCases()),
                         [](const ::testing::TestParamInfo<EvaluationCase>& info) { return info.param.name; });

TEST(Evaluation, GroupMeansAreListedAndBadGroupsShowADash) {
    Sweep s = allSteps({});
    s[5] = kUnsteady;
    s[20].d = 262;
    const Outcome o = evaluate(standardLog(s), standardLog(allSteps({})), 0);
    ASSERT_GE(o.listing.size(), 32u);
    EXPECT_EQ(o.listing[4], "250");
    EXPECT_EQ(o.listing[5], "-");
    EXPECT_EQ(o.listing[20], "262");
}

TEST(Evaluation, AGroupBesideOneWithoutValidSamplesIsNeverGood) {
    Sweep s = allSteps({});
    s[10].weak = true;
    const Outcome o = evaluate(standardLog(s), standardLog(allSteps({})), 0);
    ASSERT_GE(o.listing.size(), 32u);
    EXPECT_EQ(o.listing[9], "-");
    EXPECT_EQ(o.listing[10], "-");
    EXPECT_EQ(o.listing[11], "-");
    EXPECT_EQ(o.listing[12], "250");
}

TEST(Evaluation, EachChannelNeedsItsOwnUsableLog) {
    const Lines good = standardLog(allSteps({}));
    const Lines tooShort(150, flowLogHeaderLine());
    EXPECT_EQ(evaluate(good, tooShort, 1).q, -1);
    EXPECT_EQ(evaluate(good, tooShort, 0).q, 128);
    EXPECT_EQ(evaluate(tooShort, good, 1).q, 128);
}

TEST(ParseFlowLog, ShortStepsRepeatTheirLastPairAndTheSecondSweepEndsTheReading) {
    LogBuilder b;
    for (int g = 0; g < 32; ++g) {
        const int records = g == 3 ? 5 : 6;
        for (int k = 0; k < records; ++k) b.record(29 + 3 * g, 22000 + k, 22250 + 10 * k);
    }
    b.recordD(29, 250);
    for (int k = 0; k < 6; ++k) b.record(32, 1, 2);  // a second sweep that must not be read
    b.tail();
    PulseGroupTable t;
    ASSERT_EQ(parseFlowLog(b.lines, t), static_cast<int>(b.lines.size()));
    for (int k = 0; k < 5; ++k) EXPECT_EQ(t.a[3][k], 22000 + k);
    for (int k = 5; k < 8; ++k) {
        EXPECT_EQ(t.a[3][k], 22004);
        EXPECT_EQ(t.r[3][k], 22290);
    }
    // Six-record steps: slots 6 and 7 repeat the sixth.
    EXPECT_EQ(t.a[1][6], 22005);
    EXPECT_EQ(t.a[1][7], 22005);
    EXPECT_EQ(t.a[1][0], 22000);
    EXPECT_EQ(t.r[1][0], 22250);
}

TEST(ParseFlowLog, RecordsOutsideTheTableAreNotStored) {
    LogBuilder b;
    b.record(29, 22000, 22250);
    b.record(170, 22000, 22250);                             // group 47, the last
    for (int k = 0; k < 20; ++k) b.record(170, 5555, 5555);  // up to and beyond the eighth slot
    b.record(200, 3333, 3333);                               // beyond the last group
    b.record(65535, 4444, 4444);
    b.record(26, 1111, 1111);  // below the first group
    while (b.lines.size() < 205) b.record(122, 22000, 22250);
    b.record(29, 22000, 22250);
    PulseGroupTable t;
    ASSERT_EQ(parseFlowLog(b.lines, t), static_cast<int>(b.lines.size()));
    // Group 47 holds its first eight records only.
    EXPECT_EQ(t.a[47][0], 22000);
    EXPECT_EQ(t.a[47][1], 5555);
    EXPECT_EQ(t.a[47][7], 5555);
    for (int g = 0; g < PulseGroupTable::kGroups; ++g)
        for (int k = 0; k < PulseGroupTable::kSlots; ++k) {
            EXPECT_NE(t.a[g][k], 1111);
            EXPECT_NE(t.a[g][k], 3333);
            EXPECT_NE(t.a[g][k], 4444);
        }
}

TEST(ParseFlowLog, HeaderAndErrorLinesBeforeTheSweepAreSkipped) {
    LogBuilder b;
    b.lines.push_back("ERROR");
    b.lines.push_back("");
    b.sweep(allSteps({}));
    b.tail();
    PulseGroupTable t;
    EXPECT_EQ(parseFlowLog(b.lines, t), static_cast<int>(b.lines.size()));
    EXPECT_EQ(t.a[0][0], 22000);
}

}  // namespace

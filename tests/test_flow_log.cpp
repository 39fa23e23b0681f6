// Flow log capture and graph: ticks against the virtual detector (decode,
// append, plotting, fan stepping, failures), the graph buffer shift, SAVE
// FILES and the painting on a recording canvas.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "app/formatters.h"
#include "pages/flow_log.h"
#include "support/window_fixture.h"

namespace {

using Lines = std::vector<std::string>;

int fieldOf(const std::string& line, int n) {
    int v = -1;
    EXPECT_TRUE(parseInteger(line.substr(static_cast<size_t>(6 * n), 5), v)) << line;
    return v;
}

// Every drawing call as one text: "pen 0000FF 2", "move 5 178", "line 6 179",
// "font Courier 8 0000FF", "text 9 176 22750".
class RecordingCanvas : public TCanvas {
public:
    RecordingCanvas(int w, int h) : w_(w), h_(h) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    void setPen(uint32_t rgb, int width) override { add("pen " + hex(rgb) + " " + std::to_string(width)); }
    void setBrush(uint32_t rgb) override { add("brush " + hex(rgb)); }
    void fillRect(int l, int t, int r, int b) override {
        add("fill " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " + std::to_string(b));
    }
    void moveTo(int x, int y) override { add("move " + std::to_string(x) + " " + std::to_string(y)); }
    void lineTo(int x, int y) override { add("line " + std::to_string(x) + " " + std::to_string(y)); }
    void textOut(int x, int y, const std::string& t) override {
        add("text " + std::to_string(x) + " " + std::to_string(y) + " " + t);
    }
    void setFont(const std::string& face, int size, uint32_t rgb) override {
        add("font " + face + " " + std::to_string(size) + " " + hex(rgb));
    }
    void setTextBackgroundTransparent(bool on) override { add(on ? "transparent" : "opaque"); }

    Lines ops;
    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& op : ops) n += op.rfind(prefix, 0) == 0;
        return n;
    }
    bool has(const std::string& op) const { return std::find(ops.begin(), ops.end(), op) != ops.end(); }

private:
    static std::string hex(uint32_t v) {
        char b[8];
        std::snprintf(b, sizeof b, "%06X", v);
        return b;
    }
    void add(std::string op) { ops.push_back(std::move(op)); }
    int w_, h_;
};

class FlowLogTest : public SimWindowTest {
protected:
    void startCapture() {
        w().cboFlowLog.Checked = true;
        w().cboFlowLogClick();
    }
    // One tick of the 300 ms log rate, in virtual time.
    void tick() { host.sleep(300); }
};

TEST(FlowLogLines, HeaderAndDataLinesAreFiveWideColumns) {
    const std::string header = flowLogHeaderLine();
    EXPECT_EQ(header.size(), 108u);
    EXPECT_EQ(header.rfind("index|    A|    R|   fA|   fR|   dA|   dR| dR-A|  fan| #stb|#unst|pulse|", 0), 0u);
    EXPECT_EQ(header.substr(72), " #tot| #dis|  ok?| dfRA|fdfRA| meas|");
    int fields[kFlowFieldCount] = {};
    fields[0] = 671;
    fields[1] = 65535;
    fields[17] = 7;
    const std::string line = flowRecordLine(fields);
    EXPECT_EQ(line.size(), 108u);
    EXPECT_EQ(line.substr(0, 18), "  671|65535|    0|");
    EXPECT_EQ(line.substr(102), "    7|");
    fields[1] = 123456;  // wider than a column: the column grows, nothing is cut
    fields[2] = -5;
    EXPECT_EQ(flowRecordLine(fields).substr(0, 19), "  671|123456|   -5|");
}

TEST(FlowLogAnswer, ValidCountsDecideTheLinesLiveSlotsTheGraph) {
    uint8_t answer[1026] = {};
    answer[1] = 0;  // channel 1 reports no valid records...
    answer[2] = 3;
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kFlowSlotsPerChannel; ++k) {
            uint8_t* slot = answer + kFlowFirstSlot + c * kFlowChannelBytes + k * kFlowRecordBytes;
            slot[0] = k == 5 ? 0 : 1;  // ...but nine live slots
            slot[2 * FieldA] = 0x58;   // A = 0x5800 + slot + 16 * channel
            slot[2 * FieldA + 1] = static_cast<uint8_t>(k + 16 * c);
            slot[2 * FieldPulse + 1] = 29;
        }
    TMemo log1{nullptr, "log1"}, log2{nullptr, "log2"};
    FlowGraph graph;
    appendFlowAnswer(answer, 0, graph, log1.Lines, log2.Lines);
    EXPECT_EQ(log1.Lines.Count(), 0);
    ASSERT_EQ(log2.Lines.Count(), 3);
    EXPECT_EQ(fieldOf(log2.Lines[2], FieldA), 0x5800 + 2 + 16);
    EXPECT_EQ(fieldOf(log2.Lines[0], FieldIndex), 256);
    EXPECT_EQ(graph.position, 9);
    EXPECT_EQ(graph.values[FlowGraph::A][0], 0);  // position 0 is never written
    EXPECT_EQ(graph.values[FlowGraph::A][1], 0x5800);
    EXPECT_EQ(graph.values[FlowGraph::A][6], 0x5800 + 6);  // slot 5 skipped
    EXPECT_EQ(graph.values[FlowGraph::Pulse][9], 29);
    appendFlowAnswer(answer, -1, graph, log1.Lines, log2.Lines);
    EXPECT_EQ(graph.position, 9);
}

TEST(FlowGraphBuffer, TheSevenHundredFiftiethSampleShiftsTheGraphBy100) {
    FlowGraph graph;
    int fields[kFlowFieldCount] = {};
    for (int n = 1; n <= 749; ++n) {
        fields[FieldA] = n;
        graph.add(fields);
    }
    EXPECT_EQ(graph.position, 749);
    EXPECT_EQ(graph.values[FlowGraph::A][749], 749);
    fields[FieldA] = 750;
    graph.add(fields);
    EXPECT_EQ(graph.position, 650);
    EXPECT_EQ(graph.values[FlowGraph::A][0], 100);
    EXPECT_EQ(graph.values[FlowGraph::A][649], 749);
    EXPECT_EQ(graph.values[FlowGraph::A][650], 750);
    for (int i = 651; i < FlowGraph::kSize; ++i) ASSERT_EQ(graph.values[FlowGraph::A][i], 0) << i;
    fields[FieldA] = 751;
    graph.add(fields);
    EXPECT_EQ(graph.position, 651);
    EXPECT_EQ(graph.values[FlowGraph::A][651], 751);
}

TEST_F(FlowLogTest, EachTickLogsBothChannelsAndPlotsTheSelectedOne) {
    connect();
    w().btnClearFlowLogClick();
    EXPECT_EQ(w().memShowLogCol1.Lines.lines(), Lines{flowLogHeaderLine()});
    EXPECT_EQ(w().memShowLogCol2.Lines.lines(), Lines{flowLogHeaderLine()});
    w().edtFlowLogFan1.Text = "3";
    w().edtFlowLogFan2.Text = "4";
    startCapture();
    EXPECT_TRUE(w().tmrFlowLog.Enabled);
    EXPECT_EQ(w().tmrFlowLog.Interval, 300);
    tick();
    ASSERT_EQ(w().memFlowLog1.Lines.Count(), 10);
    ASSERT_EQ(w().memFlowLog2.Lines.Count(), 10);
    detector().withModel([](nerax_sim::DetectorModel& m) {
        ASSERT_FALSE(m.history.empty());
        EXPECT_EQ(m.history.back().code, 26);
        EXPECT_EQ(m.history.back().p[1], 3);
        EXPECT_EQ(m.history.back().p[2], 4);
    });
    EXPECT_EQ(w().flowGraph.position, 10);
    for (int i = 1; i <= 10; ++i) {
        const std::string& line = w().memFlowLog1.Lines[i - 1];
        EXPECT_EQ(line.size(), 108u);
        EXPECT_EQ(w().flowGraph.values[FlowGraph::A][i], fieldOf(line, FieldA));
        EXPECT_EQ(w().flowGraph.values[FlowGraph::R][i], fieldOf(line, FieldR));
        EXPECT_EQ(w().flowGraph.values[FlowGraph::DA][i], fieldOf(line, FieldDA));
        EXPECT_EQ(w().flowGraph.values[FlowGraph::DR][i], fieldOf(line, FieldDR));
        EXPECT_EQ(w().flowGraph.values[FlowGraph::Pulse][i], fieldOf(line, FieldPulse));
    }
    EXPECT_GE(host.repaints[&w().pb], 1);
    EXPECT_GE(host.repaints[&w().pbFlow2], 1);
    tick();
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 20);
    EXPECT_EQ(w().flowGraph.position, 20);

    // Another channel: logs and graph start again and follow channel 2.
    w().rgFlowLog.ItemIndex = 1;
    w().rgFlowLogClick();
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 0);
    EXPECT_EQ(w().flowGraph.position, 0);
    EXPECT_EQ(w().flowGraph.values[FlowGraph::A][5], 0);
    tick();
    EXPECT_EQ(w().flowGraph.values[FlowGraph::A][1], fieldOf(w().memFlowLog2.Lines[0], FieldA));

    // Unchecking stops the ticks; the logs stay.
    w().cboFlowLog.Checked = false;
    w().cboFlowLogClick();
    host.sleep(3000);
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 10);
    EXPECT_EQ(w().memFlowLog2.Lines.Count(), 10);
}

TEST_F(FlowLogTest, FanSteppingRaisesTheSpeedsAndEndsPastTen) {
    struct Case {
        const char* fan2;
        const char* fan2AfterThird;
        const char* fan2AtEnd;
    } cases[] = {{"9", "10", "10"}, {"0", "0", "0"}};
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fan2);
        w().clearConsole();
        w().edtFlowLogIncSpeed.Text = "3";
        w().edtFlowLogFan1.Text = "9";
        w().edtFlowLogFan2.Text = c.fan2;
        startCapture();
        for (int k = 0; k < 3; ++k) tick();
        EXPECT_EQ(w().edtFlowLogFan1.Text, "10");
        EXPECT_EQ(w().edtFlowLogFan2.Text, c.fan2AfterThird);
        EXPECT_TRUE(w().cboFlowLog.Checked);
        for (int k = 0; k < 3; ++k) tick();
        EXPECT_EQ(w().edtFlowLogFan1.Text, "10");
        EXPECT_EQ(w().edtFlowLogFan2.Text, c.fan2AtEnd);
        EXPECT_FALSE(w().cboFlowLog.Checked);
        EXPECT_FALSE(w().tmrFlowLog.Enabled);
        EXPECT_EQ(w().memLog.Lines.lines(), (Lines{"0", "1", "2", "0", "1", "2"}));
        host.sleep(3000);
        EXPECT_EQ(w().memLog.Lines.Count(), 6);
    }
}

TEST_F(FlowLogTest, AFailedRequestStopsTheCaptureWithErrorInBothLogs) {
    connect();
    w().btnClearFlowLogClick();
    startCapture();
    tick();
    detector().injectFault(26, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    tick();
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 11);
    EXPECT_EQ(w().memFlowLog1.Lines[10], "ERROR");
    EXPECT_EQ(w().memFlowLog2.Lines[10], "ERROR");
    EXPECT_FALSE(w().cboFlowLog.Checked);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_EQ(w().flowGraph.position, 10);
    EXPECT_EQ(w().memLog.Lines.lines(), Lines{">>Connected"});
}

TEST_F(FlowLogTest, WithoutAConnectionTheTickStopsTheCapture) {
    startCapture();
    tick();
    EXPECT_EQ(w().memLog.Lines.lines(), Lines{">>Not connected!"});
    EXPECT_FALSE(w().cboFlowLog.Checked);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
}

TEST_F(FlowLogTest, EditsThatAreNoNumbersGiveTheConversionErrorAndStop) {
    connect();
    w().edtFlowLogRate.Text = "fast";
    startCapture();
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_FALSE(w().cboFlowLog.Checked);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, "'fast' is not a valid integer value");
    EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Error);

    // A bad fan edit stops the capture once instead of an error every tick.
    w().edtFlowLogRate.Text = "300";
    w().edtFlowLogFan2.Text = "x";
    startCapture();
    for (int k = 0; k < 5; ++k) tick();
    EXPECT_EQ(host.shown.size(), 2u);
    EXPECT_FALSE(w().tmrFlowLog.Enabled);
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 0);
}

TEST_F(FlowLogTest, SaveFilesPutsOneMoreHeaderOnTopEachTime) {
    w().btnClearFlowLogClick();
    w().memFlowLog1.Lines.Add("    1|");
    w().memFlowLog2.Lines.Add("    2|");
    w().Button27Click();
    w().Button27Click();
    const std::string header = flowLogHeaderLine();
    EXPECT_EQ(work->read("channel1.txt"), header + "\r\n" + header + "\r\n    1|\r\n");
    EXPECT_EQ(work->read("channel2.txt"), header + "\r\n" + header + "\r\n    2|\r\n");
    EXPECT_EQ(w().memFlowLog1.Lines.Count(), 3);
    EXPECT_EQ(host.shownTexts(), (Lines{"Files saved!", "Files saved!"}));
}

TEST_F(FlowLogTest, PaintingDrawsGridDashesAndValueLabels) {
    FlowGraph& g = w().flowGraph;
    g.values[FlowGraph::A][5] = 22750;  // half-way between 20500 and 25000
    g.values[FlowGraph::R][0] = 22000;  // only at position 0: a dash, no label
    g.values[FlowGraph::DA][3] = 700;   // above its top: at the top
    g.values[FlowGraph::DA][4] = 0;     // zero: never drawn
    g.values[FlowGraph::DR][7] = 10;    // below its bottom: at the bottom
    RecordingCanvas canvas(797, 355);
    ASSERT_TRUE(w().pbFlow2.OnPaint);
    w().pbFlow2.OnPaint(w().pbFlow2, canvas);

    EXPECT_EQ(canvas.ops[0], "pen C0C0C0 1");
    EXPECT_EQ(canvas.ops[1], "move 0 0");
    EXPECT_EQ(canvas.ops[2], "line 1000 0");
    EXPECT_TRUE(canvas.has("line 1000 350"));
    EXPECT_FALSE(canvas.has("line 1000 360"));
    const Lines blueDash = {"pen 0000FF 2",          "move 5 178",  "line 6 179",
                            "font Courier 8 0000FF", "transparent", "text 9 176 22750"};
    const Lines blackDash = {"pen 000000 2",          "move 3 1",    "line 4 2",
                             "font Courier 8 000000", "transparent", "text 7 -1 700"};
    const Lines greenDash = {"pen 008000 2",          "move 7 354",  "line 8 355",
                             "font Courier 8 008000", "transparent", "text 11 352 10"};
    auto at = [&](const std::string& op) { return std::find(canvas.ops.begin(), canvas.ops.end(), op); };
    auto a = at(blueDash[0]);
    ASSERT_LT(a + 6, canvas.ops.end());
    EXPECT_EQ(Lines(a, a + 6), blueDash);
    auto r = at("pen FF0000 2");
    ASSERT_LT(r + 3, canvas.ops.end());
    EXPECT_EQ(r[1].rfind("move 0 ", 0), 0u);
    EXPECT_EQ(r[3], "pen 000000 2");  // no label after R's dash at 0
    auto d = at(blackDash[0]);
    ASSERT_LT(d + 6, canvas.ops.end());
    EXPECT_EQ(Lines(d, d + 6), blackDash);
    auto t = at(greenDash[0]);
    ASSERT_LT(t + 6, canvas.ops.end());
    EXPECT_EQ(Lines(t, t + 6), greenDash);
    EXPECT_EQ(canvas.ops.back(), "pen 808080 2");  // no duty samples
    EXPECT_EQ(canvas.count("move "), 36 + 4);

    // The small strip uses the same handler.
    RecordingCanvas strip(781, 117);
    ASSERT_TRUE(w().pb.OnPaint);
    w().pb.OnPaint(w().pb, strip);
    EXPECT_EQ(strip.count("line 1000 "), 12);
    EXPECT_TRUE(strip.has("move 5 59"));
}

TEST_F(FlowLogTest, UnusableLimitsDrawNoCurvesAndSayWhy) {
    w().flowGraph.values[FlowGraph::A][5] = 22750;
    w().flowGraph.values[FlowGraph::DA][5] = 300;
    const struct {
        const char* min;
        const char* max;
        const char* why;
    } cases[] = {{"25000", "25001", "max must exceed min + 1"},
                 {"25000", "20500", "max must exceed min + 1"},
                 {"low", "25000", "must be integers"},
                 {"-2147483648", "2147483647", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.min) + " " + c.max);
        w().edtAndataMin.Text = c.min;
        w().edtAndataMax.Text = c.max;
        RecordingCanvas canvas(797, 355);
        w().pbFlow2Paint(w().pbFlow2, canvas);
        EXPECT_EQ(canvas.count("line 1000 "), 36);
        if (!c.why) {
            EXPECT_EQ(canvas.count("pen 0000FF 2"), 1);
            continue;
        }
        EXPECT_EQ(canvas.count("pen 0000FF 2"), 0);
        EXPECT_EQ(canvas.count("move 5 "), 0);
        ASSERT_EQ(canvas.count("text "), 1);
        EXPECT_NE(canvas.ops.back().find(c.why), std::string::npos) << canvas.ops.back();
    }
    EXPECT_TRUE(host.shown.empty());
}

}  // namespace

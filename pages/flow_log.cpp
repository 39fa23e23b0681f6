// Admin #3 (flow log capture, logs, SAVE FILES) and the Flow graph page.
#include "pages/flow_log.h"

#include <string>
#include <utility>

#include "pages/main_window.h"
#include "app/report_file.h"
#include "link/frame.h"

void appendFlowAnswer(const uint8_t* answer, int plottedChannel, FlowGraph& graph, TStrings& log1, TStrings& log2) {
    FlowAnswer decoded;
    decodeFlowAnswer(answer, decoded);
    TStrings* logs[2] = {&log1, &log2};
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kFlowSlotsPerChannel; ++k) {
            const int* fields = decoded.fields[c][k];
            if (c == plottedChannel && decoded.live[c][k]) graph.add(fields);
            if (k < decoded.validRecords[c]) logs[c]->Add(flowRecordLine(fields));
        }
}

// ---- capture --------------------------------------------------------------

bool FlowLogPage::switchFlowCapture() {
    int rate = 0;
    if (!::editInteger(host, edtFlowLogRate, rate)) {
        // A capture the operator cannot switch off would poll on: stop it.
        tmrFlowLog.Enabled = false;
        cboFlowLog.Checked = false;
        return false;
    }
    tmrFlowLog.Interval = rate;
    tmrFlowLog.Enabled = cboFlowLog.Checked.get();
    edtFlowLogIncSpeed.Tag = 0;
    return true;
}

void FlowLogPage::cboFlowLogClick() { switchFlowCapture(); }

void FlowLogPage::stopFlowCapture() {
    tmrFlowLog.Enabled = false;
    if (cboFlowLog.Checked) {
        cboFlowLog.Checked = false;
        cboFlowLogClick();
    }
}

void FlowLogPage::btnClearFlowLogClick() {
    memFlowLog1.Lines.Clear();
    memFlowLog2.Lines.Clear();
    memShowLogCol1.setText(flowLogHeaderLine());
    memShowLogCol2.setText(flowLogHeaderLine());
    flowGraph.clear();
}

// The plotted channel changes: graph and logs start again.
void FlowLogPage::rgFlowLogClick() { btnClearFlowLogClick(); }

void FlowLogPage::tmrFlowLogTimer() {
    if (!checkConnected()) {
        stopFlowCapture();
        return;
    }
    int fan1 = 0, fan2 = 0;
    // A bad edit would otherwise raise its error on every tick.
    if (!::editInteger(host, edtFlowLogFan1, fan1) || !::editInteger(host, edtFlowLogFan2, fan2)) {
        stopFlowCapture();
        return;
    }
    uint8_t params[12] = {static_cast<uint8_t>(fan1 & 0xFF), static_cast<uint8_t>(fan2 & 0xFF)};
    if (!qob->sendCommand(cmd::FlowLog, 0, kFlowAnswerDataBytes, params, nullptr, panelAnswer)) {
        stopFlowCapture();
        memFlowLog1.Lines.Add("ERROR");
        memFlowLog2.Lines.Add("ERROR");
        return;
    }
    appendFlowAnswer(panelAnswer, rgFlowLog.ItemIndex, flowGraph, memFlowLog1.Lines, memFlowLog2.Lines);

    int stepEvery = 0;
    if (!::editInteger(host, edtFlowLogIncSpeed, stepEvery)) {
        stopFlowCapture();
        return;
    }
    if (stepEvery > 0) {
        addConsoleLine(std::to_string(edtFlowLogIncSpeed.Tag));
        edtFlowLogIncSpeed.Tag = edtFlowLogIncSpeed.Tag + 1;
        if (edtFlowLogIncSpeed.Tag == stepEvery) {
            for (TEdit* fan : {&edtFlowLogFan1, &edtFlowLogFan2}) {
                int v = 0;
                if (!::editInteger(host, *fan, v)) {
                    stopFlowCapture();
                    return;
                }
                if (v <= 0) continue;
                ++v;
                if (v > 10) {
                    stopFlowCapture();
                    v = 10;
                }
                fan->Text = std::to_string(v);
            }
            edtFlowLogIncSpeed.Tag = 0;
        }
    }
    host.repaint(pb);
    host.repaint(window().pbFlow2);
}

void FlowLogPage::Button27Click() {
    const struct {
        TMemo& header;
        TMemo& log;
        const char* file;
    } channels[] = {{memShowLogCol1, memFlowLog1, "channel1.txt"}, {memShowLogCol2, memFlowLog2, "channel2.txt"}};
    for (const auto& c : channels) {
        c.log.setText(c.header.Text() + "\r\n" + c.log.Text());
        std::string error;
        if (!writeTextFile(c.file, c.log.Lines.lines(), error)) {
            host.messageBox(std::string("File not saved: ") + c.file + "\n\n" + error, host.applicationTitle,
                            DialogKind::Error, DialogButtons::Ok);
            return;
        }
    }
    host.showMessage("Files saved!");
}

// ---- graph ----------------------------------------------------------------

void FlowGraphPage::pbFlow2Paint(TPaintBox&, TCanvas& canvas) {
    const int height = canvas.height();
    canvas.setPen(0xC0C0C0, 1);
    for (int y = 0; y < height; y += 10) {
        canvas.moveTo(0, y);
        canvas.lineTo(1000, y);
    }
    if (height < 2) return;

    int lo = 0, hi = 0;
    const bool numbers = parseInteger(edtAndataMin.Text, lo) && parseInteger(edtAndataMax.Text, hi);
    if (!numbers || static_cast<long long>(hi) <= static_cast<long long>(lo) + 1) {
        // Scaling needs max > min + 1; painting must not raise a dialog.
        canvas.setFont("Courier", 8, 0x000000);
        canvas.setTextBackgroundTransparent(true);
        canvas.textOut(4, 4,
                       numbers ? "limits A-R: max must exceed min + 1, nothing drawn"
                               : "limits A-R: min and max must be integers, nothing drawn");
        return;
    }
    const struct {
        FlowGraph::Curve curve;
        uint32_t colour;
        int lo, hi;
    } curves[] = {
        {FlowGraph::A, 0x0000FF, lo, hi},   {FlowGraph::R, 0xFF0000, lo, hi},     {FlowGraph::DA, 0x000000, 0, 600},
        {FlowGraph::DR, 0x008000, 50, 400}, {FlowGraph::Pulse, 0x808080, 0, 140},
    };
    for (const auto& c : curves) {
        canvas.setPen(c.colour, 2);
        const int* values = window().flowGraph.values[c.curve];
        int last = -1, penX = 0, penY = 0;
        for (int i = 0; i < FlowGraph::kSize; ++i) {
            if (values[i] <= 0) continue;
            const int y = flowGraphY(values[i], c.lo, c.hi, height);
            canvas.moveTo(i, y);
            canvas.lineTo(i + 1, y + 1);
            last = i;
            penX = i + 1;
            penY = y + 1;
        }
        if (last > 0) {
            canvas.setFont("Courier", 8, c.colour);
            canvas.setTextBackgroundTransparent(true);
            canvas.textOut(penX + 3, penY - 3, std::to_string(values[last]));
        }
    }
}

// Layout and wiring of Admin #3 (constructor).
void FlowLogPage::wireFlowLogPage() {
    cboFlowLog.setBounds(8, 8, 97, 17);
    lblFlowLogRate.setBounds(8, 36, 0, 0);
    edtFlowLogRate.setBounds(150, 32, 50, 21);
    lblFlowLogIncSpeed.setBounds(8, 60, 0, 0);
    edtFlowLogIncSpeed.setBounds(150, 56, 50, 21);
    lblFlowLogFan1.setBounds(660, 76, 0, 0);
    lblFlowLogFan2.setBounds(660, 97, 0, 0);
    rgFlowLog.setBounds(220, 4, 120, 64);
    rgFlowLog.ItemIndex = 0;
    btnClearFlowLog.setBounds(360, 8, 75, 25);
    Button27.setBounds(360, 40, 75, 25);
    lblFlowLog1.setBounds(8, 100, 0, 0);
    memShowLogCol1.setBounds(8, 116, 490, 38);
    memFlowLog1.setBounds(8, 156, 490, 84);
    lblFlowLog2.setBounds(510, 100, 0, 0);
    memShowLogCol2.setBounds(510, 116, 490, 38);
    memFlowLog2.setBounds(510, 156, 490, 84);
    for (TMemo* memo : {&memShowLogCol1, &memShowLogCol2, &memFlowLog1, &memFlowLog2}) memo->WordWrap = false;
    memFlowLog1.ReadOnly = true;
    memFlowLog2.ReadOnly = true;
    pnlShowFlowLog.setBounds(8, 244, 785, 121);
    pb.setBounds(2, 2, 781, 117);
    pb.Color = 0xFFFFFF;
    // The diagnostic check boxes share the capture switch.
    cboFlowLog.OnClick = [this] { cboFlowLogClick(); };
    chkfulldiag.OnClick = [this] { cboFlowLogClick(); };
    chktestalarms.OnClick = [this] { cboFlowLogClick(); };
    btnClearFlowLog.OnClick = [this] { btnClearFlowLogClick(); };
    rgFlowLog.OnClick = [this] { rgFlowLogClick(); };
    Button27.OnClick = [this] { Button27Click(); };
    tmrFlowLog.OnTimer = [this] { tmrFlowLogTimer(); };
    pb.OnPaint = [this](TPaintBox& sender, TCanvas& canvas) { window().pbFlow2Paint(sender, canvas); };
}

// Layout and wiring of the Flow graph page (constructor).
void FlowGraphPage::wireFlowGraphPage() {
    pnlFlowLog2.setBounds(4, 4, 801, 359);
    pbFlow2.setBounds(2, 2, 797, 355);
    lblAndataLimits.setBounds(820, 8, 0, 0);
    edtAndataMin.setBounds(820, 26, 60, 21);
    edtAndataMax.setBounds(820, 52, 60, 21);
    const std::pair<TLabel*, uint32_t> legend[] = {{&lblAndata, 0x0000FF},
                                                   {&lblRitorno, 0xFF0000},
                                                   {&lblDifferenza, 0x000000},
                                                   {&lblTermistore, 0x008000},
                                                   {&lblDuty, 0x808080}};
    int legendTop = 90;
    for (const auto& [label, colour] : legend) {
        label->setBounds(820, legendTop, 0, 0);
        label->FontColor = colour;
        legendTop += 18;
    }
    pbFlow2.OnPaint = [this](TPaintBox& sender, TCanvas& canvas) { pbFlow2Paint(sender, canvas); };
}

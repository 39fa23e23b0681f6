// The flow log pages (Admin #3 and Flow graph): the capture's answer into
// the graph and the logs. The handlers are in pages/flow_log.cpp.
#pragma once

#include <cstdint>

#include "app/flow_graph.h"
#include "app/window_shell.h"
#include "device/flow_record.h"

class TStrings;

// Walks one answer of request 26 (`answer` = acknowledge byte, then the
// data): plots the selected channel's live slots (first byte non-zero) and
// appends the valid records' lines to the logs.
void appendFlowAnswer(const uint8_t* answer, int plottedChannel, FlowGraph& graph, TStrings& log1, TStrings& log2);

// Admin #3: the flow log capture.
class FlowLogPage : public virtual WindowShell {
public:
    TCheckBox cboFlowLog{this, "cboFlowLog", "Capture Log", &TabSheet7};
    TButton btnClearFlowLog{this, "btnClearFlowLog", "CLEAR", &TabSheet7};
    TMemo memShowLogCol1{this, "memShowLogCol1", &TabSheet7};
    TMemo memShowLogCol2{this, "memShowLogCol2", &TabSheet7};
    TMemo memFlowLog1{this, "memFlowLog1", &TabSheet7};
    TMemo memFlowLog2{this, "memFlowLog2", &TabSheet7};
    TTimer tmrFlowLog{this, "tmrFlowLog", 300, false};
    TLabel lblFlowLogRate{this, "lblFlowLogRate", "Log Rate(ms):", &TabSheet7};
    TEdit edtFlowLogRate{this, "edtFlowLogRate", "300", &TabSheet7};
    TLabel lblFlowLogIncSpeed{this, "lblFlowLogIncSpeed", "Inc speed every(#log):", &TabSheet7};
    // Tag: capture ticks since the last fan step.
    TEdit edtFlowLogIncSpeed{this, "edtFlowLogIncSpeed", "0", &TabSheet7};
    TLabel lblFlowLogFan1{this, "lblFlowLogFan1", "Fan 1 speed", &TabSheet7};
    TLabel lblFlowLogFan2{this, "lblFlowLogFan2", "Fan 2 speed", &TabSheet7};
    TRadioGroup rgFlowLog{this, "rgFlowLog", "channel graph", {"channel 1", "channel 2"}, &TabSheet7};
    TButton Button27{this, "Button27", "SAVE FILES", &TabSheet7};
    TLabel lblFlowLog1{this, "lblFlowLog1", "channel 1", &TabSheet7};
    TLabel lblFlowLog2{this, "lblFlowLog2", "channel 2", &TabSheet7};
    TPanel pnlShowFlowLog{this, "pnlShowFlowLog", &TabSheet7};
    TPaintBox pb{this, "pb", &pnlShowFlowLog};
    // Plotted samples of the selected channel: A, R, dA, dR and pulse.
    FlowGraph flowGraph;
    void cboFlowLogClick();
    void btnClearFlowLogClick();
    void tmrFlowLogTimer();
    void rgFlowLogClick();
    void Button27Click();  // SAVE FILES
    // Both capture switches end here; false when the rate edit is no number.
    bool switchFlowCapture();

protected:
    explicit FlowLogPage(Host& host) : WindowShell(host) {}
    void wireFlowLogPage();

private:
    // Unchecks "Capture Log" as a click would, and stops the timer.
    void stopFlowCapture();
};

// The Flow graph page.
class FlowGraphPage : public virtual WindowShell {
public:
    TPanel pnlFlowLog2{this, "pnlFlowLog2", &TabSheet9};
    TPaintBox pbFlow2{this, "pbFlow2", &pnlFlowLog2};
    TLabel lblAndataLimits{this, "lblAndataLimits", "limits A-R", &TabSheet9};
    TEdit edtAndataMin{this, "edtAndataMin", "20500", &TabSheet9};
    TEdit edtAndataMax{this, "edtAndataMax", "25000", &TabSheet9};
    TLabel lblAndata{this, "lblAndata", "ANDATA", &TabSheet9};
    TLabel lblRitorno{this, "lblRitorno", "RITORNO", &TabSheet9};
    TLabel lblDifferenza{this, "lblDifferenza", "DIFFERENZA", &TabSheet9};
    TLabel lblTermistore{this, "lblTermistore", "TERMISTORE", &TabSheet9};
    TLabel lblDuty{this, "lblDuty", "DUTY", &TabSheet9};
    // Paint handler of both pb and pbFlow2.
    void pbFlow2Paint(TPaintBox& sender, TCanvas& canvas);

protected:
    explicit FlowGraphPage(Host& host) : WindowShell(host) {}
    void wireFlowGraphPage();
};

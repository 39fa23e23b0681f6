// RETRIEVE LOG: the detector's clock, identity, state and whole event log
// in one report file, by replaying the Management page's handlers inside
// framed sections of the console.
#include <string>

#include "pages/main_window.h"

namespace {

const std::string kRule(55, '-');

// ">>>--NAME" / "<<<--NAME" padded with dashes to the rule's width.
std::string banner(const char* opening, const std::string& name) {
    std::string line = std::string(opening) + "--" + name;
    if (line.size() < kRule.size()) line.append(kRule.size() - line.size(), '-');
    return line;
}

}  // namespace

void ReportRuns::wireReports() {
    btndiag.OnClick = [this] { btndiagClick(); };
    btnlog.OnClick = [this] { btnlogClick(); };
}

bool ReportRuns::btnlogClick() {
    TFrmTestQOB& w = window();
    if (!checkConnected()) return false;
    clearConsole();
    Control* const locked[] = {&btndiag, &Button1, &btnres, &Button2, &btnlog, &chkfulldiag, &Edit1, &chktestalarms};
    for (Control* c : locked) c->Enabled = false;
    // Connect stays disabled: the detector is still connected.
    auto unlock = [&] {
        for (Control* c : locked)
            if (c != &Button1) c->Enabled = true;
    };

    // A section that fails keeps what it wrote; the next one follows.
    auto section = [&](const char* name, auto&& body) {
        addConsoleLine(banner(">>>", name));
        try {
            body();
        } catch (...) {}
        addConsoleLine(banner("<<<", name));
        addConsoleLine(" ");
    };

    try {
        addConsoleLine(kRule);
        addConsoleLine("NERAX LT Log: " + host.dateTimeText());
        addConsoleLine(kRule);
        addConsoleLine(" ");
        addConsoleLine(" ");
        for (int i = 0; i < 3; ++i) addConsoleLine(kRule);

        section("TIME", [&] {
            w.Button24Click();
            addConsoleLine(w.edtGetTime.Text);
        });
        section("INFO", [&] {
            w.clearStateView();
            w.Button4Click();
            addConsoleLine(w.memState.Text());
        });
        w.clearStateView();
        section("STATE", [&] {
            w.btnStateClick();
            addConsoleLine(w.memState.Text());
        });
        section("LOG", [&] { w.btnReadLogsClick(&w.btnReadAllLogs); });
    } catch (...) {
        unlock();
        throw;
    }
    unlock();
    return saveConsoleReport("NERAX_LT_LOG_");
}

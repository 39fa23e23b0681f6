// RETRIEVE LOG: the detector's clock, identity, state and whole event log
// in one report file, by replaying the Management page's handlers inside
// framed sections of the console.
#include <string>

#include "app/main_window.h"

namespace {

const std::string kRule(55, '-');

// ">>>--NAME" / "<<<--NAME" padded with dashes to the rule's width.
std::string banner(const char* opening, const std::string& name) {
    std::string line = std::string(opening) + "--" + name;
    if (line.size() < kRule.size()) line.append(kRule.size() - line.size(), '-');
    return line;
}

}  // namespace

bool TFrmTestQOB::btnlogClick() {
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
        } catch (...) {
        }
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
            Button24Click();
            addConsoleLine(edtGetTime.Text);
        });
        section("INFO", [&] {
            clearStateView();
            Button4Click();
            addConsoleLine(memState.Text());
        });
        clearStateView();
        section("STATE", [&] {
            btnStateClick();
            addConsoleLine(memState.Text());
        });
        section("LOG", [&] { btnReadLogsClick(&btnReadAllLogs); });
    } catch (...) {
        unlock();
        throw;
    }
    unlock();
    return saveConsoleReport("NERAX_LT_LOG_");
}

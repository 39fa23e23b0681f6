// Administration tools of Admin #1: one byte of the detector's RAM at a
// typed address, and the detector's loop address. The diagnostic run
// copies their console lines into its report.
#include <cstdint>
#include <cstdio>
#include <string>

#include "pages/main_window.h"
#include "pages/flow_log.h"

void AdminToolsPage::Button43Click() {
    if (!checkConnected()) return;
    int address = 0;
    if (!editInteger(host, window().edtReadRAM, address)) return;
    const auto a = static_cast<uint32_t>(address);
    const int params[12] = {3, static_cast<int>(a & 0xFF), static_cast<int>(a >> 8 & 0xFF),
                            static_cast<int>(a >> 16 & 0xFF), static_cast<int>(a >> 24 & 0xFF)};
    int result[1024] = {};
    if (!qob->extendedCommand(params, nullptr, result)) {
        showLibraryError();
        return;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(a));
    const std::string value = std::to_string(result[0]);
    addConsoleLine(std::string(hex) + "=" + value);
    edtRamValue.Text = value;
}

void AdminToolsPage::Button44Click() {
    if (!checkConnected()) return;
    const int params[12] = {4};
    int result[1024] = {};
    if (!qob->extendedCommand(params, nullptr, result)) {
        showLibraryError();
        return;
    }
    addConsoleLine("Loop address " + window().edtReadRAM.Text + " = " + std::to_string(result[1] * 10 + result[0]));
}

// The RAM address edit belongs to the tools' group.
void AdminToolsPage::wireAdminTools() {
    window().edtReadRAM.setParent(&grpReadRAM);
    Button43.OnClick = [this] { Button43Click(); };
    Button44.OnClick = [this] { Button44Click(); };
}

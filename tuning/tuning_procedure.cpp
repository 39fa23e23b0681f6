// ULTRASONIC TUNING: records the detector, rates four pulse settings,
// proposes the energy parameter, writes the confirmed one into EEPROM byte
// 411, restores a pulse setting in RAM, resets and saves the report.
#include <cstring>
#include <string>

#include "pages/main_window.h"
#include "tuning/ultrasonic_scan.h"

namespace {

constexpr int kSettings = 4;
// Pulse setting written to RAM and the energy parameter it stands for.
constexpr int kPulseValue[kSettings + 1] = {0, 15, 20, 30, 40};
constexpr int kEnergyOf[kSettings + 1] = {0, 1, 2, 4, 6};
constexpr int kEnergyWithoutBest = 15;
// Settings tried first when several pass the same threshold.
constexpr int kPreferenceOrder[kSettings] = {3, 2, 4, 1};
constexpr int kTopThreshold = 125;
constexpr int kEnergyByte = 411;
constexpr const char* kReportPrefix = "NERAX_LT_ULTRASONICS_AUTOTUNING_";

}  // namespace

PulseSelection selectPulseSettings(const int q[5][2], const bool enabled[2], int qmi) {
    auto passes = [&](int i, int threshold) {
        for (int c = 0; c < 2; ++c)
            if (enabled[c] && !(q[i][c] > threshold)) return false;
        return true;
    };
    auto select = [&](int skip) {
        for (int t = kTopThreshold; t > qmi; --t)
            for (int i : kPreferenceOrder)
                if (i != skip && passes(i, t)) return i;
        return -1;
    };
    PulseSelection chosen;
    bool anyOk = false;
    for (int i = 1; i <= kSettings; ++i) anyOk = anyOk || passes(i, qmi);
    if (anyOk) {
        chosen.best = select(-1);
        chosen.second = select(chosen.best);
    }
    return chosen;
}

namespace {

int energyOf(int setting) { return setting >= 1 && setting <= kSettings ? kEnergyOf[setting] : kEnergyWithoutBest; }

}  // namespace

bool UltrasonicTuning::writeEnergyParameter(int value) {
    auto fail = [this](const char* text) {
        addConsoleLine(text);
        host.messageBox(text, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
        return false;
    };
    uint8_t image[512];
    if (!qob->readImageCopy(image)) return fail("Not possible to read device EEPROM.");
    if (value < 1 || value > 15) return fail("Invalid energy parameter!");
    image[kEnergyByte] = static_cast<uint8_t>((image[kEnergyByte] & 0xF0) + value);
    addConsoleLine("411=" + std::to_string(image[kEnergyByte]));
    QOB::sealImage(image);
    if (!qob->writeImage(image, 255, 255, 255)) return fail("Not possible to write device EEPROM");
    // The object's own image must not carry the old byte back on the next
    // configuration store; its checksums are sealed when it is stored.
    qob->image[kEnergyByte] = image[kEnergyByte];
    host.showMessage("EEPROM updated!");
    addConsoleLine("EEPROM updated!");
    return true;
}

void UltrasonicTuning::wireTuning() {
    btntuning.OnClick = [this] { btntuningClick(); };
    btnSetRam.OnClick = [this] { btnSetRamClick(); };
}

bool UltrasonicTuning::btntuningClick() {
    TFrmTestQOB& w = window();
    auto warn = [this](const std::string& text) {
        host.messageBox(text, host.applicationTitle, DialogKind::Warning, DialogButtons::Ok);
    };
    bool written = false;
    if (!checkConnected()) return false;
    clearConsole();
    {
        const int params[12] = {1};
        int block[1024];
        if (!qob->extendedCommand(params, nullptr, block)) {
            warn("Impossible to read firmware version!");
            return false;
        }
        if (block[33] < 3) {
            warn("Firmware version must be 3 or higher!");
            return false;
        }
    }
    if (qob->mcVersion() > 1) {
        warn("Mechanical version must be 1!");
        return false;
    }
    if (host.messageBox("To perform the tuning, please check that the final pipe network or\n"
                        "a similar load is attached to the inlets of the device.",
                        host.applicationTitle, DialogKind::Warning, DialogButtons::OkCancel) != DialogResult::Ok)
        return false;

    // q[i][c]: setting i = 1..4, channel c = 0, 1.
    int q[kSettings + 1][2];
    for (auto& row : q) row[0] = row[1] = -1;
    int best = -1;
    btnabort.Tag = 0;
    TButton* buttons[] = {&btntuning, &btndiag, &Button1, &btnres, &Button2, &btnlog};
    for (TButton* b : buttons) b->Enabled = false;
    chkfulldiag.Enabled = false;
    Edit1.Enabled = false;
    chktestalarms.Enabled = false;
    btnabort.Enabled = true;

    const std::string dashes55(55, '-');
    addConsoleLine(dashes55);
    addConsoleLine("NERAX LT Automatic Ultrasonic Tuning: " + host.dateTimeText());
    for (int v : {TMO, LIB, DIB, DTI, LCI, QMI}) addConsoleLine(std::to_string(v));

    // ---- records ------------------------------------------------------
    addConsoleLine(">>>--INFO----------------------------------------------");
    addConsoleLine(host.dateTimeText());
    w.clearStateView();
    w.Button4Click();
    addConsoleLine(w.memState.Text());
    addConsoleLine("<<<--INFO----------------------------------------------");
    addConsoleLine(" ");

    w.clearStateView();
    addConsoleLine(">>>--STATE---------------------------------------------");
    addConsoleLine(host.dateTimeText());
    w.btnStateClick();
    addConsoleLine(w.memState.Text());
    addConsoleLine("<<<--STATE---------------------------------------------");
    addConsoleLine(" ");

    addConsoleLine(">>>--TIME----------------------------------------------");
    w.Button24Click();
    addConsoleLine(w.edtGetTime.Text);
    addConsoleLine("<<<--TIME----------------------------------------------");
    addConsoleLine(" ");

    addConsoleLine(">>>--LOG-----------------------------------------------");
    w.btnReadLogsClick(&w.btnReadAllLogs);
    addConsoleLine("<<<--LOG-----------------------------------------------");
    addConsoleLine(" ");

    // ---- measurements, selection, confirmation, write ------------------
    // An empty failure means success; otherwise it is the message shown.
    const std::string failure = [&]() -> std::string {
        for (int i = 1; i <= kSettings; ++i) {
            scanSetting(kPulseValue[i], q[i][0], q[i][1]);
            if (btnabort.Tag == 1) return "Aborted!";
        }
        // A failed query (-1) counts as enabled: better rated than skipped.
        const bool enabled[2] = {qob->channelEnabled(0) != 0, qob->channelEnabled(1) != 0};
        const PulseSelection chosen = selectPulseSettings(q, enabled, QMI);
        best = chosen.best;
        const int second = chosen.second;
        const std::string dashes61(61, '-');
        addConsoleLine(dashes61);
        for (int i = 1; i <= kSettings; ++i)
            addConsoleLine("q" + std::to_string(i) + ":" + std::to_string(q[i][0]) + "," + std::to_string(q[i][1]));
        addConsoleLine("Best #pulses:" + std::to_string(best) + "," + std::to_string(second));
        addConsoleLine(dashes61);

        std::string answer = std::to_string(energyOf(best));
        if (!host.inputQuery("Ultrasonic energy parameter",
                             "Best settings: " + std::to_string(energyOf(best)) + ", " +
                                 std::to_string(energyOf(second)) + ", " + std::to_string(kEnergyWithoutBest),
                             answer))
            answer.clear();
        addConsoleLine("Proposed:" + std::to_string(energyOf(best)) + "; Choosen:" + answer);
        int value = 0;
        if (answer.empty() || !parseInteger(answer, value) || value < 1 || value > 15) {
            addConsoleLine("Input value not valid.");
            return "Invalid value!";
        }
        if (!writeEnergyParameter(value)) return "Not possible to update EEPROM!";
        written = true;
        host.messageBox("POWER OFF AND ON DEVICE TO APPLY NEW SETTINGS!", host.applicationTitle, DialogKind::Warning,
                        DialogButtons::Ok);
        return {};
    }();
    if (!failure.empty()) {
        const std::string text = "Tuning failed!\r\n\r\n" + failure;
        addConsoleLine(text);
        host.messageBox(text, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
    }

    // ---- ending ---------------------------------------------------------
    for (TButton* b : buttons)
        if (b != &Button1) b->Enabled = true;
    chkfulldiag.Enabled = true;
    Edit1.Enabled = true;
    chktestalarms.Enabled = true;
    btnabort.Enabled = false;

    const int restore = best == -1 ? 30 : 10 * best;
    const std::string dashes45(45, '-');
    addConsoleLine(dashes45);
    addConsoleLine(">>>--RAM: " + std::to_string(restore));
    addConsoleLine(dashes45);
    edtRamValue.Text = std::to_string(restore);
    w.edtReadRAM.Text = "16725944";
    btnSetRamClick();
    w.edtReadRAM.Text = "16725945";
    btnSetRamClick();
    btnresClick();
    addConsoleLine(" ");
    addConsoleLine(" RESET EXECUTED " + host.dateTimeText());
    addConsoleLine(" ");
    for (int k = 0; k < 3; ++k) addConsoleLine(dashes55);
    addConsoleLine("END NERAX LT Ultrasonic tuning: " + host.dateTimeText());
    addConsoleLine(dashes55);
    saveConsoleReport(kReportPrefix);
    return written;
}

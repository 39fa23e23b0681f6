// Output buttons of the Management page: channel tests, sounder silencing,
// restarts, fan tests, relays, the information-block dump and the state
// auto-refresh. The diagnostic run and the production test press several
// of them from code and read their console lines and `actionOk`.
#include <iterator>
#include <string>

#include "pages/management.h"

namespace {

// One sender's argument and the text its success line ends with.
struct ButtonChoice {
    TButton ManagementPage::*button;  // null: the row taken for no / another sender
    int argument;
    const char* text;
};

template <size_t N>
const ButtonChoice& choose(const ManagementPage& w, const Control* sender, const ButtonChoice (&table)[N]) {
    for (const auto& row : table)
        if (row.button && sender == &(w.*row.button)) return row;
    for (const auto& row : table)
        if (!row.button) return row;
    return table[0];
}

const ButtonChoice kChannelTests[] = {
    {&ManagementPage::btnTestCh1, 0, "1"},
    {&ManagementPage::btnTestCh2, 1, "2"},
    {nullptr, 2, "1 and 2"},
};

const ButtonChoice kSoundersOff[] = {
    {&ManagementPage::btnSounder1Off, 0, "1"},
    {&ManagementPage::btnSounder2Off, 1, "2"},
    {nullptr, 2, "1 and 2"},
};

const ButtonChoice kRestarts[] = {
    {&ManagementPage::btnRestartMaint, 1, "maintenance"},
    {nullptr, 0, "normal"},
};

const ButtonChoice kFanTests[] = {
    {&ManagementPage::btnTestFan2, 1, "2"},
    {nullptr, 0, "1"},
};

// Relay buttons: relay number (the button's Tag) and the pair's place in
// the group box.
struct RelayButton {
    TButton ManagementPage::*button;
    int relay;
};

const RelayButton kRelayButtons[] = {
    {&ManagementPage::btnAlarm1RelayOn, 1},    {&ManagementPage::btnAlarm1RelayOff, 1},
    {&ManagementPage::btnAlarm2RelayOn, 2},    {&ManagementPage::btnAlarm2RelayOff, 2},
    {&ManagementPage::btnSounder1RelayOn, 3},  {&ManagementPage::btnSounder1RelayOff, 3},
    {&ManagementPage::btnSounder2RelayOn, 4},  {&ManagementPage::btnSounder2RelayOff, 4},
    {&ManagementPage::btnFaultRelayOn, 5},     {&ManagementPage::btnFaultRelayOff, 5},
    {&ManagementPage::btnPrealarm1RelayOn, 6}, {&ManagementPage::btnPrealarm1RelayOff, 6},
    {&ManagementPage::btnPrealarm2RelayOn, 7}, {&ManagementPage::btnPrealarm2RelayOff, 7},
    {&ManagementPage::btnAuxFaultRelayOn, 8},  {&ManagementPage::btnAuxFaultRelayOff, 8},
};

}  // namespace

void ManagementPage::wireManagementOutputs() {
    grpTestRelays.setBounds(490, 8, 206, 208);
    for (size_t i = 0; i < std::size(kRelayButtons); ++i) {
        TButton& button = this->*kRelayButtons[i].button;
        button.Tag = kRelayButtons[i].relay;
        button.setBounds(i % 2 == 0 ? 8 : 104, 18 + 23 * static_cast<int>(i / 2), 94, 21);
        button.OnClick = [this, &button] { btnAlarm1RelayClick(&button); };
    }

    grpTestFans.setBounds(702, 8, 308, 90);
    tbFan1.setBounds(8, 18, 168, 30);
    tbFan2.setBounds(8, 52, 168, 30);
    lblTestFan1.setBounds(182, 24, 24, 13);
    lblTestFan2.setBounds(182, 58, 24, 13);
    btnTestFan1.setBounds(212, 18, 88, 25);
    btnTestFan2.setBounds(212, 52, 88, 25);
    tbFan1.OnChange = [this] { tbFan1Change(&tbFan1); };
    tbFan2.OnChange = [this] { tbFan1Change(&tbFan2); };
    btnTestFan1.OnClick = [this] { btnTestFan1Click(&btnTestFan1); };
    btnTestFan2.OnClick = [this] { btnTestFan1Click(&btnTestFan2); };

    grpButtonsActions.setBounds(702, 104, 308, 80);
    TButton* actions[] = {&btnTestCh1, &btnTestCh2, &btnTestBothCh, &btnSounder1Off, &btnSounder2Off, &btnSoundersOff};
    for (int i = 0; i < 6; ++i) actions[i]->setBounds(8 + 98 * (i % 3), 18 + 30 * (i / 3), 94, 25);
    for (TButton* b : {&btnTestCh1, &btnTestCh2, &btnTestBothCh}) b->OnClick = [this, b] { btnTestCh1Click(b); };
    for (TButton* b : {&btnSounder1Off, &btnSounder2Off, &btnSoundersOff})
        b->OnClick = [this, b] { btnSounder1OffClick(b); };

    grpRestart.setBounds(310, 192, 174, 80);
    btnRestartNormal.setBounds(8, 18, 158, 25);
    btnRestartMaint.setBounds(8, 48, 158, 25);
    for (TButton* b : {&btnRestartNormal, &btnRestartMaint}) b->OnClick = [this, b] { btnRestartNormalClick(b); };

    cboState.OnClick = [this] { cboStateClick(); };
    tmrState.OnTimer = [this] { tmrStateTimer(); };
    Button36.setBounds(310, 280, 174, 25);
    Button36.OnClick = [this] { Button36Click(); };
}

void ManagementPage::btnTestCh1Click(Control* sender) {
    if (!checkConnected()) return;
    const ButtonChoice& c = choose(*this, sender, kChannelTests);
    if (qob->testChannel(c.argument))
        addConsoleLine(std::string(">>Test channel: ") + c.text);
    else
        showLibraryError();
}

void ManagementPage::btnSounder1OffClick(Control* sender) {
    if (!checkConnected()) return;
    const ButtonChoice& c = choose(*this, sender, kSoundersOff);
    if (qob->soundersOff(c.argument))
        addConsoleLine(std::string(">>Sounder off: ") + c.text);
    else
        showLibraryError();
}

void ManagementPage::btnRestartNormalClick(Control* sender) {
    if (!checkConnected()) return;
    const ButtonChoice& c = choose(*this, sender, kRestarts);
    if (qob->restart(c.argument))
        addConsoleLine(std::string(">>Restart ASD: ") + c.text);
    else
        showLibraryError();
}

void ManagementPage::btnTestFan1Click(Control* sender) {
    if (!checkConnected()) return;
    const ButtonChoice& c = choose(*this, sender, kFanTests);
    const TTrackBar& bar = c.argument == 1 ? tbFan2 : tbFan1;
    if (!qob->testFan(c.argument, bar.Position)) {
        showLibraryError();
        return;
    }
    addConsoleLine(std::string(">>Test Fan: ") + c.text);
    actionOk = 1;
}

void ManagementPage::tbFan1Change(Control* sender) {
    if (sender == &tbFan2)
        lblTestFan2.Caption = std::to_string(tbFan2.Position);
    else
        lblTestFan1.Caption = std::to_string(tbFan1.Position);
}

void ManagementPage::btnAlarm1RelayClick(Control* sender) {
    if (!checkConnected()) return;
    auto* button = dynamic_cast<TButton*>(sender);
    if (!button) return;
    const std::string& caption = button->Caption;
    const int on = !caption.empty() && caption.back() == 'F' ? 0 : 1;
    if (!qob->setRelay(button->Tag, on)) {
        showLibraryError();
        return;
    }
    addConsoleLine(on ? ">>Relay: ON" : ">>Relay: OFF");
    actionOk = 1;
}

void ManagementPage::Button36Click() {
    if (!checkConnected()) return;
    int params[12] = {1};
    static const int data[1024] = {};
    int result[1024] = {};
    if (!qob->extendedCommand(params, data, result)) {
        showLibraryError();
        return;
    }
    std::string dump;
    dump.reserve(1024 * 4 + 43 * 2);
    for (int i = 0; i < 1024; ++i) {
        dump += threeDigits(result[i]);
        dump += ' ';
        if ((i + 1) % 24 == 0) dump += "\r\n";
    }
    addConsoleLine(dump);
}

void ManagementPage::cboStateClick() { tmrState.Enabled = cboState.Checked.get(); }

void ManagementPage::tmrStateTimer() {
    if (!checkConnected()) {
        cboState.Checked = false;
        tmrState.Enabled = false;
        return;
    }
    btnStateClick();
}

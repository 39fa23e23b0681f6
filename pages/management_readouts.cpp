// " INFORMATION " group of the Management page: the identity readout
// ("Information") and the live state readout ("Get State") into memState.
// The tuning, the reports and the production test replay both and read
// their lines back, so every label is part of the contract.
#include <cstdint>
#include <string>

#include "pages/management.h"
#include "device/texts.h"

// ---- state view ---------------------------------------------------------

void ManagementPage::addStateLine(const std::string& text) { memState.Lines.Add(text); }

void ManagementPage::addStateLineIf(const std::string& text, int code) {
    if (qob && qob->faultAlertFlag(code) != 0) addStateLine(text);
}

void ManagementPage::clearStateView() { memState.Lines.Clear(); }

namespace {

// "delay" for 2, otherwise Y/N.
std::string tri(int v) { return v == 2 ? "delay" : yesNo(v); }

std::string variantName(int variant) {
    switch (variant) {
    case 1: return "stand alone";
    case 2: return "loop based";
    case 4: return "vask";
    default: return "oltra";
    }
}

using IdentityAccessor = int (QOB::*)();

struct IdentityRow {
    const char* label;
    IdentityAccessor value;
    int serialIndex;  // >= 0: serialByte(serialIndex) instead of `value`
};

// Lines after "Variant", in readout order.
const IdentityRow kIdentityRows[] = {
    {"Num. of channels       :", &QOB::channelCount, -1},
    {"Num. of sensors        :", &QOB::sensorCount, -1},
    {"QOB id                 :", &QOB::qobId, -1},
    {"Serial num. #1         :", nullptr, 0},
    {"Serial num. #2         :", nullptr, 1},
    {"Serial num. #3         :", nullptr, 2},
    {"Serial num. #4         :", nullptr, 3},
    {"Params schema ID       :", &QOB::paramsSchemaId, -1},
    {"FW major version       :", &QOB::fwMajor, -1},
    {"FW minor version       :", &QOB::fwMinor, -1},
    {"FW build version       :", &QOB::fwBuild, -1},
    {"HW version             :", &QOB::hwVersion, -1},
    {"MC version             :", &QOB::mcVersion, -1},
    {"Manif. date DAY        :", &QOB::manufDay, -1},
    {"Manif. date MON        :", &QOB::manufMonth, -1},
    {"Manif. date YEA        :", &QOB::manufYear, -1},
    {"Manif. date HOU        :", &QOB::manufHour, -1},
    {"Manif. date MIN        :", &QOB::manufMinute, -1},
};

struct RelayRow {
    const char* label;
    int relay;
};

const RelayRow kRelayRows[] = {
    {" Relay ALARM 1         :", 1}, {" Relay ALARM 2         :", 2}, {" Relay PREALARM 1      :", 6},
    {" Relay PREALARM 2      :", 7}, {" Relay SOUNDER 1       :", 3}, {" Relay SOUNDER 2       :", 4},
    {" Relay FAULT           :", 5}, {" Relay AUXILIART FAULT :", 8},
};

// The counter is kept in half-hours.
uint32_t operatingHours(QOB& q) {
    const uint32_t counter =
        static_cast<uint32_t>(q.hoursByte0() & 0xFF) | static_cast<uint32_t>(q.hoursByte1() & 0xFF) << 8 |
        static_cast<uint32_t>(q.hoursByte2() & 0xFF) << 16 | static_cast<uint32_t>(q.hoursByte3() & 0xFF) << 24;
    return counter / 2;
}

}  // namespace

void ManagementPage::Button4Click() {
    if (!checkConnected()) return;
    clearStateView();
    QOB& q = *qob;
    addStateLine("ASD is connected       :" + yesNo(q.isConnected()));
    addStateLine("Super User             :" + yesNo(q.superUser()));
    const int restart = q.restartPending();
    addStateLine(std::string("ASD will restart       :") + (restart == 0   ? "N"
                                                            : restart == 1 ? "Y (normal)"
                                                                           : "Y (maintenance)"));
    addStateLine("E2P read               :" + yesNo(q.eepromRead()));
    addStateLine("E2P factory ok         :" + yesNo(q.factoryOk()));
    addStateLine("E2P config  ok         :" + yesNo(q.configOk()));
    addStateLine("E2P loopbased ok       :" + yesNo(q.loopBasedOk()));
    const int wrong = q.wrongConfiguration();
    addStateLine("WRONG CONFIGURATION?   :" + yesNo(wrong));
    if (wrong != 0) return;
    addStateLine("Variant                :" + variantName(q.variant()));
    for (const auto& row : kIdentityRows) {
        const int value = row.serialIndex >= 0 ? q.serialByte(row.serialIndex) : (q.*row.value)();
        addStateLine(row.label + std::to_string(value));
    }
}

bool ManagementPage::btnStateClick() {
    if (!checkConnected()) return false;
    QOB& q = *qob;
    if (!q.readState()) {
        showLibraryError();
        return false;
    }
    clearStateView();
    addStateLine(" ASD in fault          :" + tri(q.asdInFault()));
    addStateLine(" ASD in auxiliary fault:" + tri(q.asdInAuxFault()));
    for (int code : kFaultAlertReadoutOrder) addStateLineIf(faultAlertLabel(code), code);
    addStateLine(" Power 1               :" + numberOrUndefined(q.power(0)));
    addStateLine(" Power 2               :" + numberOrUndefined(q.power(1)));
    addStateLine(" Internal temperature  :" + tenthsOrUndefined(q.internalTemperature()));
    const int variant = q.variant();
    if (variant == 2) {
        const int address = q.loopAddress();
        addStateLine(" Loop Address          :" + (address == 255 ? std::string("invalid") : std::to_string(address)));
    }
    addStateLine(std::string(" External input        :") + (q.externalInput() == 0 ? "open" : "short"));
    addStateLine(" Operating hours       :" + std::to_string(operatingHours(q)));
    for (const auto& row : kRelayRows)
        addStateLine(std::string(row.label) + (q.relayState(row.relay) == 0 ? "reset" : "set"));
    for (int ch = 0; ch < 2; ++ch) {
        addStateLine("");
        addStateLine(">>CHANNEL " + std::to_string(ch + 1) + " ----------");
        const int channelOn = q.channelEnabled(ch);
        const int sensorOn = q.sensorEnabled(ch);
        addStateLine(" Channel is enabled    :" + yesNo(channelOn));
        addStateLine(" Sensor  is enabled    :" + yesNo(sensorOn));
        if (sensorOn != 0) {
            const int output = q.sensorOutput(ch);
            if (variant == 2 || variant == 4)
                addStateLine(std::string(" Sensor Remote Output  :") + (output == 1 ? "ON" : "OFF"));
            else if (variant == 3)
                addStateLine(std::string(" Sensor Base relay     :") + (output == 1 ? "active" : "not active"));
            else if (variant == 1)
                addStateLine(" Last poll             :" + pollStatusTextFor(variant, output));
        }
        if (channelOn != 0) {
            addStateLine(" Channel is in alarm   :" + tri(q.channelInAlarm(ch)));
            if (variant == 1) addStateLine(" Channel is in prealarm:" + tri(q.channelInPrealarm(ch)));
            addStateLine(" Flow                  :" + numberOrUndefined(q.flow(ch)));
            addStateLine(" Fan speed             :" + std::to_string(q.fanSpeed(ch)));
            addStateLine(" Flow temperature      :" + tenthsOrUndefined(q.flowTemperature(ch)));
        }
    }
    actionOk = 1;
    return true;
}

// Left to right: INFORMATION, RTC above RESTART, then the output groups;
// LOGS and CONFIGURATION share the lower right.
void ManagementPage::wireManagementInformation() {
    grpInformation.setBounds(4, 4, 300, 356);
    memState.setBounds(8, 18, 284, 300);
    Button4.setBounds(8, 324, 90, 25);
    btnState.setBounds(102, 324, 90, 25);
    cboState.setBounds(200, 328, 60, 17);
    grpRtc.setBounds(310, 4, 174, 184);
    lblTimeFormat.setBounds(8, 18, 158, 13);
    edtSetTime.setBounds(8, 34, 158, 21);
    Button23.setBounds(8, 58, 158, 25);
    edtGetTime.setBounds(8, 90, 158, 21);
    Button24.setBounds(8, 114, 158, 25);
    Button6.setBounds(8, 150, 158, 25);
    memState.ReadOnly = true;
    Button4.OnClick = [this] { Button4Click(); };
    btnState.OnClick = [this] { btnStateClick(); };
    Button23.OnClick = [this] { Button23Click(); };
    Button24.OnClick = [this] { Button24Click(); };
    Button6.OnClick = [this] { Button6Click(); };
}

// TEMPORARY: the Information readout, so that `nerax-lt-cli info` works
// before the Management page lands. The pages work replaces this file.
#include "app/main_window.h"

void TFrmTestQOB::Button4Click() {
    if (!checkConnected()) return;
    clearStateView();
    QOB& q = *qob;
    addStateLine("ASD is connected       :" + yesNo(q.isConnected()));
    addStateLine("Super User             :" + yesNo(q.superUser()));
    int restart = q.restartPending();
    addStateLine(std::string("ASD will restart       :") +
                 (restart == 0 ? "N" : restart == 1 ? "Y (normal)" : "Y (maintenance)"));
    addStateLine("E2P read               :" + yesNo(q.eepromRead()));
    addStateLine("E2P factory ok         :" + yesNo(q.factoryOk()));
    addStateLine("E2P config  ok         :" + yesNo(q.configOk()));
    addStateLine("E2P loopbased ok       :" + yesNo(q.loopBasedOk()));
    int wrong = q.wrongConfiguration();
    addStateLine("WRONG CONFIGURATION?   :" + yesNo(wrong));
    if (wrong != 0) return;
    int variant = q.variant();
    addStateLine(std::string("Variant                :") +
                 (variant == 1 ? "stand alone" : variant == 2 ? "loop based" : variant == 4 ? "vask" : "oltra"));
    const std::pair<const char*, int> rows[] = {
        {"Num. of channels       :", q.channelCount()}, {"Num. of sensors        :", q.sensorCount()},
        {"QOB id                 :", q.qobId()},        {"Serial num. #1         :", q.serialByte(0)},
        {"Serial num. #2         :", q.serialByte(1)},  {"Serial num. #3         :", q.serialByte(2)},
        {"Serial num. #4         :", q.serialByte(3)},  {"Params schema ID       :", q.paramsSchemaId()},
        {"FW major version       :", q.fwMajor()},      {"FW minor version       :", q.fwMinor()},
        {"FW build version       :", q.fwBuild()},      {"HW version             :", q.hwVersion()},
        {"MC version             :", q.mcVersion()},    {"Manif. date DAY        :", q.manufDay()},
        {"Manif. date MON        :", q.manufMonth()},   {"Manif. date YEA        :", q.manufYear()},
        {"Manif. date HOU        :", q.manufHour()},    {"Manif. date MIN        :", q.manufMinute()},
    };
    for (const auto& [label, value] : rows) addStateLine(label + std::to_string(value));
}

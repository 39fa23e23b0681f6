#pragma once

#include "app/window_shell.h"

// The ultrasonic tuning (ULTRASONIC TUNING, set RAM): tuning_procedure.cpp
// runs it, ultrasonic_scan.cpp scans and rates the settings.
class UltrasonicTuning : public virtual WindowShell {
public:
    // True when the run wrote the energy parameter.
    bool btntuningClick();
    void btnSetRamClick();
    // Q of channel 0 or 1 from both flow log memos; writes the listing.
    int evaluateChannel(int channel);

protected:
    explicit UltrasonicTuning(Host& host) : WindowShell(host) {}
    void wireTuning();

private:
    // One scan step at a pulse setting; q1 and q2 keep what the caller set
    // when the step is skipped, aborted or fails.
    void scanSetting(int value, int& q1, int& q2);
    // Low four bits of EEPROM byte 411, with fresh checksums.
    bool writeEnergyParameter(int value);
};

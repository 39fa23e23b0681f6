// Fixed texts the device reports through codes: the short fault/alert
// labels of the state record and the sensor poll statuses. Kept as data
// so the readouts, the event log viewer and the poll panel share them.
#pragma once

#include <string>

// Short label of a fault/alert flag (codes 100..137), as the state readout
// prints it; empty for any other code.
const char* faultAlertLabel(int code);

// Flag codes in the order the state readout lists them: the faults first
// (fault 001 .. 023), then the alerts (alert 001 .. 016).
extern const int kFaultAlertReadoutOrder[38];

// Text of a sensor poll status. Stand-alone detectors (variant 1) report a
// status code with its own text; every other variant reports on/off.
std::string pollStatusTextFor(int variant, int code);

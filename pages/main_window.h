// The main window: the shell and its pages, composed. Each page declares
// its controls, keeps its state and wires its handlers in its own unit;
// the window builds them in the order the controls are laid out and
// schedules every timer with the host.
#pragma once

#include "pages/admin1_panels.h"
#include "pages/admin2_panels.h"
#include "pages/admin_tools.h"
#include "pages/configuration.h"
#include "pages/eeprom_editor.h"
#include "pages/flow_log.h"
#include "pages/management.h"
#include "pages/manual_eol.h"
#include "reports/report_runs.h"
#include "tuning/tuning_procedure.h"

class TFrmTestQOB final : public ManagementPage,
                          public EepromPage,
                          public AdminToolsPage,
                          public ConfigurationPages,
                          public HardwarePanelsPage,
                          public SensorLedPage,
                          public FlowLogPage,
                          public ManualEolPage,
                          public FlowGraphPage,
                          public UltrasonicTuning,
                          public ReportRuns {
public:
    explicit TFrmTestQOB(Host& host);
    ~TFrmTestQOB() override;
};

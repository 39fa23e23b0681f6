#include "pages/main_window.h"

TFrmTestQOB::TFrmTestQOB(Host& hostRef)
    : WindowShell(hostRef),
      ManagementPage(hostRef),
      EepromPage(hostRef),
      AdminToolsPage(hostRef),
      ConfigurationPages(hostRef),
      HardwarePanelsPage(hostRef),
      SensorLedPage(hostRef),
      FlowLogPage(hostRef),
      ManualEolPage(hostRef),
      FlowGraphPage(hostRef),
      UltrasonicTuning(hostRef),
      ReportRuns(hostRef) {
    whole = this;
    // Each page places and binds its own controls, in its own unit.
    wireManagementInformation();
    wireEventLogs();
    wireManagementOutputs();
    wireEepromPage();
    wireAdminTools();
    wireConfigurationPages();
    wireHardwarePanels();
    wireSensorLedPanels();
    wireFlowLogPage();
    wireManualEol();
    wireFlowGraphPage();
    wireTuning();
    wireReports();

    // Every timer of the window is scheduled by the host.
    for (Control* c : Components())
        if (auto* timer = dynamic_cast<TTimer*>(c)) host.registerTimer(*timer);
}

// Before the pages go: their timers leave the host's schedule.
TFrmTestQOB::~TFrmTestQOB() {
    for (Control* c : Components())
        if (auto* timer = dynamic_cast<TTimer*>(c)) host.unregisterTimer(*timer);
}

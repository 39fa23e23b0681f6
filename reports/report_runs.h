#pragma once

#include "app/window_shell.h"

// The report runs of the shell buttons: the diagnostic
// (diagnostic_report.cpp) and the log retrieval (log_retrieval.cpp).
class ReportRuns : public virtual WindowShell {
public:
    // True when the run reached its end and saved its report.
    bool btndiagClick();
    // True when the report file was saved.
    bool btnlogClick();

protected:
    explicit ReportRuns(Host& host) : WindowShell(host) {}
    void wireReports();
};

// State auto-refresh of the Management page: "GO!" repeats the state
// readout every 100 ms until it is unchecked or the connection is gone.
// A detector that goes away mid-readout drops the connection in the
// library, so the next tick's guard stops the refresh.
#include "app/main_window.h"

void TFrmTestQOB::cboStateClick() { tmrState.Enabled = cboState.Checked.get(); }

void TFrmTestQOB::tmrStateTimer() {
    if (!checkConnected()) {
        cboState.Checked = false;
        tmrState.Enabled = false;
        return;
    }
    btnStateClick();
}

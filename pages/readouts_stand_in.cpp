// TEMPORARY: state readout, clock READ and the event log reading in their
// smallest form, so the tuning links and runs before the Management page
// lands. The pages work replaces this file.
#include "app/main_window.h"

void TFrmTestQOB::btnStateClick() {
    if (!checkConnected()) return;
    if (!qob->readState()) {
        showLibraryError();
        return;
    }
    clearStateView();
    for (int c = 0; c < 2; ++c) {
        addStateLine("");
        addStateLine(">>CHANNEL " + std::to_string(c + 1) + " ----------");
        addStateLine(" Channel is enabled    :" + yesNo(qob->channelEnabled(c)));
    }
    actionOk = 1;
}

void TFrmTestQOB::Button24Click() {
    if (!checkConnected()) return;
    int v[6];
    if (!qob->readClock(v[0], v[1], v[2], v[3], v[4], v[5])) {
        showLibraryError();
        return;
    }
    edtGetTime.Text = twoDigits(v[0]) + "/" + twoDigits(v[1]) + "/" + twoDigits(v[2]) + " " + twoDigits(v[3]) + ":" +
                      twoDigits(v[4]) + ":" + twoDigits(v[5]);
    addConsoleLine(">>Device clock read!");
    actionOk = 1;
}

void TFrmTestQOB::btnReadLogsClick(Control*) {
    if (!checkConnected()) return;
    if (!qob->readLog()) showLibraryError();
}

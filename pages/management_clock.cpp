// " RTC " group of the Management page: read and set the detector's clock,
// clear its operating-hours counter. The reports copy edtGetTime after a
// READ; the production test fills edtSetTime and runs WRITE.
#include <string>

#include "pages/management.h"

bool ManagementPage::Button24Click() {
    if (!checkConnected()) return false;
    int v[6] = {};
    if (!qob->readClock(v[0], v[1], v[2], v[3], v[4], v[5])) {
        showLibraryError();
        return false;
    }
    edtGetTime.Text = twoDigits(v[0]) + "/" + twoDigits(v[1]) + "/" + twoDigits(v[2]) + " " + twoDigits(v[3]) + ":" +
                      twoDigits(v[4]) + ":" + twoDigits(v[5]);
    addConsoleLine(">>Device clock read!");
    actionOk = 1;
    return true;
}

bool ManagementPage::Button23Click() {
    if (!checkConnected()) return false;
    // "dd/mm/yy hh:mi:ss": two characters at 1, 4, 7, 10, 13, 16 (1-based).
    const std::string& text = edtSetTime.Text;
    int v[6] = {};
    for (int i = 0; i < 6; ++i) {
        const size_t at = static_cast<size_t>(3 * i);
        const std::string field = at < text.size() ? text.substr(at, 2) : std::string();
        // A field that is not a number stops the write before anything
        // is sent, as a conversion error would.
        if (!parseInteger(field, v[i])) {
            host.messageBox("'" + field + "' is not a valid integer value", host.applicationTitle, DialogKind::Error,
                            DialogButtons::Ok);
            return false;
        }
    }
    if (!qob->setClock(v[0], v[1], v[2], v[3], v[4], v[5])) {
        showLibraryError();
        return false;
    }
    addConsoleLine(">>Device clock set!");
    actionOk = 1;
    return true;
}

void ManagementPage::Button6Click() {
    if (!checkConnected()) return;
    if (qob->clearOperatingHours())
        addConsoleLine(">>Operating hours cleared");
    else
        showLibraryError();
}

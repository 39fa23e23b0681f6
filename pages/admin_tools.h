#pragma once

#include "app/window_shell.h"

// Administration tools of the Admin #1 page: read RAM, read loop address.
class AdminToolsPage : public virtual WindowShell {
public:
    TGroupBox grpReadRAM{this, "grpReadRAM", " read RAM ", &TabSheet5};
    TButton Button43{this, "Button43", "read RAM", &grpReadRAM};
    TButton Button44{this, "Button44", "read loop address", &TabSheet5};
    void Button43Click();  // read RAM at edtReadRAM
    void Button44Click();  // read loop address

protected:
    explicit AdminToolsPage(Host& host) : WindowShell(host) {}
    void wireAdminTools();
};

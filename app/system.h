// Services of the operating system for the hosts (posix_system.cpp,
// win32_system.cpp).
#pragma once

#include "app/host.h"

// The local date and time now.
LocalDateTime localNow();

// Asks the shell to open the system's device manager ("devmgmt.msc") on
// behalf of `ownerWindow` (a native window handle or null). False where
// there is none (Linux): the host then shows its own serial-ports list.
bool openDeviceManager(void* ownerWindow);

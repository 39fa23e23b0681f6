#include "app/system.h"

#include <windows.h>
#include <shellapi.h>

LocalDateTime localNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return LocalDateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

bool openDeviceManager(void* ownerWindow) {
    // The result is not checked: the shell reports its own failures.
    ShellExecuteW(static_cast<HWND>(ownerWindow), L"open", L"devmgmt.msc", nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}

// nerax-lt.exe: the tool's main window with native Windows controls.
#include <windows.h>

#include "app/formatters.h"
#include "pages/main_window.h"
#include "gui/win32/win32_host.h"
#include "gui/win32/win32_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    Win32Host host;
    TFrmTestQOB form(host);
    // The INI file takes the program's name and is looked up in the
    // current working directory.
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    form.iniFileName = iniFileNameFor(pathText(path));
    Win32Window window(form, host);
    window.startUp(show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) host.dispatch(msg);
    return static_cast<int>(msg.wParam);
}

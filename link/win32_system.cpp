#include "link/system.h"

#include <windows.h>

#include "link/win32_text.h"

std::string programDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // truncated: long path
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string(".") : narrow(path.substr(0, slash));
}

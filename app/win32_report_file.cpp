// The atomic replace on Windows: a temporary file beside the target, flushed
// to disk, then moved over the target with replace and write-through (a
// plain rename() does not replace an existing file here).
#include "app/report_file.h"

#include <windows.h>

#include "link/win32_text.h"

bool replaceFileContents(const std::string& path, const std::string& contents, std::string& error) {
    std::wstring target = widen(path);
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD unique = GetCurrentProcessId() ^ GetTickCount();
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target + L".tmp" + std::to_wstring(unique + static_cast<DWORD>(attempt));
        h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot create " + narrow(temp) + ": " + systemErrorText(GetLastError());
        return false;
    }
    auto fail = [&](const char* what) {
        error = std::string(what) + " " + path + ": " + systemErrorText(GetLastError());
        CloseHandle(h);
        DeleteFileW(temp.c_str());
        return false;
    };
    const char* data = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return fail("cannot write");
        data += written;
        left -= written;
    }
    if (!FlushFileBuffers(h)) return fail("cannot flush");
    if (!CloseHandle(h)) {
        error = "cannot close " + path + ": " + systemErrorText(GetLastError());
        DeleteFileW(temp.c_str());
        return false;
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot replace " + path + ": " + systemErrorText(GetLastError());
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

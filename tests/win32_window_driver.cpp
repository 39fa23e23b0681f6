// Runs the window's scenarios (tests/window_scenarios.txt) against the
// native window: starts nerax-lt.exe for each scenario, finds its controls
// by their model names, presses them with the messages a click sends,
// answers its dialogs, types Ctrl+E as keyboard input, and reads back texts,
// states and colours. Waits are for events (a handler returning, a dialog
// appearing, a condition becoming true), each with a deadline.
//
// Usage: win32_window_driver NERAX_LT_EXE SCENARIOS COM_NUMBER [NAME_FILTER]
// ($WORK in the table is the working directory.)
// Prints "ok"/"FAILED" per scenario; exit code 1 when any failed.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/window_scenarios.h"

namespace {

using Check = std::function<bool(std::string& seen)>;

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t ch : s) out += ch < 256 ? static_cast<char>(ch) : '?';
    return out;
}

std::string textOf(HWND hwnd) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    text.resize(got);
    std::string out;
    for (wchar_t ch : text)
        if (ch != L'\r') out += ch < 256 ? static_cast<char>(ch) : '?';
    return out;
}

std::string classOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return narrow(name);
}

class Driver {
public:
    Driver(std::wstring exe) : exe_(std::move(exe)) {}

    bool run(const Scenario& s) {
        failure_.clear();
        if (!start()) return report(s, false);
        bool ok = true;
        for (size_t i = 0; ok && i < s.steps.size(); ++i) {
            const ScenarioStep& step = s.steps[i];
            std::vector<const ScenarioStep*> answers;
            while (step.verb() == "click" && i + 1 < s.steps.size() && s.steps[i + 1].verb() == "answer")
                answers.push_back(&s.steps[++i]);
            ok = perform(step, answers);
            if (!ok) failure_ = "line " + std::to_string(step.line) + ": " + failure_;
        }
        // A started handler has returned by the end.
        for (HANDLE thread : started_) {
            if (ok && WaitForSingleObject(thread, 15000) != WAIT_OBJECT_0) {
                failure_ = "the started handler did not return";
                ok = false;
            }
        }
        stop();
        for (HANDLE thread : started_) CloseHandle(thread);
        started_.clear();
        return report(s, ok);
    }

    // The window as the screen shows it, into a 24-bit BMP file; with
    // `engineering` after Ctrl+E and with page `page` selected.
    bool picture(const std::string& file, bool engineering, int page) {
        if (!start()) return false;
        bool ok = true;
        if (engineering) {
            ScenarioStep key;
            key.words = {"key", "ctrl+e"};
            ok = perform(key, {});
            ScenarioStep wide;
            wide.words = {"expect", "window", "wide"};
            ok = ok && perform(wide, {});
        }
        if (ok && page >= 0) {
            ScenarioStep select;
            select.words = {"page", "PageControl1"};
            select.rest = std::to_string(page);
            ok = perform(select, {});
        }
        // Everything painted: the window's thread has gone idle.
        WaitForInputIdle(pi_.hProcess, 5000);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        RECT r;
        GetWindowRect(main_, &r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(h);
        BITMAPFILEHEADER head{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
                              0, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
        if (FILE* out = std::fopen(file.c_str(), "wb")) {
            std::fwrite(&head, sizeof head, 1, out);
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
            std::fwrite(bits, 1, size, out);
            std::fclose(out);
        } else {
            ok = false;
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        stop();
        if (!ok) std::fprintf(stderr, "picture failed: %s\n", failure_.c_str());
        return ok;
    }

private:
    bool report(const Scenario& s, bool ok) {
        std::printf("%s %s%s%s\n", ok ? "ok    " : "FAILED", s.name.c_str(), ok ? "" : ": ", failure_.c_str());
        std::fflush(stdout);
        return ok;
    }

    bool start() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        // Wine now and then fails a process start with an internal error
        // (1359); a second attempt starts it.
        DWORD error = 0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::wstring command = L"\"" + exe_ + L"\"";
            if (CreateProcessW(exe_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
                error = 0;
                break;
            }
            error = GetLastError();
        }
        if (error != 0) {
            failure_ = "cannot start the window (error " + std::to_string(error) + ")";
            return false;
        }
        WaitForInputIdle(pi_.hProcess, 20000);
        if (!waitFor([&](std::string&) { return (main_ = findMain()) != nullptr; }, "the window")) return false;
        names_.clear();
        collect(main_);
        return true;
    }

    void stop() {
        if (!pi_.hProcess) return;
        if (main_ && IsWindow(main_)) PostMessageW(main_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_ = {};
        main_ = nullptr;
    }

    // The program's visible top-level window of this class: the main window
    // ("TFrmTestQOB") or a dialog ("#32770").
    HWND findTopLevel(const char* className) {
        struct Search {
            DWORD pid;
            const char* className;
            HWND found;
        } search{pi_.dwProcessId, className, nullptr};
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == s->pid && classOf(h) == s->className && IsWindowVisible(h)) {
                    s->found = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND findMain() { return findTopLevel("TFrmTestQOB"); }
    HWND findDialog() { return findTopLevel("#32770"); }

    // Every control window carries its model name as a global atom.
    void collect(HWND parent) {
        EnumChildWindows(
            parent,
            [](HWND h, LPARAM p) -> BOOL {
                auto* names = reinterpret_cast<std::map<std::string, HWND>*>(p);
                if (HANDLE atom = GetPropW(h, L"NeraxName")) {
                    wchar_t name[128] = {};
                    if (GlobalGetAtomNameW(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(atom)), name, 128))
                        (*names)[narrow(name)] = h;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&names_));
    }

    HWND control(const std::string& name) {
        auto it = names_.find(name);
        if (it != names_.end() && IsWindow(it->second)) return it->second;
        collect(main_);
        it = names_.find(name);
        return it == names_.end() ? nullptr : it->second;
    }

    // Polls a condition until it holds; between polls the driver waits on
    // the window's process going idle, at most a short slice.
    bool waitFor(const Check& check, const std::string& what, DWORD deadlineMs = 15000) {
        const ULONGLONG end = GetTickCount64() + deadlineMs;
        std::string seen;
        for (;;) {
            if (check(seen)) return true;
            if (GetTickCount64() > end) {
                failure_ = "no " + what + (seen.empty() ? "" : " (seen: \"" + seen + "\")");
                return false;
            }
            if (WaitForSingleObject(pi_.hProcess, 25) == WAIT_OBJECT_0) {
                failure_ = "the window ended while waiting for " + what;
                return false;
            }
        }
    }

    static std::string dialogText(HWND dialog) {
        std::string all;
        EnumChildWindows(
            dialog,
            [](HWND h, LPARAM p) -> BOOL {
                if (classOf(h) == "Static") *reinterpret_cast<std::string*>(p) += textOf(h) + "\n";
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&all));
        return all;
    }

    static HWND dialogButton(HWND dialog, const std::string& caption) {
        struct Search {
            std::string caption;
            HWND found;
        } search{caption, nullptr};
        EnumChildWindows(
            dialog,
            [](HWND h, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                std::string text = textOf(h);
                text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
                if (classOf(h) == "Button" && text == s->caption) {
                    s->found = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The file-name field of a common file dialog (edt1, or the edit in cmb13).
    static HWND fileNameField(HWND dialog) {
        if (HWND edit = GetDlgItem(dialog, 0x480); edit && IsWindowVisible(edit)) return edit;
        HWND combo = GetDlgItem(dialog, 0x47C);
        if (!combo) return nullptr;
        HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
        if (!edit)
            if (HWND inner = FindWindowExW(combo, nullptr, L"ComboBox", nullptr))
                edit = FindWindowExW(inner, nullptr, L"Edit", nullptr);
        return edit ? edit : combo;
    }

    // A press on a button: the messages a mouse click sends, from a thread
    // of its own, so the driver answers the dialogs the handler opens and
    // knows the handler has returned when the thread ends.
    bool click(HWND target, const std::vector<const ScenarioStep*>& answers) {
        struct Press {
            HWND target;
        } press{target};
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                SendMessageW(static_cast<Press*>(p)->target, BM_CLICK, 0, 0);
                return 0;
            },
            &press, 0, nullptr);
        bool ok = true;
        for (const ScenarioStep* answer : answers) {
            HWND dialog = nullptr;
            ok = waitFor([&](std::string&) { return (dialog = findDialog()) != nullptr; },
                         "dialog \"" + answer->rest + "\"");
            if (!ok) break;
            const std::string text = dialogText(dialog);
            const bool fileDialog = answer->word(1) == "save" || answer->word(1) == "open";
            if (!fileDialog && text.find(answer->rest) == std::string::npos) {
                failure_ = "dialog says \"" + text + "\", not \"" + answer->rest + "\"";
                ok = false;
                break;
            }
            if (answer->word(1) == "save" || answer->word(1) == "open") {
                // A file dialog: the name into its file-name field, then its OK button.
                HWND field = fileNameField(dialog);
                if (!field) {
                    failure_ = "file dialog without a file-name field";
                    ok = false;
                    break;
                }
                std::wstring name = wide(answer->rest);
                std::replace(name.begin(), name.end(), L'/', L'\\');
                SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
                PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                if (!waitFor(
                        [&](std::string& seen) {
                            seen = textOf(field);
                            return !IsWindow(dialog) || !IsWindowVisible(dialog);
                        },
                        "file dialog closing"))
                    return false;
                continue;
            }
            HWND button = dialogButton(dialog, answer->words[1]);
            if (!button) {
                failure_ = "dialog has no button " + answer->words[1];
                ok = false;
                break;
            }
            PostMessageW(button, BM_CLICK, 0, 0);
            if (!waitFor([&](std::string&) { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, "dialog closing"))
                return false;
        }
        if (ok && WaitForSingleObject(thread, 60000) != WAIT_OBJECT_0) {
            failure_ = "the handler did not return";
            ok = false;
        }
        if (ok && answers.empty()) {
            if (HWND dialog = findDialog()) {
                failure_ = "unexpected dialog: " + dialogText(dialog);
                PostMessageW(dialog, WM_CLOSE, 0, 0);
                ok = false;
            }
        }
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        return ok;
    }

    // A press whose handler runs on (a long procedure waiting for the
    // operator): the steps after it go on meanwhile.
    HANDLE startPress(HWND target) {
        return CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                SendMessageW(static_cast<HWND>(p), BM_CLICK, 0, 0);
                return 0;
            },
            target, 0, nullptr);
    }

    // Keyboard input goes to the window's focus: the driver shares its
    // input state while it sets the focus and types.
    bool withInput(const std::function<void()>& act) {
        const DWORD target = GetWindowThreadProcessId(main_, nullptr);
        const DWORD self = GetCurrentThreadId();
        AttachThreadInput(self, target, TRUE);
        SetForegroundWindow(main_);
        act();
        AttachThreadInput(self, target, FALSE);
        return true;
    }

    bool perform(const ScenarioStep& step, const std::vector<const ScenarioStep*>& answers) {
        const std::string& verb = step.words[0];
        const std::string name = step.words.size() > 1 ? step.words[1] : std::string();
        HWND h = nullptr;
        if (verb == "file") {
            return waitFor(
                [&](std::string& seen) {
                    std::ifstream in(name, std::ios::binary);
                    seen.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                    return step.word(2) == "contains" && seen.find(step.rest) != std::string::npos;
                },
                "file " + name + " containing " + step.rest);
        }
        if (verb != "key" && !(verb == "expect" && name == "window")) {
            h = control(name);
            if (!h) {
                failure_ = "no control " + name;
                return false;
            }
        }
        if (verb == "set") {
            const std::wstring text = wide(step.rest);
            DWORD_PTR result = 0;
            SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                                &result);
            return waitFor([&](std::string& seen) { return (seen = textOf(h)) == step.rest; }, "text " + step.rest);
        }
        if (verb == "click") {
            // What the operator cannot press is a failure, not a no-op.
            if (!IsWindowEnabled(h) || !IsWindowVisible(h)) {
                failure_ = name + " cannot be pressed";
                return false;
            }
            return click(h, answers);
        }
        if (verb == "start") {
            if (!IsWindowEnabled(h) || !IsWindowVisible(h)) {
                failure_ = name + " cannot be pressed";
                return false;
            }
            started_.push_back(startPress(h));
            return true;
        }
        if (verb == "focus") return withInput([&] { SetFocus(h); });
        if (verb == "key") {
            static const std::map<std::string, std::vector<WORD>> chords = {
                {"ctrl+e", {VK_CONTROL, 'E'}}, {"space", {VK_SPACE}}, {"y", {'Y'}}, {"n", {'N'}}};
            const auto chord = chords.find(step.word(1));
            if (chord == chords.end()) {
                failure_ = "unknown key " + step.word(1);
                return false;
            }
            // Down in order, up in reverse.
            const std::vector<WORD>& codes = chord->second;
            const size_t n = codes.size();
            std::vector<INPUT> keys(2 * n);
            for (size_t i = 0; i < n; ++i) {
                keys[i].type = keys[2 * n - 1 - i].type = INPUT_KEYBOARD;
                keys[i].ki.wVk = keys[2 * n - 1 - i].ki.wVk = codes[i];
                keys[2 * n - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
            }
            return withInput([&] { SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)); });
        }
        if (verb == "page") {
            const int index = std::stoi(step.rest);
            SendMessageW(h, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
            return waitFor([&](std::string&) { return SendMessageW(h, TCM_GETCURSEL, 0, 0) == index; }, "page");
        }
        if (verb != "expect" || step.words.size() < 3) {
            failure_ = "unknown step " + verb;
            return false;
        }
        const std::string& what = step.words[2];
        const std::string& value = step.rest;
        if (name == "window") {
            return waitFor(
                [&](std::string& seen) {
                    RECT r;
                    GetClientRect(main_, &r);
                    seen = std::to_string(r.right) + " x " + std::to_string(r.bottom);
                    // The client area is 527 pixels wide at 96 dpi.
                    HDC screen = GetDC(nullptr);
                    const int narrowWidth = MulDiv(527, GetDeviceCaps(screen, LOGPIXELSY), 96);
                    ReleaseDC(nullptr, screen);
                    return what == "wide" ? r.right > narrowWidth : r.right == narrowWidth;
                },
                "window " + what);
        }
        if (what == "text")
            return waitFor([&](std::string& seen) { return (seen = textOf(h)) == value; }, "text " + value);
        if (what == "contains")
            return waitFor([&](std::string& seen) { return (seen = textOf(h)).find(value) != std::string::npos; },
                           "text containing " + value);
        if (what == "lacks") {
            // Checked once the window has served what is pending.
            DWORD_PTR result = 0;
            SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
            const std::string seen = textOf(h);
            if (seen.find(value) == std::string::npos) return true;
            failure_ = "text has " + value;
            return false;
        }
        if (what == "lastline")
            return waitFor(
                [&](std::string& seen) {
                    seen = textOf(h);
                    return seen.size() >= value.size() &&
                           seen.compare(seen.size() - value.size(), value.size(), value) == 0;
                },
                "last line " + value);
        if (what == "enabled" || what == "disabled")
            return waitFor([&](std::string&) { return (IsWindowEnabled(h) != FALSE) == (what == "enabled"); }, what);
        if (what == "visible" || what == "hidden")
            return waitFor([&](std::string&) { return (IsWindowVisible(h) != FALSE) == (what == "visible"); }, what);
        if (what == "focused")
            return waitFor(
                [&](std::string& seen) {
                    GUITHREADINFO info{};
                    info.cbSize = sizeof info;
                    GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info);
                    seen = info.hwndFocus ? classOf(info.hwndFocus) + " \"" + textOf(info.hwndFocus).substr(0, 20) +
                                                "\" has the focus"
                                          : "no focus";
                    return info.hwndFocus == h;
                },
                "focus");
        if (what == "colour") {
            // The pixel inside the frame, as the screen shows it.
            return waitFor(
                [&](std::string& seen) {
                    RECT r;
                    GetWindowRect(h, &r);
                    HDC screen = GetDC(nullptr);
                    const COLORREF c = GetPixel(screen, r.left + 3, (r.top + r.bottom) / 2 + 4);
                    ReleaseDC(nullptr, screen);
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
                    seen = hex;
                    return seen == value;
                },
                "colour " + value);
        }
        failure_ = "unknown expectation " + what;
        return false;
    }

    std::wstring exe_;
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
    std::map<std::string, HWND> names_;
    std::string failure_;
    std::vector<HANDLE> started_;  // presses whose handlers may still run
};

}  // namespace

int main(int argc, char** argv) {
    // --picture EXE FILE.bmp [engineering [PAGE]]
    if (argc >= 4 && std::string(argv[1]) == "--picture") {
        Driver driver(wide(argv[2]));
        const bool engineering = argc >= 5 && std::string(argv[4]) == "engineering";
        return driver.picture(argv[3], engineering, argc >= 6 ? std::atoi(argv[5]) : -1) ? 0 : 1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: win32_window_driver NERAX_LT_EXE SCENARIOS COM_NUMBER [NAME_FILTER]\n");
        return 2;
    }
    std::string error;
    char work[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, work);
    const std::vector<Scenario> scenarios = readScenarios(argv[2], {{"$COM", argv[3]}, {"$WORK", work}}, error);
    if (scenarios.empty()) {
        std::fprintf(stderr, "%s\n", error.empty() ? "no scenarios" : error.c_str());
        return 2;
    }
    Driver driver(wide(argv[1]));
    int failed = 0;
    for (const Scenario& s : scenarios)
        if (argc < 5 || s.name.find(argv[4]) != std::string::npos) failed += driver.run(s) ? 0 : 1;
    return failed ? 1 : 0;
}

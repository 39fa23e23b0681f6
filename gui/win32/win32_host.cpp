#include "gui/win32/win32_host.h"

#include <commdlg.h>

#include <exception>
#include <vector>

#include "app/controls.h"
#include "app/system.h"
#include "gui/win32/win32_window.h"

namespace {
Win32Host* g_host = nullptr;
}  // namespace

std::wstring wideText(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    for (size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<unsigned char>(text[i]);
    return wide;
}

std::string modelText(const std::wstring& text) {
    std::string narrow(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) narrow[i] = text[i] < 256 ? static_cast<char>(text[i]) : '?';
    return narrow;
}

std::string pathText(const std::wstring& path) {
    const int n =
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widePath(const std::string& path) {
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), out.data(), n);
    return out;
}

void runGuarded(const std::function<void()>& handler) {
    if (!handler) return;
    std::string error;
    try {
        handler();
        return;
    } catch (const std::exception& e) { error = e.what(); } catch (...) {
        error = "Unknown error";
    }
    const std::wstring title = wideText(g_host ? g_host->applicationTitle : std::string());
    MessageBoxW(GetActiveWindow(), wideText(error).c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

std::wstring dialogFilter(const std::string& filter) {
    std::wstring out = wideText(filter);
    if (out.empty()) out = L"All files (*.*)|*.*";
    for (wchar_t& ch : out)
        if (ch == L'|') ch = L'\0';
    out.push_back(L'\0');
    out.push_back(L'\0');
    return out;
}

namespace {

// The input query: a small dialog built in memory (prompt, edit, OK, Cancel).
class DialogTemplate {
public:
    void words(std::initializer_list<WORD> list) {
        for (WORD w : list) data_.push_back(w);
    }
    void text(const std::wstring& s) {
        for (wchar_t ch : s) data_.push_back(static_cast<WORD>(ch));
        data_.push_back(0);
    }
    void dword(DWORD d) {
        data_.push_back(LOWORD(d));
        data_.push_back(HIWORD(d));
    }
    void align() {
        if (data_.size() % 2) data_.push_back(0);
    }
    // One control: style, place in dialog units, id, class atom, text.
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const std::wstring& caption) {
        align();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        words({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx), static_cast<WORD>(cy), id, 0xFFFF,
               atom});
        text(caption);
        words({0});
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

private:
    std::vector<WORD> data_;
};

struct QueryState {
    std::wstring value;
};

constexpr WORD kQueryEdit = 100;

INT_PTR CALLBACK queryProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lp);
        auto* state = reinterpret_cast<QueryState*>(lp);
        SetDlgItemTextW(dialog, kQueryEdit, state->value.c_str());
        SendDlgItemMessageW(dialog, kQueryEdit, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, kQueryEdit));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            auto* state = reinterpret_cast<QueryState*>(GetWindowLongPtrW(dialog, DWLP_USER));
            HWND edit = GetDlgItem(dialog, kQueryEdit);
            std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            state->value = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

Win32Host::Win32Host() { g_host = this; }

Win32Host::~Win32Host() {
    for (auto& [timer, slot] : timers_) {
        timer->onSchedule = nullptr;
        if (slot.id) KillTimer(nullptr, slot.id);
    }
    g_host = nullptr;
}

HWND Win32Host::owner() const { return window_ ? window_->handle() : GetActiveWindow(); }

DialogResult Win32Host::messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                                   DialogButtons buttons) {
    if (window_) window_->flush();
    UINT type = 0;
    switch (kind) {
    case DialogKind::Information: type |= MB_ICONINFORMATION; break;
    case DialogKind::Warning: type |= MB_ICONWARNING; break;
    case DialogKind::Error: type |= MB_ICONERROR; break;
    case DialogKind::Confirmation: type |= MB_ICONQUESTION; break;
    }
    switch (buttons) {
    case DialogButtons::Ok: type |= MB_OK; break;
    case DialogButtons::YesNo: type |= MB_YESNO; break;
    case DialogButtons::OkCancel: type |= MB_OKCANCEL; break;
    }
    ++nesting_;
    const int answer = MessageBoxW(owner(), wideText(text).c_str(), wideText(caption).c_str(), type);
    --nesting_;
    if (window_) window_->flush();
    switch (answer) {
    case IDYES: return DialogResult::Yes;
    case IDNO: return DialogResult::No;
    case IDOK: return DialogResult::Ok;
    default:
        return buttons == DialogButtons::YesNo ? DialogResult::No
               : buttons == DialogButtons::Ok  ? DialogResult::Ok
                                               : DialogResult::Cancel;
    }
}

bool Win32Host::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    if (window_) window_->flush();
    DialogTemplate t;
    // Header: style, extended style, item count, place, no menu, default class.
    t.dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(0);
    t.words({4, 0, 0, 180, 64, 0, 0});
    t.text(wideText(caption));
    t.words({8});
    t.text(L"MS Sans Serif");
    t.item(SS_LEFT | SS_NOPREFIX, 8, 8, 164, 10, 101, 0x0082, wideText(prompt));
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 8, 20, 164, 12, kQueryEdit, 0x0081, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 68, 42, 50, 14, IDOK, 0x0080, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 122, 42, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    QueryState state{wideText(value)};
    ++nesting_;
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), owner(), queryProc,
                                                   reinterpret_cast<LPARAM>(&state));
    --nesting_;
    if (answer != IDOK) return false;
    value = modelText(state.value);
    return true;
}

bool Win32Host::runFileDialog(FileDialog& dialog, bool save) {
    if (window_) window_->flush();
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring name = widePath(dialog.FileName);
    name.copy(file.data(), std::min(name.size(), file.size() - 1));
    const std::wstring filter = dialogFilter(dialog.Filter);
    const std::wstring dir = widePath(dialog.InitialDir);
    std::wstring ext = wideText(dialog.DefaultExt);
    if (!ext.empty() && ext.front() == L'.') ext.erase(0, 1);
    const std::wstring title = wideText(dialog.Title);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    // Reports go to the working directory: the dialog must not change it.
    ofn.Flags =
        OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    ++nesting_;
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    --nesting_;
    if (ok) dialog.FileName = pathText(file.data());
    return ok != FALSE;
}

bool Win32Host::executeOpenDialog(FileDialog& dialog) { return runFileDialog(dialog, false); }
bool Win32Host::executeSaveDialog(FileDialog& dialog) { return runFileDialog(dialog, true); }

std::string Win32Host::clipboardText() {
    std::string text;
    if (!OpenClipboard(owner())) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = modelText(chars);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void Win32Host::setClipboardText(const std::string& text) {
    const std::wstring wide = wideText(text);
    if (!OpenClipboard(owner())) return;
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (data) {
        auto* chars = static_cast<wchar_t*>(GlobalLock(data));
        wide.copy(chars, wide.size());
        chars[wide.size()] = 0;
        GlobalUnlock(data);
        if (!SetClipboardData(CF_UNICODETEXT, data)) GlobalFree(data);
    }
    CloseClipboard();
}

// ---- timers ----------------------------------------------------------------

void Win32Host::registerTimer(TTimer& timer) {
    timers_[&timer] = TimerSlot{};
    timer.onSchedule = [this](TTimer& t) { schedule(t); };
    schedule(timer);
}

void Win32Host::unregisterTimer(TTimer& timer) {
    timer.onSchedule = nullptr;
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    if (it->second.id) {
        KillTimer(nullptr, it->second.id);
        byId_.erase(it->second.id);
    }
    timers_.erase(it);
}

// Enabling, or a new interval while enabled, starts a fresh interval; any
// other change leaves the running interval alone.
void Win32Host::schedule(TTimer& timer) {
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    TimerSlot& slot = it->second;
    const bool active = timer.Enabled && timer.Interval > 0;
    if (active && (!slot.id || slot.interval != timer.Interval)) {
        if (slot.id) {
            KillTimer(nullptr, slot.id);
            byId_.erase(slot.id);
        }
        slot.interval = timer.Interval;
        slot.id = SetTimer(nullptr, 0, static_cast<UINT>(slot.interval), timerProc);
        byId_[slot.id] = &timer;
    } else if (!active && slot.id) {
        KillTimer(nullptr, slot.id);
        byId_.erase(slot.id);
        slot.id = 0;
    }
}

void CALLBACK Win32Host::timerProc(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_host) g_host->tick(id);
}

void Win32Host::tick(UINT_PTR id) {
    auto found = byId_.find(id);
    if (found == byId_.end()) return;
    TTimer* timer = found->second;
    auto it = timers_.find(timer);
    // A tick that waits in a nested loop is not entered a second time.
    if (it == timers_.end() || it->second.running || !timer->Enabled) return;
    it->second.running = true;
    runGuarded(timer->OnTimer);
    it = timers_.find(timer);
    if (it != timers_.end()) it->second.running = false;
    if (window_) window_->scheduleFlush();
}

// ---- message processing ---------------------------------------------------------

void Win32Host::dispatch(MSG& msg) {
    if (window_ && window_->preTranslate(msg)) return;
    HWND main = window_ ? window_->handle() : nullptr;
    if (main && IsDialogMessageW(main, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void Win32Host::processMessages() {
    if (window_) window_->flush();
    ++nesting_;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatch(msg);
    }
    --nesting_;
    if (window_) window_->flush();
}

void Win32Host::sleep(int milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(0, milliseconds));
    for (;;) {
        processMessages();
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

LocalDateTime Win32Host::now() { return localNow(); }

uint64_t Win32Host::ticks() { return GetTickCount64(); }

void Win32Host::repaint(TPaintBox& box) {
    if (window_) window_->repaintBox(box);
}

void Win32Host::repaintWindow() {
    if (!window_) return;
    window_->flush();
    RedrawWindow(window_->handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Host::showPortsDialog() { openDeviceManager(owner()); }

// The window's host on Windows: message boxes, the input query, the
// common file dialogs, the clipboard, thread timers (SetTimer) for the
// model's timers, nested message processing and cooperative sleeps, the
// clock, and the device manager through the shell.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "app/host.h"

class Win32Window;

// Model strings are 8-bit text; every byte maps to the code point of the
// same value (Latin-1) both ways.
std::wstring wideText(const std::string& text);
std::string modelText(const std::wstring& text);
// File names go through the process code page (UTF-8 with the manifest).
std::string pathText(const std::wstring& path);
std::wstring widePath(const std::string& path);

// Runs a handler; an exception that escapes it is shown in an error box and
// the program goes on.
void runGuarded(const std::function<void()>& handler);

// "TXT files (*.TXT)|*.TXT" -> the common dialogs' double-null list.
std::wstring dialogFilter(const std::string& filter);

class Win32Host : public Host {
public:
    Win32Host();
    ~Win32Host() override;

    void setWindow(Win32Window* window) { window_ = window; }

    DialogResult messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                            DialogButtons buttons) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool executeOpenDialog(FileDialog& dialog) override;
    bool executeSaveDialog(FileDialog& dialog) override;
    std::string clipboardText() override;
    void setClipboardText(const std::string& text) override;
    void registerTimer(TTimer& timer) override;
    void unregisterTimer(TTimer& timer) override;
    void processMessages() override;
    void sleep(int milliseconds) override;
    LocalDateTime now() override;
    uint64_t ticks() override;
    void repaint(TPaintBox& box) override;
    void repaintWindow() override;
    void showPortsDialog() override;

    // > 0 while a handler waits inside a nested message loop or a dialog.
    int nesting() const { return nesting_; }
    // Serves one message the way the main loop does (key preview,
    // window-wide keys, dialog keys).
    void dispatch(MSG& msg);

private:
    struct TimerSlot {
        UINT_PTR id = 0;
        int interval = 0;
        bool running = false;
    };
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR id, DWORD);
    void schedule(TTimer& timer);
    void tick(UINT_PTR id);
    bool runFileDialog(FileDialog& dialog, bool save);
    HWND owner() const;

    Win32Window* window_ = nullptr;
    std::map<TTimer*, TimerSlot> timers_;
    std::map<UINT_PTR, TTimer*> byId_;
    int nesting_ = 0;
};

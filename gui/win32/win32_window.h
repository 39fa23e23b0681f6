// The native Windows main window: one Windows control per control of the
// window model, bound by control kind, as the Qt window does. A control's
// change counter tells the binding what to refresh; notifications from
// the controls are written back into the model and its handler is run.
//
// Every control's window carries its model name (property "NeraxName", a
// global atom), so a test program in another process finds it.
//
// Default view: the client area of 527 x 314 (at 96 dpi; positions and
// fonts scale with the screen's DPI). The engineering view (Ctrl+E from
// any control, or the window's menu) widens the window over the page
// control and the controls below; on a screen too small for it the client
// area scrolls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/bindings.h"
#include "pages/main_window.h"

class Win32Host;

class Win32Window {
public:
    Win32Window(TFrmTestQOB& form, Win32Host& host);
    ~Win32Window();

    HWND handle() const { return hwnd_; }
    TFrmTestQOB& form() { return form_; }

    // Creates the window, runs FormCreate and brings the controls up to
    // date; the window is placed where the model put it.
    void startUp(int show);
    // Brings every Windows control whose model control changed up to date.
    void flush();
    void scheduleFlush();
    void repaintBox(TPaintBox& box);

    void setEngineeringView(bool on);
    bool engineeringView() const { return engineering_; }
    // Key preview and the window-wide keys; true when the key is consumed.
    bool preTranslate(const MSG& msg);

    // Window procedures of the main window and of every container.
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    int scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

private:
    // The Windows side of a binding.
    struct Handles {
        HWND hwnd = nullptr;
        HWND container = nullptr;  // where the control's children go
        RECT place{};              // model bounds (96 dpi), or laid out
        bool autoSize = false;
        int frame = 0;  // containers: 0 none, 1 group, 2 panel
        std::function<void(HWND from, int code)> command;
        std::function<LRESULT(NMHDR*)> notify;
        // Page control: the sheets shown as tabs, in tab order.
        std::vector<TTabSheet*> tabs;
        std::vector<HWND> radios;
        std::vector<HWND> radioLabels;  // each radio's caption
    };
    using Binding = BindingSet<Handles>::Binding;

    Binding* bindingOf(const Control* control) const { return bindings_.find(control); }
    Binding* bindingOf(HWND hwnd) const;
    void bindAll();
    Binding* bind(Control& control);
    HWND parentFor(Control& control);
    void create(Binding& b, HWND parent);
    HWND makeContainer(Binding& b, HWND parent, int frame);
    void layoutUnplaced();
    SIZE arrangeChildren(Control* parent, int areaHeight);
    SIZE defaultSize(const Binding& b) const;
    void applyCommon(Binding& b);
    void feed(Binding& b, const std::function<void()>& write) { bindings_.feed(b, write); }
    void after();  // after a handler: flush
    // A pressed button or check box: the busy pointer while it works.
    void runBusy(const std::function<void()>& handler);
    static bool takesText(const MSG& msg);  // the focus takes typed text
    void name(HWND hwnd, const std::string& name);
    void refreshPages(Binding& b);
    void paintContainer(HWND hwnd);
    void paintBox(HWND hwnd, TPaintBox& box);
    LRESULT customDrawGrid(Binding& b, NMLVCUSTOMDRAW* cd);
    void beginGridEdit(Binding& b, int line);
    void endGridEdit(bool commit);
    void resizeToView();
    void scrollTo(int bar, int pos);
    SIZE engineeringSize() const;
    HFONT fontFor(const Control& c);

    TFrmTestQOB& form_;
    Win32Host& host_;
    HWND hwnd_ = nullptr;
    HWND canvas_ = nullptr;  // holds the window's controls; scrolls
    int dpi_ = 96;
    HFONT font_ = nullptr, console_ = nullptr, fixed_ = nullptr, bold_ = nullptr;
    std::map<std::string, HFONT> namedFonts_;  // faces the controls name
    HICON portsIcon_ = nullptr;
    HIMAGELIST ledImages_[2] = {};
    BindingSet<Handles> bindings_;
    std::map<HWND, Binding*> byHandle_;
    std::map<const Control*, std::vector<Control*>> children_;
    bool flushPosted_ = false;
    bool engineering_ = false;
    int scrollX_ = 0, scrollY_ = 0;
    // The grid's in-place editor.
    HWND gridEdit_ = nullptr;
    Binding* gridEditOf_ = nullptr;
    int gridEditLine_ = -1;
    HBRUSH consoleBrush_ = nullptr;
    int busy_ = 0;           // handlers of presses running
    WPARAM swallowKey_ = 0;  // a key that answered a wait: its char and release too
    std::map<uint32_t, HBRUSH> brushes_;
};

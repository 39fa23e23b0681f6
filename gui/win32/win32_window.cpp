#include "gui/win32/win32_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <set>

#include "gui/win32/win32_host.h"

namespace {

constexpr UINT kFlushMessage = WM_APP + 1;
constexpr UINT kCloseRetryTimer = 1;
constexpr int kEngineeringCommand = 0x7E00;
const wchar_t kMainClass[] = L"TFrmTestQOB";
const wchar_t kContainerClass[] = L"NeraxContainer";
const wchar_t kPaintBoxClass[] = L"NeraxPaintBox";
const wchar_t kNameProperty[] = L"NeraxName";

Win32Window* g_window = nullptr;

COLORREF colour(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// The console's light-yellow "info" background.
const uint32_t kConsoleBackground = 0xFFFFE1;

bool unplaced(const Control& c) { return c.Left == 0 && c.Top == 0 && c.Width == 0 && c.Height == 0; }

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_window) return g_window->handle(hwnd, msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void registerClasses(HINSTANCE instance) {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClass;
    RegisterClassExW(&wc);
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hbrBackground = nullptr;  // painted from an off-screen buffer
    wc.lpszClassName = kPaintBoxClass;
    RegisterClassExW(&wc);
}

// Canvas of a paint box on a GDI device context.
class GdiCanvas : public TCanvas {
public:
    GdiCanvas(HDC dc, int width, int height, int dpi) : dc_(dc), width_(width), height_(height), dpi_(dpi) {
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, RGB(255, 255, 255));
    }
    ~GdiCanvas() override {
        if (oldPen_) SelectObject(dc_, oldPen_);
        if (oldFont_) SelectObject(dc_, oldFont_);
        if (pen_) DeleteObject(pen_);
        if (font_) DeleteObject(font_);
        if (brush_) DeleteObject(brush_);
    }
    int width() const override { return width_; }
    int height() const override { return height_; }
    void setPen(uint32_t rgb, int width) override {
        HPEN pen = CreatePen(PS_SOLID, std::max(1, width), colour(rgb));
        HGDIOBJ old = SelectObject(dc_, pen);
        if (!oldPen_) oldPen_ = old;
        if (pen_) DeleteObject(pen_);
        pen_ = pen;
    }
    void setBrush(uint32_t rgb) override {
        if (brush_) DeleteObject(brush_);
        brush_ = CreateSolidBrush(colour(rgb));
    }
    void fillRect(int left, int top, int right, int bottom) override {
        RECT r{left, top, right, bottom};
        if (!brush_) brush_ = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(dc_, &r, brush_);
    }
    void moveTo(int x, int y) override { MoveToEx(dc_, x, y, nullptr); }
    void lineTo(int x, int y) override { LineTo(dc_, x, y); }
    void textOut(int x, int y, const std::string& text) override {
        const std::wstring w = wideText(text);
        TextOutW(dc_, x, y, w.c_str(), static_cast<int>(w.size()));
    }
    void setFont(const std::string& face, int pointSize, uint32_t rgb) override {
        // Sizes in the 96-dpi units the drawings use (the mapping mode
        // scales them); a fixed pitch only for the faces that have one, so
        // a missing face falls back to one of its kind.
        static const char* const fixedFaces[] = {"Courier", "Courier New", "Terminal", "fixed"};
        bool fixed = false;
        for (const char* f : fixedFaces) fixed = fixed || face == f;
        HFONT font = CreateFontW(-MulDiv(pointSize, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                                 fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS, wideText(face).c_str());
        HGDIOBJ old = SelectObject(dc_, font);
        if (!oldFont_) oldFont_ = old;
        if (font_) DeleteObject(font_);
        font_ = font;
        SetTextColor(dc_, colour(rgb));
    }
    void setTextBackgroundTransparent(bool transparent) override { SetBkMode(dc_, transparent ? TRANSPARENT : OPAQUE); }

private:
    HDC dc_;
    int width_, height_, dpi_;
    HPEN pen_ = nullptr;
    HBRUSH brush_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldPen_ = nullptr, oldFont_ = nullptr;
};

// The device-manager button's picture, drawn here: a monitor showing a
// tree of devices.
HICON makePortsIcon(int size) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP colourBits = CreateCompatibleBitmap(screen, size, size);
    HBITMAP maskBits = CreateBitmap(size, size, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(dc, colourBits);
    auto s = [size](int v) { return v * size / 48; };
    RECT all{0, 0, size, size};
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(dc, &all, black);
    auto box = [&](int l, int t, int r, int b, COLORREF fill) {
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(40, 40, 40));
        HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
        Rectangle(dc, s(l), s(t), s(r), s(b));
        SelectObject(dc, ob);
        SelectObject(dc, op);
        DeleteObject(brush);
        DeleteObject(pen);
    };
    box(4, 4, 44, 32, RGB(120, 150, 190));  // monitor
    box(9, 9, 39, 27, RGB(200, 225, 255));  // screen
    box(18, 32, 30, 37, RGB(90, 90, 90));   // stand
    box(12, 37, 36, 41, RGB(90, 90, 90));
    HPEN tree = CreatePen(PS_SOLID, 2, RGB(30, 60, 120));
    HGDIOBJ op = SelectObject(dc, tree);
    MoveToEx(dc, s(14), s(13), nullptr);
    LineTo(dc, s(14), s(23));
    MoveToEx(dc, s(14), s(17), nullptr);
    LineTo(dc, s(22), s(17));
    MoveToEx(dc, s(14), s(23), nullptr);
    LineTo(dc, s(22), s(23));
    SelectObject(dc, op);
    DeleteObject(tree);
    box(23, 15, 33, 19, RGB(30, 60, 120));
    box(23, 21, 33, 25, RGB(30, 60, 120));
    // Mask: opaque where drawn (the monitor), transparent elsewhere.
    HDC maskDc = CreateCompatibleDC(screen);
    HGDIOBJ oldMask = SelectObject(maskDc, maskBits);
    SetBkColor(dc, RGB(0, 0, 0));
    BitBlt(maskDc, 0, 0, size, size, dc, 0, 0, SRCCOPY);
    SelectObject(maskDc, oldMask);
    DeleteDC(maskDc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DeleteObject(black);
    ICONINFO info{TRUE, 0, 0, maskBits, colourBits};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colourBits);
    DeleteObject(maskBits);
    return icon;
}

// The LED selectors' image lists: a lamp per item colour (off, green,
// red, yellow); the second list draws it as a ring.
const char* const kLampNames[] = {"off", "green", "red", "yellow"};

int lampImage(const std::string& item) {
    for (int i = 0; i < 4; ++i)
        if (item == kLampNames[i]) return i;
    return I_IMAGENONE;
}

HIMAGELIST makeLedImages(int size, bool ring) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 4, 0);
    const COLORREF lamps[] = {RGB(90, 90, 90), RGB(0, 200, 0), RGB(230, 0, 0), RGB(240, 210, 0)};
    HDC screen = GetDC(nullptr);
    for (COLORREF lamp : lamps) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bits = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, bits);
        RECT all{0, 0, size, size};
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &all, magenta);
        DeleteObject(magenta);
        HBRUSH fill = CreateSolidBrush(lamp);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(40, 40, 40));
        HGDIOBJ ob = SelectObject(dc, fill), op = SelectObject(dc, pen);
        Ellipse(dc, 1, 1, size - 1, size - 1);
        if (ring) {
            HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
            SelectObject(dc, white);
            const int inner = size * 9 / 28;
            Ellipse(dc, inner, inner, size - inner, size - inner);
            SelectObject(dc, fill);
            DeleteObject(white);
        }
        SelectObject(dc, ob);
        SelectObject(dc, op);
        DeleteObject(fill);
        DeleteObject(pen);
        SelectObject(dc, old);
        DeleteDC(dc);
        ImageList_AddMasked(list, bits, RGB(255, 0, 255));
        DeleteObject(bits);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void setText(HWND hwnd, const std::wstring& text) {
    if (windowText(hwnd) != text) SetWindowTextW(hwnd, text.c_str());
}

// Lines joined by CR LF, as an edit control holds them.
std::wstring joined(const std::vector<std::string>& lines, size_t from = 0) {
    std::wstring all;
    for (size_t i = from; i < lines.size(); ++i) {
        if (i > from) all += L"\r\n";
        all += wideText(lines[i]);
    }
    return all;
}

}  // namespace

Win32Window::Win32Window(TFrmTestQOB& form, Win32Host& host)
    : form_(form), host_(host), bindings_([this] { scheduleFlush(); }) {
    g_window = this;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                             ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&icc);
    registerClasses(GetModuleHandleW(nullptr));
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto font = [this](const wchar_t* face, int points, BYTE charset, DWORD pitch, int weight = FW_NORMAL) {
        return CreateFontW(-MulDiv(points, dpi_, 72), 0, 0, 0, weight, 0, 0, 0, charset, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
    };
    font_ = font(L"MS Sans Serif", 8, DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS);
    bold_ = font(L"MS Sans Serif", 8, DEFAULT_CHARSET, VARIABLE_PITCH | FF_SWISS, FW_BOLD);
    console_ = font(L"Terminal", 8, OEM_CHARSET, FIXED_PITCH | FF_MODERN);
    fixed_ = font(L"Courier New", 8, DEFAULT_CHARSET, FIXED_PITCH | FF_MODERN);
    portsIcon_ = makePortsIcon(scale(48));
    ledImages_[0] = makeLedImages(scale(12), false);
    ledImages_[1] = makeLedImages(scale(12), true);
    consoleBrush_ = CreateSolidBrush(colour(kConsoleBackground));
}

Win32Window::~Win32Window() {
    form_.onSetFocus = nullptr;
    bindings_.detach();
    if (hwnd_) DestroyWindow(hwnd_);
    g_window = nullptr;
    for (HFONT f : {font_, console_, fixed_, bold_}) DeleteObject(f);
    for (auto& [face, f] : namedFonts_) DeleteObject(f);
    DestroyIcon(portsIcon_);
    for (HIMAGELIST list : ledImages_) ImageList_Destroy(list);
    DeleteObject(consoleBrush_);
    for (auto& [rgb, brush] : brushes_) DeleteObject(brush);
}

// ---- the window ------------------------------------------------------------

void Win32Window::startUp(int show) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT r{0, 0, scale(form_.ClientWidth), scale(form_.ClientHeight)};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    hwnd_ = CreateWindowExW(0, kMainClass, wideText(form_.Caption).c_str(), style, 0, 0, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    name(hwnd_, "TFrmTestQOB");
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(portsIcon_));
    // The engineering view is also on the window menu.
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kEngineeringCommand, L"Engineering view\tCtrl+E");
    canvas_ = CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                              r.right - r.left, r.bottom - r.top, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    host_.setWindow(this);
    form_.onSetFocus = [this](Control& c) {
        // Enabled states first: the control may have just been enabled.
        flush();
        if (Binding* b = bindingOf(&c); b && b->hwnd && IsWindowEnabled(b->hwnd)) SetFocus(b->hwnd);
    };
    bindAll();
    runGuarded([this] { form_.FormCreate(); });
    flush();
    resizeToView();
    SetWindowPos(hwnd_, nullptr, form_.Left, form_.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
}

void Win32Window::name(HWND hwnd, const std::string& controlName) {
    ATOM atom = GlobalAddAtomW(wideText(controlName).c_str());
    SetPropW(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(atom)));
}

SIZE Win32Window::engineeringSize() const {
    LONG right = form_.ClientWidth, bottom = form_.ClientHeight;
    for (const auto& b : bindings_)
        if (!b->control->Parent() && b->hwnd) {
            right = std::max(right, b->place.right);
            bottom = std::max(bottom, b->place.bottom);
        }
    return SIZE{right + 8, bottom + 8};
}

// The client area of the view; where the screen cannot hold it, the window
// takes the work area and scrolls.
void Win32Window::resizeToView() {
    const SIZE full = engineering_ ? engineeringSize() : SIZE{form_.ClientWidth, form_.ClientHeight};
    const int w = scale(full.cx), h = scale(full.cy);
    SetWindowPos(canvas_, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOMOVE);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style & ~(WS_HSCROLL | WS_VSCROLL), FALSE, 0);
    const int frameW = frame.right - frame.left, frameH = frame.bottom - frame.top;
    int clientW = w, clientH = h;
    bool hbar = false, vbar = false;
    if (engineering_) {
        const int sb = GetSystemMetrics(SM_CXVSCROLL), sbh = GetSystemMetrics(SM_CYHSCROLL);
        const int maxW = (work.right - work.left) - frameW, maxH = (work.bottom - work.top) - frameH;
        hbar = clientW > maxW;
        vbar = clientH + (hbar ? sbh : 0) > maxH;
        if (vbar && !hbar) hbar = clientW + sb > maxW;
        clientW = std::min(clientW + (vbar ? sb : 0), maxW) - (vbar ? sb : 0);
        clientH = std::min(clientH + (hbar ? sbh : 0), maxH) - (hbar ? sbh : 0);
    }
    ShowScrollBar(hwnd_, SB_HORZ, hbar);
    ShowScrollBar(hwnd_, SB_VERT, vbar);
    const int sb = GetSystemMetrics(SM_CXVSCROLL), sbh = GetSystemMetrics(SM_CYHSCROLL);
    SetWindowPos(hwnd_, nullptr, 0, 0, clientW + frameW + (vbar ? sb : 0), clientH + frameH + (hbar ? sbh : 0),
                 SWP_NOZORDER | SWP_NOMOVE);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    si.nMax = w - 1;
    si.nPage = static_cast<UINT>(clientW);
    scrollX_ = hbar ? std::min(scrollX_, w - clientW) : 0;
    si.nPos = scrollX_;
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
    si.nMax = h - 1;
    si.nPage = static_cast<UINT>(clientH);
    scrollY_ = vbar ? std::min(scrollY_, h - clientH) : 0;
    si.nPos = scrollY_;
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    SetWindowPos(canvas_, nullptr, -scrollX_, -scrollY_, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void Win32Window::scrollTo(int bar, int pos) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &si);
    pos = std::clamp(pos, si.nMin, std::max(si.nMin, si.nMax - static_cast<int>(si.nPage) + 1));
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(hwnd_, bar, &si, TRUE);
    (bar == SB_HORZ ? scrollX_ : scrollY_) = pos;
    SetWindowPos(canvas_, nullptr, -scrollX_, -scrollY_, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void Win32Window::setEngineeringView(bool on) {
    if (engineering_ == on) return;
    engineering_ = on;
    CheckMenuItem(GetSystemMenu(hwnd_, FALSE), kEngineeringCommand, on ? MF_CHECKED : MF_UNCHECKED);
    resizeToView();
    for (auto& b : bindings_)
        if (form_.engineeringOnly(*b->control)) applyCommon(*b);
}

bool Win32Window::preTranslate(const MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        const int key = static_cast<int>(msg.wParam);
        if (key == 'E' && GetKeyState(VK_CONTROL) < 0) {
            setEngineeringView(!engineering_);
            return true;
        }
        // Key preview: the window sees the key before the control. A key
        // that answers a wait of the production test goes no further (its
        // character and release neither), so a Space never presses the
        // focused button as well.
        bool answered = false;
        runGuarded([this, key, &answered] { answered = form_.FormKeyDown(key); });
        after();
        swallowKey_ = answered && !takesText(msg) ? msg.wParam : 0;
        if (swallowKey_) return true;
    } else if (msg.message == WM_CHAR && swallowKey_ &&
               reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(msg.wParam))) == swallowKey_) {
        return true;
    } else if (msg.message == WM_KEYUP && swallowKey_ && msg.wParam == swallowKey_) {
        swallowKey_ = 0;
        return true;
    }
    return false;
}

// A control that takes typed text (an edit that is not read-only) keeps
// every key, awaited or not.
bool Win32Window::takesText(const MSG& msg) {
    wchar_t cls[32] = {};
    GetClassNameW(msg.hwnd, cls, 32);
    return lstrcmpiW(cls, L"Edit") == 0 && !(GetWindowLongPtrW(msg.hwnd, GWL_STYLE) & ES_READONLY);
}

// ---- binding -----------------------------------------------------------------

Win32Window::Binding* Win32Window::bindingOf(HWND hwnd) const {
    auto it = byHandle_.find(hwnd);
    return it == byHandle_.end() ? nullptr : it->second;
}

HWND Win32Window::parentFor(Control& control) {
    if (!control.Parent()) return canvas_;
    Binding* parent = bindingOf(control.Parent());
    if (!parent) parent = bind(*control.Parent());
    return parent && parent->container ? parent->container : canvas_;
}

void Win32Window::bindAll() {
    children_.clear();
    for (Control* c : form_.Components())
        if (c->Parent()) children_[c->Parent()].push_back(c);
    for (Control* c : form_.Components()) bind(*c);
    // A paint box is drawn on its parent, beneath the controls over it (the
    // LED selectors lie on the board's picture).
    for (auto& b : bindings_)
        if (dynamic_cast<TPaintBox*>(b->control))
            SetWindowPos(b->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    layoutUnplaced();
    for (auto& b : bindings_) applyCommon(*b);
}

Win32Window::Binding* Win32Window::bind(Control& control) {
    return bindings_.bind(control, [&](Binding& b) {
        b.place = RECT{control.Left, control.Top, control.Left + control.Width, control.Top + control.Height};
        create(b, parentFor(control));
        if (!b.hwnd) return false;
        byHandle_[b.hwnd] = &b;
        name(b.hwnd, control.Name());
        SendMessageW(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(control)), FALSE);
        return true;
    });
}

HFONT Win32Window::fontFor(const Control& c) {
    if (c.Name() == "memLog") return console_;
    if (c.Name() == "memState") return fixed_;
    // A grid that names its face (fixed pitch: its cells line up columns).
    if (auto* grid = dynamic_cast<const TValueListEditor*>(&c); grid && !grid->FontName.empty()) {
        HFONT& font = namedFonts_[grid->FontName];
        if (!font)
            font = CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                               wideText(grid->FontName).c_str());
        return font;
    }
    return font_;
}

void Win32Window::scheduleFlush() {
    if (flushPosted_ || !hwnd_) return;
    flushPosted_ = true;
    PostMessageW(hwnd_, kFlushMessage, 0, 0);
}

void Win32Window::after() { flush(); }

void Win32Window::runBusy(const std::function<void()>& handler) {
    if (!handler) return;
    ++busy_;
    HCURSOR old = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    runGuarded(handler);
    --busy_;
    SetCursor(old);
    after();
}

void Win32Window::flush() {
    flushPosted_ = false;
    form_.noteLinkState();
    bindings_.flush([this](Binding& b) { applyCommon(b); });
}

void Win32Window::applyCommon(Binding& b) {
    if (!b.hwnd) return;
    Control& c = *b.control;
    if (dynamic_cast<TTabSheet*>(&c) && c.Parent() && dynamic_cast<TPageControl*>(c.Parent())) {
        if (Binding* pages = bindingOf(c.Parent())) refreshPages(*pages);
        return;
    }
    if (!unplaced(c)) b.place = RECT{c.Left, c.Top, c.Left + c.Width, c.Top + c.Height};
    if (b.autoSize) {
        HDC dc = GetDC(b.hwnd);
        HGDIOBJ old = SelectObject(dc, fontFor(c));
        const std::wstring text = windowText(b.hwnd);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(b.hwnd, dc);
        b.place.right = b.place.left + MulDiv(size.cx, 96, dpi_) + 1;
        b.place.bottom = b.place.top + 13;
    }
    int height = b.place.bottom - b.place.top;
    // A combo box's window includes its drop-down list.
    if (dynamic_cast<TComboBox*>(&c)) height += 200;
    SetWindowPos(b.hwnd, nullptr, scale(b.place.left), scale(b.place.top), scale(b.place.right - b.place.left),
                 scale(height), SWP_NOZORDER | SWP_NOACTIVATE);
    EnableWindow(b.hwnd, c.Enabled);
    for (HWND radio : b.radios) EnableWindow(radio, c.Enabled);
    for (HWND label : b.radioLabels) EnableWindow(label, c.Enabled);
    const bool visible = c.Visible || (engineering_ && form_.engineeringOnly(c));
    if (static_cast<bool>(IsWindowVisible(b.hwnd)) != visible || !visible)
        ShowWindow(b.hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Window::repaintBox(TPaintBox& box) {
    flush();
    if (Binding* b = bindingOf(&box)) {
        InvalidateRect(b->hwnd, nullptr, FALSE);
        UpdateWindow(b->hwnd);
    }
}

HWND Win32Window::makeContainer(Binding& b, HWND parent, int frame) {
    b.frame = frame;
    HWND w = CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 10, 10,
                             parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&b));
    b.hwnd = b.container = w;
    return w;
}

// ---- Windows controls by control kind ---------------------------------------

void Win32Window::create(Binding& b, HWND parent) {
    Control& c = *b.control;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](DWORD exStyle, const wchar_t* cls, DWORD style) {
        b.hwnd = CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 10, 10, parent, nullptr,
                                 instance, nullptr);
        return b.hwnd;
    };

    if (auto* label = dynamic_cast<TLabel*>(&c)) {
        HWND w = make(0, L"STATIC", SS_LEFT | SS_NOPREFIX);
        b.autoSize = c.Width == 0;
        b.refresh = [label, w](Binding&) {
            setText(w, wideText(label->Caption));
            InvalidateRect(w, nullptr, TRUE);
        };
        return;
    }
    if (auto* group = dynamic_cast<TGroupBox*>(&c)) {
        HWND w = makeContainer(b, parent, 1);
        b.refresh = [group, w](Binding&) {
            setText(w, wideText(group->Caption));
            InvalidateRect(w, nullptr, TRUE);
        };
        return;
    }
    if (auto* radio = dynamic_cast<TRadioGroup*>(&c)) {
        HWND w = makeContainer(b, parent, 1);
        b.command = [this, &b, radio](HWND from, int code) {
            if (code != BN_CLICKED || b.feeding) return;
            const int index = GetDlgCtrlID(from);
            feed(b, [&] { radio->ItemIndex = index; });
            for (size_t i = 0; i < b.radios.size(); ++i)
                SendMessageW(b.radios[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
            runGuarded(radio->OnClick);
            after();
        };
        b.refresh = [this, radio, w](Binding& self) {
            setText(w, wideText(radio->Caption));
            const auto& items = radio->Items.get();
            bool same = self.radios.size() == items.size();
            for (size_t i = 0; same && i < items.size(); ++i)
                same = windowText(self.radioLabels[i]) == wideText(items[i]);
            if (!same) {
                for (const auto* list : {&self.radios, &self.radioLabels})
                    for (HWND r : *list) {
                        byHandle_.erase(r);
                        DestroyWindow(r);
                    }
                self.radios.clear();
                self.radioLabels.clear();
                // Down the columns first, as many rows as the longest column.
                // Narrow inner margins, the caption 3 px from its circle (a
                // label of its own: the button's own gap is wider) and each
                // column as wide as its longest caption, the room left shared
                // out, so short captions fit narrow groups ("no yes auto" in 110 px).
                const int count = static_cast<int>(items.size());
                const int columns = std::max(1, radio->Columns);
                const int rows = std::max(1, (count + columns - 1) / columns);
                const int top = 16,
                          height = std::max(1, static_cast<int>(self.place.bottom - self.place.top) - top - 4);
                const int step = std::min(20, height / rows);
                const int margin = scale(2), circle = scale(13), gap = scale(3);
                // Up to the frame line on the right.
                const int inner = scale(static_cast<int>(self.place.right - self.place.left)) - margin - 1;
                std::vector<int> widths(static_cast<size_t>(columns), 0);
                HDC dc = GetDC(w);
                HGDIOBJ oldFont = SelectObject(dc, font_);
                for (int i = 0; i < count; ++i) {
                    const std::wstring text = wideText(items[static_cast<size_t>(i)]);
                    SIZE size{};
                    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
                    int& column = widths[static_cast<size_t>(i / rows)];
                    column = std::max(column, circle + gap + static_cast<int>(size.cx));
                }
                SelectObject(dc, oldFont);
                ReleaseDC(w, dc);
                int needed = 0;
                for (int width : widths) needed += width;
                for (int& width : widths)
                    width = needed <= inner ? width + (inner - needed) / columns : inner / columns;
                std::vector<int> lefts(static_cast<size_t>(columns), margin);
                for (size_t k = 1; k < lefts.size(); ++k) lefts[k] = lefts[k - 1] + widths[k - 1];
                for (int i = 0; i < count; ++i) {
                    const size_t column = static_cast<size_t>(i / rows);
                    const int x = lefts[column], y = scale(top + (i % rows) * step), h = scale(std::max(step, 17));
                    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(i));
                    HWND r =
                        CreateWindowExW(0, L"BUTTON", L"",
                                        WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0),
                                        x, y, circle, h, w, id, GetModuleHandleW(nullptr), nullptr);
                    // A click on the caption selects its item (STN_CLICKED is BN_CLICKED).
                    HWND label = CreateWindowExW(
                        0, L"STATIC", wideText(items[static_cast<size_t>(i)]).c_str(),
                        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE, x + circle + gap, y,
                        widths[column] - circle - gap, h, w, id, GetModuleHandleW(nullptr), nullptr);
                    for (HWND part : {r, label}) {
                        SendMessageW(part, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
                        byHandle_[part] = &self;
                    }
                    self.radios.push_back(r);
                    self.radioLabels.push_back(label);
                }
            }
            for (size_t i = 0; i < self.radios.size(); ++i)
                SendMessageW(self.radios[i], BM_SETCHECK,
                             static_cast<int>(i) == radio->ItemIndex ? BST_CHECKED : BST_UNCHECKED, 0);
            InvalidateRect(w, nullptr, TRUE);
        };
        return;
    }
    if (dynamic_cast<TPanel*>(&c)) {
        makeContainer(b, parent, 2);
        return;
    }
    if (auto* edit = dynamic_cast<TEdit*>(&c)) {
        HWND w = make(WS_EX_CLIENTEDGE, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | (edit->NumbersOnly ? ES_NUMBER : 0));
        b.command = [this, &b, edit, w](HWND, int code) {
            if (code != EN_CHANGE || b.feeding) return;
            feed(b, [&] { edit->Text = modelText(windowText(w)); });
            runGuarded(edit->OnChange);
            after();
        };
        b.refresh = [edit, w](Binding& self) {
            self.feeding = true;
            setText(w, wideText(edit->Text));
            SendMessageW(w, EM_SETREADONLY, edit->ReadOnly, 0);
            self.feeding = false;
        };
        return;
    }
    if (auto* memo = dynamic_cast<TMemo*>(&c)) {
        // Word wrap is a creation style of an edit control.
        HWND w = make(WS_EX_CLIENTEDGE, L"EDIT",
                      WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                          (memo->WordWrap ? 0 : WS_HSCROLL | ES_AUTOHSCROLL));
        SendMessageW(w, EM_SETLIMITTEXT, 0, 0);
        b.command = [this, &b, memo, w](HWND, int code) {
            if (code != EN_CHANGE || b.feeding || memo->ReadOnly) return;
            feed(b, [&] { memo->setText(modelText(windowText(w))); });
            b.seenGeneration = memo->Lines.generation();
            b.seenCount = memo->Lines.Count();
        };
        b.refresh = [memo, w](Binding& self) {
            self.feeding = true;
            SendMessageW(w, EM_SETREADONLY, memo->ReadOnly, 0);
            const TStrings& lines = memo->Lines;
            if (self.seenGeneration == lines.generation() && self.seenCount > 0 && lines.Count() >= self.seenCount) {
                // Only appends since the last refresh: add the new lines at the end.
                if (lines.Count() > self.seenCount) {
                    const std::wstring added = L"\r\n" + joined(lines.lines(), static_cast<size_t>(self.seenCount));
                    const int end = GetWindowTextLengthW(w);
                    SendMessageW(w, EM_SETSEL, end, end);
                    SendMessageW(w, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
                }
            } else {
                SetWindowTextW(w, joined(lines.lines()).c_str());
                const int end = GetWindowTextLengthW(w);
                SendMessageW(w, EM_SETSEL, end, end);
            }
            SendMessageW(w, EM_SCROLLCARET, 0, 0);
            self.feeding = false;
            self.seenGeneration = lines.generation();
            self.seenCount = lines.Count();
        };
        return;
    }
    if (auto* button = dynamic_cast<TButton*>(&c)) {
        const bool picture = c.Name() == "btnShowDevMan";
        HWND w = make(0, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON | (picture ? BS_ICON : 0));
        if (picture) SendMessageW(w, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(portsIcon_));
        b.command = [this, button](HWND, int code) {
            if (code != BN_CLICKED) return;
            runBusy(button->OnClick);
        };
        b.refresh = [button, w](Binding&) { setText(w, wideText(button->Caption)); };
        return;
    }
    if (auto* check = dynamic_cast<TCheckBox*>(&c)) {
        HWND w = make(0, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
        b.command = [this, &b, check, w](HWND, int code) {
            if (code != BN_CLICKED || b.feeding) return;
            feed(b, [&] { check->Checked = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; });
            runBusy(check->OnClick);
        };
        b.refresh = [check, w](Binding&) {
            setText(w, wideText(check->Caption));
            SendMessageW(w, BM_SETCHECK, check->Checked ? BST_CHECKED : BST_UNCHECKED, 0);
        };
        return;
    }
    if (auto* track = dynamic_cast<TTrackBar*>(&c)) {
        HWND w = make(0, TRACKBAR_CLASSW, WS_TABSTOP | TBS_AUTOTICKS | TBS_BOTTOM);
        SendMessageW(w, TBM_SETPAGESIZE, 0, 1);
        b.command = [this, &b, track, w](HWND, int) {
            if (b.feeding) return;
            const int value = static_cast<int>(SendMessageW(w, TBM_GETPOS, 0, 0));
            if (value == track->Position) return;
            feed(b, [&] { track->Position = value; });
            runGuarded(track->OnChange);
            after();
        };
        b.refresh = [track, w](Binding& self) {
            self.feeding = true;
            SendMessageW(w, TBM_SETRANGEMIN, FALSE, track->Min);
            SendMessageW(w, TBM_SETRANGEMAX, TRUE, track->Max);
            SendMessageW(w, TBM_SETPOS, TRUE, track->Position);
            self.feeding = false;
        };
        return;
    }
    if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
        // A selector with an image list is an image combo box.
        const bool images = !combo->Images->empty();
        HWND w = make(0, images ? WC_COMBOBOXEXW : L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
        if (images) {
            SendMessageW(w, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ledImages_[0]));
            if (HWND inner = reinterpret_cast<HWND>(SendMessageW(w, CBEM_GETCOMBOCONTROL, 0, 0))) byHandle_[inner] = &b;
        }
        b.command = [this, &b, combo, w](HWND, int code) {
            if (code != CBN_SELCHANGE || b.feeding) return;
            const int index = static_cast<int>(SendMessageW(w, CB_GETCURSEL, 0, 0));
            feed(b, [&] {
                combo->ItemIndex = index;
                combo->Text = index >= 0 && index < static_cast<int>(combo->Items->size())
                                  ? combo->Items.get()[static_cast<size_t>(index)]
                                  : std::string();
            });
            runGuarded(combo->OnChange);
            after();
        };
        b.refresh = [this, combo, w, images](Binding& self) {
            self.feeding = true;
            const auto& items = combo->Items.get();
            const int count = static_cast<int>(SendMessageW(w, CB_GETCOUNT, 0, 0));
            bool same = count == static_cast<int>(items.size());
            for (int i = 0; same && i < count; ++i) {
                wchar_t text[256] = {};
                if (images) {
                    COMBOBOXEXITEMW item{};
                    item.mask = CBEIF_TEXT;
                    item.iItem = i;
                    item.pszText = text;
                    item.cchTextMax = 256;
                    SendMessageW(w, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                } else if (SendMessageW(w, CB_GETLBTEXTLEN, i, 0) < 255) {
                    SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                }
                same = text == wideText(items[static_cast<size_t>(i)]);
            }
            if (!same) {
                SendMessageW(w, CB_RESETCONTENT, 0, 0);
                for (size_t i = 0; i < items.size(); ++i) {
                    std::wstring text = wideText(items[i]);
                    if (images) {
                        COMBOBOXEXITEMW item{};
                        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
                        item.iItem = static_cast<INT_PTR>(i);
                        item.pszText = text.data();
                        item.iImage = item.iSelectedImage = lampImage(items[i]);
                        SendMessageW(w, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
                    } else {
                        SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
                    }
                }
            }
            if (images)
                SendMessageW(w, CBEM_SETIMAGELIST, 0,
                             reinterpret_cast<LPARAM>(ledImages_[combo->Images == "ImageList2" ? 1 : 0]));
            SendMessageW(w, CB_SETCURSEL, combo->ItemIndex, 0);
            InvalidateRect(w, nullptr, TRUE);
            self.feeding = false;
        };
        return;
    }
    if (auto* status = dynamic_cast<TStatusBar*>(&c)) {
        // Drawn here: with visual styles a status bar ignores its colour.
        HWND w = make(0, L"STATIC", SS_OWNERDRAW);
        b.refresh = [status, w](Binding&) {
            setText(w, wideText(status->SimpleText));
            InvalidateRect(w, nullptr, TRUE);
        };
        return;
    }
    if (auto* pages = dynamic_cast<TPageControl*>(&c)) {
        HWND w = make(WS_EX_CONTROLPARENT, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN);
        // One container per sheet, in tab index order, then any sheet not listed.
        std::vector<TTabSheet*> sheets = pages->Pages;
        for (Control* child : children_[&c])
            if (auto* sheet = dynamic_cast<TTabSheet*>(child);
                sheet && std::find(sheets.begin(), sheets.end(), sheet) == sheets.end())
                sheets.push_back(sheet);
        for (TTabSheet* sheet : sheets) {
            Binding& sb = bindings_.add(*sheet);
            makeContainer(sb, w, 0);
            name(sb.hwnd, sheet->Name());
            SendMessageW(sb.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            byHandle_[sb.hwnd] = &sb;
            bindings_.watch(sb);
        }
        b.notify = [this, &b, pages, w](NMHDR* hdr) -> LRESULT {
            if (hdr->code != TCN_SELCHANGE) return 0;
            const int tab = static_cast<int>(SendMessageW(w, TCM_GETCURSEL, 0, 0));
            if (tab < 0 || tab >= static_cast<int>(b.tabs.size())) return 0;
            const auto it = std::find(pages->Pages.begin(), pages->Pages.end(), b.tabs[static_cast<size_t>(tab)]);
            if (it == pages->Pages.end()) return 0;
            feed(b, [&] { pages->ActivePageIndex = static_cast<int>(it - pages->Pages.begin()); });
            refreshPages(b);
            runGuarded(pages->OnChange);
            after();
            return 0;
        };
        b.refresh = [this](Binding& self) { refreshPages(self); };
        return;
    }
    if (auto* grid = dynamic_cast<TValueListEditor*>(&c)) {
        HWND w = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                      WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER);
        ListView_SetExtendedListViewStyle(w, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
        for (int col = 0; col < 2; ++col) {
            LVCOLUMNW column{};
            column.mask = LVCF_WIDTH | LVCF_TEXT;
            std::wstring title = wideText(col == 0 ? grid->TitleKey : grid->TitleValue);
            column.pszText = title.data();
            column.cx = scale(col == 0 ? (grid->ColWidth0 > 0 ? grid->ColWidth0 : 120)
                                       : (grid->ColWidth1 > 0 ? grid->ColWidth1 : std::max(60, c.Width - 124)));
            ListView_InsertColumn(w, col, &column);
        }
        b.notify = [this, &b, grid, w](NMHDR* hdr) -> LRESULT {
            switch (hdr->code) {
            case LVN_GETDISPINFOW: {
                auto* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
                if (!(info->item.mask & LVIF_TEXT)) return 0;
                const int line = info->item.iItem, col = info->item.iSubItem;
                if (line < 0 || line >= grid->Strings.Count()) return 0;
                std::string text = col == 0 ? grid->Keys(line) : grid->ValueAt(line);
                if (grid->OnCellText) {
                    const std::string drawn = grid->OnCellText(col, line + 1);
                    if (!drawn.empty()) text = drawn;
                }
                lstrcpynW(info->item.pszText, wideText(text).c_str(), info->item.cchTextMax);
                return 0;
            }
            case NM_CUSTOMDRAW: return customDrawGrid(b, reinterpret_cast<NMLVCUSTOMDRAW*>(hdr));
            case LVN_ITEMCHANGED: {
                auto* change = reinterpret_cast<NMLISTVIEW*>(hdr);
                if (b.feeding || !(change->uNewState & LVIS_SELECTED) || change->iItem < 0) return 0;
                feed(b, [&] { grid->Row = change->iItem + 1; });
                return 0;
            }
            case NM_DBLCLK:
            case NM_CLICK: {
                auto* act = reinterpret_cast<NMITEMACTIVATE*>(hdr);
                if (act->iItem < 0) return 0;
                LVHITTESTINFO hit{};
                hit.pt = act->ptAction;
                ListView_SubItemHitTest(w, &hit);
                if (hit.iSubItem == 1 && (hdr->code == NM_DBLCLK || grid->Row == act->iItem + 1))
                    beginGridEdit(b, act->iItem);
                return 0;
            }
            case LVN_KEYDOWN: {
                auto* key = reinterpret_cast<NMLVKEYDOWN*>(hdr);
                if (key->wVKey == VK_F2 || key->wVKey == VK_RETURN) beginGridEdit(b, grid->Row - 1);
                return 0;
            }
            }
            return 0;
        };
        b.refresh = [grid, w](Binding& self) {
            self.feeding = true;
            const TStrings& lines = grid->Strings;
            if (ListView_GetItemCount(w) != lines.Count()) ListView_SetItemCountEx(w, lines.Count(), LVSICF_NOSCROLL);
            self.seenGeneration = lines.generation();
            self.seenCount = lines.Count();
            // The title row: the drawn titles, or the column titles.
            for (int col = 0; grid->OnCellText && col < 2; ++col) {
                std::wstring title = wideText(grid->OnCellText(col, 0));
                if (title.empty()) title = wideText(col == 0 ? grid->TitleKey : grid->TitleValue);
                LVCOLUMNW column{};
                column.mask = LVCF_TEXT;
                column.pszText = title.data();
                ListView_SetColumn(w, col, &column);
            }
            const int row = grid->Row - 1;
            if (row >= 0 && row < lines.Count() && ListView_GetNextItem(w, -1, LVNI_SELECTED) != row) {
                ListView_SetItemState(w, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
                ListView_SetItemState(w, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            }
            InvalidateRect(w, nullptr, FALSE);
            self.feeding = false;
        };
        return;
    }
    if (auto* box = dynamic_cast<TPaintBox*>(&c)) {
        HWND w = make(0, kPaintBoxClass, 0);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&b));
        b.refresh = [w](Binding&) { InvalidateRect(w, nullptr, FALSE); };
        (void)box;
        return;
    }
    // A sheet outside a page control, or a kind without its own control:
    // a plain container keeps its children.
    makeContainer(b, parent, 0);
}

// Tabs for the visible sheets (hidden sheets have no tab: the items are
// rebuilt when that changes); the active sheet's container shows.
void Win32Window::refreshPages(Binding& b) {
    auto* pages = dynamic_cast<TPageControl*>(b.control);
    if (!pages || !b.hwnd) return;
    std::vector<TTabSheet*> visible;
    for (TTabSheet* sheet : pages->Pages)
        if (sheet->Visible) visible.push_back(sheet);
    bool same = visible == b.tabs;
    for (size_t i = 0; same && i < visible.size(); ++i) {
        wchar_t text[128] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        TabCtrl_GetItem(b.hwnd, static_cast<int>(i), &item);
        same = text == wideText(visible[i]->Caption);
    }
    if (!same) {
        TabCtrl_DeleteAllItems(b.hwnd);
        for (size_t i = 0; i < visible.size(); ++i) {
            std::wstring text = wideText(visible[i]->Caption);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text.data();
            TabCtrl_InsertItem(b.hwnd, static_cast<int>(i), &item);
        }
        b.tabs = visible;
    }
    const int active = pages->ActivePageIndex;
    TTabSheet* current =
        active >= 0 && active < pages->PageCount() ? pages->Pages[static_cast<size_t>(active)] : nullptr;
    const auto tab = std::find(b.tabs.begin(), b.tabs.end(), current);
    if (tab != b.tabs.end() && TabCtrl_GetCurSel(b.hwnd) != static_cast<int>(tab - b.tabs.begin()))
        TabCtrl_SetCurSel(b.hwnd, static_cast<int>(tab - b.tabs.begin()));
    RECT area;
    GetClientRect(b.hwnd, &area);
    TabCtrl_AdjustRect(b.hwnd, FALSE, &area);
    for (TTabSheet* sheet : pages->Pages) {
        Binding* sb = bindingOf(sheet);
        if (!sb || !sb->hwnd) continue;
        SetWindowPos(sb->hwnd, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE);
        EnableWindow(sb->hwnd, sheet->Enabled);
        ShowWindow(sb->hwnd, sheet == current && sheet->Visible ? SW_SHOWNA : SW_HIDE);
    }
}

LRESULT Win32Window::customDrawGrid(Binding& b, NMLVCUSTOMDRAW* cd) {
    auto* grid = static_cast<TValueListEditor*>(b.control);
    switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int row = static_cast<int>(cd->nmcd.dwItemSpec) + 1, col = cd->iSubItem;
        TValueListEditor::CellStyle style;
        if (grid->OnDrawCell)
            style = grid->OnDrawCell(col, row);
        else
            return CDRF_DODEFAULT;
        cd->clrText = colour(style.text);
        cd->clrTextBk = colour(style.background);
        // The selection colour would hide the cell's own colours.
        cd->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
        if (style.bold) {
            SelectObject(cd->nmcd.hdc, bold_);
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

namespace {
LRESULT CALLBACK gridEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* done = reinterpret_cast<std::function<void(bool)>*>(data);
    switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wp == VK_RETURN || wp == VK_ESCAPE) {
            (*done)(wp == VK_RETURN);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wp == '\r' || wp == 27) return 0;
        break;
    case WM_KILLFOCUS: (*done)(true); break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}
std::function<void(bool)> g_gridEditDone;
}  // namespace

// In-place editing of a value: an edit box over the cell; Enter or leaving
// it keeps the text, Escape drops it.
void Win32Window::beginGridEdit(Binding& b, int line) {
    auto* grid = static_cast<TValueListEditor*>(b.control);
    if (line < 0 || line >= grid->Strings.Count() || gridEdit_) return;
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    ListView_EnsureVisible(b.hwnd, line, FALSE);
    SendMessageW(b.hwnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&cell));
    gridEdit_ =
        CreateWindowExW(0, L"EDIT", wideText(grid->ValueAt(line)).c_str(),
                        WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left, cell.top, cell.right - cell.left,
                        cell.bottom - cell.top, b.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    name(gridEdit_, grid->Name() + ".editor");
    SendMessageW(gridEdit_, WM_SETFONT, static_cast<WPARAM>(SendMessageW(b.hwnd, WM_GETFONT, 0, 0)), FALSE);
    gridEditOf_ = &b;
    gridEditLine_ = line;
    g_gridEditDone = [this](bool commit) { endGridEdit(commit); };
    SetWindowSubclass(gridEdit_, gridEditProc, 1, reinterpret_cast<DWORD_PTR>(&g_gridEditDone));
    SendMessageW(gridEdit_, EM_SETSEL, 0, -1);
    SetFocus(gridEdit_);
}

void Win32Window::endGridEdit(bool commit) {
    if (!gridEdit_) return;
    HWND edit = gridEdit_;
    Binding* b = gridEditOf_;
    const int line = gridEditLine_;
    gridEdit_ = nullptr;
    if (commit && b) {
        auto* grid = static_cast<TValueListEditor*>(b->control);
        if (line >= 0 && line < grid->Strings.Count()) {
            const std::string value = modelText(windowText(edit));
            feed(*b, [&] { grid->Strings.setLine(line, grid->Keys(line) + "=" + value); });
            b->seenGeneration = grid->Strings.generation();
            ListView_RedrawItems(b->hwnd, line, line);
        }
    }
    RemoveWindowSubclass(edit, gridEditProc, 1);
    if (b) SetFocus(b->hwnd);
    DestroyWindow(edit);
}

void Win32Window::paintContainer(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto* b = reinterpret_cast<Binding*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (b && b->frame) {
        RECT r;
        GetClientRect(hwnd, &r);
        if (b->frame == 2) {
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
        } else {
            // A group frame with its caption on the top line.
            HGDIOBJ old = SelectObject(dc, font_);
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            RECT frame = r;
            frame.top += tm.tmHeight / 2;
            DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
            const std::wstring caption = windowText(hwnd);
            if (!caption.empty()) {
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                SetBkMode(dc, OPAQUE);
                SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
                TextOutW(dc, scale(8), 0, caption.c_str(), static_cast<int>(caption.size()));
            }
            SelectObject(dc, old);
        }
    }
    EndPaint(hwnd, &ps);
}

void Win32Window::paintBox(HWND hwnd, TPaintBox& box) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    // Drawn off screen first, so a live graph never shows half a frame.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bits = CreateCompatibleBitmap(dc, std::max(1L, r.right), std::max(1L, r.bottom));
    HGDIOBJ old = SelectObject(buffer, bits);
    HBRUSH back = CreateSolidBrush(colour(box.Color));
    FillRect(buffer, &r, back);
    DeleteObject(back);
    if (box.OnPaint) {
        // The drawing works in the 96-dpi pixels the controls are placed
        // in, so it lines up with the controls over it at any DPI.
        SetMapMode(buffer, MM_ANISOTROPIC);
        SetWindowExtEx(buffer, 96, 96, nullptr);
        SetViewportExtEx(buffer, dpi_, dpi_, nullptr);
        GdiCanvas canvas(buffer, MulDiv(r.right, 96, dpi_), MulDiv(r.bottom, 96, dpi_), dpi_);
        // No dialog from inside a paint; the fault goes to stderr.
        try {
            box.OnPaint(box, canvas);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: paint failed: %s\n", box.Name().c_str(), e.what());
        }
        SetMapMode(buffer, MM_TEXT);
    }
    BitBlt(dc, 0, 0, r.right, r.bottom, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(bits);
    DeleteDC(buffer);
    EndPaint(hwnd, &ps);
}

// ---- messages ------------------------------------------------------------------

LRESULT Win32Window::handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kFlushMessage: flush(); return 0;
    case WM_COMMAND:
        if (lp) {
            if (Binding* b = bindingOf(reinterpret_cast<HWND>(lp)); b && b->command)
                b->command(reinterpret_cast<HWND>(lp), HIWORD(wp));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (Binding* b = bindingOf(hdr->hwndFrom); b && b->notify) return b->notify(hdr);
        break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lp) {
            if (Binding* b = bindingOf(reinterpret_cast<HWND>(lp)); b && b->command)
                b->command(reinterpret_cast<HWND>(lp), 0);
            return 0;
        }
        if (hwnd == hwnd_) {
            const int bar = msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
            SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
            GetScrollInfo(hwnd_, bar, &si);
            int pos = si.nPos;
            switch (LOWORD(wp)) {
            case SB_LINEUP: pos -= scale(20); break;
            case SB_LINEDOWN: pos += scale(20); break;
            case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
            case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: pos = si.nTrackPos; break;
            case SB_TOP: pos = si.nMin; break;
            case SB_BOTTOM: pos = si.nMax; break;
            }
            scrollTo(bar, pos);
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        if (hwnd == hwnd_ && engineering_) {
            scrollTo(SB_VERT, scrollY_ - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * scale(40));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        HDC dc = reinterpret_cast<HDC>(wp);
        Binding* b = bindingOf(reinterpret_cast<HWND>(lp));
        if (b && b->control->Name() == "memLog") {
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, colour(kConsoleBackground));
            return reinterpret_cast<LRESULT>(consoleBrush_);
        }
        if (auto* label = b ? dynamic_cast<TLabel*>(b->control) : nullptr) {
            SetTextColor(dc, colour(label->FontColor));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        Binding* b = bindingOf(item->hwndItem);
        if (auto* status = b ? dynamic_cast<TStatusBar*>(b->control) : nullptr) {
            RECT r = item->rcItem;
            const uint32_t rgb = status->Color;
            auto brush = brushes_.find(rgb);
            if (brush == brushes_.end()) brush = brushes_.emplace(rgb, CreateSolidBrush(colour(rgb))).first;
            FillRect(item->hDC, &r, brush->second);
            DrawEdge(item->hDC, &r, BDR_SUNKENOUTER, BF_RECT);
            HGDIOBJ old = SelectObject(item->hDC, font_);
            SetBkMode(item->hDC, TRANSPARENT);
            SetTextColor(item->hDC, RGB(0, 0, 0));
            r.left += scale(4);
            const std::wstring text = wideText(status->SimpleText);
            DrawTextW(item->hDC, text.c_str(), static_cast<int>(text.size()), &r,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(item->hDC, old);
            return TRUE;
        }
        break;
    }
    case WM_CONTEXTMENU: {
        // The LED selectors' double-click action (a press opens the list).
        Binding* b = bindingOf(reinterpret_cast<HWND>(wp));
        if (!b) b = bindingOf(GetParent(reinterpret_cast<HWND>(wp)));
        auto* combo = b ? dynamic_cast<TComboBox*>(b->control) : nullptr;
        if (combo && combo->OnDblClick) {
            HMENU menu = CreatePopupMenu();
            AppendMenuW(menu, MF_STRING, 1, L"Switch image list");
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (at.x == -1 && at.y == -1) GetCursorPos(&at);
            const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, hwnd_, nullptr);
            DestroyMenu(menu);
            if (chosen == 1) {
                runGuarded(combo->OnDblClick);
                after();
            }
            return 0;
        }
        if (hwnd == hwnd_ || hwnd == canvas_) {
            HMENU menu = CreatePopupMenu();
            AppendMenuW(menu, MF_STRING | (engineering_ ? MF_CHECKED : 0), 1, L"Engineering view\tCtrl+E");
            POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, hwnd_, nullptr) == 1)
                setEngineeringView(!engineering_);
            DestroyMenu(menu);
            return 0;
        }
        break;
    }
    case WM_PAINT: {
        auto* b = reinterpret_cast<Binding*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (b && hwnd != hwnd_) {
            if (auto* box = dynamic_cast<TPaintBox*>(b->control)) {
                paintBox(hwnd, *box);
                return 0;
            }
            paintContainer(hwnd);
            return 0;
        }
        break;
    }
    case WM_ERASEBKGND: {
        auto* b = reinterpret_cast<Binding*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (b && dynamic_cast<TPaintBox*>(b->control)) return 1;
        break;
    }
    case WM_SETTEXT:
        if (hwnd != hwnd_) {
            const LRESULT result = DefWindowProcW(hwnd, msg, wp, lp);
            InvalidateRect(hwnd, nullptr, TRUE);
            return result;
        }
        break;
    case WM_SETCURSOR:
        // A pressed handler at work: the busy pointer over the whole window
        // (children ask their parents first; dialogs have their own).
        if (busy_ > 0 && LOWORD(lp) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == kEngineeringCommand) {
            setEngineeringView(!engineering_);
            return 0;
        }
        break;
    case WM_TIMER:
        if (hwnd == hwnd_ && wp == kCloseRetryTimer) {
            if (host_.nesting() == 0) {
                KillTimer(hwnd_, kCloseRetryTimer);
                PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            }
            return 0;
        }
        break;
    case WM_CLOSE:
        if (hwnd == hwnd_) {
            // A handler that waits inside a nested loop must end first:
            // closing asks it to abort and closes once it has returned.
            if (host_.nesting() > 0) {
                form_.btnabort.Tag = 1;
                SetTimer(hwnd_, kCloseRetryTimer, 100, nullptr);
                return 0;
            }
            DestroyWindow(hwnd_);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (hwnd == hwnd_) {
            hwnd_ = nullptr;
            PostQuitMessage(0);
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- placing controls that came without bounds ------------------------------

SIZE Win32Window::defaultSize(const Binding& b) const {
    const Control& c = *b.control;
    auto textWidth = [&](const std::string& text) {
        HDC dc = GetDC(b.hwnd);
        HGDIOBJ old = SelectObject(dc, font_);
        const std::wstring w = wideText(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(b.hwnd, dc);
        return static_cast<int>(MulDiv(size.cx, 96, dpi_));
    };
    if (auto* button = dynamic_cast<const TButton*>(&c)) return {std::max(75, textWidth(button->Caption) + 16), 25};
    if (auto* check = dynamic_cast<const TCheckBox*>(&c)) return {std::max(97, textWidth(check->Caption) + 24), 17};
    if (dynamic_cast<const TEdit*>(&c)) return {121, 21};
    if (dynamic_cast<const TComboBox*>(&c)) return {145, 21};
    if (dynamic_cast<const TTrackBar*>(&c)) return {150, 33};
    if (auto* radio = dynamic_cast<const TRadioGroup*>(&c))
        return {185, 24 + 20 * static_cast<int>(radio->Items->size())};
    if (dynamic_cast<const TMemo*>(&c)) return {305, 177};
    if (dynamic_cast<const TValueListEditor*>(&c)) return {300, 300};
    if (dynamic_cast<const TPaintBox*>(&c)) return {300, 200};
    if (dynamic_cast<const TStatusBar*>(&c)) return {200, 19};
    if (auto* label = dynamic_cast<const TLabel*>(&c)) return {textWidth(label->Caption) + 2, 13};
    return {185, 41};
}

// Flows the children without bounds down columns from the left, around the
// ones placed by the model (as the Qt window does); containers without
// bounds take the size of what they hold. Returns the extent of all children.
SIZE Win32Window::arrangeChildren(Control* parent, int areaHeight) {
    const bool group = dynamic_cast<TGroupBox*>(parent) != nullptr;
    const int top = group ? 20 : 8;
    RECT extent{0, 0, 0, 0};
    auto grow = [&](const RECT& r) { UnionRect(&extent, &extent, &r); };
    auto it = children_.find(parent);
    if (it == children_.end()) return SIZE{0, 0};
    std::vector<RECT> taken;
    for (Control* child : it->second) {
        Binding* b = bindingOf(child);
        if (!b || !b->hwnd || dynamic_cast<TTabSheet*>(child) || unplaced(*child)) continue;
        grow(b->place);
        taken.push_back(RECT{b->place.left - 4, b->place.top - 4, b->place.right + 4, b->place.bottom + 4});
    }
    int x = 8, y = top, column = 0;
    for (Control* child : it->second) {
        Binding* b = bindingOf(child);
        if (!b || !b->hwnd) continue;
        if (dynamic_cast<TTabSheet*>(child)) {
            arrangeChildren(child, areaHeight);
            continue;
        }
        const SIZE inner = children_.count(child) ? arrangeChildren(child, 10000) : SIZE{0, 0};
        if (!unplaced(*child)) continue;
        SIZE size = defaultSize(*b);
        if (b->container && inner.cx > 0) size = SIZE{std::max(size.cx, inner.cx + 8), std::max(size.cy, inner.cy + 8)};
        RECT spot{};
        for (int guard = 0; guard < 1000; ++guard) {
            if (y > top && y + size.cy > areaHeight) {
                x += std::max(column, 40) + 8;
                y = top;
                column = 0;
            }
            spot = RECT{x, y, x + size.cx, y + size.cy};
            auto hit = std::find_if(taken.begin(), taken.end(), [&](const RECT& r) {
                RECT both;
                return IntersectRect(&both, &r, &spot) != 0;
            });
            if (hit == taken.end()) break;
            y = hit->bottom + 2;
        }
        b->place = spot;
        taken.push_back(RECT{spot.left - 2, spot.top - 2, spot.right + 2, spot.bottom + 2});
        grow(spot);
        y += size.cy + 6;
        column = std::max(column, static_cast<int>(size.cx));
    }
    return SIZE{extent.right, extent.bottom};
}

void Win32Window::layoutUnplaced() {
    for (auto& b : bindings_)
        if (auto* pages = dynamic_cast<TPageControl*>(b->control)) {
            const int sheetHeight = std::max(100, pages->Height - 30);
            for (Control* child : children_[pages]) arrangeChildren(child, sheetHeight);
        }
    // Controls of the window itself without bounds go below everything.
    LONG bottom = 0;
    for (auto& b : bindings_)
        if (!b->control->Parent() && b->hwnd && !unplaced(*b->control)) bottom = std::max(bottom, b->place.bottom);
    int x = 8;
    for (Control* c : form_.Components()) {
        Binding* b = bindingOf(c);
        if (!b || !b->hwnd || c->Parent() || !unplaced(*c)) continue;
        const SIZE inner = children_.count(c) ? arrangeChildren(c, 10000) : SIZE{0, 0};
        SIZE size = defaultSize(*b);
        if (b->container && inner.cx > 0) size = SIZE{std::max(size.cx, inner.cx + 8), std::max(size.cy, inner.cy + 8)};
        b->place = RECT{x, bottom + 8, x + size.cx, bottom + 8 + size.cy};
        x += size.cx + 8;
    }
}

// Toolkit-neutral controls of the main window: small state objects with
// the toolkit's property names. Handlers read and write them exactly as
// they would a widget; the Qt layer mirrors them into real widgets and
// feeds clicks back. Every change bumps the control's revision, so a
// binding refreshes only what changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/canvas.h"

class Control;
class Host;
class TForm;

// A value that tells its control when it changes. Reads convert
// implicitly; `edt.Text = "x"`, `if (tmr.Enabled)`, `edt.Text->size()`.
template <class T>
class Property {
public:
    Property(Control* owner, T initial = T()) : owner_(owner), value_(std::move(initial)) {}
    Property(const Property&) = delete;
    Property& operator=(const Property& other) { return *this = other.value_; }
    Property& operator=(T value);

    operator const T&() const { return value_; }
    const T& get() const { return value_; }
    const T* operator->() const { return &value_; }

    friend bool operator==(const Property& a, const T& b) { return a.value_ == b; }
    friend bool operator!=(const Property& a, const T& b) { return !(a.value_ == b); }
    friend T operator+(const Property& a, const T& b) requires std::is_same_v<T, std::string> { return a.value_ + b; }
    friend T operator+(const T& a, const Property& b) requires std::is_same_v<T, std::string> { return a + b.value_; }

private:
    Control* owner_;
    T value_;
};

// Base of every control: name, place, visibility, enabled state, Tag.
class Control {
public:
    Control(TForm* form, std::string name, Control* parent = nullptr);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& Name() const { return name_; }
    Control* Parent() const { return parent_; }
    void setParent(Control* parent) {
        parent_ = parent;
        changed();
    }

    // Geometry in pixels relative to the parent; static after creation.
    int Left = 0, Top = 0, Width = 0, Height = 0;
    Control& setBounds(int left, int top, int width, int height) {
        Left = left;
        Top = top;
        Width = width;
        Height = height;
        return *this;
    }

    Property<bool> Enabled{this, true};
    Property<bool> Visible{this, true};
    Property<int> Tag{this, 0};

    // Bumped by every property change.
    uint64_t revision() const { return revision_; }
    // The binding's hook: called after every change.
    std::function<void(Control&)> onChange;

    virtual void changed() {
        ++revision_;
        if (onChange) onChange(*this);
    }

    // Gives this control the keyboard focus (through the form's hook).
    void SetFocus();

private:
    TForm* form_;
    std::string name_;
    Control* parent_;
    uint64_t revision_ = 0;
};

template <class T>
Property<T>& Property<T>::operator=(T value) {
    if (!(value_ == value)) {
        value_ = std::move(value);
        owner_->changed();
    }
    return *this;
}

// Line list of memos and name/value grids. Add() of a text that holds line
// breaks adds one line per piece, as a memo shows it. Appends are tracked
// apart from other edits so a console of many thousand lines refreshes by
// its new lines only.
class TStrings {
public:
    explicit TStrings(Control* owner) : owner_(owner) {}
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;

    void Add(const std::string& text);
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_[static_cast<size_t>(index)]; }
    void setLine(int index, const std::string& text);
    // Every line followed by CR LF.
    std::string Text() const;
    // Replaces all lines; CR LF, LF or CR end a line; a final line break
    // does not add an empty line.
    void setText(const std::string& text);
    int IndexOf(const std::string& line) const;
    const std::vector<std::string>& lines() const { return lines_; }

    // Changes other than appends (clear, insert, delete, replace) bump the
    // generation: a binding that saw generation g and n lines appends
    // lines n.. while the generation stays g, and reloads otherwise.
    uint64_t generation() const { return generation_; }

private:
    void reset() { ++generation_; }
    Control* owner_;
    std::vector<std::string> lines_;
    uint64_t generation_ = 0;
};

class TLabel : public Control {
public:
    TLabel(TForm* form, std::string name, std::string caption = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)) {}
    Property<std::string> Caption;
    Property<uint32_t> FontColor{this, 0x000000};  // RGB
    Property<int> FontSize{this, 0};               // points; 0: the window's font
    Property<bool> FontBold{this, false};
};

class TGroupBox : public Control {
public:
    TGroupBox(TForm* form, std::string name, std::string caption = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)) {}
    Property<std::string> Caption;
};

class TPanel : public Control {
public:
    using Control::Control;
    Property<bool> DoubleBuffered{this, false};
};

class TEdit : public Control {
public:
    TEdit(TForm* form, std::string name, std::string text = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Text(this, std::move(text)) {}
    Property<std::string> Text;
    Property<bool> ReadOnly{this, false};
    bool NumbersOnly = false;
    std::function<void()> OnChange;
};

// Integer of an edit as the toolkit converts it; otherwise shows the
// toolkit's conversion error ("'x' is not a valid integer value") and
// returns false.
bool editInteger(Host& host, const TEdit& edit, int& value);

class TMemo : public Control {
public:
    TMemo(TForm* form, std::string name, Control* parent = nullptr) : Control(form, std::move(name), parent) {}
    TStrings Lines{this};
    // The control's text: lines joined by CR LF, no final line break.
    std::string Text() const;
    void setText(const std::string& text) { Lines.setText(text); }
    Property<bool> ReadOnly{this, false};
    Property<bool> WordWrap{this, true};
};

class TButton : public Control {
public:
    TButton(TForm* form, std::string name, std::string caption = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)) {}
    Property<std::string> Caption;
    std::string Hint;
    std::function<void()> OnClick;
};

class TCheckBox : public Control {
public:
    TCheckBox(TForm* form, std::string name, std::string caption = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)) {}
    Property<std::string> Caption;
    // Setting Checked from code does not run OnClick; the procedures run
    // the click handler themselves when they need it.
    Property<bool> Checked{this, false};
    std::function<void()> OnClick;
};

class TRadioGroup : public Control {
public:
    TRadioGroup(TForm* form, std::string name, std::string caption = {}, std::vector<std::string> items = {},
                Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)), Items(this, std::move(items)) {}
    Property<std::string> Caption;
    Property<std::vector<std::string>> Items;
    Property<int> ItemIndex{this, -1};
    // Items fill the columns top to bottom, left to right.
    int Columns = 1;
    std::function<void()> OnClick;
};

class TTrackBar : public Control {
public:
    using Control::Control;
    Property<int> Min{this, 0};
    Property<int> Max{this, 10};
    Property<int> Position{this, 0};
    std::function<void()> OnChange;
};

// Plain or image combo box (the LED selectors carry an image list name).
class TComboBox : public Control {
public:
    TComboBox(TForm* form, std::string name, std::vector<std::string> items = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Items(this, std::move(items)) {}
    Property<std::vector<std::string>> Items;
    Property<int> ItemIndex{this, -1};
    Property<std::string> Text{this};
    Property<std::string> Images{this};
    std::function<void()> OnChange;
    std::function<void()> OnDblClick;
};

// A window timer. The host schedules it from Interval and Enabled: setting
// Enabled to true, or changing Interval while enabled, starts a new
// interval. A tick never starts while the previous tick of the same timer
// still runs.
class TTimer : public Control {
public:
    TTimer(TForm* form, std::string name, int interval = 1000, bool enabled = false)
        : Control(form, std::move(name)), Interval(this, interval) {
        Enabled = enabled;
    }
    Property<int> Interval;
    std::function<void()> OnTimer;
    ~TTimer() override {
        if (onRelease) onRelease(*this);
    }
    // The host's hooks (set when the host registers the timer): a change
    // of Interval or Enabled, and the timer going away.
    std::function<void(TTimer&)> onSchedule;
    std::function<void(TTimer&)> onRelease;
    void changed() override {
        Control::changed();
        if (onSchedule) onSchedule(*this);
    }
};

class TStatusBar : public Control {
public:
    TStatusBar(TForm* form, std::string name, std::string text = {}, Control* parent = nullptr)
        : Control(form, std::move(name), parent), SimpleText(this, std::move(text)) {}
    Property<std::string> SimpleText;
    Property<uint32_t> Color{this, 0xF0F0F0};  // RGB
};

class TTabSheet : public Control {
public:
    TTabSheet(TForm* form, std::string name, std::string caption, Control* parent = nullptr)
        : Control(form, std::move(name), parent), Caption(this, std::move(caption)) {}
    Property<std::string> Caption;
};

class TPageControl : public Control {
public:
    using Control::Control;
    std::vector<TTabSheet*> Pages;  // tab index order
    Property<int> ActivePageIndex{this, 0};
    int PageCount() const { return static_cast<int>(Pages.size()); }
    std::function<void()> OnChange;
};

// Name/value grid: its rows are the lines "key=value" of Strings.
class TValueListEditor : public Control {
public:
    using Control::Control;
    TStrings Strings{this};
    std::string TitleKey = "Key", TitleValue = "Value";
    int ColWidth0 = 0, ColWidth1 = 0;
    Property<int> Row{this, 1};                           // selected row, 1 = first data row
    int RowCount() const { return Strings.Count() + 1; }  // with the title row
    // Row lookup by key text: index into Strings or -1.
    int FindKey(const std::string& key) const;
    std::string Keys(int line) const;
    std::string ValueAt(int line) const;
    // Value of the row with this key; empty when there is none.
    std::string Values(const std::string& key) const;
    // Sets the value of the row with this key, adding the row when missing.
    void setValue(const std::string& key, const std::string& value);
    // Owner drawing by column and row (row 0 is the title row): the cell's
    // colours, and the text drawn in place of the key or value (empty: the
    // key or value itself). Editing still edits the value.
    struct CellStyle {
        uint32_t background = 0xFFFFFF, text = 0x000000;
        bool bold = false;
    };
    std::function<CellStyle(int col, int row)> OnDrawCell;
    std::function<std::string(int col, int row)> OnCellText;
    std::string FontName;  // empty: the window's font
};

class TPaintBox : public Control {
public:
    using Control::Control;
    Property<uint32_t> Color{this, 0xFFFFFF};
    std::function<void(TPaintBox& sender, TCanvas& canvas)> OnPaint;
};

// A window's controls by name (the window looks some up by name).
class TForm {
public:
    TForm() = default;
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;
    virtual ~TForm() = default;

    Control* FindComponent(const std::string& name) const;
    const std::vector<Control*>& Components() const { return components_; }

    std::string Caption;
    int Left = 0, Top = 0, ClientWidth = 0, ClientHeight = 0;
    bool KeyPreview = false;
    bool DoubleBuffered = false;
    // The binding's hook for SetFocus.
    std::function<void(Control&)> onSetFocus;

private:
    friend class Control;
    void addComponent(Control* control);
    void removeComponent(Control* control);
    std::vector<Control*> components_;
    std::map<std::string, Control*> byName_;
};

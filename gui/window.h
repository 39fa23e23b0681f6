// The Qt main window: one widget per control of the window model, bound by
// control kind. Every control the model holds gets its widget at
// construction (the pages add controls to the model and need nothing
// here); a control's change counter tells the binding what to refresh;
// user input is written back into the control and its handler is run.
//
// The window must go before the form whose controls it shows; a control
// destroyed earlier loses its widget at the next refresh.
//
// Default view: the client area of 527 x 314. The engineering view
// (Ctrl+E, or the window's context menu) widens the window so that the
// page control and the controls below the client area show, and shows the
// hidden diagnostic and log retrieval controls. When the screen cannot
// hold that view, the window stops at the screen's edge and its client
// scrolls; the controls keep their places.
#pragma once

#include <QRect>
#include <QSize>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <vector>

#include "app/bindings.h"
#include "pages/main_window.h"

class QAction;
class QScrollArea;
class QTimer;
class QtHost;

class MainWindow : public QWidget {
public:
    MainWindow(TFrmTestQOB& form, QtHost& host);
    ~MainWindow() override;

    TFrmTestQOB& form() { return form_; }

    // Brings every widget whose control changed up to date.
    void flush();
    // Flushes soon, from the event loop.
    void scheduleFlush();

    // The widget bound to a control (nullptr for timers and unknown kinds).
    QWidget* widgetOf(const Control& control) const;
    template <class W>
    W* widgetAs(const Control& control) const {
        return dynamic_cast<W*>(widgetOf(control));
    }
    // Where a control sits, relative to its parent widget.
    QRect placeOf(const Control& control) const;

    void setEngineeringView(bool on);
    bool engineeringView() const { return engineering_; }
    QAction* engineeringAction() const { return engineeringAction_; }
    QSize normalSize() const;
    QSize engineeringSize() const;
    // The widget that holds the form's own controls (inside the scroll area).
    QWidget* client() const { return client_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // The room the window may take on screen (frame included); empty: the
    // screen's available geometry. Tests and pictures set their own.
    void setScreenRoom(QSize room);

    // Window creation: runs FormCreate, brings the widgets up to date and
    // places the window where the model put it (the top-left corner).
    void startUp();
    void applyFormPlacement();

    void repaintBox(TPaintBox& box);
    // The serial-ports dialog; choosing a port writes it into the COM field.
    void showPortsDialog();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The widget side of a binding.
    struct Widgets {
        QPointer<QWidget> widget;
        QPointer<QWidget> container;  // where the control's children go
        QRect place;                  // model bounds, or laid out
        bool autoSize = false;        // a label without a width
    };
    using Binding = BindingSet<Widgets>::Binding;

    bool componentsChanged() const;
    // Drops the widgets of controls that are gone, binds the new ones.
    void bindNewControls();
    Binding* bind(Control& control);
    Binding* bindingOf(const Control* control) const { return bindings_.find(control); }
    QWidget* containerFor(Control& control);
    // Widgets by control kind, chosen from the table in window.cpp.
    struct WidgetKind;
    static const WidgetKind* kindOf(const Control& control);
    void createWidget(Binding& b, QWidget* parent);
    void createLabel(Binding& b, TLabel* label, QWidget* parent);
    void createGroupBox(Binding& b, TGroupBox* group, QWidget* parent);
    void createRadioGroup(Binding& b, TRadioGroup* radio, QWidget* parent);
    void createPanel(Binding& b, TPanel*, QWidget* parent);
    void createEdit(Binding& b, TEdit* edit, QWidget* parent);
    void createMemo(Binding& b, TMemo* memo, QWidget* parent);
    void createButton(Binding& b, TButton* button, QWidget* parent);
    void createCheckBox(Binding& b, TCheckBox* check, QWidget* parent);
    void createTrackBar(Binding& b, TTrackBar* track, QWidget* parent);
    void createComboBox(Binding& b, TComboBox* combo, QWidget* parent);
    void createStatusBar(Binding& b, TStatusBar* status, QWidget* parent);
    void createPageControl(Binding& b, TPageControl* pages, QWidget* parent);
    void createValueList(Binding& b, TValueListEditor* grid, QWidget* parent);
    void createPaintBox(Binding& b, TPaintBox* box, QWidget* parent);
    void createTabSheet(Binding& b, TTabSheet*, QWidget* parent);
    void layoutUnplaced();
    QSize arrangeChildren(Control* parent, int areaHeight);
    QSize defaultSize(const Binding& b) const;
    void applyCommon(Binding& b);
    void feed(Binding& b, const std::function<void()>& write) { bindings_.feed(b, write); }
    // Sizes the client to the view and the window to what the screen holds.
    void applySize();

    TFrmTestQOB& form_;
    QtHost& host_;
    BindingSet<Widgets> bindings_;
    std::map<const Control*, std::vector<Control*>> children_;
    // The form's component list as last seen: a change in size or in the
    // last entry means controls came or went.
    size_t knownComponents_ = 0;
    const Control* lastComponent_ = nullptr;
    bool flushPosted_ = false;
    bool engineering_ = false;
    QAction* engineeringAction_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* client_ = nullptr;
    QSize screenRoom_;
    QTimer* closeRetry_ = nullptr;
};

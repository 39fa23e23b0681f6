#include "gui/window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <set>

#include "gui/ports_dialog.h"
#include "gui/qt_host.h"

namespace {

QColor rgbColor(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// Fonts by name, resolved to a family this machine has from a fixed list,
// so the window looks and measures the same wherever those fonts exist.
// "Courier" and the console ask for fixed pitch; anything else for sans.
QString firstInstalled(std::initializer_list<const char*> names, QFontDatabase::SystemFont fallback) {
    const QStringList installed = QFontDatabase::families();
    for (const char* name : names)
        if (installed.contains(QString::fromLatin1(name))) return QString::fromLatin1(name);
    return QFontDatabase::systemFont(fallback).family();
}

QFont namedFont(const std::string& face, int pixelSize) {
    static const QString fixed = firstInstalled(
        {"DejaVu Sans Mono", "Liberation Mono", "Nimbus Mono PS", "Courier New", "FreeMono", "Noto Sans Mono"},
        QFontDatabase::FixedFont);
    // Narrow faces first: the captions were sized for a narrow sans serif.
    static const QString sans =
        firstInstalled({"Liberation Sans", "Arimo", "Arial", "Nimbus Sans", "DejaVu Sans", "FreeSans", "Noto Sans"},
                       QFontDatabase::GeneralFont);
    const bool mono = face == "Courier" || face == "Courier New" || face == "fixed";
    QFont font(mono ? fixed : sans);
    font.setStyleHint(mono ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(mono);
    // DejaVu Sans is wide; its condensed face measures like the narrow ones.
    if (!mono && sans == QLatin1String("DejaVu Sans")) font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(pixelSize);
    return font;
}

// The console's light-yellow "info" background.
const QColor kConsoleBackground(0xFF, 0xFF, 0xE1);

// Key codes as the production-test page expects them (Windows virtual keys):
// letters, digits and space share Qt's codes; the rest by table.
int virtualKeyCode(int qtKey) {
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) ||
        qtKey == Qt::Key_Space)
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
    // clang-format off
    static const std::pair<int, int> table[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},     {Qt::Key_Return, 13},  {Qt::Key_Enter, 13},
        {Qt::Key_Shift, 16},    {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},     {Qt::Key_Pause, 19},
        {Qt::Key_Escape, 27},   {Qt::Key_PageUp, 33},  {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},
        {Qt::Key_Home, 36},     {Qt::Key_Left, 37},    {Qt::Key_Up, 38},      {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},     {Qt::Key_Insert, 45},  {Qt::Key_Delete, 46},
    };
    // clang-format on
    for (const auto& [qt, vk] : table)
        if (qt == qtKey) return vk;
    return qtKey & 0xFFFF;
}

class QtCanvas : public TCanvas {
public:
    QtCanvas(QPainter& painter, QSize size) : painter_(painter), size_(size) {}
    int width() const override { return size_.width(); }
    int height() const override { return size_.height(); }
    void setPen(uint32_t rgb, int width) override { painter_.setPen(QPen(rgbColor(rgb), width)); }
    void setBrush(uint32_t rgb) override { brush_ = rgbColor(rgb); }
    // Right and bottom are exclusive.
    void fillRect(int left, int top, int right, int bottom) override {
        painter_.fillRect(QRect(left, top, right - left, bottom - top), brush_);
    }
    void moveTo(int x, int y) override { pen_ = QPoint(x, y); }
    void lineTo(int x, int y) override {
        painter_.drawLine(pen_, QPoint(x, y));
        pen_ = QPoint(x, y);
    }
    void textOut(int x, int y, const std::string& text) override {
        const QPen pen = painter_.pen();
        if (textColour_.isValid()) painter_.setPen(textColour_);
        painter_.drawText(QRect(x, y, 4096, 512), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, qtText(text));
        painter_.setPen(pen);
    }
    void setFont(const std::string& face, int pointSize, uint32_t rgb) override {
        // Points at the 96 dots per inch the drawings are laid out for.
        painter_.setFont(namedFont(face, (pointSize * 96 + 36) / 72));
        textColour_ = rgbColor(rgb);
    }
    void setTextBackgroundTransparent(bool transparent) override {
        painter_.setBackgroundMode(transparent ? Qt::TransparentMode : Qt::OpaqueMode);
        painter_.setBackground(Qt::white);
    }

private:
    QPainter& painter_;
    QSize size_;
    QColor brush_ = Qt::white;
    QColor textColour_;
    QPoint pen_;
};

class PaintBoxWidget : public QWidget {
public:
    PaintBoxWidget(TPaintBox& box, QWidget* parent) : QWidget(parent), box_(box) {}

protected:
    void paintEvent(QPaintEvent*) override {
        // Drawn off screen first, so a live graph never shows half a frame.
        const qreal ratio = devicePixelRatioF();
        if (buffer_.size() != size() * ratio) {
            buffer_ = QPixmap(size() * ratio);
            buffer_.setDevicePixelRatio(ratio);
        }
        buffer_.fill(rgbColor(box_.Color));
        if (box_.OnPaint) {
            QPainter offscreen(&buffer_);
            QtCanvas canvas(offscreen, size());
            // No dialog from inside a paint; the fault goes to stderr.
            try {
                box_.OnPaint(box_, canvas);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s: paint failed: %s\n", box_.Name().c_str(), e.what());
            }
        }
        QPainter(this).drawPixmap(0, 0, buffer_);
    }

private:
    TPaintBox& box_;
    QPixmap buffer_;
};

// A picture of a serial plug for the device-manager button.
QIcon portsIcon() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(120, 150, 190));
    // Monitor.
    p.drawRoundedRect(QRectF(4, 4, 40, 28), 3, 3);
    p.setBrush(QColor(200, 225, 255));
    p.drawRect(QRectF(9, 9, 30, 18));
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(18, 32, 12, 5));
    p.drawRect(QRectF(12, 37, 24, 4));
    // A tree of devices on the screen.
    p.setPen(QPen(QColor(30, 60, 120), 1.5));
    p.drawLine(QPointF(14, 13), QPointF(14, 23));
    p.drawLine(QPointF(14, 17), QPointF(22, 17));
    p.drawLine(QPointF(14, 23), QPointF(22, 23));
    p.setBrush(QColor(30, 60, 120));
    p.drawRect(QRectF(23, 15, 10, 4));
    p.drawRect(QRectF(23, 21, 10, 4));
    return QIcon(pixmap);
}

// The LED selectors' image lists: a lamp in the item's colour; the second
// list (the LED's second attribute) draws it as a ring.
QIcon ledIcon(const std::string& imageList, const std::string& item) {
    static const std::pair<const char*, QColor> colours[] = {{"off", QColor(90, 90, 90)},
                                                             {"green", QColor(0, 200, 0)},
                                                             {"red", QColor(230, 0, 0)},
                                                             {"yellow", QColor(240, 210, 0)}};
    QColor colour;
    for (const auto& [name, c] : colours)
        if (item == name) colour = c;
    if (!colour.isValid()) return QIcon();
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(colour);
    p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    if (imageList == "ImageList2") {
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(4.5, 4.5, 5, 5));
    }
    return QIcon(pixmap);
}

template <class T>
bool sameItems(const QComboBox* box, const std::vector<T>& items) {
    if (box->count() != static_cast<int>(items.size())) return false;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i) != qtText(items[static_cast<size_t>(i)])) return false;
    return true;
}

bool unplaced(const Control& c) { return c.Left == 0 && c.Top == 0 && c.Width == 0 && c.Height == 0; }

// The text a grid cell shows when its control draws it itself.
constexpr int kDrawnTextRole = Qt::UserRole + 1;

// Paints the grid cells as the control draws them: its colours, its text
// on one line, left-aligned and vertically centred, a raised frame on the
// fixed column. The item keeps the plain value, so an edit edits that.
class DrawnCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant drawn = index.data(kDrawnTextRole);
        if (!drawn.isValid()) return QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        const QRect r = option.rect;
        painter->fillRect(r, index.data(Qt::BackgroundRole).value<QBrush>());
        if (index.column() == 0) {
            painter->setPen(option.palette.color(QPalette::Light));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.topLeft(), r.bottomLeft());
            painter->setPen(option.palette.color(QPalette::Dark));
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            painter->drawLine(r.topRight(), r.bottomRight());
        }
        if (option.state & QStyle::State_Selected) {
            QColor mark = option.palette.color(QPalette::Highlight);
            mark.setAlpha(70);
            painter->fillRect(r, mark);
        }
        painter->setFont(index.data(Qt::FontRole).value<QFont>());
        painter->setPen(index.data(Qt::ForegroundRole).value<QBrush>().color());
        painter->drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          drawn.toString());
        painter->restore();
    }
};

}  // namespace

MainWindow::MainWindow(TFrmTestQOB& form, QtHost& host)
    : QWidget(nullptr), form_(form), host_(host), bindings_([this] { scheduleFlush(); }) {
    setObjectName("TFrmTestQOB");
    setWindowTitle(qtText(form_.Caption));
    // The window's font: a plain sans serif of 8 points.
    QFont font = namedFont("Tahoma", 11);
    font.setPointSize(8);
    setFont(font);
    // Widgets under the style sheet fall back to the application's font:
    // make it the same face.
    QApplication::setFont(font);
    // Tool-window border: fixed size, no maximise.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // The form's controls sit on a client of the view's full size; the
    // scroll area shows scroll bars only when the window is smaller.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("clientScroll");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(false);
    client_ = new QWidget;
    client_->setObjectName("client");
    scroll_->setWidget(client_);
    applySize();
    // Group boxes as the window draws them: the caption sits on the frame
    // line, so children placed from the top of the box clear it.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #a0a0a0; border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px; padding: 0 1px; }"
        "QGroupBox > QRadioButton { spacing: 3px; }"));

    bindNewControls();

    engineeringAction_ = new QAction(QStringLiteral("Engineering view"), this);
    engineeringAction_->setCheckable(true);
    engineeringAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    engineeringAction_->setShortcutContext(Qt::WindowShortcut);
    connect(engineeringAction_, &QAction::toggled, this, [this](bool on) { setEngineeringView(on); });
    addAction(engineeringAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    closeRetry_ = new QTimer(this);
    closeRetry_->setInterval(100);
    connect(closeRetry_, &QTimer::timeout, this, [this] {
        if (host_.nesting() == 0) {
            closeRetry_->stop();
            close();
        }
    });

    form_.onSetFocus = [this](Control& c) {
        // Enabled states first: disabling the focused button moves the
        // focus on by itself.
        flush();
        if (QWidget* w = widgetOf(c); w && w->isEnabled()) w->setFocus(Qt::OtherFocusReason);
    };

    qApp->installEventFilter(this);
    host_.setWindow(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    host_.setWindow(nullptr);
    form_.onSetFocus = nullptr;
    bindings_.detach();
}

QSize MainWindow::normalSize() const { return QSize(form_.ClientWidth, form_.ClientHeight); }

// Everything on the client area, with the same margin the model keeps.
QSize MainWindow::engineeringSize() const {
    QRect all(QPoint(0, 0), normalSize());
    for (const auto& b : bindings_)
        if (!b->control->Parent() && b->widget && !dynamic_cast<TTimer*>(b->control)) all |= b->place;
    return QSize(all.right() + 1 + 8, all.bottom() + 1 + 8);
}

void MainWindow::setEngineeringView(bool on) {
    if (engineering_ == on) return;
    engineering_ = on;
    if (engineeringAction_ && engineeringAction_->isChecked() != on) engineeringAction_->setChecked(on);
    applySize();
    for (auto& b : bindings_)
        if (form_.engineeringOnly(*b->control)) applyCommon(*b);
}

void MainWindow::setScreenRoom(QSize room) {
    screenRoom_ = room;
    applySize();
}

void MainWindow::applySize() {
    const QSize content = engineering_ ? engineeringSize() : normalSize();
    client_->setFixedSize(content);
    QSize room = screenRoom_;
    if (room.isEmpty()) {
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        room = s ? s->availableGeometry().size() : content;
    }
    // The frame is known once shown; before that, a typical title bar and border.
    QSize frame = frameGeometry().size() - size();
    if (!isVisible() || frame.isEmpty()) frame = QSize(2 * 8, 31 + 8);
    room -= frame;
    // Scroll bars take room from the view: a bar in one direction can call
    // for the other.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    QSize window = content;
    bool across = window.width() > room.width(), down = window.height() > room.height();
    if (across) window.rheight() += bar;
    if (!down && window.height() > room.height()) down = true;
    if (down) window.rwidth() += bar;
    if (!across && window.width() > room.width()) window.rheight() += bar;
    window = window.boundedTo(room).expandedTo(normalSize());
    setFixedSize(window);
    scroll_->setGeometry(rect());
}

void MainWindow::applyFormPlacement() { move(form_.Left, form_.Top); }

void MainWindow::startUp() {
    runGuarded([this] { form_.FormCreate(); });
    flush();
    applyFormPlacement();
}

QWidget* MainWindow::widgetOf(const Control& control) const {
    Binding* b = bindingOf(&control);
    return b ? b->widget : nullptr;
}

QRect MainWindow::placeOf(const Control& control) const {
    Binding* b = bindingOf(&control);
    return b ? b->place : QRect();
}

QWidget* MainWindow::containerFor(Control& control) {
    if (!control.Parent()) return client_;
    Binding* parent = bindingOf(control.Parent());
    if (!parent) parent = bind(*control.Parent());
    return parent && parent->container ? parent->container.data() : client_;
}

MainWindow::Binding* MainWindow::bind(Control& control) {
    return bindings_.bind(control, [&](Binding& b) {
        createWidget(b, containerFor(control));
        if (!b.widget) return false;
        b.widget->setObjectName(qtText(control.Name()));
        b.place = QRect(control.Left, control.Top, control.Width, control.Height);
        return true;
    });
}

void MainWindow::scheduleFlush() {
    if (flushPosted_) return;
    flushPosted_ = true;
    QTimer::singleShot(0, this, [this] { flush(); });
}

// Controls the model creates later (at start-up or at run time) get their
// widgets on the next flush; controls that went lose theirs.
bool MainWindow::componentsChanged() const {
    const auto& all = form_.Components();
    return all.size() != knownComponents_ || (all.empty() ? nullptr : all.back()) != lastComponent_;
}

void MainWindow::bindNewControls() {
    if (!componentsChanged()) return;
    const auto& all = form_.Components();
    knownComponents_ = all.size();
    lastComponent_ = all.empty() ? nullptr : all.back();
    const std::set<const Control*> present(all.begin(), all.end());

    bindings_.dropIf([&](const Binding& b) { return !present.count(b.control); },
                     [](Binding& b) {
                         if (b.widget) delete b.widget.data();
                     });
    children_.clear();
    for (Control* c : all)
        if (c->Parent()) children_[c->Parent()].push_back(c);
    for (Control* c : all) bind(*c);
    layoutUnplaced();
    for (auto& b : bindings_) applyCommon(*b);
    flush();
}

void MainWindow::flush() {
    flushPosted_ = false;
    form_.noteLinkState();
    if (componentsChanged()) bindNewControls();
    bindings_.flush([this](Binding& b) { applyCommon(b); });
}

void MainWindow::applyCommon(Binding& b) {
    if (!b.widget) return;
    Control& c = *b.control;
    if (auto* sheet = dynamic_cast<TTabSheet*>(&c)) {
        if (auto* tabs = dynamic_cast<QTabWidget*>(b.widget->parentWidget() ? b.widget->parentWidget()->parentWidget()
                                                                            : nullptr)) {
            const int index = tabs->indexOf(b.widget);
            if (index >= 0) {
                tabs->setTabText(index, qtText(sheet->Caption));
                tabs->setTabVisible(index, c.Visible);
                tabs->setTabEnabled(index, c.Enabled);
            }
        }
        return;
    }
    if (!unplaced(c)) b.place = QRect(c.Left, c.Top, c.Width, c.Height);
    if (b.autoSize) {
        b.widget->adjustSize();
        b.place.setSize(b.widget->size());
    }
    if (b.widget->geometry() != b.place) b.widget->setGeometry(b.place);
    b.widget->setEnabled(c.Enabled);
    b.widget->setVisible(c.Visible || (engineering_ && form_.engineeringOnly(c)));
}

// ---- widgets by control kind -------------------------------------------

// One row per control kind: how its widget is made and how big it is when
// the model gives no bounds. No kind derives from another, so the order of
// the rows does not matter.
struct MainWindow::WidgetKind {
    template <class T>
    static WidgetKind of(void (MainWindow::*create)(Binding&, T*, QWidget*),
                         std::function<QSize(const T&, const QFontMetrics&)> size) {
        return {
            [](const Control& c) { return dynamic_cast<const T*>(&c) != nullptr; },
            [create](MainWindow& window, Binding& b, QWidget* parent) {
                (window.*create)(b, static_cast<T*>(b.control), parent);
            },
            [size](const Control& c, const QFontMetrics& metrics) { return size(static_cast<const T&>(c), metrics); }};
    }
    template <class T>
    static WidgetKind of(void (MainWindow::*create)(Binding&, T*, QWidget*), QSize size) {
        return of<T>(create, [size](const T&, const QFontMetrics&) { return size; });
    }

    bool (*is)(const Control&);
    std::function<void(MainWindow&, Binding&, QWidget*)> create;
    std::function<QSize(const Control&, const QFontMetrics&)> defaultSize;
};

namespace {

int textWidth(const QFontMetrics& metrics, const std::string& text) { return metrics.horizontalAdvance(qtText(text)); }

// A kind without a widget yet, or without bounds of its own.
const QSize kOtherSize(185, 41);

}  // namespace

const MainWindow::WidgetKind* MainWindow::kindOf(const Control& control) {
    using K = WidgetKind;
    static const WidgetKind kinds[] = {
        K::of<TLabel>(
            &MainWindow::createLabel,
            [](const TLabel& label, const QFontMetrics& m) { return QSize(textWidth(m, label.Caption) + 2, 13); }),
        K::of<TGroupBox>(&MainWindow::createGroupBox, kOtherSize),
        K::of<TRadioGroup>(&MainWindow::createRadioGroup,
                           [](const TRadioGroup& radio, const QFontMetrics&) {
                               return QSize(185, 24 + 20 * static_cast<int>(radio.Items->size()));
                           }),
        K::of<TPanel>(&MainWindow::createPanel, kOtherSize),
        K::of<TEdit>(&MainWindow::createEdit, QSize(121, 21)),
        K::of<TMemo>(&MainWindow::createMemo, QSize(305, 177)),
        K::of<TButton>(&MainWindow::createButton,
                       [](const TButton& button, const QFontMetrics& m) {
                           return QSize(std::max(75, textWidth(m, button.Caption) + 16), 25);
                       }),
        K::of<TCheckBox>(&MainWindow::createCheckBox,
                         [](const TCheckBox& check, const QFontMetrics& m) {
                             return QSize(std::max(97, textWidth(m, check.Caption) + 24), 17);
                         }),
        K::of<TTrackBar>(&MainWindow::createTrackBar, QSize(150, 33)),
        K::of<TComboBox>(&MainWindow::createComboBox, QSize(145, 21)),
        K::of<TStatusBar>(&MainWindow::createStatusBar, QSize(200, 19)),
        K::of<TPageControl>(&MainWindow::createPageControl, kOtherSize),
        K::of<TValueListEditor>(&MainWindow::createValueList, QSize(300, 300)),
        K::of<TPaintBox>(&MainWindow::createPaintBox, QSize(300, 200)),
        K::of<TTabSheet>(&MainWindow::createTabSheet, kOtherSize),
    };
    for (const WidgetKind& kind : kinds)
        if (kind.is(control)) return &kind;
    return nullptr;
}

void MainWindow::createWidget(Binding& b, QWidget* parent) {
    if (const WidgetKind* kind = kindOf(*b.control)) return kind->create(*this, b, parent);
    // A kind without a widget yet: an empty frame keeps its children.
    auto* w = new QFrame(parent);
    b.widget = b.container = w;
}

void MainWindow::createLabel(Binding& b, TLabel* label, QWidget* parent) {
    auto* w = new QLabel(parent);
    b.widget = w;
    b.autoSize = label->Width == 0;
    b.refresh = [label, w](Binding&) {
        w->setText(qtText(label->Caption));
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, rgbColor(label->FontColor));
        w->setPalette(pal);
        if (label->FontSize > 0 || label->FontBold) {
            QFont font = w->font();
            if (label->FontSize > 0) font.setPointSize(label->FontSize);
            font.setBold(label->FontBold);
            w->setFont(font);
        }
    };
}

void MainWindow::createGroupBox(Binding& b, TGroupBox* group, QWidget* parent) {
    auto* w = new QGroupBox(parent);
    b.widget = b.container = w;
    b.refresh = [group, w](Binding&) { w->setTitle(qtText(group->Caption)); };
}

void MainWindow::createRadioGroup(Binding& b, TRadioGroup* radio, QWidget* parent) {
    auto* w = new QGroupBox(parent);
    auto* layout = new QGridLayout(w);
    // Narrow margins: three columns of "no yes auto" share 110 pixels.
    layout->setContentsMargins(2, 4, 2, 4);
    layout->setSpacing(0);
    auto* buttons = new QButtonGroup(w);
    b.widget = w;
    QObject::connect(buttons, &QButtonGroup::idClicked, w, [this, &b, radio](int id) {
        feed(b, [&] { radio->ItemIndex = id; });
        runGuarded(radio->OnClick);
    });
    b.refresh = [radio, w, buttons, layout](Binding&) {
        w->setTitle(qtText(radio->Caption));
        const auto& items = radio->Items.get();
        auto current = buttons->buttons();
        bool same = current.size() == static_cast<qsizetype>(items.size());
        for (qsizetype i = 0; same && i < current.size(); ++i)
            same = buttons->button(static_cast<int>(i))->text() == qtText(items[static_cast<size_t>(i)]);
        if (!same) {
            for (QAbstractButton* old : current) {
                buttons->removeButton(old);
                delete old;
            }
            // Down the columns first, as many rows as the longest column.
            const int columns = std::max(1, radio->Columns);
            const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
            for (size_t i = 0; i < items.size(); ++i) {
                auto* r = new QRadioButton(qtText(items[i]), w);
                buttons->addButton(r, static_cast<int>(i));
                layout->addWidget(r, static_cast<int>(i) % std::max(rows, 1), static_cast<int>(i) / std::max(rows, 1));
            }
        }
        buttons->setExclusive(false);
        for (QAbstractButton* r : buttons->buttons()) r->setChecked(buttons->id(r) == radio->ItemIndex);
        buttons->setExclusive(true);
    };
}

void MainWindow::createPanel(Binding& b, TPanel*, QWidget* parent) {
    auto* w = new QFrame(parent);
    w->setFrameShape(QFrame::StyledPanel);
    b.widget = b.container = w;
}

void MainWindow::createEdit(Binding& b, TEdit* edit, QWidget* parent) {
    auto* w = new QLineEdit(parent);
    b.widget = w;
    if (edit->NumbersOnly)
        w->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), w));
    QObject::connect(w, &QLineEdit::textEdited, w, [this, &b, edit](const QString& text) {
        feed(b, [&] { edit->Text = modelText(text); });
        runGuarded(edit->OnChange);
    });
    b.refresh = [edit, w](Binding&) {
        const QString text = qtText(edit->Text);
        if (w->text() != text) w->setText(text);
        w->setReadOnly(edit->ReadOnly);
    };
}

void MainWindow::createMemo(Binding& b, TMemo* memo, QWidget* parent) {
    auto* w = new QPlainTextEdit(parent);
    b.widget = w;
    // Readouts align their values by padded labels: fixed pitch.
    if (memo->Name() == "memLog" || memo->Name() == "memState") w->setFont(namedFont("fixed", 11));
    if (memo->Name() == "memLog") {
        // The operator console: on light yellow, both bars.
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, kConsoleBackground);
        pal.setColor(QPalette::Text, Qt::black);
        w->setPalette(pal);
        w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    QObject::connect(w, &QPlainTextEdit::textChanged, w, [this, &b, memo, w] {
        if (b.feeding || w->isReadOnly() || !w->document()->isModified()) return;
        feed(b, [&] { memo->setText(modelText(w->toPlainText())); });
        b.seenGeneration = memo->Lines.generation();
        b.seenCount = memo->Lines.Count();
        w->document()->setModified(false);
    });
    b.refresh = [memo, w](Binding& self) {
        w->setReadOnly(memo->ReadOnly);
        w->setLineWrapMode(memo->WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        const TStrings& lines = memo->Lines;
        self.feeding = true;
        if (self.seenGeneration == lines.generation() && self.seenCount > 0 && lines.Count() >= self.seenCount) {
            // Only appends since the last refresh: add the new lines.
            if (lines.Count() > self.seenCount) {
                QStringList added;
                for (int i = self.seenCount; i < lines.Count(); ++i) added << qtText(lines[i]);
                w->appendPlainText(added.join('\n'));
                w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum());
            }
        } else {
            QStringList all;
            for (const auto& line : lines.lines()) all << qtText(line);
            w->setPlainText(all.join('\n'));
            if (!all.isEmpty()) w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum());
        }
        w->document()->setModified(false);
        self.feeding = false;
        self.seenGeneration = lines.generation();
        self.seenCount = lines.Count();
    };
}

void MainWindow::createButton(Binding& b, TButton* button, QWidget* parent) {
    auto* w = new QPushButton(parent);
    b.widget = w;
    if (button->Name() == "btnShowDevMan") {
        // Picture only; its hint is not shown.
        w->setIcon(portsIcon());
        w->setIconSize(QSize(48, 48));
    }
    QObject::connect(w, &QPushButton::clicked, w, [button] { runBusy(button->OnClick); });
    b.refresh = [button, w](Binding&) { w->setText(qtText(button->Caption)); };
}

void MainWindow::createCheckBox(Binding& b, TCheckBox* check, QWidget* parent) {
    auto* w = new QCheckBox(parent);
    b.widget = w;
    QObject::connect(w, &QCheckBox::clicked, w, [this, &b, check](bool on) {
        feed(b, [&] { check->Checked = on; });
        runBusy(check->OnClick);
    });
    b.refresh = [check, w](Binding&) {
        w->setText(qtText(check->Caption));
        if (w->isChecked() != check->Checked) w->setChecked(check->Checked);
    };
}

void MainWindow::createTrackBar(Binding& b, TTrackBar* track, QWidget* parent) {
    auto* w = new QSlider(Qt::Horizontal, parent);
    w->setTickPosition(QSlider::TicksBelow);
    w->setPageStep(1);
    b.widget = w;
    QObject::connect(w, &QSlider::valueChanged, w, [this, &b, track](int value) {
        if (b.feeding) return;
        feed(b, [&] { track->Position = value; });
        runGuarded(track->OnChange);
    });
    b.refresh = [track, w](Binding& self) {
        self.feeding = true;
        w->setRange(track->Min, track->Max);
        w->setValue(track->Position);
        self.feeding = false;
    };
}

void MainWindow::createComboBox(Binding& b, TComboBox* combo, QWidget* parent) {
    auto* w = new QComboBox(parent);
    b.widget = w;
    QObject::connect(w, QOverload<int>::of(&QComboBox::activated), w, [this, &b, combo, w](int index) {
        feed(b, [&] {
            combo->ItemIndex = index;
            combo->Text = modelText(w->itemText(index));
        });
        runGuarded(combo->OnChange);
    });
    // A press opens the popup, so a double click never reaches the box:
    // its double-click action is offered in the context menu instead.
    auto* dblClick = new QAction(QStringLiteral("Switch image list"), w);
    w->addAction(dblClick);
    w->setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(dblClick, &QAction::triggered, w, [combo] { runGuarded(combo->OnDblClick); });
    b.refresh = [combo, w, dblClick](Binding& self) {
        self.feeding = true;
        if (!sameItems(w, combo->Items.get())) {
            w->clear();
            for (const auto& item : combo->Items.get()) w->addItem(qtText(item));
        }
        if (!combo->Images->empty() || !w->itemIcon(0).isNull())
            for (int i = 0; i < w->count(); ++i)
                w->setItemIcon(i, ledIcon(combo->Images, combo->Items.get()[static_cast<size_t>(i)]));
        w->setCurrentIndex(combo->ItemIndex);
        dblClick->setVisible(static_cast<bool>(combo->OnDblClick));
        w->setToolTip(qtText(combo->Images));
        self.feeding = false;
    };
}

void MainWindow::createStatusBar(Binding& b, TStatusBar* status, QWidget* parent) {
    auto* w = new QLabel(parent);
    w->setAutoFillBackground(true);
    w->setIndent(4);
    w->setFrameShape(QFrame::Panel);
    w->setFrameShadow(QFrame::Sunken);
    b.widget = w;
    b.refresh = [status, w](Binding&) {
        w->setText(qtText(status->SimpleText));
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, rgbColor(status->Color));
        pal.setColor(QPalette::WindowText, Qt::black);
        w->setPalette(pal);
    };
}

void MainWindow::createPageControl(Binding& b, TPageControl* pages, QWidget* parent) {
    auto* w = new QTabWidget(parent);
    b.widget = w;
    // The sheets in tab index order, then any sheet not listed.
    std::vector<TTabSheet*> sheets = pages->Pages;
    for (Control* child : children_[pages])
        if (auto* sheet = dynamic_cast<TTabSheet*>(child);
            sheet && std::find(sheets.begin(), sheets.end(), sheet) == sheets.end())
            sheets.push_back(sheet);
    for (TTabSheet* sheet : sheets) {
        Binding& sb = bindings_.add(*sheet);
        auto* page = new QWidget;
        page->setObjectName(qtText(sheet->Name()));
        w->addTab(page, qtText(sheet->Caption));
        sb.widget = sb.container = page;
        bindings_.watch(sb);
        bindings_.markDirty(sb);
    }
    QObject::connect(w, &QTabWidget::currentChanged, w, [this, &b, pages](int index) {
        if (b.feeding) return;
        feed(b, [&] { pages->ActivePageIndex = index; });
        runGuarded(pages->OnChange);
    });
    b.refresh = [pages, w](Binding& self) {
        self.feeding = true;
        if (w->currentIndex() != pages->ActivePageIndex) w->setCurrentIndex(pages->ActivePageIndex);
        self.feeding = false;
    };
}

void MainWindow::createValueList(Binding& b, TValueListEditor* grid, QWidget* parent) {
    auto* w = new QTableWidget(parent);
    w->setColumnCount(2);
    w->setHorizontalHeaderLabels({qtText(grid->TitleKey), qtText(grid->TitleValue)});
    w->verticalHeader()->setVisible(false);
    w->verticalHeader()->setDefaultSectionSize(18);
    w->horizontalHeader()->setStretchLastSection(true);
    w->setSelectionBehavior(QAbstractItemView::SelectRows);
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    if (grid->ColWidth0 > 0) w->setColumnWidth(0, grid->ColWidth0);
    if (!grid->FontName.empty()) {
        const QFont face = namedFont(grid->FontName, 11);
        w->setFont(face);
        w->horizontalHeader()->setFont(face);
    }
    if (grid->OnCellText) w->setItemDelegate(new DrawnCellDelegate(w));
    b.widget = w;
    QObject::connect(w, &QTableWidget::itemChanged, w, [this, &b, grid, w](QTableWidgetItem* item) {
        if (b.feeding || item->column() != 1) return;
        const int line = item->row();
        if (line < 0 || line >= grid->Strings.Count()) return;
        feed(b, [&] { grid->Strings.setLine(line, grid->Keys(line) + "=" + modelText(item->text())); });
        b.seenGeneration = grid->Strings.generation();
        b.seenCount = grid->Strings.Count();
        // The row's drawing follows the new value.
        if (grid->OnCellText) {
            b.feeding = true;
            for (int col = 0; col < 2; ++col) {
                const std::string drawn = grid->OnCellText(col, line + 1);
                if (QTableWidgetItem* cell = w->item(line, col))
                    cell->setData(kDrawnTextRole, drawn.empty() ? QVariant() : QVariant(qtText(drawn)));
            }
            b.feeding = false;
        }
    });
    QObject::connect(w, &QTableWidget::currentCellChanged, w, [this, &b, grid](int row, int, int, int) {
        if (b.feeding || row < 0) return;
        feed(b, [&] { grid->Row = row + 1; });
    });
    b.refresh = [grid, w](Binding& self) {
        self.feeding = true;
        const TStrings& lines = grid->Strings;
        if (self.seenGeneration != lines.generation() || self.seenCount != lines.Count() ||
            w->rowCount() != lines.Count()) {
            w->setRowCount(lines.Count());
            self.seenGeneration = lines.generation();
            self.seenCount = lines.Count();
        }
        for (int i = 0; i < lines.Count(); ++i) {
            const QString key = qtText(grid->Keys(i));
            const QString value = qtText(grid->ValueAt(i));
            for (int col = 0; col < 2; ++col) {
                QTableWidgetItem* item = w->item(i, col);
                if (!item) {
                    item = new QTableWidgetItem;
                    if (col == 0) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                    w->setItem(i, col, item);
                }
                const QString& text = col == 0 ? key : value;
                if (item->text() != text) item->setText(text);
                if (grid->OnDrawCell) {
                    const TValueListEditor::CellStyle style = grid->OnDrawCell(col, i + 1);
                    item->setBackground(rgbColor(style.background));
                    item->setForeground(rgbColor(style.text));
                    QFont f = w->font();
                    f.setBold(style.bold);
                    if (item->font() != f) item->setFont(f);
                }
                if (grid->OnCellText) {
                    const std::string drawn = grid->OnCellText(col, i + 1);
                    item->setData(kDrawnTextRole, drawn.empty() ? QVariant() : QVariant(qtText(drawn)));
                }
            }
        }
        // The title row: the drawn titles, or the column titles.
        for (int col = 0; col < 2; ++col) {
            std::string title = grid->OnCellText ? grid->OnCellText(col, 0) : std::string();
            if (title.empty()) title = col == 0 ? grid->TitleKey : grid->TitleValue;
            QTableWidgetItem* header = w->horizontalHeaderItem(col);
            if (!header) w->setHorizontalHeaderItem(col, header = new QTableWidgetItem);
            if (header->text() != qtText(title)) header->setText(qtText(title));
            header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        if (grid->Row >= 1 && grid->Row <= lines.Count() && w->currentRow() != grid->Row - 1)
            w->setCurrentCell(grid->Row - 1, w->currentColumn() < 0 ? 0 : w->currentColumn());
        self.feeding = false;
    };
}

void MainWindow::createPaintBox(Binding& b, TPaintBox* box, QWidget* parent) {
    b.widget = new PaintBoxWidget(*box, parent);
    b.refresh = [](Binding& self) { self.widget->update(); };
}

void MainWindow::createTabSheet(Binding& b, TTabSheet*, QWidget* parent) {
    // A sheet outside a page control: a plain container.
    auto* w = new QWidget(parent);
    b.widget = b.container = w;
}

void MainWindow::repaintBox(TPaintBox& box) {
    flush();
    if (QWidget* w = widgetOf(box)) w->update();
}

// ---- placing controls that came without bounds -------------------------

QSize MainWindow::defaultSize(const Binding& b) const {
    const WidgetKind* kind = kindOf(*b.control);
    return kind ? kind->defaultSize(*b.control, QFontMetrics(b.widget->font())) : kOtherSize;
}

// Flows the children without bounds down columns from the left, around
// the ones placed by the model; containers without bounds take the size of
// what they hold. Returns the extent of all children.
QSize MainWindow::arrangeChildren(Control* parent, int areaHeight) {
    const bool group = dynamic_cast<TGroupBox*>(parent) != nullptr;
    const int top = group ? 20 : 8;
    QRect extent;
    auto it = children_.find(parent);
    if (it == children_.end()) return QSize();
    std::vector<QRect> taken;
    for (Control* child : it->second) {
        Binding* b = bindingOf(child);
        if (!b || !b->widget || dynamic_cast<TTabSheet*>(child) || unplaced(*child)) continue;
        extent |= b->place;
        taken.push_back(b->place.adjusted(-4, -4, 4, 4));
    }
    int x = 8, y = top, column = 0;
    for (Control* child : it->second) {
        Binding* b = bindingOf(child);
        if (!b || !b->widget) continue;
        if (dynamic_cast<TTabSheet*>(child)) {
            arrangeChildren(child, areaHeight);
            continue;
        }
        QSize inner = children_.count(child) ? arrangeChildren(child, 10000) : QSize();
        if (!unplaced(*child)) continue;
        QSize size = defaultSize(*b);
        if (b->container && inner.isValid())
            size = QSize(std::max(size.width(), inner.width() + 8), std::max(size.height(), inner.height() + 8));
        QRect spot;
        for (int guard = 0; guard < 1000; ++guard) {
            if (y > top && y + size.height() > areaHeight) {
                x += std::max(column, 40) + 8;
                y = top;
                column = 0;
            }
            spot = QRect(QPoint(x, y), size);
            auto hit = std::find_if(taken.begin(), taken.end(), [&](const QRect& r) { return r.intersects(spot); });
            if (hit == taken.end()) break;
            y = hit->bottom() + 1 + 2;
        }
        b->place = spot;
        taken.push_back(spot.adjusted(-2, -2, 2, 2));
        extent |= spot;
        y += size.height() + 6;
        column = std::max(column, size.width());
    }
    return extent.isValid() ? QSize(extent.right() + 1, extent.bottom() + 1) : QSize();
}

void MainWindow::layoutUnplaced() {
    for (auto& b : bindings_) {
        if (auto* pages = dynamic_cast<TPageControl*>(b->control)) {
            // Room on a sheet: the control's height less its tabs.
            const int sheetHeight = std::max(100, pages->Height - 30);
            for (Control* child : children_[pages]) arrangeChildren(child, sheetHeight);
        }
    }
    // Controls of the window itself without bounds go below everything.
    int bottom = 0;
    for (auto& b : bindings_)
        if (!b->control->Parent() && b->widget && !unplaced(*b->control))
            bottom = std::max(bottom, b->place.bottom() + 1);
    int x = 8;
    for (Control* c : form_.Components()) {
        Binding* b = bindingOf(c);
        if (!b || !b->widget || c->Parent() || !unplaced(*c)) continue;
        QSize inner = children_.count(c) ? arrangeChildren(c, 10000) : QSize();
        QSize size = defaultSize(*b);
        if (b->container && inner.isValid()) size = size.expandedTo(inner + QSize(8, 8));
        b->place = QRect(QPoint(x, bottom + 8), size);
        x += size.width() + 8;
    }
}

// ---- input, dialogs, closing -------------------------------------------

void MainWindow::showPortsDialog() {
    flush();
    PortsDialog dialog(this);
    dialog.onUse = [this](int number) {
        form_.Edit1.Text = std::to_string(number);
        flush();
    };
    dialog.exec();
}

namespace {

// A control that takes typed text keeps every key, awaited or not.
bool takesText(const QWidget* w) {
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return !edit->isReadOnly();
    if (auto* memo = qobject_cast<const QPlainTextEdit*>(w)) return !memo->isReadOnly();
    return false;
}

}  // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return QWidget::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return QWidget::eventFilter(watched, event);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (type == QEvent::ShortcutOverride) {
        // The window's shortcut wins over a line edit's own use of the keys
        // (Ctrl+E is "end of line" there).
        if (engineeringAction_ && keyEvent->keyCombination() == engineeringAction_->shortcut()[0]) return true;
        return QWidget::eventFilter(watched, event);
    }
    // Key preview: the window sees a key once, when it reaches the focus
    // widget (or the window itself), before the control handles it. A key
    // that answers a wait of the production test goes no further, so a
    // Space never presses the focused button as well.
    QWidget* focus = QApplication::focusWidget();
    if (widget == focus || (!focus && widget == this)) {
        const int key = virtualKeyCode(keyEvent->key());
        bool answered = false;
        runGuarded([&] { answered = form_.FormKeyDown(key); });
        if (answered && !takesText(widget)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

// A handler that waits inside a nested loop must end before the window can
// go: closing asks it to abort and closes once it has returned.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (host_.nesting() > 0) {
        form_.btnabort.Tag = 1;
        event->ignore();
        closeRetry_->start();
        return;
    }
    event->accept();
}

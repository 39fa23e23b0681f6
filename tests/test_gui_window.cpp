// The Qt window offscreen: captions and geometry, Connect and Disconnect
// against the virtual detector through the widgets, the engineering view,
// user input reaching the model, the host's timers and the ports dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "gui/ports_dialog.h"
#include "gui/qt_host.h"
#include "gui/window.h"
#include "link/com_ports.h"
#include "support/gui_fixture.h"
#include "support/sim_fixture.h"
#include "support/work_dir.h"

// Fontconfig keeps a cache for the life of the process; a sanitized build
// should not report it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

QColor backgroundOf(const QWidget* w) { return w->palette().color(QPalette::Window); }

// The shared window fixture, plus a control the model may add later.
class GuiWindowTest : public GuiWindowFixture {
protected:
    void TearDown() override {
        window.reset();
        late.reset();
        GuiWindowFixture::TearDown();
    }
    void click(TButton& button) {
        widget<QPushButton>(button)->click();
        window->flush();
    }

    // A control the model adds after the window was built.
    std::unique_ptr<TButton> late;
};

TEST_F(GuiWindowTest, BuildsWithItsCaptionsGeometryAndTheDiscoveredPort) {
    EXPECT_EQ(window->windowTitle(), "NERAX LT automatic ultrasonic tuning v1.3");
    EXPECT_EQ(QApplication::applicationName().isEmpty(), false);
    EXPECT_EQ(window->size(), QSize(527, 314));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
    EXPECT_EQ(window->pos(), QPoint(0, 0));

    struct Case {
        Control* control;
        QRect place;
        const char* text;
    };
    const Case cases[] = {
        {&form->GroupBox27, {8, 8, 177, 117}, " CONNECTION "},
        {&form->Edit1, {37, 18, 46, 21}, nullptr},
        {&form->Button1, {9, 49, 75, 25}, "Connect"},
        {&form->Button2, {9, 80, 75, 25}, "Disconnect"},
        {&form->btnShowDevMan, {106, 21, 71, 92}, ""},
        {&form->btntuning, {8, 137, 177, 25}, "ULTRASONIC TUNING"},
        {&form->memLog, {200, 8, 321, 242}, nullptr},
        {&form->btnabort, {450, 266, 75, 25}, "ABORT"},
        {&form->StatusBar1, {0, 295, 527, 19}, "Disconnected"},
        {&form->btnres, {8, 349, 177, 25}, "RESET DEVICE"},
        {&form->btnSetRam, {451, 324, 70, 25}, "set RAM"},
        {&form->edtRamValue, {391, 355, 134, 21}, nullptr},
        {&form->btndiag, {8, 397, 177, 25}, "EXECUTE DIAGNOSTIC"},
        {&form->chkfulldiag, {64, 428, 121, 17}, "FULL DIAGNOSTIC"},
        {&form->chktestalarms, {64, 451, 121, 17}, "TEST ALARMS"},
        {&form->btnlog, {8, 489, 177, 25}, "RETRIEVE LOG"},
        {&form->PageControl1, {531, 8, 1018, 393}, nullptr},
    };
    for (const Case& c : cases) {
        QWidget* w = window->widgetOf(*c.control);
        ASSERT_NE(w, nullptr) << c.control->Name();
        EXPECT_EQ(w->geometry(), c.place) << c.control->Name();
        if (!c.text) continue;
        QString text;
        if (auto* b = dynamic_cast<QAbstractButton*>(w)) text = b->text();
        if (auto* g = dynamic_cast<QGroupBox*>(w)) text = g->title();
        if (auto* l = dynamic_cast<QLabel*>(w)) text = l->text();
        EXPECT_EQ(text, c.text) << c.control->Name();
    }
    // Connection controls live in the group, the rest on the window.
    EXPECT_EQ(window->widgetOf(form->Button1)->parentWidget(), window->widgetOf(form->GroupBox27));
    EXPECT_EQ(window->widgetOf(form->btntuning)->parentWidget(), window->client());
    EXPECT_EQ(widget<QLabel>(form->Label1)->text(), "COM");
    EXPECT_EQ(widget<QLabel>(form->Label1)->pos(), QPoint(10, 22));

    EXPECT_FALSE(widget<QPushButton>(form->Button2)->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(form->btnabort)->isEnabled());
    EXPECT_TRUE(widget<QPushButton>(form->Button1)->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(form->btnShowDevMan)->icon().isNull());
    EXPECT_TRUE(widget<QPushButton>(form->btnShowDevMan)->toolTip().isEmpty()) << "hints are not shown";
    EXPECT_EQ(backgroundOf(widget<QLabel>(form->StatusBar1)), QColor(255, 0, 0));

    auto* log = widget<QPlainTextEdit>(form->memLog);
    EXPECT_TRUE(log->isReadOnly());
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // Fixed pitch by measure, whatever the machine's fonts call themselves.
    const QFontMetrics glyphs(log->font());
    for (const char* glyph : {"i", "W", "1", " ", "|"})
        EXPECT_EQ(glyphs.horizontalAdvance(QString::fromLatin1(glyph)), glyphs.horizontalAdvance(QStringLiteral("M")))
            << glyph;
    EXPECT_EQ(log->palette().color(QPalette::Base), QColor(255, 255, 225));
    EXPECT_TRUE(log->toPlainText().isEmpty());

    auto* pages = widget<QTabWidget>(form->PageControl1);
    const char* captions[] = {"Management", "EEPROM",   "Common parameters", "Variants parameters", "Admin #1",
                              "Admin #2",   "Admin #3", "Manual EOL",        "Flow graph"};
    ASSERT_EQ(pages->count(), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(pages->tabText(i), captions[i]) << i;
    EXPECT_EQ(pages->currentIndex(), 0);
    // The Management page carries the readout memo and the clock and log controls.
    EXPECT_TRUE(pages->widget(0)->isAncestorOf(window->widgetOf(form->memState)));
    EXPECT_TRUE(pages->widget(0)->isAncestorOf(window->widgetOf(form->btnReadLogs)));

    // Port discovery found the virtual detector.
    EXPECT_EQ(widget<QLineEdit>(form->Edit1)->text(), QString::number(comNumber()));
}

TEST_F(GuiWindowTest, ConnectShowsConnectedOnLimeAndDisconnectReturnsToRed) {
    click(form->Button1);
    ASSERT_TRUE(form->qob && form->qob->isConnected());
    EXPECT_EQ(console(), ">>Connected");
    auto* status = widget<QLabel>(form->StatusBar1);
    EXPECT_EQ(status->text(), "Connected");
    EXPECT_EQ(backgroundOf(status), QColor(0, 255, 0));
    EXPECT_FALSE(widget<QPushButton>(form->Button1)->isEnabled());
    EXPECT_TRUE(widget<QPushButton>(form->Button2)->isEnabled());

    click(form->Button2);
    EXPECT_EQ(form->qob, nullptr);
    EXPECT_EQ(console(), ">>Connected\n>>Disconnected");
    EXPECT_EQ(status->text(), "Disconnected");
    EXPECT_EQ(backgroundOf(status), QColor(255, 0, 0));
    EXPECT_TRUE(widget<QPushButton>(form->Button1)->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(form->Button2)->isEnabled());

    // Disconnect without a connection: one line, still red.
    form->Button2Click();
    window->flush();
    EXPECT_EQ(console(), ">>Connected\n>>Disconnected\n>>Not connected!");
    EXPECT_EQ(backgroundOf(status), QColor(255, 0, 0));
}

TEST_F(GuiWindowTest, APressedHandlerWorksUnderTheBusyCursorAndWaitsUnderTheArrow) {
    auto shape = [] {
        const QCursor* c = QApplication::overrideCursor();
        return c ? c->shape() : Qt::BitmapCursor;
    };
    std::vector<Qt::CursorShape> seen;
    form->btnres.OnClick = [&] {
        seen.push_back(shape());
        // What the operator can do meanwhile runs under the normal arrow.
        QTimer::singleShot(0, [&] { seen.push_back(shape()); });
        host->processMessages();
        seen.push_back(shape());
    };
    click(form->btnres);
    EXPECT_EQ(seen, (std::vector<Qt::CursorShape>{Qt::WaitCursor, Qt::ArrowCursor, Qt::WaitCursor}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is given back";
}

TEST_F(GuiWindowTest, ALostLinkTurnsTheStatusBarToDisconnected) {
    click(form->Button1);
    ASSERT_TRUE(form->qob && form->qob->isConnected());
    auto* status = widget<QLabel>(form->StatusBar1);
    ASSERT_EQ(status->text(), "Connected");
    // The library drops the link when the detector goes away.
    form->qob->dropLink();
    window->flush();
    EXPECT_EQ(status->text(), "Disconnected");
    EXPECT_EQ(backgroundOf(status), QColor(255, 0, 0));
    // Disconnect still cleans up, and Connect works again.
    click(form->Button2);
    EXPECT_EQ(form->qob, nullptr);
    click(form->Button1);
    EXPECT_EQ(status->text(), "Connected");
}

TEST_F(GuiWindowTest, RadioGroupsLayTheirItemsOutInTheirColumns) {
    auto* group = widget<QGroupBox>(form->rgdsen);
    ASSERT_NE(group, nullptr);
    const QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
    ASSERT_EQ(items.size(), 3);
    window->widgetOf(form->TabSheet3)->show();
    group->layout()->activate();
    // "no", "yes", "auto" side by side on one row.
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(items[i]->geometry().top(), items[0]->geometry().top()) << i;
        EXPECT_GT(items[i]->geometry().left(), items[i - 1]->geometry().right()) << i;
    }
    // A one-column group stacks them.
    auto* type = widget<QGroupBox>(form->rgEolType);
    const QList<QRadioButton*> stacked = type->findChildren<QRadioButton*>();
    ASSERT_GE(stacked.size(), 2);
    type->layout()->activate();
    EXPECT_GT(stacked[1]->geometry().top(), stacked[0]->geometry().top());
}

TEST_F(GuiWindowTest, EngineeringViewWidensTheWindowAndShowsTheHiddenControls) {
    Control* hidden[] = {&form->btndiag, &form->chkfulldiag, &form->chktestalarms, &form->btnlog};
    for (Control* c : hidden) EXPECT_FALSE(window->widgetOf(*c)->isVisible()) << c->Name();

    window->engineeringAction()->trigger();
    EXPECT_TRUE(window->engineeringView());
    // Everything up to the page control's right edge and RETRIEVE LOG's bottom.
    EXPECT_EQ(window->size(), QSize(531 + 1018 + 8, 489 + 25 + 8));
    for (Control* c : hidden) EXPECT_TRUE(window->widgetOf(*c)->isVisible()) << c->Name();
    EXPECT_TRUE(window->widgetOf(form->PageControl1)->isVisible());
    EXPECT_TRUE(window->widgetOf(form->btnres)->isVisible());
    EXPECT_EQ(window->widgetOf(form->btnlog)->geometry(), QRect(8, 489, 177, 25));
    EXPECT_EQ(window->widgetOf(form->StatusBar1)->geometry(), QRect(0, 295, 527, 19));
    // The model's own state is not touched.
    EXPECT_FALSE(form->btndiag.Visible);

    window->engineeringAction()->trigger();
    EXPECT_EQ(window->size(), QSize(527, 314));
    for (Control* c : hidden) EXPECT_FALSE(window->widgetOf(*c)->isVisible()) << c->Name();
    EXPECT_EQ(window->engineeringAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
}

// A laptop of 1366 x 768 less its taskbar cannot hold the engineering view:
// the window stops at the screen's edge and the client scrolls, so every
// control can be brought into view and pressed where it is.
TEST_F(GuiWindowTest, OnASmallScreenTheEngineeringViewScrollsToEveryControl) {
    const QSize room(1366, 768 - 40);
    window->setScreenRoom(room);
    EXPECT_EQ(window->size(), QSize(527, 314)) << "the normal view stays as it is";
    EXPECT_FALSE(window->scrollArea()->horizontalScrollBar()->isVisible());

    window->engineeringAction()->trigger();
    QApplication::processEvents();
    EXPECT_LE(window->width(), room.width());
    EXPECT_LE(window->height(), room.height());
    EXPECT_EQ(window->client()->size(), window->engineeringSize());
    EXPECT_LT(window->scrollArea()->viewport()->width(), window->engineeringSize().width());
    EXPECT_EQ(window->widgetOf(form->btnlog)->geometry(), QRect(8, 489, 177, 25)) << "controls keep their places";

    // Every control on the client and on the page control's current page.
    QWidget* viewport = window->scrollArea()->viewport();
    int reached = 0;
    for (QWidget* w : window->client()->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w))
            continue;
        if (!w->isVisibleTo(window->client()) || w->objectName().isEmpty()) continue;
        window->scrollArea()->ensureWidgetVisible(w, 0, 0);
        const QPoint centre = w->mapTo(viewport, w->rect().center());
        ASSERT_TRUE(viewport->rect().contains(centre)) << qPrintable(w->objectName());
        QWidget* hit = viewport->childAt(centre);
        EXPECT_TRUE(hit == w || w->isAncestorOf(hit)) << qPrintable(w->objectName());
        ++reached;
    }
    EXPECT_GT(reached, 40);

    // Pressed where it is: the far right of the page control and the far bottom.
    auto* alarms = widget<QCheckBox>(form->chktestalarms);
    window->scrollArea()->ensureWidgetVisible(alarms, 0, 0);
    const bool before = form->chktestalarms.Checked;
    QTest::mouseClick(alarms, Qt::LeftButton);
    window->flush();
    EXPECT_NE(form->chktestalarms.Checked, before);
    auto* pages = widget<QTabWidget>(form->PageControl1);
    const int last = pages->count() - 1;
    QTabBar* tabs = pages->tabBar();
    window->scrollArea()->ensureWidgetVisible(pages, 0, 0);
    const QPoint tab = tabs->tabRect(last).center();
    ASSERT_TRUE(viewport->rect().contains(tabs->mapTo(viewport, tab)));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tab);
    window->flush();
    EXPECT_EQ(pages->currentIndex(), last);

    window->engineeringAction()->trigger();
    EXPECT_EQ(window->size(), QSize(527, 314));
    EXPECT_EQ(window->widgetOf(form->btntuning)->mapTo(window.get(), QPoint(0, 0)), QPoint(8, 137))
        << "the normal view shows from the top-left again";
}

// The board picture shows beside each LED selector: its frame, pad and number,
// with the selector itself on top.
TEST_F(GuiWindowTest, LedPanelDrawsTheBoardUnderItsSelectors) {
    auto* pages = widget<QTabWidget>(form->PageControl1);
    window->engineeringAction()->trigger();
    for (int i = 0; i < pages->count(); ++i)
        if (pages->tabText(i) == "Admin #2") pages->setCurrentIndex(i);
    window->flush();
    QWidget* board = window->widgetOf(form->Image1);
    ASSERT_NE(board, nullptr);
    const QImage picture = board->grab().toImage();
    const QColor boardColour(0x2F, 0x4F, 0x2F);
    for (int n : {0, 22, 44}) {
        const int x = 4 + (n % 5) * 67, y = 4 + (n / 5) * 28;
        EXPECT_EQ(picture.pixelColor(x + 5, y + 25), QColor(0xD0, 0xD0, 0xD0)) << "pad of LED " << n;
        int label = 0;
        for (int px = x + 12; px < x + 40; ++px)
            for (int py = y + 22; py < y + 28; ++py) label += picture.pixelColor(px, py) != boardColour;
        EXPECT_GT(label, 3) << "number of LED " << n;
        QWidget* selector = window->widgetOf(*form->FindComponent("cbLed" + std::to_string(n)));
        const QPoint centre = selector->mapTo(board->parentWidget(), selector->rect().center());
        EXPECT_EQ(board->parentWidget()->childAt(centre), selector) << "selector on top of LED " << n;
    }
}

// Every caption fits its control in the window's font, measured with the
// font's metrics, whatever families this machine has: a button keeps a few
// pixels to its edges, a check box or radio item its indicator and spacing.
TEST_F(GuiWindowTest, EveryCaptionFitsItsControl) {
    window->engineeringAction()->trigger();
    auto* pages = widget<QTabWidget>(form->PageControl1);
    // Captions allowed to touch their edge, with the reason.
    // clang-format off
    const QStringList exceptions = {
        "auto",   // rgdsen: "no yes auto" in three columns of a 110-pixel group; up to its last pixels show
    };
    // clang-format on
    QStringList clipped;
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        window->flush();
        QApplication::processEvents();
        for (QAbstractButton* b : window->client()->findChildren<QAbstractButton*>()) {
            if (b->text().isEmpty() || !b->isVisibleTo(window->client()) || exceptions.contains(b->text())) continue;
            const QFontMetrics metrics(b->font());
            int need = metrics.horizontalAdvance(b->text());
            if (qobject_cast<QPushButton*>(b))
                need += 2 * 3;
            else if (qobject_cast<QRadioButton*>(b))
                need += b->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, b) +
                        b->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, b);
            else if (qobject_cast<QCheckBox*>(b))
                need += b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                        b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
            if (need > b->width())
                clipped << QStringLiteral("%1 \"%2\" needs %3 of %4 (%5)")
                               .arg(b->objectName(), b->text())
                               .arg(need)
                               .arg(b->width())
                               .arg(b->font().family());
        }
    }
    clipped.removeDuplicates();
    EXPECT_TRUE(clipped.isEmpty()) << qPrintable(clipped.join('\n'));
}

TEST_F(GuiWindowTest, OperatorInputReachesTheModel) {
    // The COM field takes digits only.
    auto* edit = widget<QLineEdit>(form->Edit1);
    edit->clear();
    form->Edit1.Text = "";
    window->flush();
    window->activateWindow();
    QApplication::processEvents();
    edit->setFocus();
    for (auto [key, text] : {std::pair{Qt::Key_A, "a"}, std::pair{Qt::Key_4, "4"}, std::pair{Qt::Key_2, "2"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(edit, &press);
    }
    EXPECT_EQ(form->Edit1.Text, "42");

    // Selecting a tab selects the model's page; on "Manual EOL" keys are captured.
    auto* pages = widget<QTabWidget>(form->PageControl1);
    pages->setCurrentIndex(7);
    EXPECT_EQ(form->PageControl1.ActivePageIndex, 7);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(edit, &space);
    EXPECT_EQ(form->capturedKey, 32);
    pages->setCurrentIndex(0);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    EXPECT_EQ(form->capturedKey, 32) << "other pages capture nothing";

    // A model change of the page shows in the widget.
    form->PageControl1.ActivePageIndex = 2;
    window->flush();
    EXPECT_EQ(pages->currentIndex(), 2);

    // A check box click writes Checked before its handler runs.
    bool seen = false;
    form->chkfulldiag.OnClick = [&] { seen = form->chkfulldiag.Checked; };
    widget<QCheckBox>(form->chkfulldiag)->click();
    EXPECT_TRUE(seen);
}

TEST_F(GuiWindowTest, ManualEolShowsTheVerdictLargeAndColoured) {
    auto* pages = widget<QTabWidget>(form->PageControl1);
    pages->setCurrentIndex(7);
    form->edtStartStep.Text = "11";
    window->flush();
    auto* label = widget<QLabel>(form->lblEolVerdict);
    ASSERT_NE(label, nullptr);
    const int plainSize = window->widgetOf(form->TabSheet8)->font().pointSize();
    EXPECT_EQ(label->text(), QString());
    widget<QPushButton>(form->btnStartEOL)->click();
    window->flush();
    EXPECT_EQ(label->text(), QStringLiteral("PASS"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_GT(label->font().pointSize(), plainSize);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0x00, 0xA0, 0x00));
    EXPECT_TRUE(label->isVisible());
    // Inside the page, clear of the log.
    const QRect page = window->widgetOf(form->TabSheet8)->rect();
    EXPECT_TRUE(page.contains(label->geometry())) << label->geometry().x() << "," << label->geometry().y();
    EXPECT_FALSE(label->geometry().intersects(widget<QPlainTextEdit>(form->memEOL)->geometry()));
}

TEST_F(GuiWindowTest, ManagementPageGroupsNeitherOverlapNorLeaveThePage) {
    QWidget* page = window->widgetOf(form->TabSheet1);
    ASSERT_NE(page, nullptr);
    std::vector<QWidget*> placed;
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isHidden()) placed.push_back(child);
    ASSERT_GT(placed.size(), 8u);
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_TRUE(page->rect().contains(placed[i]->geometry())) << placed[i]->objectName().toStdString();
        for (size_t j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed[i]->geometry().intersects(placed[j]->geometry()))
                << placed[i]->objectName().toStdString() << " / " << placed[j]->objectName().toStdString();
    }
    // The readouts and the clock sit in their own groups, with the clock's format hint.
    struct Case {
        Control* control;
        Control* group;
    };
    const Case cases[] = {
        {&form->memState, &form->grpInformation}, {&form->Button4, &form->grpInformation},
        {&form->btnState, &form->grpInformation}, {&form->cboState, &form->grpInformation},
        {&form->edtSetTime, &form->grpRtc},       {&form->Button23, &form->grpRtc},
        {&form->edtGetTime, &form->grpRtc},       {&form->Button24, &form->grpRtc},
        {&form->Button6, &form->grpRtc},          {&form->lblTimeFormat, &form->grpRtc},
    };
    for (const Case& c : cases)
        EXPECT_EQ(window->widgetOf(*c.control)->parentWidget(), window->widgetOf(*c.group)) << c.control->Name();
    EXPECT_EQ(widget<QGroupBox>(form->grpInformation)->title(), " INFORMATION ");
    EXPECT_EQ(widget<QGroupBox>(form->grpRtc)->title(), " RTC ");
    EXPECT_EQ(widget<QLabel>(form->lblTimeFormat)->text(), "dd/mm/yy hh:mi:ss");
}

TEST_F(GuiWindowTest, LedSelectorContextMenuRunsItsDoubleClick) {
    ASSERT_FALSE(form->cbLeds.empty());
    TComboBox& led = *form->cbLeds.front();
    auto* box = widget<QComboBox>(led);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_EQ(box->actions().size(), 1);
    QAction* action = box->actions().front();
    EXPECT_TRUE(action->isVisible());
    const std::string before = led.Images;
    // Each item shows its lamp colour.
    auto centre = [&](int item) { return box->itemIcon(item).pixmap(14, 14).toImage().pixelColor(7, 7); };
    auto ring = [&](int item) { return box->itemIcon(item).pixmap(14, 14).toImage().pixelColor(7, 3); };
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(centre(1), QColor(0, 200, 0));
    EXPECT_EQ(centre(2), QColor(230, 0, 0));
    EXPECT_EQ(centre(3), QColor(240, 210, 0));
    action->trigger();
    window->flush();
    EXPECT_NE(led.Images.get(), before);
    // The second image list draws a ring in the same colour.
    EXPECT_EQ(centre(2), QColor(Qt::white));
    EXPECT_EQ(ring(2), QColor(230, 0, 0));
    EXPECT_EQ(box->toolTip().toStdString(), led.Images.get());
    action->trigger();
    EXPECT_EQ(led.Images.get(), before);

    // A box without a double-click action offers no entry.
    {
        TComboBox plain{form.get(), "cbPlain", {"a"}, &form->TabSheet1};
        window->flush();
        // No ASSERT here: the box must go before the window is flushed.
        auto* plainBox = widget<QComboBox>(plain);
        const QList<QAction*> actions = plainBox ? plainBox->actions() : QList<QAction*>{};
        EXPECT_EQ(actions.size(), 1);
        for (QAction* a : actions) EXPECT_FALSE(a->isVisible());
    }
    window->flush();
}

TEST_F(GuiWindowTest, ConsoleFollowsAppendsAndReloads) {
    form->addConsoleLine("first");
    form->addConsoleLine("second\r\nthird");
    window->flush();
    EXPECT_EQ(console(), "first\nsecond\nthird");
    form->addConsoleLine("");
    form->addConsoleLine("fourth");
    window->flush();
    EXPECT_EQ(console(), "first\nsecond\nthird\n\nfourth");
    form->clearConsole();
    window->flush();
    EXPECT_EQ(console(), "");
    form->addConsoleLine(">>again");
    form->memLog.Lines.setLine(0, ">>replaced");
    window->flush();
    EXPECT_EQ(console(), ">>replaced");
    // Changes show without an explicit flush once the event loop runs.
    form->addConsoleLine("later");
    QApplication::processEvents();
    EXPECT_EQ(console(), ">>replaced\nlater");
}

TEST_F(GuiWindowTest, ControlsAddedLaterGetTheirWidgetsUnderTheirParent) {
    late = std::make_unique<TButton>(form.get(), "btnLate", "Late", &form->GroupBox31);
    late->setBounds(10, 20, 90, 25);
    int clicks = 0;
    late->OnClick = [&] { ++clicks; };
    window->flush();
    auto* button = widget<QPushButton>(*late);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), window->widgetOf(form->GroupBox31));
    EXPECT_EQ(button->geometry(), QRect(10, 20, 90, 25));
    EXPECT_EQ(button->text(), "Late");
    button->click();
    EXPECT_EQ(clicks, 1);
    late->Caption = "Later";
    late->Enabled = false;
    window->flush();
    EXPECT_EQ(button->text(), "Later");
    EXPECT_FALSE(button->isEnabled());

    // A control that goes takes its widget with it.
    QPointer<QPushButton> watched(button);
    late->Caption = "pending";
    late.reset();
    window->flush();
    EXPECT_TRUE(watched.isNull());
}

TEST_F(GuiWindowTest, HostTimersTickUnderACooperativeWaitAndNeverReenter) {
    // On a form of its own: the window's form outlives this test body.
    TForm scratch;
    TTimer quick{&scratch, "tmrQuick", 1, false};
    host->registerTimer(quick);
    int ticks = 0, depth = 0, deepest = 0;
    quick.OnTimer = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        ++ticks;
        // A tick that waits itself: the timer must not enter it again.
        host->sleep(3);
        if (ticks == 3) quick.Enabled = false;
        --depth;
    };
    quick.Enabled = true;
    form->waitCooperatively([&] { return bool(quick.Enabled); }, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(host->tickCount(quick), 3);
    host->unregisterTimer(quick);
}

TEST_F(GuiWindowTest, DeviceManagerButtonListsThePortsAndUsesTheChosenOne) {
    const std::vector<SerialPortRow> rows = serialPortRows();
    const SerialPortRow* sim = nullptr;
    for (const auto& row : rows)
        if (row.number == comNumber()) sim = &row;
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->devicePath, devicePathForPort(comNumber()));
    EXPECT_EQ(sim->friendlyName.rfind("NERAX LT", 0), 0u) << sim->friendlyName;

    form->Edit1.Text = "";
    window->flush();
    int listed = -1;
    // The dialog is modal: pick the detector's row once it is up.
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<PortsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTableWidget* table = dialog->table();
        listed = table->rowCount();
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 0)->text() == QString::number(comNumber())) {
                EXPECT_EQ(table->item(r, 1)->text().toStdString(), sim->devicePath);
                table->selectRow(r);
            }
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == "Use port") b->click();
    });
    click(form->btnShowDevMan);
    EXPECT_EQ(listed, static_cast<int>(rows.size()));
    EXPECT_EQ(form->Edit1.Text, std::to_string(comNumber()));
    EXPECT_EQ(widget<QLineEdit>(form->Edit1)->text(), QString::number(comNumber()));
    EXPECT_EQ(console(), "") << "the ports dialog writes nothing on the console";
}

}  // namespace

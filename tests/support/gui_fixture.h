// Test helper for the Qt window (header only: the window tests alone link
// Qt). The offscreen window, its model and host in a fresh working
// directory next to a running virtual detector; presses and keys go to the
// real widgets through QTest; modal dialogs are answered by pressing their
// own buttons.
//
//   class MyTest : public GuiWindowFixture {};
//   TEST_F(MyTest, Connects) { press(form->Button1); ... }
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "gui/qt_host.h"
#include "gui/window.h"
#include "support/sim_fixture.h"
#include "support/work_dir.h"

inline void startTestApplication() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
}

// Answers the modal dialogs as they come up, in order, from a queue. A
// dialog with no answer left is rejected and noted in `unanswered`.
class DialogAnswers {
public:
    // What the operator saw: message text, input prompt or file dialog title.
    std::vector<std::string> seen;
    std::vector<std::string> unanswered;
    // The settings each file dialog came up with.
    struct FileSeen {
        QString title, directory, defaultSuffix, selectedFilter;
        QStringList filters, selected;
    };
    std::vector<FileSeen> files;

    DialogAnswers() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { answerNext(); });
        poll_.start();
    }
    // A message box: press the button with this text ("OK", "&Yes", ...).
    DialogAnswers& press(const QString& button) {
        queue_.push_back([button](QDialog* d) { pressButton(d, button); });
        return *this;
    }
    // An input query: type the text over the default, then OK.
    DialogAnswers& type(const QString& text) {
        queue_.push_back([text](QDialog* d) {
            auto* edit = d->findChild<QLineEdit*>();
            if (!edit) return d->reject();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            pressButton(d, QStringLiteral("OK"));
        });
        return *this;
    }
    // A file dialog: this path, or Cancel for an empty one.
    DialogAnswers& file(const QString& path) {
        queue_.push_back([path](QDialog* d) {
            auto* chooser = qobject_cast<QFileDialog*>(d);
            if (!chooser || path.isEmpty()) return d->reject();
            chooser->selectFile(path);
            d->accept();
        });
        return *this;
    }
    bool done() const { return queue_.empty(); }

private:
    static void pressButton(QDialog* d, const QString& text) {
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
            if (b->isVisible() && QString(b->text()).remove('&') == QString(text).remove('&')) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        d->reject();
    }
    void answerNext() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || busy_) return;
        busy_ = true;
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            seen.push_back(modelText(box->text()));
        else if (auto* input = qobject_cast<QInputDialog*>(dialog))
            seen.push_back(modelText(input->labelText()));
        else if (auto* chooser = qobject_cast<QFileDialog*>(dialog)) {
            seen.push_back(modelText(chooser->windowTitle()));
            files.push_back({chooser->windowTitle(), chooser->directory().absolutePath(), chooser->defaultSuffix(),
                             chooser->selectedNameFilter(), chooser->nameFilters(), chooser->selectedFiles()});
        } else
            seen.push_back(modelText(dialog->windowTitle()));
        if (queue_.empty()) {
            unanswered.push_back(seen.back());
            dialog->reject();
        } else {
            auto answer = std::move(queue_.front());
            queue_.pop_front();
            answer(dialog);
        }
        busy_ = false;
    }
    QTimer poll_;
    std::deque<std::function<void(QDialog*)>> queue_;
    bool busy_ = false;
};

// Operator actions for a handler that runs in a nested loop (a press that
// returns only when the procedure ends): each step runs once its
// condition holds, in order, from the event loop.
class OperatorScript {
public:
    OperatorScript() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (busy_ || steps_.empty() || !steps_.front().first()) return;
            busy_ = true;
            auto action = std::move(steps_.front().second);
            steps_.pop_front();
            action();
            busy_ = false;
        });
        poll_.start();
    }
    OperatorScript& when(std::function<bool()> condition, std::function<void()> action) {
        steps_.emplace_back(std::move(condition), std::move(action));
        return *this;
    }
    bool done() const { return steps_.empty(); }

private:
    QTimer poll_;
    std::deque<std::pair<std::function<bool()>, std::function<void()>>> steps_;
    bool busy_ = false;
};

class GuiWindowFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        startTestApplication();
        work = std::make_unique<ScopedWorkDir>();
        host = std::make_unique<QtHost>();
        form = std::make_unique<TFrmTestQOB>(*host);
        window = std::make_unique<MainWindow>(*form, *host);
        window->setScreenRoom(QSize(1920, 1080));  // a wide screen; SmallScreen tests set their own
        window->startUp();
        window->show();
        window->activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override {
        window.reset();
        form.reset();
        host.reset();
        work.reset();
        SimFixture::TearDown();
    }
    template <class W>
    W* widget(const Control& c) {
        W* w = window->widgetAs<W>(c);
        EXPECT_NE(w, nullptr) << c.Name();
        return w;
    }
    QString console() { return widget<QPlainTextEdit>(form->memLog)->toPlainText(); }
    // A mouse click on the control's widget, as the operator makes it.
    void press(const Control& c) {
        QWidget* w = window->widgetOf(c);
        ASSERT_NE(w, nullptr) << c.Name();
        ASSERT_TRUE(w->isVisible() && w->isEnabled()) << c.Name() << " cannot be pressed";
        QTest::mouseClick(w, Qt::LeftButton);
        window->flush();
    }
    // Types into an edit as the operator does: focus, select all, type.
    void typeInto(const Control& c, const QString& text) {
        auto* edit = widget<QLineEdit>(c);
        ASSERT_NE(edit, nullptr);
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        window->flush();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), k, modifiers);
        window->flush();
    }
    void connectThroughTheWindow() {
        press(form->Button1);
        ASSERT_TRUE(form->qob && form->qob->isConnected()) << console().toStdString();
    }

    std::unique_ptr<ScopedWorkDir> work;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<TFrmTestQOB> form;
    std::unique_ptr<MainWindow> window;
};

// The window's scenarios (tests/window_scenarios.txt) against the Qt window,
// offscreen, through its widgets: typed text, pressed buttons, answered
// message boxes, Ctrl+E as a key press. The native Windows window runs the
// same table under Wine (scripts/test-windows-gui).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QElapsedTimer>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "pages/main_window.h"
#include "gui/qt_host.h"
#include "gui/window.h"
#include "support/sim_fixture.h"
#include "support/window_scenarios.h"
#include "support/work_dir.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

void startApplication() {
    static int argc = 1;
    static char name[] = "test_gui_scenarios";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
}

class GuiScenarioTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        startApplication();
    }

    // Runs one scenario in a fresh window; failures name the table's line.
    void run(const Scenario& scenario) {
        QtHost host;
        TFrmTestQOB form(host);
        MainWindow window(form, host);
        window.setScreenRoom(QSize(1920, 1080));
        window.startUp();
        window.show();
        window_ = &window;
        form_ = &form;
        size_t next = 0;
        runSteps(scenario, next);
        window_ = nullptr;
        form_ = nullptr;
    }

    // Performs the steps from `next` on; a "start" step goes on with the
    // steps after it from inside the handler it started.
    void runSteps(const Scenario& scenario, size_t& next) {
        while (next < scenario.steps.size() && !HasFatalFailure()) {
            const ScenarioStep& step = scenario.steps[next++];
            SCOPED_TRACE("window_scenarios.txt:" + std::to_string(step.line));
            if (step.verb() == "start") {
                start(step, scenario, next);
                continue;
            }
            std::deque<const ScenarioStep*> answers;
            while (step.verb() == "click" && next < scenario.steps.size() && scenario.steps[next].verb() == "answer")
                answers.push_back(&scenario.steps[next++]);
            perform(step, answers);
            window_->flush();
        }
    }

    // The press returns when the handler does; meanwhile the handler's
    // waits serve the event loop, where a timer takes the next steps one
    // at a time. An expectation that does not hold yet is tried again on
    // the next tick, up to a deadline.
    void start(const ScenarioStep& step, const Scenario& scenario, size_t& next) {
        auto* button = qobject_cast<QAbstractButton*>(widget(step.word(1)));
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isEnabled() && button->isVisible()) << step.word(1) << " cannot be pressed";
        QTimer stepper;
        stepper.setInterval(5);
        bool inStep = false;
        QElapsedTimer since;
        since.start();
        QObject::connect(&stepper, &QTimer::timeout, [&] {
            if (inStep) return;
            if (next >= scenario.steps.size() || HasFatalFailure()) {
                // Closing the window ends a handler that waits for the operator.
                if (since.elapsed() > 15000) {
                    ADD_FAILURE() << "the handler did not return";
                    stepper.stop();
                    window_->close();
                }
                return;
            }
            const ScenarioStep& now = scenario.steps[next];
            SCOPED_TRACE("window_scenarios.txt:" + std::to_string(now.line));
            inStep = true;
            if (now.verb() == "expect" && now.word(1) != "window") {
                std::string seen;
                QWidget* w = widget(now.word(1));
                const bool held = w && holds(now, w, seen);
                if (!held && since.elapsed() < 15000) {
                    inStep = false;
                    return;
                }
                EXPECT_TRUE(held) << seen;
                ++next;
            } else {
                ++next;
                std::deque<const ScenarioStep*> answers;
                while (now.verb() == "click" && next < scenario.steps.size() && scenario.steps[next].verb() == "answer")
                    answers.push_back(&scenario.steps[next++]);
                perform(now, answers);
                window_->flush();
            }
            since.restart();
            inStep = false;
        });
        stepper.start();
        // The operator's keys go to the active window.
        QApplication::setActiveWindow(window_);
        QTest::mouseClick(button, Qt::LeftButton);
        stepper.stop();
        window_->flush();
    }

    QWidget* widget(const std::string& name) {
        Control* c = form_->FindComponent(name);
        QWidget* w = c ? window_->widgetOf(*c) : nullptr;
        EXPECT_NE(w, nullptr) << "no control " << name;
        return w;
    }

    static QString textOf(QWidget* w) {
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) return memo->toPlainText();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
        return QString();
    }

    // Message boxes opened by a press are answered from the event loop.
    void press(QAbstractButton* button, std::deque<const ScenarioStep*> answers) {
        QTimer answerer;
        answerer.setInterval(5);
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* chooser = qobject_cast<QFileDialog*>(modal); chooser && !answers.empty()) {
                const ScenarioStep* answer = answers.front();
                answers.pop_front();
                EXPECT_TRUE(answer->word(1) == "save" || answer->word(1) == "open") << "a file dialog opened";
                auto* field = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!field) {
                    ADD_FAILURE() << "file dialog without a file-name field";
                    chooser->reject();
                    return;
                }
                field->setText(qtText(answer->rest));
                QTest::keyClick(field, Qt::Key_Return);
                return;
            }
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected dialog: " << box->text().toStdString();
                box->reject();
                return;
            }
            const ScenarioStep* answer = answers.front();
            answers.pop_front();
            EXPECT_TRUE(box->text().contains(qtText(answer->rest))) << box->text().toStdString();
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == qtText(answer->word(1))) {
                    b->click();
                    return;
                }
            ADD_FAILURE() << "dialog has no button " << answer->word(1);
            box->reject();
        });
        answerer.start();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(answers.empty()) << "a dialog did not open: " << answers.front()->rest;
    }

    void perform(const ScenarioStep& step, std::deque<const ScenarioStep*> answers) {
        const std::string& verb = step.verb();
        if (verb == "key") {
            // clang-format off
            static const std::map<std::string, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys = {
                {"ctrl+e", {Qt::Key_E, Qt::ControlModifier}}, {"space", {Qt::Key_Space, Qt::NoModifier}},
                {"y", {Qt::Key_Y, Qt::NoModifier}}, {"n", {Qt::Key_N, Qt::NoModifier}}};
            // clang-format on
            const auto key = keys.find(step.word(1));
            ASSERT_NE(key, keys.end()) << "unknown key " << step.word(1);
            QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window_;
            QTest::keyClick(focus, key->second.first, key->second.second);
            return;
        }
        if (verb == "file") {
            std::ifstream in(step.word(1), std::ios::binary);
            const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            EXPECT_NE(content.find(step.rest), std::string::npos) << step.word(1) << ": " << content;
            return;
        }
        if (verb == "expect" && step.word(1) == "window") {
            const int narrow = window_->normalSize().width();
            if (step.word(2) == "wide")
                EXPECT_GT(window_->width(), narrow);
            else
                EXPECT_EQ(window_->width(), narrow);
            return;
        }
        QWidget* w = widget(step.word(1));
        ASSERT_NE(w, nullptr);
        if (verb == "set") {
            auto* edit = qobject_cast<QLineEdit*>(w);
            ASSERT_NE(edit, nullptr);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, qtText(step.rest));
            EXPECT_EQ(edit->text(), qtText(step.rest));
        } else if (verb == "click") {
            auto* button = qobject_cast<QAbstractButton*>(w);
            ASSERT_NE(button, nullptr);
            // What the operator cannot press is a failure, not a no-op.
            ASSERT_TRUE(button->isEnabled() && button->isVisible()) << step.word(1) << " cannot be pressed";
            press(button, answers);
        } else if (verb == "focus") {
            QApplication::setActiveWindow(window_);
            w->setFocus();
        } else if (verb == "page") {
            auto* tabs = qobject_cast<QTabWidget*>(w);
            ASSERT_NE(tabs, nullptr);
            tabs->setCurrentIndex(std::stoi(step.rest));
        } else if (verb == "expect") {
            std::string seen;
            EXPECT_TRUE(holds(step, w, seen)) << seen;
        } else {
            ADD_FAILURE() << "unknown step " << verb;
        }
    }

    // Whether an expectation about a control holds; `seen` tells what was there.
    bool holds(const ScenarioStep& step, QWidget* w, std::string& seen) {
        const std::string& what = step.word(2);
        const QString value = qtText(step.rest);
        const QString text = textOf(w);
        seen = modelText(text);
        if (what == "text") return seen == step.rest;
        if (what == "contains") return text.contains(value);
        if (what == "lacks") return !text.contains(value);
        if (what == "lastline") return text.endsWith(value);
        seen = what;
        if (what == "enabled" || what == "disabled") return w->isEnabled() == (what == "enabled");
        if (what == "visible" || what == "hidden") return w->isVisible() == (what == "visible");
        if (what == "focused") {
            QWidget* focus = QApplication::focusWidget();
            seen = focus ? focus->objectName().toStdString() + " has the focus" : "no focus";
            return focus == w;
        }
        if (what == "colour") {
            seen = w->palette().color(QPalette::Window).name(QColor::HexRgb).mid(1).toUpper().toStdString();
            return seen == step.rest;
        }
        seen = "unknown expectation " + what;
        return false;
    }

    MainWindow* window_ = nullptr;
    TFrmTestQOB* form_ = nullptr;
};

TEST_F(GuiScenarioTest, EveryScenarioOfTheTable) {
    // Files the scenarios write go to a fresh working folder.
    ScopedWorkDir work;
    std::string error;
    const std::vector<Scenario> scenarios = readScenarios(
        NERAX_SOURCE_DIR "/tests/window_scenarios.txt",
        {{"$COM", std::to_string(comNumber())}, {"$WORK", std::filesystem::current_path().string()}}, error);
    ASSERT_FALSE(scenarios.empty()) << error;
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE("scenario: " + scenario.name);
        run(scenario);
    }
}

}  // namespace

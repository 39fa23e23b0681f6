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

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/main_window.h"
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
        for (size_t i = 0; i < scenario.steps.size(); ++i) {
            const ScenarioStep& step = scenario.steps[i];
            SCOPED_TRACE("window_scenarios.txt:" + std::to_string(step.line));
            std::deque<const ScenarioStep*> answers;
            while (step.verb() == "click" && i + 1 < scenario.steps.size() && scenario.steps[i + 1].verb() == "answer")
                answers.push_back(&scenario.steps[++i]);
            perform(step, answers);
            window.flush();
            if (HasFatalFailure()) break;
        }
        window_ = nullptr;
        form_ = nullptr;
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
            ASSERT_EQ(step.word(1), "ctrl+e");
            QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window_;
            QTest::keyClick(focus, Qt::Key_E, Qt::ControlModifier);
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
            if (step.word(2) == "wide") EXPECT_GT(window_->width(), narrow);
            else EXPECT_EQ(window_->width(), narrow);
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
            const std::string& what = step.word(2);
            const QString value = qtText(step.rest);
            const QString text = textOf(w);
            if (what == "text") EXPECT_EQ(modelText(text), step.rest);
            else if (what == "contains") EXPECT_TRUE(text.contains(value)) << text.toStdString();
            else if (what == "lacks") EXPECT_FALSE(text.contains(value)) << text.toStdString();
            else if (what == "lastline") EXPECT_TRUE(text.endsWith(value)) << text.toStdString();
            else if (what == "enabled" || what == "disabled") EXPECT_EQ(w->isEnabled(), what == "enabled");
            else if (what == "visible" || what == "hidden") EXPECT_EQ(w->isVisible(), what == "visible");
            else if (what == "colour")
                EXPECT_EQ(w->palette().color(QPalette::Window).name(QColor::HexRgb).mid(1).toUpper(), value);
            else ADD_FAILURE() << "unknown expectation " << what;
        } else {
            ADD_FAILURE() << "unknown step " << verb;
        }
    }

    MainWindow* window_ = nullptr;
    TFrmTestQOB* form_ = nullptr;
};

TEST_F(GuiScenarioTest, EveryScenarioOfTheTable) {
    // Files the scenarios write go to a fresh working folder.
    ScopedWorkDir work;
    std::string error;
    const std::vector<Scenario> scenarios =
        readScenarios(NERAX_SOURCE_DIR "/tests/window_scenarios.txt",
                      {{"$COM", std::to_string(comNumber())}, {"$WORK", std::filesystem::current_path().string()}}, error);
    ASSERT_FALSE(scenarios.empty()) << error;
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE("scenario: " + scenario.name);
        run(scenario);
    }
}

}  // namespace

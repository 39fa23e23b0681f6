// The technician's main paths through the real widgets of the offscreen
// window against the virtual detector: mouse clicks and keys go to the Qt
// widgets, dialogs are answered by pressing their buttons.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTabWidget>

#include <cstdio>
#include <string>

#include "support/gui_fixture.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using Lines = std::vector<std::string>;

class GuiPathsTest : public GuiWindowFixture {
protected:
    void showPage(int index) {
        auto* pages = widget<QTabWidget>(form->PageControl1);
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(index).center());
        window->flush();
        ASSERT_EQ(form->PageControl1.ActivePageIndex, index);
    }
    QString eolLog() { return widget<QPlainTextEdit>(form->memEOL)->toPlainText(); }
};

TEST_F(GuiPathsTest, UltrasonicTuningFromConnectToItsReport) {
    ASSERT_EQ(detector().eepromBytes(411, 1)[0], 0xA7);
    connectThroughTheWindow();
    // One-second captures keep the run short.
    form->TMO = 0;
    DialogAnswers answers;
    answers.press("OK").type("4").press("OK").press("OK").press("OK");
    press(form->btntuning);
    EXPECT_TRUE(answers.done()) << console().toStdString();
    EXPECT_EQ(answers.unanswered, Lines{});
    ASSERT_GE(answers.seen.size(), 5u);
    EXPECT_EQ(answers.seen[0].rfind("To perform the tuning", 0), 0u) << answers.seen[0];
    EXPECT_EQ(answers.seen[1].rfind("Best settings: ", 0), 0u) << answers.seen[1];
    EXPECT_EQ(answers.seen[2], "EEPROM updated!");
    EXPECT_EQ(answers.seen[3], "POWER OFF AND ON DEVICE TO APPLY NEW SETTINGS!");
    EXPECT_EQ(answers.seen[4].rfind("LOG SAVED!\n\nNERAX_LT_ULTRASONICS_AUTOTUNING_", 0), 0u) << answers.seen[4];

    EXPECT_EQ(detector().eepromBytes(411, 1)[0], 0xA4);
    EXPECT_TRUE(console().contains("\n411=164\n"));
    const std::string report = answers.seen[4].substr(std::string("LOG SAVED!\n\n").size());
    EXPECT_TRUE(work->exists(report)) << report;
    // The run gives its controls back.
    EXPECT_TRUE(widget<QPushButton>(form->btntuning)->isEnabled());
    EXPECT_FALSE(widget<QPushButton>(form->btnabort)->isEnabled());
}

TEST_F(GuiPathsTest, SetRamWritesTheByteTypedIntoTheEdits) {
    connectThroughTheWindow();
    // set RAM and its address edit show in the engineering view.
    key(Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(window->engineeringView());
    showPage(4);
    const QString address = QString::number(nerax_sim::kPulseSettingRam1);
    typeInto(form->edtReadRAM, address);
    typeInto(form->edtRamValue, "42");
    press(form->btnSetRam);
    EXPECT_TRUE(console().endsWith("RAM:" + address + "<--42")) << console().toStdString();
    EXPECT_EQ(detector().ramByte(nerax_sim::kPulseSettingRam1), 42);
}

TEST_F(GuiPathsTest, EepromGridDrawsItsCellTextsAndEditsTheValue) {
    connectThroughTheWindow();
    key(Qt::Key_E, Qt::ControlModifier);
    showPage(1);
    press(form->btnrseep);
    auto* grid = widget<QTableWidget>(form->vleE2P);
    ASSERT_EQ(grid->rowCount(), 512);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QString("Description").leftJustified(50) + "|#Byte");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "DEC|HEX|BIN 76543210");
    const int value = detector().eepromBytes(7, 1)[0];
    QTableWidgetItem* cell = grid->item(7, 1);
    EXPECT_EQ(cell->text(), QString::number(value));
    char drawn[40];
    std::snprintf(drawn, sizeof drawn, "%-3d| %02X|    ", value, value);
    QString bits;
    for (int bit = 7; bit >= 0; --bit) bits += (value >> bit & 1) ? '1' : '0';
    EXPECT_EQ(cell->data(Qt::UserRole + 1).toString(), QString::fromLatin1(drawn) + bits);
    EXPECT_EQ(grid->item(7, 0)->data(Qt::UserRole + 1).toString(), "7  |");
    // The checksum rows stand out; the font is fixed pitch by measure.
    EXPECT_EQ(grid->item(48, 1)->background().color(), QColor(255, 255, 0));
    EXPECT_EQ(grid->item(48, 0)->foreground().color(), QColor(0, 0, 255));
    const QFontMetrics metrics(cell->font());
    EXPECT_EQ(metrics.horizontalAdvance("1"), metrics.horizontalAdvance("0"));
    EXPECT_EQ(metrics.horizontalAdvance("|"), metrics.horizontalAdvance("M"));

    // In-place editing edits the value, and the drawn text follows.
    const QRect place = grid->visualItemRect(grid->item(3, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, place.center());
    ASSERT_EQ(grid->currentRow(), 3);
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), grid->item(3, 1)->text()) << "the editor holds the plain value";
    editor->selectAll();
    QTest::keyClicks(editor, "12");
    QTest::keyClick(editor, Qt::Key_Tab);
    window->flush();
    EXPECT_EQ(form->vleE2P.Values("3"), "12");
    EXPECT_EQ(grid->item(3, 1)->data(Qt::UserRole + 1).toString(), "12 | 0C|    00001100");
}

TEST_F(GuiPathsTest, ExportLogsOpensItsOwnDialogWhateverWasSavedBefore) {
    // The EOL log was saved elsewhere under a name of its own.
    form->sd.FileName = work->path() + "/EOL_UNIT_1.txt";
    key(Qt::Key_E, Qt::ControlModifier);
    DialogAnswers answers;
    answers.file("");
    press(form->btnExportLog);
    ASSERT_EQ(answers.files.size(), 1u);
    const DialogAnswers::FileSeen& seen = answers.files[0];
    EXPECT_EQ(seen.title, "Export Logs");
    EXPECT_EQ(seen.defaultSuffix, "TXT");
    EXPECT_TRUE(seen.selectedFilter.startsWith("TXT files")) << seen.selectedFilter.toStdString();
    EXPECT_EQ(seen.directory, QCoreApplication::applicationDirPath()) << "the program's folder, writable here";
    for (const QString& f : seen.selected) EXPECT_FALSE(f.contains("EOL_UNIT_1")) << f.toStdString();
}

TEST_F(GuiPathsTest, CtrlEWorksWhateverControlHasTheFocus) {
    // Right after start-up the COM field has the focus; a line edit would
    // take Ctrl+E as "end of line".
    auto* com = widget<QLineEdit>(form->Edit1);
    com->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), com);
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(window->engineeringView());
    EXPECT_EQ(com->text(), QString::number(comNumber())) << "the key does not reach the field";

    // From a memo and from a button of a page.
    widget<QPlainTextEdit>(form->memLog)->setFocus();
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_FALSE(window->engineeringView());
    key(Qt::Key_E, Qt::ControlModifier);
    showPage(7);
    widget<QPushButton>(form->Button37)->setFocus();
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_FALSE(window->engineeringView());
}

TEST_F(GuiPathsTest, ManualEolWaitsAreAnsweredByKeysAndNeverPressAButton) {
    key(Qt::Key_E, Qt::ControlModifier);
    showPage(7);
    const std::string yesNo = "<<< PREMERE Y SE TEST OK, N SE IL TEST E' FALLITO >>>";
    const std::string retry = "!!!!file eeprom invalido";
    auto count = [this](const std::string& text) {
        int n = 0;
        for (const std::string& line : form->memEOL.Lines.lines()) n += line.find(text) != std::string::npos;
        return n;
    };
    QWidget* focusAtFirstWait = nullptr;
    DialogAnswers answers;
    answers.file("").file("");
    OperatorScript operatorActs;
    operatorActs
        // Step 1 passes with Y wherever Qt left the focus after START EOL.
        .when([&] { return count(yesNo) == 1; },
              [&] {
                  focusAtFirstWait = QApplication::focusWidget();
                  key(Qt::Key_Y);
              })
        // Step 2 fails with N, and step 3 starts on Space, both with the
        // focus on STOP EOL: neither key may press it.
        .when([&] { return count(yesNo) == 2; },
              [&] {
                  widget<QPushButton>(form->Button37)->setFocus();
                  EXPECT_EQ(QApplication::focusWidget(), window->widgetOf(form->Button37));
                  key(Qt::Key_N);
              })
        .when([&] { return count("PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM") == 1; },
              [&] {
                  EXPECT_EQ(QApplication::focusWidget(), window->widgetOf(form->Button37));
                  key(Qt::Key_Space);
              })
        // The EEPROM file dialog was cancelled: at the retry prompt the
        // operator types a comment; its blank answers the wait as well.
        .when([&] { return count(retry) == 1; },
              [&] {
                  auto* comments = widget<QPlainTextEdit>(form->memEOLcomm);
                  // Back from the file dialog.
                  window->activateWindow();
                  QApplication::processEvents();
                  comments->setFocus();
                  EXPECT_EQ(QApplication::focusWidget(), comments);
                  QTest::keyClicks(comments, "a b");
              })
        .when([&] { return count(retry) == 2; }, [&] { press(form->Button37); });
    press(form->btnStartEOL);

    EXPECT_TRUE(operatorActs.done());
    EXPECT_EQ(focusAtFirstWait, window->widgetOf(form->memEOL)) << "START EOL puts the focus on the log";
    EXPECT_EQ(answers.files.size(), 2u);
    EXPECT_EQ(answers.unanswered, Lines{});
    const QString log = eolLog();
    const qsizetype passed = log.indexOf("    <<< PASSED >>>");
    const qsizetype failed = log.indexOf("    <<< FAILED >>>");
    EXPECT_GE(passed, 0) << log.toStdString();
    EXPECT_GT(failed, passed) << log.toStdString();
    EXPECT_EQ(log.count("TEST STOPPED BY USER"), 1) << log.toStdString();
    // The stop ends the run there (its abort line follows), and not before.
    EXPECT_GT(log.indexOf("TEST ABORTED"), log.indexOf("TEST STOPPED BY USER")) << log.toStdString();
    EXPECT_GT(log.indexOf("TEST STOPPED BY USER"), log.lastIndexOf(qtText(retry)));
    EXPECT_EQ(form->memEOLcomm.Text(), "a b");
    EXPECT_TRUE(widget<QPushButton>(form->btnStartEOL)->isEnabled());
}

}  // namespace

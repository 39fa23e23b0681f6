#include "gui/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDateTime>
#include <QEventLoop>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <exception>

#include "app/controls.h"
#include "gui/window.h"

void runGuarded(const std::function<void()>& handler) {
    if (!handler) return;
    QString error;
    try {
        handler();
        return;
    } catch (const std::exception& e) { error = qtText(e.what()); } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), error);
}

namespace {

// Override cursors stack: busy for a handler, the arrow again wherever it
// hands control back to the operator.
struct CursorScope {
    explicit CursorScope(Qt::CursorShape shape, bool onlyWhenBusy = false) {
        active = !onlyWhenBusy || QApplication::overrideCursor() != nullptr;
        if (active) QApplication::setOverrideCursor(shape);
    }
    ~CursorScope() {
        if (active) QApplication::restoreOverrideCursor();
    }
    bool active;
};

struct OperatorCursor : CursorScope {
    OperatorCursor() : CursorScope(Qt::ArrowCursor, true) {}
};

}  // namespace

void runBusy(const std::function<void()>& handler) {
    if (!handler) return;
    CursorScope busy(Qt::WaitCursor);
    runGuarded(handler);
}

QString qtNameFilters(const std::string& filter) {
    QStringList parts = qtText(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()})
                if (!patterns.contains(variant)) patterns << variant;
        }
        // Qt reads the patterns from the last parentheses of a filter.
        const qsizetype open = description.lastIndexOf('(');
        if (open >= 0) description = description.left(open).trimmed();
        filters << description + " (" + patterns.join(' ') + ")";
    }
    if (filters.isEmpty()) filters << QStringLiteral("All files (*)");
    return filters.join(";;");
}

QtHost::QtHost() { clock_.start(); }

QtHost::~QtHost() {
    for (auto& [timer, slot] : timers_) const_cast<TTimer*>(timer)->onSchedule = nullptr;
}

QWidget* QtHost::dialogParent() const {
    return window_ ? static_cast<QWidget*>(window_) : QApplication::activeWindow();
}

DialogResult QtHost::messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                                DialogButtons buttons) {
    if (window_) window_->flush();
    QMessageBox box(dialogParent());
    box.setWindowTitle(qtText(caption));
    box.setText(qtText(text));
    switch (kind) {
    case DialogKind::Information: box.setIcon(QMessageBox::Information); break;
    case DialogKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case DialogKind::Error: box.setIcon(QMessageBox::Critical); break;
    case DialogKind::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case DialogButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case DialogButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case DialogButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    }
    const OperatorCursor arrow;
    ++nesting_;
    const int answer = box.exec();
    --nesting_;
    switch (answer) {
    case QMessageBox::Yes: return DialogResult::Yes;
    case QMessageBox::No: return DialogResult::No;
    case QMessageBox::Ok: return DialogResult::Ok;
    default:
        // Closing the box counts as its "negative" button.
        return buttons == DialogButtons::YesNo ? DialogResult::No
               : buttons == DialogButtons::Ok  ? DialogResult::Ok
                                               : DialogResult::Cancel;
    }
}

bool QtHost::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    if (window_) window_->flush();
    bool ok = false;
    const OperatorCursor arrow;
    ++nesting_;
    const QString answer =
        QInputDialog::getText(dialogParent(), qtText(caption), qtText(prompt), QLineEdit::Normal, qtText(value), &ok);
    --nesting_;
    if (ok) value = modelText(answer);
    return ok;
}

bool QtHost::runFileDialog(FileDialog& dialog, bool save) {
    if (window_) window_->flush();
    QFileDialog chooser(dialogParent(), qtText(dialog.Title));
    chooser.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    chooser.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    chooser.setNameFilter(qtNameFilters(dialog.Filter));
    // An installed program's folder is no place for reports: the working
    // directory instead.
    if (!dialog.InitialDir.empty()) {
        const QFileInfo folder(QString::fromLocal8Bit(dialog.InitialDir.c_str()));
        chooser.setDirectory(folder.isDir() && folder.isWritable() ? folder.absoluteFilePath() : QDir::currentPath());
    }
    if (!dialog.DefaultExt.empty()) {
        std::string ext = dialog.DefaultExt;
        if (ext.front() == '.') ext.erase(0, 1);
        chooser.setDefaultSuffix(qtText(ext));
    }
    if (!dialog.FileName.empty()) chooser.selectFile(qtText(dialog.FileName));
    const OperatorCursor arrow;
    ++nesting_;
    const bool accepted = chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty();
    --nesting_;
    if (accepted) dialog.FileName = chooser.selectedFiles().front().toLocal8Bit().toStdString();
    return accepted;
}

bool QtHost::executeOpenDialog(FileDialog& dialog) { return runFileDialog(dialog, false); }
bool QtHost::executeSaveDialog(FileDialog& dialog) { return runFileDialog(dialog, true); }

std::string QtHost::clipboardText() { return modelText(QGuiApplication::clipboard()->text()); }

void QtHost::setClipboardText(const std::string& text) { QGuiApplication::clipboard()->setText(qtText(text)); }

void QtHost::registerTimer(TTimer& timer) {
    TimerSlot& slot = timers_[&timer];
    slot.qtimer = std::make_unique<QTimer>();
    QObject::connect(slot.qtimer.get(), &QTimer::timeout, [this, &timer] { tick(timer); });
    timer.onSchedule = [this](TTimer& t) { schedule(t); };
    schedule(timer);
}

void QtHost::unregisterTimer(TTimer& timer) {
    timer.onSchedule = nullptr;
    timers_.erase(&timer);
}

// Enabling, or a new interval while enabled, starts a fresh interval; a Tag
// or other change leaves the running interval alone.
void QtHost::schedule(TTimer& timer) {
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    TimerSlot& slot = it->second;
    const bool active = timer.Enabled && timer.Interval > 0;
    if (active && (!slot.active || slot.interval != timer.Interval)) {
        slot.interval = timer.Interval;
        slot.qtimer->start(slot.interval);
    } else if (!active && slot.active) {
        slot.qtimer->stop();
    }
    slot.active = active;
}

void QtHost::tick(TTimer& timer) {
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    // A tick that waits in a nested loop is not entered a second time.
    if (it->second.running || !timer.Enabled) return;
    it->second.running = true;
    ++it->second.ticks;
    runGuarded(timer.OnTimer);
    // The handler may have unregistered the timer.
    it = timers_.find(&timer);
    if (it != timers_.end()) it->second.running = false;
    if (window_) window_->scheduleFlush();
}

int QtHost::tickCount(const TTimer& timer) const {
    auto it = timers_.find(&timer);
    return it == timers_.end() ? 0 : it->second.ticks;
}

void QtHost::processMessages() {
    if (window_) window_->flush();
    const OperatorCursor arrow;
    ++nesting_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --nesting_;
}

void QtHost::sleep(int milliseconds) {
    if (window_) window_->flush();
    const OperatorCursor arrow;
    ++nesting_;
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
        // Serves input, paints and timers while waiting.
        QEventLoop loop;
        QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    --nesting_;
}

LocalDateTime QtHost::now() {
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime h = t.time();
    return LocalDateTime{d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second(), h.msec()};
}

uint64_t QtHost::ticks() { return static_cast<uint64_t>(clock_.elapsed()); }

void QtHost::repaint(TPaintBox& box) {
    if (window_) window_->repaintBox(box);
}

void QtHost::repaintWindow() {
    if (window_) window_->flush();
}

void QtHost::showPortsDialog() {
    if (window_) {
        ++nesting_;
        window_->showPortsDialog();
        --nesting_;
    }
}

// The window's host on Qt: message boxes, input and file dialogs, the
// clipboard, QTimers for the model's timers, the event loop for message
// processing and cooperative sleeps, the clock.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/host.h"

class QTimer;
class QWidget;
class MainWindow;

// Model strings are 8-bit text; Latin-1 maps every byte both ways.
inline QString qtText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string modelText(const QString& text) { return text.toLatin1().toStdString(); }

// Runs a handler; an exception that escapes it is shown in an error box and
// the program goes on.
void runGuarded(const std::function<void()>& handler);
// The same under the busy cursor, for what the operator starts: a silent
// port or a long transaction shows as work, not as a hang. Message
// processing, waits and dialogs inside show the normal cursor again.
void runBusy(const std::function<void()>& handler);

// "TXT files (*.TXT)|*.TXT|All (*.*)|*.*" -> Qt name filters; patterns get
// both letter cases since Linux file names are case-sensitive.
QString qtNameFilters(const std::string& filter);

class QtHost : public Host {
public:
    QtHost();
    ~QtHost() override;

    void setWindow(MainWindow* window) { window_ = window; }

    DialogResult messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                            DialogButtons buttons) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool executeOpenDialog(FileDialog& dialog) override;
    bool executeSaveDialog(FileDialog& dialog) override;
    std::string clipboardText() override;
    void setClipboardText(const std::string& text) override;
    void registerTimer(TTimer& timer) override;
    void unregisterTimer(TTimer& timer) override;
    void processMessages() override;
    void sleep(int milliseconds) override;
    LocalDateTime now() override;
    uint64_t ticks() override;
    void repaint(TPaintBox& box) override;
    void repaintWindow() override;
    void showPortsDialog() override;

    // > 0 while a handler waits inside a nested event loop.
    int nesting() const { return nesting_; }
    // Ticks served so far per timer (diagnostics and tests).
    int tickCount(const TTimer& timer) const;

private:
    struct TimerSlot {
        std::unique_ptr<QTimer> qtimer;
        bool active = false;
        int interval = 0;
        bool running = false;
        int ticks = 0;
    };
    void schedule(TTimer& timer);
    void tick(TTimer& timer);
    bool runFileDialog(FileDialog& dialog, bool save);
    QWidget* dialogParent() const;

    MainWindow* window_ = nullptr;
    std::map<const TTimer*, TimerSlot> timers_;
    QElapsedTimer clock_;
    int nesting_ = 0;
};

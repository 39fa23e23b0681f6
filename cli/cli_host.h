// The command-line host: dialogs become text on stderr with answers taken
// from the options, timers tick on the real clock, sleeping really sleeps.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/host.h"
#include "app/timer_schedule.h"

struct CliAnswers {
    bool yes = false;                   // --yes
    std::optional<std::string> answer;  // --answer TEXT
    std::optional<std::string> file;    // --file PATH
};

class CliHost : public Host {
public:
    CliHost(std::ostream& err, CliAnswers answers) : err_(err), answers_(std::move(answers)) {}

    DialogResult messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                            DialogButtons buttons) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool executeOpenDialog(FileDialog& dialog) override;
    bool executeSaveDialog(FileDialog& dialog) override;
    std::string clipboardText() override { return clipboard_; }
    void setClipboardText(const std::string& text) override { clipboard_ = text; }
    void registerTimer(TTimer& timer) override;
    void unregisterTimer(TTimer& timer) override;
    void processMessages() override;
    void sleep(int milliseconds) override;
    LocalDateTime now() override;
    uint64_t ticks() override;
    void repaint(TPaintBox&) override {}
    void repaintWindow() override {}
    void showPortsDialog() override;

private:
    std::ostream& err_;
    CliAnswers answers_;
    std::string clipboard_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    TimerSchedule timers_{[this] { return ticks(); }};
};

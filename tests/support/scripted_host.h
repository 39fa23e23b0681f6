// A host for tests: virtual time, scripted dialog answers, recorded
// dialogs. sleep() advances the virtual clock and fires the timers that
// fall due on the way, in order; processMessages() fires the timers that
// are due now and runs pending script actions. Nothing really waits, so a
// procedure of minutes runs in milliseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/host.h"
#include "app/timer_schedule.h"

class ScriptedHost : public Host {
public:
    ScriptedHost();

    // ---- scripted answers: one queue; every question, input query and
    // file dialog takes the next one. Plain OK boxes take none. An empty
    // queue answers No / Cancel and is noted in `unscripted`.
    struct Answer {
        enum class Kind { Button, Text, File, Cancel } kind = Kind::Cancel;
        DialogResult button = DialogResult::Cancel;
        std::string text;
    };
    ScriptedHost& answerYes() { return push({Answer::Kind::Button, DialogResult::Yes, {}}); }
    ScriptedHost& answerNo() { return push({Answer::Kind::Button, DialogResult::No, {}}); }
    ScriptedHost& answerOk() { return push({Answer::Kind::Button, DialogResult::Ok, {}}); }
    ScriptedHost& answerCancel() { return push({Answer::Kind::Cancel, DialogResult::Cancel, {}}); }
    // Input query: OK with this text.
    ScriptedHost& answerText(const std::string& text) { return push({Answer::Kind::Text, DialogResult::Ok, text}); }
    // Open or save dialog: this path.
    ScriptedHost& answerFile(const std::string& path) { return push({Answer::Kind::File, DialogResult::Ok, path}); }
    size_t pendingAnswers() const { return answers_.size(); }

    // ---- what was shown --------------------------------------------------
    struct Shown {
        enum class Kind { Message, Input, Open, Save } kind;
        std::string text;     // message text, input prompt, dialog title
        std::string caption;  // message caption, input caption
        DialogKind dialogKind = DialogKind::Information;
        DialogButtons buttons = DialogButtons::Ok;
        FileDialog file;  // file dialogs: the settings as executed
    };
    std::vector<Shown> shown;
    std::vector<std::string> shownTexts() const;
    // Dialogs that found no matching scripted answer (a test fault).
    std::vector<std::string> unscripted;

    // ---- virtual time ---------------------------------------------------
    // Sets the local date and time the virtual clock shows now.
    void setNow(const LocalDateTime& when);
    uint64_t elapsedMs() const { return now_; }
    // Runs `action` when virtual time reaches `atMs` (elapsed since the
    // host was made), during a sleep or the next processMessages.
    void at(uint64_t atMs, std::function<void()> action);
    // Runs `action` at the next processMessages (input from the operator).
    void post(std::function<void()> action);
    // Called on every processMessages, before the timers.
    std::function<void()> onProcessMessages;
    int processMessagesCalls = 0;
    int sleepCalls = 0;

    // Fires this timer's handler now if it is enabled (a test nudge).
    void fire(TTimer& timer);
    int tickCount(const TTimer& timer) const;

    // ---- other recorded effects -----------------------------------------
    std::string clipboard;
    int windowRepaints = 0;
    std::map<const TPaintBox*, int> repaints;
    int portsDialogs = 0;

    // ---- Host -------------------------------------------------------------
    DialogResult messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                            DialogButtons buttons) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool executeOpenDialog(FileDialog& dialog) override;
    bool executeSaveDialog(FileDialog& dialog) override;
    std::string clipboardText() override { return clipboard; }
    void setClipboardText(const std::string& text) override { clipboard = text; }
    void registerTimer(TTimer& timer) override;
    void unregisterTimer(TTimer& timer) override;
    void processMessages() override;
    void sleep(int milliseconds) override;
    LocalDateTime now() override;
    uint64_t ticks() override { return now_; }
    void repaint(TPaintBox& box) override { ++repaints[&box]; }
    void repaintWindow() override { ++windowRepaints; }
    void showPortsDialog() override { ++portsDialogs; }

private:
    ScriptedHost& push(Answer a) {
        answers_.push_back(std::move(a));
        return *this;
    }
    bool take(Answer::Kind kind, Answer& answer, const std::string& what);
    // Runs the earliest timer or action due at or before `limit`;
    // false when none is due.
    bool runNextDue(uint64_t limit);
    bool runNextAction(uint64_t limit);

    struct Action {
        uint64_t at;
        uint64_t order;
        std::function<void()> run;
    };
    std::deque<Answer> answers_;
    std::vector<Action> actions_;
    uint64_t actionOrder_ = 0;
    uint64_t now_ = 0;
    long long baseSeconds_ = 0;  // local time at elapsed 0, seconds since 1970
    TimerSchedule timers_{[this] { return now_; }};
};

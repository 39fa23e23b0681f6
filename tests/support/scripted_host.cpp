#include "support/scripted_host.h"

#include <algorithm>

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

ScriptedHost::ScriptedHost() { setNow(LocalDateTime{2017, 3, 21, 10, 15, 30, 0}); }

std::vector<std::string> ScriptedHost::shownTexts() const {
    std::vector<std::string> texts;
    for (const auto& s : shown) texts.push_back(s.text);
    return texts;
}

bool ScriptedHost::take(Answer::Kind kind, Answer& answer, const std::string& what) {
    if (answers_.empty()) {
        unscripted.push_back(what);
        return false;
    }
    answer = answers_.front();
    answers_.pop_front();
    if (answer.kind == Answer::Kind::Cancel) return false;
    if (answer.kind != kind) {
        unscripted.push_back(what + " (answer of another kind)");
        return false;
    }
    return true;
}

DialogResult ScriptedHost::messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                                      DialogButtons buttons) {
    shown.push_back({Shown::Kind::Message, text, caption, kind, buttons, {}});
    if (buttons == DialogButtons::Ok) return DialogResult::Ok;
    DialogResult refusal = buttons == DialogButtons::YesNo ? DialogResult::No : DialogResult::Cancel;
    Answer a;
    if (!take(Answer::Kind::Button, a, text)) return refusal;
    return a.button;
}

bool ScriptedHost::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    shown.push_back({Shown::Kind::Input, prompt, caption, DialogKind::Information, DialogButtons::OkCancel, {}});
    Answer a;
    if (!take(Answer::Kind::Text, a, prompt)) return false;
    value = a.text;
    return true;
}

bool ScriptedHost::executeOpenDialog(FileDialog& dialog) {
    shown.push_back({Shown::Kind::Open, dialog.Title, {}, DialogKind::Information, DialogButtons::OkCancel, dialog});
    Answer a;
    if (!take(Answer::Kind::File, a, "open: " + dialog.Title)) return false;
    dialog.FileName = a.text;
    return true;
}

bool ScriptedHost::executeSaveDialog(FileDialog& dialog) {
    shown.push_back({Shown::Kind::Save, dialog.Title, {}, DialogKind::Information, DialogButtons::OkCancel, dialog});
    Answer a;
    if (!take(Answer::Kind::File, a, "save: " + dialog.Title)) return false;
    dialog.FileName = a.text;
    return true;
}

void ScriptedHost::registerTimer(TTimer& timer) { timers_.add(timer); }

void ScriptedHost::unregisterTimer(TTimer& timer) { timers_.remove(timer); }

void ScriptedHost::at(uint64_t atMs, std::function<void()> action) {
    actions_.push_back({atMs, actionOrder_++, std::move(action)});
}

void ScriptedHost::post(std::function<void()> action) { at(now_, std::move(action)); }

bool ScriptedHost::runNextAction(uint64_t limit) {
    auto next = actions_.end();
    for (auto it = actions_.begin(); it != actions_.end(); ++it)
        if (it->at <= limit &&
            (next == actions_.end() || it->at < next->at || (it->at == next->at && it->order < next->order)))
            next = it;
    if (next == actions_.end()) return false;
    now_ = std::max(now_, next->at);
    auto run = std::move(next->run);
    actions_.erase(next);
    run();
    return true;
}

bool ScriptedHost::runNextDue(uint64_t limit) {
    // Earliest action or timer; actions first on a tie.
    const Action* nextAction = nullptr;
    for (const auto& a : actions_)
        if (a.at <= limit &&
            (!nextAction || a.at < nextAction->at || (a.at == nextAction->at && a.order < nextAction->order)))
            nextAction = &a;
    TimerSchedule::Entry* nextTimer = nullptr;
    for (auto& t : timers_.entries)
        if (t.timer && t.scheduled && !t.running && t.due <= limit && (!nextTimer || t.due < nextTimer->due))
            nextTimer = &t;
    if (!nextAction && !nextTimer) return false;
    if (nextAction && (!nextTimer || nextAction->at <= nextTimer->due)) return runNextAction(limit);
    now_ = std::max(now_, nextTimer->due);
    TTimer* timer = nextTimer->timer;
    nextTimer->due = now_ + static_cast<uint64_t>(std::max(1, timer->Interval.get()));
    timers_.runTick(*timer);
    return true;
}

void ScriptedHost::processMessages() {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages();
    // Each due timer once, as a message queue delivers one tick per timer.
    std::vector<TTimer*> fired;
    for (;;) {
        bool actionDue = std::any_of(actions_.begin(), actions_.end(), [&](const Action& a) { return a.at <= now_; });
        if (actionDue) {
            runNextAction(now_);
            continue;
        }
        TimerSchedule::Entry* due = nullptr;
        for (auto& t : timers_.entries)
            if (t.timer && t.scheduled && !t.running && t.due <= now_ &&
                std::find(fired.begin(), fired.end(), t.timer) == fired.end() && (!due || t.due < due->due))
                due = &t;
        if (!due) break;
        fired.push_back(due->timer);
        runNextDue(due->due);
    }
}

void ScriptedHost::sleep(int milliseconds) {
    ++sleepCalls;
    uint64_t target = now_ + static_cast<uint64_t>(std::max(0, milliseconds));
    while (runNextDue(target)) {}
    now_ = std::max(now_, target);
}

void ScriptedHost::fire(TTimer& timer) {
    for (auto& t : timers_.entries)
        if (t.timer == &timer && timer.Enabled && !t.running) {
            timers_.runTick(timer);
            return;
        }
}

int ScriptedHost::tickCount(const TTimer& timer) const {
    for (const auto& t : timers_.entries)
        if (t.timer == &timer) return t.ticks;
    return 0;
}

void ScriptedHost::setNow(const LocalDateTime& when) {
    long long seconds = daysFromCivil(when.year, when.month, when.day) * 86400LL + when.hour * 3600LL +
                        when.minute * 60LL + when.second;
    baseSeconds_ = seconds - static_cast<long long>(now_ / 1000);
}

LocalDateTime ScriptedHost::now() {
    long long seconds = baseSeconds_ + static_cast<long long>(now_ / 1000);
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    LocalDateTime t;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    t.millisecond = static_cast<int>(now_ % 1000);
    return t;
}

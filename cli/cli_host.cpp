#include "cli/cli_host.h"

#include <thread>

#include "app/system.h"
#include "link/com_ports.h"

namespace {

const char* kindName(DialogKind kind) {
    switch (kind) {
    case DialogKind::Warning: return "warning";
    case DialogKind::Error: return "error";
    case DialogKind::Confirmation: return "question";
    default: return "information";
    }
}

}  // namespace

DialogResult CliHost::messageBox(const std::string& text, const std::string&, DialogKind kind, DialogButtons buttons) {
    err_ << "[" << kindName(kind) << "] " << text << "\n";
    DialogResult result = DialogResult::Ok;
    if (buttons == DialogButtons::YesNo) result = answers_.yes ? DialogResult::Yes : DialogResult::No;
    if (buttons == DialogButtons::OkCancel) result = answers_.yes ? DialogResult::Ok : DialogResult::Cancel;
    if (buttons != DialogButtons::Ok)
        err_ << "  -> "
             << (result == DialogResult::Yes  ? "Yes"
                 : result == DialogResult::No ? "No"
                 : result == DialogResult::Ok ? "OK"
                                              : "Cancel")
             << "\n";
    err_.flush();
    return result;
}

bool CliHost::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    if (answers_.answer) value = *answers_.answer;
    err_ << "[input] " << caption << ": " << prompt << "\n  -> " << value << "\n";
    err_.flush();
    return true;
}

bool CliHost::executeOpenDialog(FileDialog& dialog) {
    err_ << "[open] " << dialog.Title << "\n  -> " << (answers_.file ? *answers_.file : "cancelled") << "\n";
    if (!answers_.file) return false;
    dialog.FileName = *answers_.file;
    return true;
}

bool CliHost::executeSaveDialog(FileDialog& dialog) {
    err_ << "[save] " << dialog.Title << "\n  -> " << (answers_.file ? *answers_.file : "cancelled") << "\n";
    if (!answers_.file) return false;
    dialog.FileName = *answers_.file;
    return true;
}

void CliHost::registerTimer(TTimer& timer) { timers_.add(timer); }

void CliHost::unregisterTimer(TTimer& timer) { timers_.remove(timer); }

void CliHost::processMessages() {
    // One tick per due timer, as a window's message queue delivers them.
    uint64_t now = ticks();
    for (size_t i = 0; i < timers_.entries.size(); ++i) {
        TimerSchedule::Entry& t = timers_.entries[i];
        if (!t.timer || !t.scheduled || t.running || t.due > now) continue;
        t.due = now + static_cast<uint64_t>(t.interval);
        timers_.runTick(*t.timer);
    }
}

void CliHost::sleep(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LocalDateTime CliHost::now() { return localNow(); }

uint64_t CliHost::ticks() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
}

void CliHost::showPortsDialog() {
    if (openDeviceManager(nullptr)) return;
    // No window: the list goes to stderr, like the other dialogs.
    std::vector<std::string> lines;
    try {
        C_ComPort ports;
        ports.enumeratePorts(lines, '|');
    } catch (const std::exception& e) {
        err_ << "[ports] " << e.what() << "\n";
        return;
    }
    err_ << "[ports]\n";
    for (const auto& line : lines) err_ << "  " << line << "\n";
}

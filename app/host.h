// Everything the window needs from its surroundings, behind one interface:
// dialogs, file choosers, clipboard, timers, message processing, sleeping,
// the clock and its text formats, repaints and the ports dialog. The Qt
// window and the command line are hosts; tests use a scripted host with
// virtual time.
#pragma once

#include <cstdint>
#include <string>

class TTimer;
class TPaintBox;

enum class DialogKind { Information, Warning, Error, Confirmation };
enum class DialogButtons { Ok, YesNo, OkCancel };
enum class DialogResult { Ok, Cancel, Yes, No };

// Local date and time as fields.
struct LocalDateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Renders a date-time pattern: yyyy yy mm m dd d hh h nn n ss s zzz,
// "/" and ":" become the date and time separators, text in double or
// single quotes is copied. "mm" or "m" right after an hour is minutes.
std::string formatDateTime(const std::string& pattern, const LocalDateTime& when, char dateSeparator = '/',
                           char timeSeparator = ':');

// Application-wide date and time formats; the production test changes them.
struct DateTimeFormats {
    std::string shortDate = "dd/mm/yyyy";
    std::string longTime = "hh:nn:ss";
    char dateSeparator = '/';
    char timeSeparator = ':';
};

// A file chooser's settings; executing it fills FileName.
struct FileDialog {
    std::string Title;
    std::string Filter;  // "TXT files (*.TXT)|*.TXT"
    std::string InitialDir;
    std::string DefaultExt;
    std::string FileName;
};

class Host {
public:
    virtual ~Host() = default;

    // ---- dialogs -------------------------------------------------------
    virtual DialogResult messageBox(const std::string& text, const std::string& caption, DialogKind kind,
                                    DialogButtons buttons) = 0;
    // Plain message box with OK.
    void showMessage(const std::string& text) {
        messageBox(text, applicationTitle, DialogKind::Information, DialogButtons::Ok);
    }
    // value: the default on entry, the answer on OK. Returns true for OK.
    virtual bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
    // Return true and set dialog.FileName when the operator picked a file.
    virtual bool executeOpenDialog(FileDialog& dialog) = 0;
    virtual bool executeSaveDialog(FileDialog& dialog) = 0;

    // ---- clipboard -----------------------------------------------------
    virtual std::string clipboardText() = 0;
    virtual void setClipboardText(const std::string& text) = 0;

    // ---- timers and the message loop ---------------------------------
    // The host schedules a registered timer by its Interval and Enabled
    // (it sets the timer's onSchedule hook) and runs OnTimer when due.
    virtual void registerTimer(TTimer& timer) = 0;
    virtual void unregisterTimer(TTimer& timer) = 0;
    // Serves due timers and pending input, then returns.
    virtual void processMessages() = 0;
    virtual void sleep(int milliseconds) = 0;

    // ---- clock ---------------------------------------------------------
    virtual LocalDateTime now() = 0;
    // Milliseconds from an arbitrary start, never going back.
    virtual uint64_t ticks() = 0;
    DateTimeFormats formats;
    // The current time in a pattern ("yyyy/mm/dd hh:nn:ss").
    std::string formatNow(const std::string& pattern) {
        return formatDateTime(pattern, now(), formats.dateSeparator, formats.timeSeparator);
    }
    // The current date and time in the application's formats.
    std::string dateTimeText() { return formatNow(formats.shortDate + " " + formats.longTime); }
    std::string dateText() { return formatNow(formats.shortDate); }
    std::string timeText() { return formatNow(formats.longTime); }

    // ---- window --------------------------------------------------------
    virtual void repaint(TPaintBox& box) = 0;
    virtual void repaintWindow() = 0;
    // The device-manager button: Windows hosts open the system's device
    // manager (openDeviceManager); Linux has none, so the tool shows its own
    // serial-ports list.
    virtual void showPortsDialog() = 0;

    std::string applicationTitle = "NERAX LT AUTO ULTRASONIC TUNING v1.2";
};

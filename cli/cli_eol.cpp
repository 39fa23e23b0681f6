// nerax-lt-cli eol: the Manual EOL test without the window. The options
// set the page's controls, START EOL runs the same procedure, every line
// of the EOL log goes to stdout as it is appended and the operator's keys
// come from the input, one a line: "y" or "n" (either case), an empty line
// for Space. End of input (or Ctrl+C) is STOP EOL. The log is saved as the
// window saves it at the end of a run; the last line is the verdict.
#include <csignal>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "pages/main_window.h"
#include "cli/cli.h"

namespace {

std::istream* keyInput = &std::cin;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

// Lines of the key input, read ahead by a thread so the procedure's waits
// keep serving the window. Shared with the thread, which may outlive the
// command while it blocks on a terminal.
struct KeyLines {
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
};

void readKeys(std::istream* in, std::shared_ptr<KeyLines> keys) {
    std::string line;
    while (std::getline(*in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard<std::mutex> lock(keys->mutex);
        keys->lines.push_back(line);
    }
    std::lock_guard<std::mutex> lock(keys->mutex);
    keys->ended = true;
}

// The key code of an input line; 0 for a line that is no key.
int keyOf(const std::string& line) {
    if (line.empty()) return 32;
    if (line == "y" || line == "Y") return 89;
    if (line == "n" || line == "N") return 78;
    return 0;
}

bool parseSerial(const std::string& text, std::string parts[4]) {
    size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t dot = text.find('.', from);
        if ((i < 3) != (dot != std::string::npos)) return false;
        parts[i] = text.substr(from, i < 3 ? dot - from : std::string::npos);
        int value = 0;
        if (!parseInteger(parts[i], value) || value < 0 || value > 255) return false;
        parts[i] = std::to_string(value);
        from = dot + 1;
    }
    return true;
}

int usage(std::ostream& err, const std::string& message) {
    err << "nerax-lt-cli eol: " << message << "\n";
    printUsage(err);
    return kCliUsage;
}

}  // namespace

void setCliKeyInput(std::istream& in) { keyInput = &in; }

int eolCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int port = 0;
    if (!cliPortOption(args, err, port)) return kCliUsage;
    int startStep = 1;
    if (const std::string* text = args.value("start"))
        if (!parseInteger(*text, startStep) || startStep < 1 || startStep > 10)
            return usage(err, "--start takes a step from 1 to 10, not \"" + *text + "\"");
    int channels = 2;
    if (const std::string* text = args.value("channels"))
        if (!parseInteger(*text, channels) || channels < 1 || channels > 2)
            return usage(err, "--channels takes 1 or 2, not \"" + *text + "\"");
    std::string serial[4] = {"0", "0", "0", "0"};
    if (const std::string* text = args.value("serial"))
        if (!parseSerial(*text, serial))
            return usage(err, "--serial takes four bytes 0..255 as S1.S2.S3.S4, not \"" + *text + "\"");
    const std::string* logDir = args.value("log-dir");
    if (logDir) {
        std::error_code ec;
        if (logDir->empty() || !std::filesystem::is_directory(*logDir, ec))
            return usage(err, "--log-dir \"" + *logDir + "\" is not a folder");
    }

    // The step-3 import's open dialog takes --image; without it, cancelled.
    CliArgs sessionArgs = args;
    sessionArgs.values.erase("file");
    if (const std::string* image = args.value("image")) sessionArgs.values["file"] = *image;
    CliSession session(sessionArgs, out, err);
    TFrmTestQOB& w = *session.window;
    // Only the EOL log goes to stdout.
    w.memLog.onChange = nullptr;
    size_t printed = 0;
    uint64_t generation = w.memEOL.Lines.generation();
    w.memEOL.onChange = [&](Control&) {
        const TStrings& lines = w.memEOL.Lines;
        if (lines.generation() != generation) {
            generation = lines.generation();
            printed = 0;
        }
        for (; printed < static_cast<size_t>(lines.Count()); ++printed) out << lines[static_cast<int>(printed)] << "\n";
        out.flush();
    };

    w.Edit1.Text = std::to_string(port);
    w.PageControl1.ActivePageIndex = 7;
    w.rgEolType.ItemIndex = args.flags.count("loop") ? 1 : 0;
    w.rgEolChannels.ItemIndex = channels - 1;
    w.edtStartStep.Text = std::to_string(startStep);
    TEdit* serialEdits[4] = {&w.edtSer1, &w.edtSer2, &w.edtSer3, &w.edtSer4};
    for (int i = 0; i < 4; ++i) serialEdits[i]->Text = serial[i];
    if (logDir) w.eolLogDir = *logDir;

    auto keys = std::make_shared<KeyLines>();
    std::thread reader(readKeys, keyInput, keys);
    TTimer feeder(&w, "tmrCliKeys", 50, true);
    feeder.OnTimer = [&] {
        if (w.stopFlag) return;
        if (interrupted) {
            w.Button37Click();
            return;
        }
        if (w.awaitedKeys.empty()) return;
        std::string line;
        bool have = false, ended = false;
        {
            std::lock_guard<std::mutex> lock(keys->mutex);
            have = !keys->lines.empty();
            ended = keys->ended;
            if (have) {
                line = keys->lines.front();
                keys->lines.pop_front();
            }
        }
        if (!have) {
            if (ended) w.Button37Click();
            return;
        }
        if (const int key = keyOf(line))
            w.FormKeyDown(key);
        else
            err << "nerax-lt-cli eol: \"" << line << "\" is no key (y, n or an empty line for Space)\n";
    };
    session.host.registerTimer(feeder);
    interrupted = 0;
    void (*previous)(int) = std::signal(SIGINT, onInterrupt);

    w.btnStartEOLClick();

    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    session.host.unregisterTimer(feeder);
    w.memEOL.onChange = nullptr;
    // A terminal may never end its input: leave its reader behind.
    if (keyInput == &std::cin)
        reader.detach();
    else
        reader.join();

    if (!w.eolLogFile.empty()) err << "EOL log: " << w.eolLogFile << "\n";
    out << "EOL RESULT: " << w.eolVerdict.text() << "\n";
    out.flush();
    const bool passed = w.eolVerdict.kind == TFrmTestQOB::EolVerdict::Pass && !w.eolLogFile.empty();
    return passed ? kCliOk : kCliFailed;
}

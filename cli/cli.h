// nerax-lt-cli: the window's handlers on the command line. Each command
// is one entry of the command table in cli/cli.cpp (name, synopsis,
// options, function); its function may live in any cli/*.cpp.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <istream>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_host.h"

class TFrmTestQOB;

// Exit codes.
enum : int { kCliOk = 0, kCliFailed = 1, kCliUsage = 2 };

// Parsed options: "--name value" for options declared with "=", flags
// otherwise.
struct CliArgs {
    std::string command;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
    const std::string* value(const std::string& name) const {
        auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
};

using CliCommandFn = int (*)(const CliArgs& args, std::ostream& out, std::ostream& err);

struct CliCommand {
    const char* name;
    const char* synopsis;  // shown in the usage text
    const char* options;   // accepted options, blank separated; "port=" takes a value
    CliCommandFn run;
};

// Commands of the Management page and RETRIEVE LOG (cli/cli_pages.cpp).
int stateCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
int logCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
int clockCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
int retrieveLogCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// The analogue channels of Admin #2 (cli/cli_panels.cpp).
int analogCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// The configuration pages: list, save or load every parameter (cli/cli_config.cpp).
int configCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// ULTRASONIC TUNING (cli/cli_tune.cpp).
int tuneCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// EXECUTE DIAGNOSTIC (cli/cli_diag.cpp).
int diagCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// The EEPROM page: image files and the whole-EEPROM dump (cli/cli_eeprom.cpp).
int eepromSaveCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
int eepromLoadCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
int eepromDumpCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
// The Manual EOL test (cli/cli_eol.cpp); its keys come from std::cin
// unless another stream is set.
int eolCommand(const CliArgs& args, std::ostream& out, std::ostream& err);
void setCliKeyInput(std::istream& in);

// Runs one command line (without the program name). Returns the exit code.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
void printUsage(std::ostream& err);

// The port of --port N (1..255); false after writing the usage error.
bool cliPortOption(const CliArgs& args, std::ostream& err, int& port);

// A window on the command-line host. Console lines are printed on `out`
// as they are written (an entry holding line breaks as its lines).
class CliSession {
public:
    CliSession(const CliArgs& args, std::ostream& out, std::ostream& err);
    ~CliSession();
    CliHost host;
    std::unique_ptr<TFrmTestQOB> window;
    // Connects as the Connect button does; true when connected.
    bool connect(int port);
    // Prints a memo's lines (after the console lines).
    void printLines(const class TMemo& memo);

private:
    void echoConsole();
    std::ostream& out_;
    size_t printed_ = 0;
    unsigned long long generation_ = 0;
};

// The prologue of a command that talks to the detector: --port, the
// window, the connection as Connect makes it. Null when one of them failed
// (the reason is already shown), with the exit code in `code`. The
// command's own options are checked by `options` after --port and before
// the window exists; false is a usage error. `beforeConnect` works with
// the window before anything goes on the line (a file read, a check
// against the window's own lists) and returns an exit code; any but
// kCliOk ends the command with it.
std::unique_ptr<CliSession> connectedSession(const CliArgs& args, std::ostream& out, std::ostream& err, int& code,
                                             const std::function<bool()>& options = {},
                                             const std::function<int(TFrmTestQOB&)>& beforeConnect = {});

// While it lives, Ctrl+C presses ABORT of the session's window (served by
// the running procedure's cooperative waits); a second Ctrl+C ends the
// program at once.
class CliInterruptAsAbort {
public:
    explicit CliInterruptAsAbort(CliSession& session);
    ~CliInterruptAsAbort();
    CliInterruptAsAbort(const CliInterruptAsAbort&) = delete;
    CliInterruptAsAbort& operator=(const CliInterruptAsAbort&) = delete;

private:
    CliSession& session_;
    TTimer watch_;
};

// The platform's Ctrl+C (posix_interrupt.cpp, win32_interrupt.cpp): from
// catchInterrupt on, the first Ctrl+C only sets the flag interruptPending
// reads; a second ends the program. releaseInterrupt restores the default.
void catchInterrupt();
bool interruptPending();
void releaseInterrupt();

#include "cli/cli.h"

#include <sstream>

#include "app/formatters.h"
#include "pages/main_window.h"
#include "link/com_ports.h"

namespace {

int portsCommand(const CliArgs&, std::ostream& out, std::ostream& err) {
    std::vector<std::string> lines;
    try {
        C_ComPort ports;
        ports.enumeratePorts(lines, '|');
    } catch (const std::exception& e) {
        err << "nerax-lt-cli ports: " << e.what() << "\n";
        return kCliFailed;
    }
    for (const auto& line : lines) out << line << "\n";
    return kCliOk;
}

// Connects as Connect does, then the Information readout.
int infoCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    auto session = connectedSession(args, out, err, code);
    if (!session) return code;
    session->window->Button4Click();
    session->printLines(session->window->memState);
    return kCliOk;
}

// ---- the command table ---------------------------------------------------
const CliCommand kCommands[] = {
    {"ports", "ports", "", portsCommand},
    {"info", "info --port N", "port=", infoCommand},
    {"state", "state --port N", "port=", stateCommand},
    {"log", "log --port N [--all] [--export FILE]", "port= all export=", logCommand},
    {"clock", "clock --port N [--set \"dd/mm/yy hh:mi:ss\"]", "port= set=", clockCommand},
    {"retrieve-log", "retrieve-log --port N", "port=", retrieveLogCommand},
    {"analog", "analog --port N [--channel 0..8|NAME]", "port= channel=", analogCommand},
    {"config", "config --port N [--save FILE | --load FILE]", "port= save= load=", configCommand},
    {"tune", "tune --port N [--yes] [--answer V]", "port=", tuneCommand},
    {"diag", "diag --port N [--full] [--test-alarms]", "port= full test-alarms", diagCommand},
    {"eeprom-save", "eeprom-save --port N --file FILE.e2p", "port=", eepromSaveCommand},
    {"eeprom-load", "eeprom-load --port N --file FILE.e2p [--yes]", "port=", eepromLoadCommand},
    {"eeprom-dump", "eeprom-dump --port N", "port=", eepromDumpCommand},
    {"eol",
     "eol --port N [--start STEP] [--loop] [--channels 1|2] [--serial S1.S2.S3.S4] [--image FILE] [--log-dir DIR]",
     "port= start= loop channels= serial= image= log-dir=", eolCommand},
};

// Options every command takes: the answers of the command-line dialogs.
const char* const kDialogOptions = "yes answer= file=";

bool accepts(const std::string& optionList, const std::string& name, bool& takesValue) {
    std::istringstream words(optionList);
    std::string word;
    while (words >> word) {
        bool value = !word.empty() && word.back() == '=';
        if (value) word.pop_back();
        if (word == name) {
            takesValue = value;
            return true;
        }
    }
    return false;
}

}  // namespace

void printUsage(std::ostream& err) {
    err << "usage: nerax-lt-cli COMMAND [OPTIONS]\n";
    for (const auto& c : kCommands) err << "  nerax-lt-cli " << c.synopsis << "\n";
    err << "dialog answers (any command): --yes  --answer TEXT  --file PATH\n";
}

bool cliPortOption(const CliArgs& args, std::ostream& err, int& port) {
    const std::string* text = args.value("port");
    if (!text) {
        err << "nerax-lt-cli " << args.command << ": --port N is required\n";
        printUsage(err);
        return false;
    }
    if (!parseInteger(*text, port) || port < 1 || port > 255) {
        err << "nerax-lt-cli " << args.command << ": --port takes a COM number from 1 to 255, not \"" << *text
            << "\"\n";
        printUsage(err);
        return false;
    }
    return true;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printUsage(err);
        return kCliUsage;
    }
    const CliCommand* command = nullptr;
    for (const auto& c : kCommands)
        if (args[0] == c.name) command = &c;
    if (!command) {
        err << "nerax-lt-cli: unknown command \"" << args[0] << "\"\n";
        printUsage(err);
        return kCliUsage;
    }
    CliArgs parsed;
    parsed.command = command->name;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = false;
        std::string name = arg.rfind("--", 0) == 0 ? arg.substr(2) : std::string();
        if (name.empty() ||
            !(accepts(command->options, name, takesValue) || accepts(kDialogOptions, name, takesValue))) {
            err << "nerax-lt-cli " << command->name << ": unexpected argument \"" << arg << "\"\n";
            printUsage(err);
            return kCliUsage;
        }
        if (takesValue) {
            if (i + 1 >= args.size()) {
                err << "nerax-lt-cli " << command->name << ": " << arg << " needs a value\n";
                printUsage(err);
                return kCliUsage;
            }
            parsed.values[name] = args[++i];
        } else {
            parsed.flags.insert(name);
        }
    }
    return command->run(parsed, out, err);
}

// The configuration pages on the command line: list every parameter as
// the pages show it after "get all parameters", save that listing, or load
// a listing and write it with "update configuration".
#include "cli/cli.h"

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/report_file.h"

namespace {

using Setting = std::pair<std::string, std::string>;

// "name=value" lines; blank lines and lines starting with '#' are skipped.
// A value keeps its spaces (channel labels end in blanks).
bool readListing(const std::string& path, std::vector<Setting>& settings, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = path + ":" + std::to_string(number) + ": expected name=value, not \"" + line + "\"";
            return false;
        }
        settings.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool applySettings(TFrmTestQOB& w, const std::vector<Setting>& settings, std::string& error) {
    for (const auto& [name, value] : settings)
        if (!w.setConfigurationControl(name, value, error)) return false;
    return true;
}

bool onlyOk(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        if (line != ">>ok") return false;
    return !lines.empty();
}

}  // namespace

int configCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int port = 0;
    if (!cliPortOption(args, err, port)) return kCliUsage;
    const std::string* load = args.value("load");
    const std::string* save = args.value("save");
    if (load && save) {
        err << "nerax-lt-cli config: --load and --save go in separate runs\n";
        return kCliUsage;
    }
    CliSession session(args, out, err);
    TFrmTestQOB& w = *session.window;
    std::vector<Setting> settings;
    std::string error;
    // A bad listing stops before anything goes on the line.
    if (load && (!readListing(*load, settings, error) || !applySettings(w, settings, error))) {
        err << "nerax-lt-cli config: " << error << "\n";
        return kCliFailed;
    }
    if (!session.connect(port)) return kCliFailed;
    w.btnGetAllClick();
    if (!onlyOk(w.memLog.Lines.lines())) return kCliFailed;

    if (!load) {
        const std::vector<std::string> listing = w.configurationListing();
        for (const auto& line : listing) out << line << "\n";
        if (save && !writeTextFile(*save, listing, error)) {
            err << "nerax-lt-cli config: " << error << "\n";
            return kCliFailed;
        }
        return kCliOk;
    }

    // All or nothing: every group must take its values into the image
    // before "update configuration" writes it; otherwise the image is
    // reloaded and the detector keeps its configuration.
    applySettings(w, settings, error);
    bool accepted = true;
    for (TButton* button : w.configGroupButtons()) {
        w.addConsoleLine(button->Name());
        button->Tag = 1;
        try {
            button->OnClick();
        } catch (const std::exception& e) {
            w.addConsoleLine(e.what());
        }
        accepted = accepted && w.memLog.Lines.Count() > 0 && w.memLog.Lines[w.memLog.Lines.Count() - 1] == ">>ok";
    }
    if (!accepted) {
        w.qob->reloadImage();
        err << "nerax-lt-cli config: nothing written, the groups above were refused\n";
        return kCliFailed;
    }
    w.btnUpdateCfgClick();
    const auto& lines = w.memLog.Lines.lines();
    return !lines.empty() && lines.back() == ">>Configuration updated" ? kCliOk : kCliFailed;
}

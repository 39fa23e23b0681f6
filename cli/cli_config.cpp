// The configuration pages on the command line: list every parameter as
// the pages show it after "get all parameters", save that listing, or load
// a listing and write it with "update configuration".
#include "cli/cli.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "pages/main_window.h"
#include "app/report_file.h"

namespace {

struct Setting {
    std::string name;
    std::string value;
    int line;
};

// A listing is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kLargestListing = 1 << 20;

bool readFileBytes(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        error = "cannot read " + path + ": the file does not exist";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "cannot read " + path + ": it is not a file";
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestListing) {
        error = path + ": larger than 1 MiB, not a configuration listing";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() > kLargestListing) {
        error = in.bad() ? "cannot read " + path : path + ": larger than 1 MiB, not a configuration listing";
        return false;
    }
    return true;
}

// "name=value" lines; blank lines and lines starting with '#' are skipped.
// A value keeps its spaces (channel labels end in blanks). The whole file
// is checked before anything is used: a copy cut inside its last line
// ("=60" cut to "=6") or a name given twice would load values nobody chose.
bool readListing(const std::string& path, std::vector<Setting>& settings, std::string& error) {
    std::string text;
    if (!readFileBytes(path, text, error)) return false;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
        error = path + ": UTF-16 text; save the listing as UTF-8 or 8-bit text";
        return false;
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') {
        error = path + ": cut short, the last line has no line end";
        return false;
    }
    std::map<std::string, int> seen;
    size_t from = 0;
    for (int number = 1; from < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', from), text.size());
        std::string line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = where + "expected name=value, not " + quotedExcerpt(line);
            return false;
        }
        const std::string name = line.substr(0, eq);
        const auto [first, fresh] = seen.emplace(name, number);
        if (!fresh) {
            error = where + quotedExcerpt(name) + " is set twice, on lines " + std::to_string(first->second) + " and " +
                    std::to_string(number);
            return false;
        }
        settings.push_back({name, line.substr(eq + 1), number});
    }
    if (settings.empty()) {
        error = path + ": nothing to load (no name=value line)";
        return false;
    }
    return true;
}

bool applySettings(TFrmTestQOB& w, const std::string& path, const std::vector<Setting>& settings, std::string& error) {
    for (const Setting& s : settings) {
        if (!w.setConfigurationControl(s.name, s.value, error)) {
            error = path + ":" + std::to_string(s.line) + ": " + error;
            return false;
        }
    }
    return true;
}

// The groups the listing sets, in driver order. The others are not run, so
// the detector keeps what it holds there (also values the page cannot show).
std::vector<TButton*> groupsOf(TFrmTestQOB& w, const std::vector<Setting>& settings) {
    std::set<TButton*> named;
    for (const Setting& s : settings) named.insert(w.configGroupOf(s.name));
    std::vector<TButton*> buttons;
    for (TButton* button : w.configGroupButtons())
        if (named.count(button)) buttons.push_back(button);
    return buttons;
}

bool onlyOk(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        if (line != ">>ok") return false;
    return !lines.empty();
}

bool lastLineIs(const TFrmTestQOB& w, const char* text) {
    return w.memLog.Lines.Count() > 0 && w.memLog.Lines[w.memLog.Lines.Count() - 1] == text;
}

}  // namespace

int configCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    const std::string* load = args.value("load");
    const std::string* save = args.value("save");
    std::vector<Setting> settings;
    std::string error;
    int code = kCliOk;
    auto session = connectedSession(
        args, out, err, code,
        [&] {
            if (!(load && save)) return true;
            err << "nerax-lt-cli config: --load and --save go in separate runs\n";
            return false;
        },
        // A bad listing stops before anything goes on the line.
        [&](TFrmTestQOB& w) {
            if (!load || (readListing(*load, settings, error) && applySettings(w, *load, settings, error)))
                return kCliOk;
            err << "nerax-lt-cli config: " << error << "\n";
            return kCliFailed;
        });
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
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

    // All or nothing: every group the listing sets must take its values
    // into the image before "update configuration" writes it; otherwise
    // the image is reloaded and the detector keeps its configuration. The
    // console shows what the window's driver shows; the reasons of
    // conversion errors go to stderr.
    applySettings(w, *load, settings, error);
    const std::vector<TButton*> buttons = groupsOf(w, settings);
    bool accepted = true;
    for (TButton* button : buttons) {
        w.addConsoleLine(button->Name());
        button->Tag = 1;
        try {
            button->OnClick();
        } catch (const std::exception& e) {
            w.addConsoleLine("EXCEPTION");
            err << "nerax-lt-cli config: " << button->Name() << ": " << e.what() << "\n";
        }
        accepted = accepted && lastLineIs(w, ">>ok");
    }
    if (!accepted) {
        w.qob->reloadImage();
        err << "nerax-lt-cli config: nothing written, the groups above were refused\n";
        return kCliFailed;
    }
    w.updateConfigurationGroups(buttons);
    return lastLineIs(w, ">>Configuration updated") ? kCliOk : kCliFailed;
}

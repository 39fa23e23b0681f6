#include "app/settings.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "app/formatters.h"

const char* const kTuningSettingKeys[6] = {"LIB", "DIB", "DTI", "LCI", "QMI", "TMO"};
const char* const kTuningSettingDefaults[6] = {"7", "30", "30", "7", "24", "30000"};

namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

IniSections parseIni(const std::string& text) {
    IniSections sections;
    std::map<std::string, std::string>* current = nullptr;
    std::istringstream in(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            auto close = line.find(']');
            std::string name = upper(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            current = &sections[name];  // a repeated section adds to the first
            continue;
        }
        auto eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        std::string key = upper(trim(line.substr(0, eq)));
        std::string value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->emplace(key, value);
    }
    return sections;
}

namespace {

// The file's text; false when it is missing or cannot be read.
bool readIniText(const std::string& path, std::string& text) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::stringstream buffer;
    buffer << file.rdbuf();
    if (file.bad()) return false;
    text = buffer.str();
    return true;
}

}  // namespace

std::string readEolLogDir(const std::string& path) {
    std::string text;
    if (!readIniText(path, text)) return "";
    const IniSections sections = parseIni(text);
    auto section = sections.find("EOL");
    if (section == sections.end()) return "";
    auto key = section->second.find("LOGDIR");
    return key == section->second.end() ? "" : key->second;
}

bool readTuningSettingsFile(const std::string& path, TuningSettings& values) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return true;  // no file: defaults, silently
    if (!S_ISREG(info.st_mode)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::stringstream buffer;
    buffer << file.rdbuf();
    if (file.bad()) return false;
    IniSections sections = parseIni(buffer.str());
    const std::map<std::string, std::string>* general = nullptr;
    if (auto it = sections.find("GENERAL"); it != sections.end()) general = &it->second;
    for (int i = 0; i < 6; ++i) {
        std::string text = kTuningSettingDefaults[i];
        if (general) {
            auto key = general->find(kTuningSettingKeys[i]);
            if (key != general->end()) text = key->second;
        }
        for (char& c : text)
            if (c == ',') c = '.';
        int value = 0;
        if (!parseInteger(text, value)) return false;
        values.value[i] = value;
    }
    return true;
}

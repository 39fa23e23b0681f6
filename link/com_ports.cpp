// Port discovery: the rules every platform shares. The inventory itself is
// in posix_com_ports.cpp and win32_com_ports.cpp.
#include "link/com_ports.h"

#include <fstream>

#include "link/system.h"

namespace {

constexpr const char* kPatternFile = "__uet__port.txt";
constexpr const char* kDefaultPattern = "NERAX LT";

std::string executableDirectory() {
    const PortInventoryRoots& roots = portInventoryRoots();
    return roots.executableDir.empty() ? programDirectory() : roots.executableDir;
}

// The lines of a text file, as a string list loads them: LF or CR LF ends a
// line, a final line end adds no empty line.
bool loadLines(const std::string& file, std::vector<std::string>& lines) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return true;
}

std::string upperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Strict decimal conversion with an optional sign, as the number field takes it.
bool toInteger(const std::string& text, int& value) {
    if (text.empty()) return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size() || text.size() - i > 9) return false;
    long result = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
        result = result * 10 + (text[k] - '0');
    }
    value = static_cast<int>(text[0] == '-' ? -result : result);
    return true;
}

}  // namespace

PortInventoryRoots& portInventoryRoots() {
    static PortInventoryRoots roots;
    return roots;
}

std::string comPortName(int number) { return "COM" + std::to_string(number); }

C_ComPort::C_ComPort() = default;
C_ComPort::~C_ComPort() = default;

void C_ComPort::enumeratePorts(std::vector<std::string>& list, char separator) {
    if (probePorts() == 0) return;
    describePorts();
    for (const auto& [name, friendly] : ports) list.push_back(name + separator + friendly);
}

bool autodetectPort(int& portNumber) {
    std::vector<std::string> patterns;
    if (!loadLines(executableDirectory() + "/" + kPatternFile, patterns)) patterns = {kDefaultPattern};

    std::vector<std::string> lines;
    try {
        C_ComPort comPort;
        comPort.enumeratePorts(lines, '|');
    } catch (...) { lines.clear(); }

    for (const std::string& line : lines) {
        std::string upperLine = upperCase(line);
        for (const std::string& pattern : patterns) {
            if (upperLine.find("|" + upperCase(pattern)) == std::string::npos) continue;
            size_t bar = line.find('|');
            int number = 0;
            if (bar >= 3 && toInteger(line.substr(3, bar - 3), number)) {
                portNumber = number;
                return true;
            }
        }
    }
    return false;
}

// The Linux port inventory: the ports folder and sysfs (rules in com_ports.h).
#include "link/com_ports.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TtyRule {
    const char* prefix;
    int firstNumber;
    int count;
};

// The stable numbers of sysfs serial devices; all stay below 200, where the
// virtual detector takes its numbers.
constexpr TtyRule kTtyRules[] = {
    {"ttyS", 1, 32},
    {"ttyUSB", 33, 32},
    {"ttyACM", 65, 64},
    {"ttyAMA", 129, 16},
};

struct FoundPort {
    std::string path;
    std::string ttyName;
    std::string nameFile;
};

// Digits only, no sign, no leading zero; -1 otherwise.
int parsePlainNumber(const std::string& text) {
    if (text.empty() || text.size() > 4 || text[0] == '0') return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string trimRight(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (in) std::getline(in, line);
    return trimRight(line);
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "";
}

// The entries of the ports folder: COM<n> -> a character device.
void scanPortsFolder(const PortInventoryRoots& roots, std::map<int, FoundPort>& found) {
    std::error_code ec;
    fs::path folder = roots.portsFolder.empty() ? fs::path(portsFolder()) : fs::path(roots.portsFolder);
    fs::directory_iterator it(folder, ec);
    if (ec) return;
    fs::path devRoot = fs::weakly_canonical(roots.devRoot, ec);
    for (const fs::directory_entry& entry : it) {
        std::string name = entry.path().filename().string();
        if (name.rfind("COM", 0) != 0) continue;
        int number = parsePlainNumber(name.substr(3));
        if (number < 1 || number > 255) continue;
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) continue;
        FoundPort port;
        port.path = entry.path().string();
        fs::path target = fs::canonical(entry.path(), ec);
        if (!ec && target.parent_path() == devRoot) port.ttyName = target.filename().string();
        fs::path nameFile = folder / (name + ".name");
        if (fs::is_regular_file(nameFile, ec)) port.nameFile = nameFile.string();
        found[number] = port;
    }
}

bool ttyHasUart(const fs::path& ttyDir, const std::string& name) {
    std::error_code ec;
    if (!fs::exists(ttyDir / "device", ec)) return false;  // virtual terminals, consoles, pseudo-terminals
    if (name.rfind("ttyS", 0) != 0) return true;
    // The 8250 driver registers placeholders; their type is 0 (no UART).
    std::string type = readFirstLine(ttyDir / "type");
    return !type.empty() && type != "0";
}

// Serial devices under /sys/class/tty, by the fixed rule. `error` is set when
// the folder exists but cannot be read.
void scanSysfs(const PortInventoryRoots& roots, std::map<int, FoundPort>& found, std::string* error) {
    fs::path ttyClass = fs::path(roots.sysfsRoot) / "class" / "tty";
    std::error_code ec;
    fs::directory_iterator it(ttyClass, ec);
    if (ec) {
        if (error && ec != std::errc::no_such_file_or_directory)
            *error = "sysfs read fails: " + ttyClass.string() + ": " + ec.message();
        return;
    }
    std::set<std::string> mapped;
    for (const auto& [number, port] : found)
        if (!port.ttyName.empty()) mapped.insert(port.ttyName);
    for (const fs::directory_entry& entry : it) {
        std::string name = entry.path().filename().string();
        int number = ttyPortNumber(name);
        if (number == 0 || found.count(number) || mapped.count(name)) continue;
        if (!ttyHasUart(entry.path(), name)) continue;
        FoundPort port;
        port.path = (fs::path(roots.devRoot) / name).string();
        port.ttyName = name;
        found[number] = port;
    }
}

std::map<int, FoundPort> scanPorts(const PortInventoryRoots& roots, std::string* sysfsError) {
    std::map<int, FoundPort> found;
    scanPortsFolder(roots, found);
    scanSysfs(roots, found, sysfsError);
    return found;
}

// Product (else manufacturer) string of the USB device behind a tty.
std::string usbDescriptorName(const PortInventoryRoots& roots, const std::string& ttyName) {
    std::error_code ec;
    fs::path root = fs::canonical(roots.sysfsRoot, ec);
    if (ec) return "";
    fs::path dir = fs::canonical(fs::path(roots.sysfsRoot) / "class" / "tty" / ttyName / "device", ec);
    if (ec) return "";
    // ttyACM: device is the USB interface; ttyUSB: the usb-serial port below it.
    for (int level = 0; level < 4 && dir != root && dir.has_relative_path(); ++level) {
        if (fs::exists(dir / "idVendor", ec)) {
            std::string product = readFirstLine(dir / "product");
            return product.empty() ? readFirstLine(dir / "manufacturer") : product;
        }
        dir = dir.parent_path();
    }
    return "";
}

}  // namespace

std::string portsFolder() {
    const PortInventoryRoots& roots = portInventoryRoots();
    if (!roots.portsFolder.empty()) return roots.portsFolder;
    if (const char* folder = std::getenv("NERAX_LT_PORTS"); folder && *folder) return folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/nerax-lt/ports";
    return homeDirectory() + "/.config/nerax-lt/ports";
}

int ttyPortNumber(const std::string& ttyName) {
    for (const TtyRule& rule : kTtyRules) {
        size_t length = std::strlen(rule.prefix);
        if (ttyName.compare(0, length, rule.prefix) != 0) continue;
        std::string digits = ttyName.substr(length);
        int k = digits == "0" ? 0 : parsePlainNumber(digits);
        return k >= 0 && k < rule.count ? rule.firstNumber + k : 0;
    }
    return 0;
}

std::string devicePathForPort(int number) {
    std::map<int, FoundPort> found = scanPorts(portInventoryRoots(), nullptr);
    auto it = found.find(number);
    return it == found.end() ? std::string() : it->second.path;
}

int C_ComPort::probePorts() {
    ports.clear();
    devices_.clear();
    for (const auto& [number, port] : scanPorts(portInventoryRoots(), nullptr)) {
        std::string name = comPortName(number);
        ports[name] = name;
        devices_[name] = Device{port.path, port.ttyName, port.nameFile};
    }
    return static_cast<int>(ports.size());
}

void C_ComPort::describePorts() {
    const PortInventoryRoots& roots = portInventoryRoots();
    std::string sysfsError;
    std::map<int, FoundPort> unused;
    scanSysfs(roots, unused, &sysfsError);
    if (!sysfsError.empty()) throw std::runtime_error(sysfsError);
    for (auto& [name, friendly] : ports) {
        const Device& device = devices_[name];
        std::string label;
        if (!device.nameFile.empty()) label = readFirstLine(device.nameFile);
        if (label.empty() && !device.ttyName.empty()) {
            std::string usb = usbDescriptorName(roots, device.ttyName);
            if (!usb.empty()) label = usb + " (" + name + ")";
        }
        if (!label.empty()) friendly = label;
    }
}
